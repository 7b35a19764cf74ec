// Keyboard navigation: which accelerator table applies to a message, and
// moving the focus among a window's controls on Tab and shift-Tab.
#include "toolkit/focus.h"

#include <richedit.h>

#include <cstring>

#include "toolkit/names.h"
#include "toolkit/window.h"

namespace {

bool KeyDown(int key) { return GetKeyState(key) < 0; }

// A writable rich edit control takes a plain Tab as text. This program makes
// no rich edit control; a general toolkit's windows may hold one.
bool TabIsInputFor(HWND focus) {
    if (!KeyDown(VK_TAB) || KeyDown(VK_CONTROL) || KeyDown(VK_SHIFT) || KeyDown(VK_MENU)) return false;
    char name[5] = {};
    GetClassNameA(focus, name, sizeof name);
    if (std::strncmp(name, "Rich", 4) != 0) return false;
    LRESULT options = SendMessageA(focus, EM_GETOPTIONS, 0, 0);
    return (options & ECO_READONLY) == 0;
}

struct Navigation {
    HWND current;     // where the navigation starts, or none
    HWND candidate;   // last eligible control seen (backward)
    bool takeNext;    // the current control has been passed (forward)
    bool done;        // the focus has been moved (backward)
};

bool Eligible(HWND control) {
    return IsWindowEnabled(control) && IsWindowVisible(control) &&
           (GetWindowLongPtrA(control, GWL_STYLE) & WS_TABSTOP);
}

BOOL CALLBACK ForwardStep(HWND control, LPARAM lParam) {
    auto* nav = reinterpret_cast<Navigation*>(lParam);
    if (!Eligible(control)) return TRUE;
    if (nav->takeNext || !nav->current) {
        SetFocus(control);
        nav->takeNext = false;
        return FALSE;
    }
    if (control == nav->current) nav->takeNext = true;
    return TRUE;
}

BOOL CALLBACK BackwardStep(HWND control, LPARAM lParam) {
    auto* nav = reinterpret_cast<Navigation*>(lParam);
    if (!Eligible(control)) return TRUE;
    if (control == nav->current && nav->candidate) {
        SetFocus(nav->candidate);
        nav->done = true;
        nav->candidate = control;
        return FALSE;
    }
    nav->candidate = control;
    return TRUE;
}

}  // namespace

HACCEL PickAccelerators(HWND activeWindow) {
    HWND focus = GetFocus();
    if (focus) {
        if (TabIsInputFor(focus)) return nullptr;
        // A control that takes key combinations (none in this program) gets
        // Tab and shift-Tab as its input.
        if (GetPropA(focus, PROP_HOTKEY)) return nullptr;
    }
    const WindowNumber number = WindowNumberOf(activeWindow);
    if (number == -1) return nullptr;
    WindowRecord* record = FindWindowRecord(number);
    return record ? record->acceleratorTable : nullptr;
}

void MoveFocus(int backward) {
    HWND top = GetActiveWindow();
    HWND focus = GetFocus();
    Navigation nav = {};
    if (top && focus && IsChild(top, focus)) {
        nav.current = focus;
        HWND outermost = top;
        // Outer matches override inner ones: navigation starts from a
        // composite control, and stays inside an MDI child. This program
        // makes neither; a general toolkit's windows may hold them.
        for (HWND window = focus; window && window != outermost; window = GetParent(window)) {
            char name[50] = {};
            GetClassNameA(window, name, sizeof name);
            if (std::strcmp(name, "MDI_ChildClass") == 0) {
                top = window;
                if (window == focus) nav.current = nullptr;
            } else if (std::strcmp(name, "ComboBoxEx32") == 0) {
                // CBS_SIMPLE, or CBS_DROPDOWNLIST which shares its bit.
                if (GetWindowLongPtrA(window, GWL_STYLE) & CBS_SIMPLE) nav.current = window;
            } else if (std::strcmp(name, "SysIPAddress32") == 0) {
                nav.current = window;
            }
        }
    }
    if (!top) return;
    if (!backward) {
        EnumChildWindows(top, ForwardStep, reinterpret_cast<LPARAM>(&nav));
        // Passed the last eligible control: wrap to the first.
        if (nav.takeNext) EnumChildWindows(top, ForwardStep, reinterpret_cast<LPARAM>(&nav));
    } else {
        EnumChildWindows(top, BackwardStep, reinterpret_cast<LPARAM>(&nav));
        if (!nav.done && nav.candidate) SetFocus(nav.candidate);
    }
}
