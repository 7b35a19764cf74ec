// placeholder: replaced by the gadget work
#include "toolkit/gadgets.h"
void GadgetLibraryInit() {}
void GadgetLibraryEnd() {}
HWND SelectGadgetWindow(HWND) { return nullptr; }
GadgetRecord* FindGadgetRecord(GadgetNumber) { return nullptr; }
ObjectTable* GadgetTable() { return nullptr; }
