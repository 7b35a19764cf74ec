// placeholder: replaced by the window work
#include "toolkit/window_proc.h"
#include "toolkit/registry.h"
LRESULT CALLBACK ToolkitWindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }
LRESULT ForwardToGadget(HWND, HWND, UINT, WPARAM, LPARAM) { return NOT_HANDLED; }
