// Numbered top-level windows and the window table.
#include "toolkit/window.h"

#include <ole2.h>

#include "runtime/heap.h"
#include "toolkit/event_fetch.h"
#include "toolkit/gadget_target.h"
#include "toolkit/names.h"
#include "toolkit/sizing.h"
#include "toolkit/window_class.h"

namespace {

constexpr uint32_t kToolkitFlags = OPEN_CENTER_ON_SCREEN | OPEN_CENTER_ON_PARENT | OPEN_TOOL_WINDOW;
constexpr uint32_t kUnshownStyles = WS_MINIMIZE | WS_MAXIMIZE | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

ObjectTable* gWindows = nullptr;

// The entry of `number` wherever it is now: slot entries move when the slot
// array grows (a window created while ours is being created may grow it),
// list entries never move and their address is the number.
WindowRecord* EntryOf(WindowNumber number, bool anyNumber) {
    if (anyNumber) return reinterpret_cast<WindowRecord*>(number);
    return reinterpret_cast<WindowRecord*>(gWindows->slots + static_cast<size_t>(number) * gWindows->entrySize);
}

// Taken from a window before it goes, so that the messages its destruction
// sends find no toolkit window.
void RemoveWindowProperties(HWND window) {
    RemovePropA(window, PROP_WINDOW_ID);
    if (RemovePropA(window, PROP_DROP_ACCEPT)) RevokeDragDrop(window);
}

// Releases what a record owns besides its window and class.
void ReleaseRecordResources(const WindowRecord& record) {
    if (record.acceleratorEntries) {
        HeapGive(ProgramHeap(), record.acceleratorEntries);
        DestroyAcceleratorTable(record.acceleratorTable);
    }
    if (record.backgroundBrush) DeleteObject(record.backgroundBrush);
}

}  // namespace

// --- Library -------------------------------------------------------------------

void WindowLibraryInit() {
    gWindows = NewObjectTable(sizeof(WindowRecord), 16, CloseToolkitWindow);
    EventStateInit();
    WindowClassInit();
    SizingStateInit();
}

void WindowLibraryEnd() {
    if (!gWindows) return;
    StartObjectWalk(gWindows);
    WindowNumber number;
    while (NextObject(gWindows, &number)) CloseToolkitWindow(number);
    UnregisterOrphanClasses();
    EventFetchEnd();
}

ObjectTable* WindowTable() { return gWindows; }
HINSTANCE ToolkitInstance() { return GetModuleHandleA(nullptr); }

WindowRecord* FindWindowRecord(WindowNumber number) {
    return static_cast<WindowRecord*>(FindObject(gWindows, number));
}

WindowNumber WindowNumberOf(HWND window) {
    return reinterpret_cast<intptr_t>(GetPropA(window, PROP_WINDOW_ID)) - 1;
}

OwnerWindow FindOwnerWindow(HWND window) {
    for (HWND current = window; current; current = GetParent(current)) {
        if (GetPropA(current, PROP_WINDOW_ID)) return {current, WindowNumberOf(current)};
    }
    return {nullptr, -1};
}

// --- Opening and closing ---------------------------------------------------------

intptr_t OpenToolkitWindow(WindowNumber number, int x, int y, int width, int height, const char* title,
                           uint32_t flags, HWND parent) {
    if (!gWindows) return 0;
    // Closes a window open under the same number first; null for numbers the
    // table cannot hold, and then nothing has been touched.
    void* entry = ObtainObjectSlot(gWindows, number);
    if (!entry) return 0;
    UnregisterOrphanClasses();  // one of them may carry this window's class name
    const bool anyNumber = number == ANY_NUMBER;
    if (anyNumber) number = reinterpret_cast<intptr_t>(entry);

    char className[48];
    FormatClassName(className, sizeof className, number);
    if (!title) title = "";
    RegisterWindowClass(number);

    const uint32_t requested = flags;
    const bool gadgetTarget = !(flags & OPEN_NO_GADGET_TARGET);
    flags &= ~static_cast<uint32_t>(OPEN_NO_GADGET_TARGET);
    if ((flags & ~static_cast<uint32_t>(OPEN_CENTER_ON_SCREEN | OPEN_CENTER_ON_PARENT | OPEN_HIDDEN)) == 0) {
        flags |= WS_CAPTION;
    }
    const bool hidden = flags & OPEN_HIDDEN;
    flags &= ~static_cast<uint32_t>(OPEN_HIDDEN);
    DWORD exStyle = 0;
    if (flags & OPEN_TOOL_WINDOW) {
        flags &= ~kUnshownStyles;
        flags |= WS_CAPTION;
        exStyle = WS_EX_TOOLWINDOW;
    }
    const DWORD style = flags & ~kToolkitFlags;

    RECT frame = {0, 0, width, height};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    int outerWidth = frame.right - frame.left;
    int outerHeight = frame.bottom - frame.top;

    const bool centerScreen = requested & OPEN_CENTER_ON_SCREEN;
    const bool centerParent = requested & OPEN_CENTER_ON_PARENT;
    bool placed = false;
    if (centerScreen) {
        int screenWidth = GetSystemMetrics(SM_CXSCREEN);
        int screenHeight = GetSystemMetrics(SM_CYSCREEN);
        if (outerWidth > screenWidth) outerWidth = screenWidth;
        if (outerHeight > screenHeight) outerHeight = screenHeight;
        x = (screenWidth - outerWidth) / 2;
        y = (screenHeight - outerHeight) / 2;
        placed = true;
    } else if (centerParent) {
        HWND reference = parent ? parent : GetActiveWindow();
        RECT area;
        if (reference && GetWindowRect(reference, &area)) {
            x = area.left + (area.right - area.left - outerWidth) / 2;
            y = area.top + (area.bottom - area.top - outerHeight) / 2;
            if (x < 0) x = 0;
            if (y < 0) y = 0;
            placed = true;
        }
    }
    // Without a centring that happened, POSITION_DEFAULT leaves the place to
    // the platform (also when a centring found nothing to centre on, instead
    // of opening the window far off the screen).
    if (!placed && (x == POSITION_DEFAULT || y == POSITION_DEFAULT)) {
        x = CW_USEDEFAULT;
        y = CW_USEDEFAULT;
    }

    HWND window = CreateWindowExA(exStyle, className, title, style, x, y, outerWidth, outerHeight, parent,
                                  nullptr, ToolkitInstance(), nullptr);
    if (!window) {
        UnregisterWindowClass(number);
        ClearObjectSlot(gWindows, number);
        return 0;
    }

    WindowRecord* record = EntryOf(number, anyNumber);
    record->window = window;
    SetPropA(window, PROP_WINDOW_ID, reinterpret_cast<HANDLE>(number + 1));
    record->minimizedOrMaximized = (style & (WS_MAXIMIZE | WS_MINIMIZE)) != 0;
    // Tab and shift-Tab, for the focus navigation.
    auto* accelerators = static_cast<ACCEL*>(HeapTakeZeroed(ProgramHeap(), 2 * sizeof(ACCEL)));
    accelerators[0].fVirt = FVIRTKEY | FNOINVERT;
    accelerators[0].key = VK_TAB;
    accelerators[0].cmd = CMD_NEXT_CONTROL;
    accelerators[1].fVirt = FVIRTKEY | FNOINVERT | FSHIFT;
    accelerators[1].key = VK_TAB;
    accelerators[1].cmd = CMD_PREVIOUS_CONTROL;
    record->acceleratorEntries = accelerators;
    record->acceleratorTable = CreateAcceleratorTableA(accelerators, 2);
    record->acceleratorCount = 2;
    record->mdiClient = nullptr;

    if (!hidden) {
        int show = SW_SHOWNORMAL;
        if (style & WS_MAXIMIZE) show = SW_SHOWMAXIMIZED;
        else if (style & WS_MINIMIZE) show = SW_SHOWMINIMIZED;
        ShowWindow(window, show);
    }
    if (gadgetTarget) SelectGadgetWindow(window);
    return anyNumber ? number : reinterpret_cast<intptr_t>(window);
}

void CloseToolkitWindow(WindowNumber number) {
    WindowRecord* found = FindWindowRecord(number);
    if (!found) return;
    // The entry is taken out of the table before anything can send a
    // message, so a close started again from inside the teardown (a
    // callback, say) finds nothing and nothing is released twice.
    const WindowRecord record = *found;
    ClearObjectSlot(gWindows, number);

    HWND window = record.window;
    HWND owner = GetWindow(window, GW_OWNER);
    if (owner && !record.mdiClient) SetActiveWindow(owner);
    RemoveWindowProperties(window);
    if (record.mdiClient) {
        SendMessageA(record.mdiClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(window), 0);
    } else {
        DestroyWindow(window);  // also destroys the windows it owns
        UnregisterWindowClass(number);
        UnregisterOrphanClasses();
    }
    ReleaseRecordResources(record);
}

void ForgetDestroyedWindow(WindowNumber number, HWND window) {
    WindowRecord* found = FindWindowRecord(number);
    if (!found || found->window != window) return;
    const WindowRecord record = *found;
    ClearObjectSlot(gWindows, number);
    RemoveWindowProperties(window);
    ReleaseRecordResources(record);
    if (!record.mdiClient) NoteOrphanClass(number);
}

// --- Hooks ---------------------------------------------------------------------------

void SetWindowCallback(WindowNumber number, WindowCallback callback) {
    if (WindowRecord* record = FindWindowRecord(number)) record->windowCallback = callback;
}

void SetGlobalCallback(WindowCallback callback) {
    if (EventState* state = TheEventState()) state->globalCallback = callback;
}

void SetWindowPaintCallback(WindowNumber number, intptr_t (*callback)(HDC dc, HWND window)) {
    if (WindowRecord* record = FindWindowRecord(number)) record->paintCallback = callback;
}

void SetWindowSizeLimits(WindowNumber number, int minWidth, int minHeight, int maxWidth, int maxHeight) {
    WindowRecord* record = FindWindowRecord(number);
    if (!record) return;
    auto clamp = [](int value) -> uint16_t {
        if (value < 0) return 0;
        return static_cast<uint16_t>(value > UINT16_MAX ? UINT16_MAX : value);
    };
    record->minWidth = clamp(minWidth);
    record->minHeight = clamp(minHeight);
    record->maxWidth = clamp(maxWidth);
    record->maxHeight = clamp(maxHeight);
}

void SetWindowBackground(WindowNumber number, COLORREF color) {
    WindowRecord* record = FindWindowRecord(number);
    if (!record) return;
    if (record->backgroundBrush) DeleteObject(record->backgroundBrush);
    record->backgroundBrush = color == CLR_INVALID ? nullptr : CreateSolidBrush(color);
    InvalidateRect(record->window, nullptr, TRUE);
}
