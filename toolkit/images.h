// The image table (Win32): bitmaps and icons registered under numbers. No
// part of this program makes an image; the table serves a program that does.
#pragma once
#include "toolkit/registry.h"

void ImageLibraryInit();
// Releases every image still registered.
void ImageLibraryEnd();
// Deletes the image and empties its entry; nothing for a number with none.
void FreeImageObject(ObjectNumber number);
ObjectTable* ImageTable();
// Registers a bitmap or icon handle (the table owns it from now on and
// releases it with FreeImageObject) under a number, releasing an image held
// under it first. For a fixed number the handle, for ANY_NUMBER the chosen
// number; 0 for a null image or a number the table cannot hold.
intptr_t AdoptImage(ObjectNumber number, void* image);
