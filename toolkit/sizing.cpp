// Live window sizing. With full-window dragging on, the toolkit sizes a
// window itself: it captures the mouse and handles the mouse moves and arrow
// keys that reach the window through the program's own event fetch, so the
// program's event loop keeps running while the user drags.
#include "toolkit/sizing.h"

#include "toolkit/registry.h"

namespace {

SizingState* gSizing;

// Offsets that put the cursor on a left or top side and two pixels inside a
// right or bottom side; the same offsets map a cursor point back to a side.
constexpr LONG kInside = 2;
constexpr LONG kArrowStep = 10;

// WM_SYSCOMMAND's wParam: the command in the high bits, the system's own use
// in the low four, which for SC_SIZE name the edge (a WMSZ_* code).
constexpr WPARAM kCommandBits = 0xFFF0;
constexpr WPARAM kEdgeBits = 0xF;

enum CursorShape { SHAPE_WE, SHAPE_NS, SHAPE_NWSE, SHAPE_NESW, SHAPE_ALL, SHAPE_COUNT };

HCURSOR SizingCursor(CursorShape shape) {
    static const LPCSTR ids[SHAPE_COUNT] = {IDC_SIZEWE, IDC_SIZENS, IDC_SIZENWSE, IDC_SIZENESW, IDC_SIZEALL};
    static HCURSOR loaded[SHAPE_COUNT];
    if (!loaded[shape]) {
        // Shared system cursors: loaded once, never destroyed.
        loaded[shape] = static_cast<HCURSOR>(
            LoadImageA(nullptr, ids[shape], IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE));
    }
    return loaded[shape];
}

void PlaceSizingCursor(CursorShape shape, LONG x, LONG y) {
    SetCursorPos(x, y);
    SetCursor(SizingCursor(shape));
}

// Keeps the extent between the two sides within the tracking limits by
// moving the side `moving`. `sign` is -1 when the moving side is the near one
// (left, top), +1 for the far one (right, bottom).
void ClampSide(LONG* moving, LONG fixed, LONG extent, LONG minimum, LONG maximum, LONG sign) {
    if (extent < minimum) {
        *moving = fixed + sign * minimum;
    } else if (extent > maximum) {
        *moving = fixed + sign * maximum;
    }
}

bool MovesLeft(int32_t edge) { return edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT; }
bool MovesRight(int32_t edge) { return edge == WMSZ_RIGHT || edge == WMSZ_TOPRIGHT || edge == WMSZ_BOTTOMRIGHT; }
bool MovesTop(int32_t edge) { return edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT; }
bool MovesBottom(int32_t edge) { return edge == WMSZ_BOTTOM || edge == WMSZ_BOTTOMLEFT || edge == WMSZ_BOTTOMRIGHT; }

// Moves the sides that belong to the edge to the screen point (x, y), each
// side checked against the tracking sizes at once, left, right, top, bottom.
void ApplySizingPoint(LONG x, LONG y) {
    RECT& r = gSizing->rectangle;
    const MINMAXINFO& limits = gSizing->limits;
    const int32_t edge = gSizing->edge;
    if (MovesLeft(edge)) {
        r.left = edge == WMSZ_TOPLEFT ? x - kInside : x;
        ClampSide(&r.left, r.right, r.right - r.left, limits.ptMinTrackSize.x, limits.ptMaxTrackSize.x, -1);
    }
    if (MovesRight(edge)) {
        r.right = x + kInside;
        ClampSide(&r.right, r.left, r.right - r.left, limits.ptMinTrackSize.x, limits.ptMaxTrackSize.x, 1);
    }
    if (MovesTop(edge)) {
        r.top = edge == WMSZ_TOPLEFT ? y - kInside : y;
        ClampSide(&r.top, r.bottom, r.bottom - r.top, limits.ptMinTrackSize.y, limits.ptMaxTrackSize.y, -1);
    }
    if (MovesBottom(edge)) {
        r.bottom = y + kInside;
        ClampSide(&r.bottom, r.top, r.bottom - r.top, limits.ptMinTrackSize.y, limits.ptMaxTrackSize.y, 1);
    }
}

void MoveWindowToRect(HWND window, RECT rect) {
    if (GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD) {
        MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    }
    MoveWindow(window, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

// Lets the window adjust the rectangle, then gives the window that size.
void ShowSizingRect(HWND window) {
    SendMessageA(window, WM_SIZING, static_cast<WPARAM>(gSizing->edge), reinterpret_cast<LPARAM>(&gSizing->rectangle));
    MoveWindowToRect(window, gSizing->rectangle);
}

void SizingStep(HWND window, LONG x, LONG y) {
    SetCursorPos(x, y);
    ApplySizingPoint(x, y);
    ShowSizingRect(window);
}

void ChooseEdge(int32_t edge, CursorShape shape, LONG x, LONG y) {
    gSizing->edge = edge;
    PlaceSizingCursor(shape, x, y);
}

// An arrow key during a sizing: picks an edge while none or a single side is
// chosen in a way the key can turn into another, otherwise moves the cursor
// one step and the chosen sides with it.
void SizingArrowKey(HWND window, WPARAM key) {
    POINT cursor;
    if (!GetCursorPos(&cursor)) return;
    const RECT r = gSizing->rectangle;
    const int32_t edge = gSizing->edge;
    switch (edge) {
    case 0:
        switch (key) {
        case VK_LEFT: ChooseEdge(WMSZ_LEFT, SHAPE_WE, r.left, cursor.y); return;
        case VK_UP: ChooseEdge(WMSZ_TOP, SHAPE_NS, cursor.x, r.top); return;
        case VK_RIGHT: ChooseEdge(WMSZ_RIGHT, SHAPE_WE, r.right - kInside, cursor.y); return;
        case VK_DOWN: ChooseEdge(WMSZ_BOTTOM, SHAPE_NS, cursor.x, r.bottom - kInside); return;
        }
        return;
    case WMSZ_LEFT:
    case WMSZ_RIGHT:
        if (key == VK_UP) {
            if (edge == WMSZ_LEFT) ChooseEdge(WMSZ_TOPLEFT, SHAPE_NWSE, r.left + kInside, r.top + kInside);
            else ChooseEdge(WMSZ_TOPRIGHT, SHAPE_NESW, r.right - kInside, r.top);
            return;
        }
        if (key == VK_DOWN) {
            if (edge == WMSZ_LEFT) ChooseEdge(WMSZ_BOTTOMLEFT, SHAPE_NESW, r.left, r.bottom - kInside);
            else ChooseEdge(WMSZ_BOTTOMRIGHT, SHAPE_NWSE, r.right - kInside, r.bottom - kInside);
            return;
        }
        break;
    case WMSZ_TOP:
    case WMSZ_BOTTOM:
        if (key == VK_LEFT) {
            if (edge == WMSZ_TOP) ChooseEdge(WMSZ_TOPLEFT, SHAPE_NWSE, r.left + kInside, r.top + kInside);
            else ChooseEdge(WMSZ_BOTTOMLEFT, SHAPE_NESW, r.left, r.bottom - kInside);
            return;
        }
        if (key == VK_RIGHT) {
            if (edge == WMSZ_TOP) ChooseEdge(WMSZ_TOPRIGHT, SHAPE_NESW, r.right - kInside, r.top);
            else ChooseEdge(WMSZ_BOTTOMRIGHT, SHAPE_NWSE, r.right - kInside, r.bottom - kInside);
            return;
        }
        break;
    case WMSZ_TOPLEFT:
    case WMSZ_TOPRIGHT:
    case WMSZ_BOTTOMLEFT:
    case WMSZ_BOTTOMRIGHT:
        break;
    default:
        return;  // not an edge the system names: nothing to move
    }
    switch (key) {
    case VK_LEFT: cursor.x -= kArrowStep; break;
    case VK_RIGHT: cursor.x += kArrowStep; break;
    case VK_UP: cursor.y -= kArrowStep; break;
    case VK_DOWN: cursor.y += kArrowStep; break;
    }
    SizingStep(window, cursor.x, cursor.y);
}

// The system's default limits, then whatever the window itself sets.
void PrepareLimits(HWND window) {
    MINMAXINFO& limits = gSizing->limits;
    limits.ptReserved.x = 0;
    limits.ptReserved.y = 0;
    limits.ptMaxSize.x = GetSystemMetrics(SM_CXMAXIMIZED);
    limits.ptMaxSize.y = GetSystemMetrics(SM_CYMAXIMIZED);
    if (GetWindowLongPtrA(window, GWL_STYLE) & WS_BORDER) {
        limits.ptMaxPosition.x = GetSystemMetrics(SM_CXBORDER);
        limits.ptMaxPosition.y = GetSystemMetrics(SM_CYBORDER);
    } else if (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_WINDOWEDGE) {
        limits.ptMaxPosition.x = GetSystemMetrics(SM_CXEDGE);
        limits.ptMaxPosition.y = GetSystemMetrics(SM_CYEDGE);
    } else {
        limits.ptMaxPosition.x = 0;
        limits.ptMaxPosition.y = 0;
    }
    limits.ptMinTrackSize.x = GetSystemMetrics(SM_CXMINTRACK);
    limits.ptMinTrackSize.y = GetSystemMetrics(SM_CYMINTRACK);
    limits.ptMaxTrackSize.x = GetSystemMetrics(SM_CXMAXTRACK);
    limits.ptMaxTrackSize.y = GetSystemMetrics(SM_CYMAXTRACK);
    SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
}

LRESULT StartSizing(HWND window, WPARAM wParam) {
    BOOL fullWindows = FALSE;
    if (!SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &fullWindows, 0) || !fullWindows) {
        return NOT_HANDLED;  // the system sizes the window its own way
    }
    gSizing->edge = static_cast<int32_t>(wParam & kEdgeBits);
    gSizing->active = TRUE;
    gSizing->window = window;
    GetWindowRect(window, &gSizing->rectangle);
    PrepareLimits(window);
    // Only the high bit (the sign) tells whether the button is down; the low
    // bit is its toggle state, which flips with every press.
    if (GetKeyState(VK_LBUTTON) >= 0) {
        SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    }
    SetCapture(window);
    if (GetCapture() != window) {
        // The capture was refused (as it is to a thread that does not own
        // the window): without it nothing would ever end the sizing.
        gSizing->active = FALSE;
        gSizing->window = nullptr;
        return NOT_HANDLED;
    }
    PostMessageA(window, WM_ENTERSIZEMOVE, 0, 0);
    if (gSizing->edge == 0) {
        // Started from the window menu: the keyboard chooses the edge.
        gSizing->restoreCursor = TRUE;
        GetCursorPos(&gSizing->savedCursor);
        SetCursor(SizingCursor(SHAPE_ALL));
    } else {
        gSizing->restoreCursor = FALSE;
    }
    return 0;
}

void EndSizing(HWND window) {
    PostMessageA(window, WM_EXITSIZEMOVE, 0, 0);
    gSizing->active = FALSE;
    gSizing->window = nullptr;
    if (gSizing->restoreCursor) {
        SetCursorPos(gSizing->savedCursor.x, gSizing->savedCursor.y);
    }
}

}  // namespace

void SizingStateInit() {
    gSizing = NewLibraryState<SizingState>();
}

SizingState* TheSizingState() { return gSizing; }

LRESULT LiveSizingHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!gSizing) return NOT_HANDLED;
    if (!gSizing->active) {
        if (message == WM_SYSCOMMAND && (wParam & kCommandBits) == SC_SIZE) return StartSizing(window, wParam);
        return NOT_HANDLED;
    }
    // The capture keeps a sizing to one window; messages of any other window
    // are none of its business.
    if (window != gSizing->window) return NOT_HANDLED;
    switch (message) {
    case WM_SYSCOMMAND:
        // A second sizing command while one runs would start the system's
        // modal sizing loop on top of this one, fighting over the capture.
        if ((wParam & kCommandBits) == SC_SIZE) return 0;
        return NOT_HANDLED;
    case WM_MOUSEMOVE: {
        gSizing->restoreCursor = FALSE;
        POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        MapWindowPoints(window, HWND_DESKTOP, &point, 1);
        ApplySizingPoint(point.x, point.y);
        ShowSizingRect(window);
        return 0;
    }
    case WM_KEYDOWN:
        switch (wParam) {
        case VK_RETURN:
        case VK_ESCAPE:
            // Escape too keeps the size reached so far.
            ReleaseCapture();
            return 0;
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
            SizingArrowKey(window, wParam);
            return NOT_HANDLED;
        }
        return NOT_HANDLED;
    case WM_LBUTTONUP:
        ReleaseCapture();
        return 0;
    case WM_CAPTURECHANGED:
        EndSizing(window);
        return 0;
    case WM_NCDESTROY:
        // Destroyed while sizing: the capture goes with the window, without
        // a capture change being reported.
        gSizing->active = FALSE;
        gSizing->window = nullptr;
        return NOT_HANDLED;
    }
    return NOT_HANDLED;
}
