// Live window sizing with full-window dragging on (Win32).
#pragma once
#include <windows.h>

#include <cstdint>

#include "toolkit/registry.h"

struct SizingState : LibraryState {
    BOOL active;
    BOOL restoreCursor;
    POINT savedCursor;
    RECT rectangle;       // screen coordinates
    int32_t edge;         // 0 none yet, 1 left ... 8 bottom-right (WMSZ_* codes)
    MINMAXINFO limits;
    HWND window;          // the window being sized while active
};

void SizingStateInit();       // called by WindowLibraryInit
SizingState* TheSizingState();
// Offered every message of a toolkit window first; NOT_HANDLED lets it go on.
LRESULT LiveSizingHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
