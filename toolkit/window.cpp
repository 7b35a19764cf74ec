// placeholder: replaced by the window work
#include "toolkit/window.h"
intptr_t OpenToolkitWindow(WindowNumber, int, int, int, int, const char*, uint32_t, HWND) { return 0; }
void CloseToolkitWindow(WindowNumber) {}
int32_t NextEvent(int32_t) { return 0; }
int32_t PollEvent() { return 0; }
intptr_t CurrentEventGadget() { return 0; }
WindowRecord* FindWindowRecord(WindowNumber) { return nullptr; }
ObjectTable* WindowTable() { return nullptr; }
HINSTANCE ToolkitInstance() { return GetModuleHandleA(nullptr); }
