// Start-up and shutdown of the toolkit's libraries, in their fixed order.
#pragma once
#include "toolkit/registry.h"

// Images, event queue, windows, gadgets.
void ToolkitInit();
// Gadgets, windows (closing every window), images.
void ToolkitEnd();

void ImageLibraryInit();
void ImageLibraryEnd();
void FreeImageObject(ObjectNumber number);
ObjectTable* ImageTable();
// Registers a bitmap or icon handle (the table owns it from now on and
// releases it with FreeImageObject) under a number, releasing an image held
// under it first. For a fixed number the handle, for ANY_NUMBER the chosen
// number; 0 for a null image or a number the table cannot hold.
intptr_t AdoptImage(ObjectNumber number, void* image);
