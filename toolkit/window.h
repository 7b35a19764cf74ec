// Numbered top-level windows and the event fetch (Win32).
#pragma once
#include <windows.h>

#include "toolkit/events.h"
#include "toolkit/registry.h"

enum OpenFlags : uint32_t {
    OPEN_CENTER_ON_SCREEN = 1,
    OPEN_CENTER_ON_PARENT = 2,
    OPEN_TOOL_WINDOW = 4,
    OPEN_NO_GADGET_TARGET = 8,
    OPEN_HIDDEN = 0x10000000,
};
constexpr int POSITION_DEFAULT = -65535;

enum AcceleratorCommand : WORD {
    CMD_NEXT_CONTROL = 64001,
    CMD_PREVIOUS_CONTROL = 64002,
};

struct WindowRecord {
    HWND window;                 // non-null exactly while the entry is live
    ACCEL* acceleratorEntries;   // owned, from the program heap
    HACCEL acceleratorTable;
    WindowCallback windowCallback;
    int32_t acceleratorCount;    // 2
    HBRUSH backgroundBrush;      // owned; deleted at close
    HWND mdiClient;
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

// timeout: -1 (or any negative value) waits for a message, 0 never waits,
// > 0 waits at most that many milliseconds. Returns an event code, a raw
// message number, or 0.
int32_t NextEvent(int32_t timeout);
int32_t PollEvent();
intptr_t CurrentEventGadget();
intptr_t CurrentEventWindow();   // -1 when the event belongs to no toolkit window
int32_t CurrentEventType();      // -1 when the event has none
// The block handed over with the last payload event (EVENT_WINDOW_PAYLOAD,
// EVENT_GADGET_PAYLOAD), or null. Valid until the next NextEvent call.
void* CurrentEventPayload();

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

// Hands `inner` (a program-heap block or null; ownership passes) to the
// window's owner through the event queue of the platform. The toolkit
// accepts only payloads posted here, so a foreign message with the same
// number cannot make it free memory it does not own. False when posting
// failed; `inner` is then freed.
BOOL PostWindowPayload(HWND window, void* inner);
BOOL PostGadgetPayload(HWND window, GadgetNumber gadget, void* inner);
// For the window procedure: takes a payload posted above out of the set of
// outstanding ones; null for anything else.
EventPayload* ClaimPayload(LPARAM lParam);

// Shared with the window procedure: the class icon and cursor.
HICON ToolkitClassIcon();
HCURSOR ToolkitClassCursor();
HINSTANCE ToolkitInstance();     // the program's module handle

// For the window procedure: a toolkit window destroyed other than by
// CloseToolkitWindow (its owner went away, or DestroyWindow was called on
// it) gives its entry back here, so no live entry keeps a dead handle.
void ForgetDestroyedWindow(WindowNumber number, HWND window);
