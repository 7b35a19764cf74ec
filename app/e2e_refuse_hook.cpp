// A global CBT hook for the end-to-end test: refuses every window titled "SMS (Korvanel)".
#include <windows.h>

extern "C" __declspec(dllexport) LRESULT CALLBACK RefuseMainWindow(int code, WPARAM wParam, LPARAM lParam) {
    const char* title = code == HCBT_CREATEWND ? reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs->lpszName : nullptr;
    if (title && !IS_INTRESOURCE(title) && lstrcmpA(title, "SMS (Korvanel)") == 0) return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
