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

// timeout: -1 waits for a message, 0 never waits, > 0 waits at most that many
// milliseconds. Returns an event code, a raw message number, or 0.
int32_t NextEvent(int32_t timeout);
int32_t PollEvent();
intptr_t CurrentEventGadget();

// Shared with the window procedure: the class icon and cursor.
HICON ToolkitClassIcon();
HCURSOR ToolkitClassCursor();
HINSTANCE ToolkitInstance();     // the program's module handle
