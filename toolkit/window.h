// Numbered top-level windows (Win32): the window table, opening and closing,
// the walk up to a window's toolkit window, and the per-window hooks.
#pragma once
#include <windows.h>

#include "toolkit/events.h"
#include "toolkit/registry.h"

enum OpenFlags : uint32_t {
    OPEN_CENTER_ON_SCREEN = 1,
    OPEN_CENTER_ON_PARENT = 2,
    OPEN_TOOL_WINDOW = 4,
    OPEN_NO_GADGET_TARGET = 8,
    OPEN_HIDDEN = WS_VISIBLE,   // the platform's visible bit, read inverted
};
constexpr int POSITION_DEFAULT = -65535;

enum AcceleratorCommand : WORD {
    CMD_NEXT_CONTROL = 64001,
    CMD_PREVIOUS_CONTROL = 64002,
};

// The callbacks, the background brush, the size limits and the MDI client are
// set by no part of this program: they let the toolkit serve any window.
struct WindowRecord {
    HWND window;                 // non-null exactly while the entry is live
    ACCEL* acceleratorEntries;   // owned, from the program heap
    HACCEL acceleratorTable;     // destroyed with the window
    WindowCallback windowCallback;
    int32_t acceleratorCount;    // 2 (Tab, shift-Tab); kept for the record's design, nothing reads it
    HBRUSH backgroundBrush;      // owned; deleted at close
    HWND mdiClient;              // set only for MDI child windows
    intptr_t (*paintCallback)(HDC dc, HWND window);
    uint16_t minWidth, minHeight, maxWidth, maxHeight;  // 0 = not set
    BOOL minimizedOrMaximized;
};

void WindowLibraryInit();
void WindowLibraryEnd();
ObjectTable* WindowTable();   // null before WindowLibraryInit

// For a fixed number the window handle, for ANY_NUMBER the chosen number;
// 0 on failure. Width and height are those of the client area.
intptr_t OpenToolkitWindow(WindowNumber number, int x, int y, int width, int height,
                           const char* title, uint32_t flags, HWND parent = nullptr);
void CloseToolkitWindow(WindowNumber number);
WindowRecord* FindWindowRecord(WindowNumber number);

// The toolkit window a window belongs to: the window itself or its nearest
// ancestor carrying PROP_WINDOW_ID; null and -1 when there is none.
struct OwnerWindow {
    HWND window;
    WindowNumber number;
};
OwnerWindow FindOwnerWindow(HWND window);
// The number of a toolkit window, -1 for any other window.
WindowNumber WindowNumberOf(HWND window);

// Per-window hooks. Each does nothing for a number with no open window.
// The window callback (or, for windows without one, the global callback)
// sees every message first; PASS_ON lets the toolkit's handling go on.
void SetWindowCallback(WindowNumber number, WindowCallback callback);
void SetGlobalCallback(WindowCallback callback);
void SetWindowPaintCallback(WindowNumber number, intptr_t (*callback)(HDC dc, HWND window));
// Tracking-size limits of the outer window in pixels; 0 leaves one unset,
// values above 65535 are cut to it.
void SetWindowSizeLimits(WindowNumber number, int minWidth, int minHeight, int maxWidth, int maxHeight);
// A solid background instead of the button-face colour; CLR_INVALID removes it.
void SetWindowBackground(WindowNumber number, COLORREF color);

HINSTANCE ToolkitInstance();     // the program's module handle

// For the window procedure: a toolkit window destroyed other than by
// CloseToolkitWindow (its owner went away, or DestroyWindow was called on
// it) gives its entry back here, so no live entry keeps a dead handle.
void ForgetDestroyedWindow(WindowNumber number, HWND window);
