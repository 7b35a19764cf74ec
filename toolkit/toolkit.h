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
