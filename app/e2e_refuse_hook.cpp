// A hook library for the end-to-end tests: installed as a global CBT hook,
// it refuses the creation of every window titled "SMS (Korvanel)", so the
// tests can see what the program does when its main window cannot be opened.
#include <windows.h>

#include <cstring>

extern "C" __declspec(dllexport) LRESULT CALLBACK RefuseMainWindow(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTA* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
        const char* title = create ? create->lpszName : nullptr;
        if (title && !IS_INTRESOURCE(title) && strcmp(title, "SMS (Korvanel)") == 0) return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
