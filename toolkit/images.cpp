#include "toolkit/images.h"

#include <windows.h>

namespace {

// An image entry: the handle first (non-zero while live).
struct ImageRecord {
    HANDLE image;
};

ObjectTable* gImages = nullptr;

}  // namespace

void ImageLibraryInit() { gImages = NewObjectTable(sizeof(ImageRecord), 16, FreeImageObject); }

void ImageLibraryEnd() {
    if (!gImages) return;
    StartObjectWalk(gImages);
    ObjectNumber number;
    while (NextObject(gImages, &number)) FreeImageObject(number);
}

ObjectTable* ImageTable() { return gImages; }

void FreeImageObject(ObjectNumber number) {
    if (number == ANY_NUMBER) return;
    auto* record = static_cast<ImageRecord*>(FindObject(gImages, number));
    if (!record) return;
    if (GetObjectType(record->image) == OBJ_BITMAP) {
        DeleteObject(record->image);
    } else {
        DestroyIcon(static_cast<HICON>(record->image));
    }
    ClearObjectSlot(gImages, number);
}

intptr_t AdoptImage(ObjectNumber number, void* image) {
    if (!image) return 0;
    // Releases an image held under the number first.
    auto* record = static_cast<ImageRecord*>(ObtainObjectSlot(gImages, number));
    if (!record) return 0;
    record->image = image;
    return number == ANY_NUMBER ? reinterpret_cast<intptr_t>(record) : reinterpret_cast<intptr_t>(image);
}
