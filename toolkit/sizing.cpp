// placeholder: replaced by the live sizing work
#include "toolkit/sizing.h"
#include "toolkit/registry.h"
void SizingStateInit() {}
SizingState* TheSizingState() { return nullptr; }
LRESULT LiveSizingHandler(HWND, UINT, WPARAM, LPARAM) { return NOT_HANDLED; }
