// Numbered top-level windows, the window table and the event fetch.
#include "toolkit/window.h"

#include <ole2.h>

#include <cinttypes>
#include <cstdio>

#include "runtime/heap.h"
#include "toolkit/focus.h"
#include "toolkit/gadgets.h"
#include "toolkit/sizing.h"
#include "toolkit/window_proc.h"

namespace {

const char kWindowIdProperty[] = "QV_WindowID";
const char kDropProperty[] = "QV_DropAccept";

constexpr uint32_t kToolkitFlags = OPEN_CENTER_ON_SCREEN | OPEN_CENTER_ON_PARENT | OPEN_TOOL_WINDOW;
constexpr DWORD kTitleAndBorder = WS_CAPTION;     // 0xC00000
constexpr uint32_t kUnshownStyles = WS_MINIMIZE | WS_MAXIMIZE | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

ObjectTable* gWindows = nullptr;
HICON gClassIcon = nullptr;
HCURSOR gClassCursor = nullptr;

// A platform message fetched together with an event formed during the same
// fetch: the event is delivered first, the message by the next NextEvent.
MSG gHeldMessage;
bool gHolding = false;

// Payloads posted by PostWindowPayload / PostGadgetPayload and not yet
// claimed by the window procedure. The payload is the first member, so its
// address is the block's address and freeing it frees the whole block.
struct PostedPayload {
    EventPayload payload;
    PostedPayload* next;
};
PostedPayload* gPosted = nullptr;

// Numbers of windows destroyed without CloseToolkitWindow. Their classes
// cannot be unregistered while the window still exists (it is being
// destroyed when we learn of it), so they go at the next open or close, or
// at the end of the library.
WindowNumber* gOrphans = nullptr;
size_t gOrphanCount = 0, gOrphanCapacity = 0;

void ClassName(char* name, size_t size, WindowNumber number) {
    snprintf(name, size, "WindowClass_%" PRIdPTR, number);
}

// The entry of `number` wherever it is now: slot entries move when the slot
// array grows (a window created while ours is being created may grow it),
// list entries never move and their address is the number.
WindowRecord* EntryOf(WindowNumber number, bool anyNumber) {
    if (anyNumber) return reinterpret_cast<WindowRecord*>(number);
    return reinterpret_cast<WindowRecord*>(gWindows->slots + static_cast<size_t>(number) * gWindows->entrySize);
}

void NoteOrphanClass(WindowNumber number) {
    if (gOrphanCount == gOrphanCapacity) {
        gOrphanCapacity = gOrphanCapacity ? 2 * gOrphanCapacity : 8;
        gOrphans = static_cast<WindowNumber*>(
            HeapResize(ProgramHeap(), gOrphans, gOrphanCapacity * sizeof(WindowNumber)));
    }
    gOrphans[gOrphanCount++] = number;
}

// Keeps only the classes that still have a window (one in the middle of its
// destruction); a class already gone or re-registered and unregistered since
// is simply dropped from the list.
void UnregisterOrphanClasses() {
    size_t kept = 0;
    for (size_t i = 0; i < gOrphanCount; i++) {
        char className[48];
        ClassName(className, sizeof className, gOrphans[i]);
        if (!UnregisterClassA(className, ToolkitInstance()) && GetLastError() == ERROR_CLASS_HAS_WINDOWS) {
            gOrphans[kept++] = gOrphans[i];
        }
    }
    gOrphanCount = kept;
    if (kept == 0) {
        HeapGive(ProgramHeap(), gOrphans);
        gOrphans = nullptr;
        gOrphanCapacity = 0;
    }
}

void FreePayload(EventPayload* payload) {
    if (!payload) return;
    HeapGive(ProgramHeap(), payload->inner);
    HeapGive(ProgramHeap(), payload);
}

// Releases what a record owns besides its window and class.
void ReleaseRecordResources(const WindowRecord& record) {
    if (record.acceleratorEntries) {
        HeapGive(ProgramHeap(), record.acceleratorEntries);
        DestroyAcceleratorTable(record.acceleratorTable);
    }
    if (record.backgroundBrush) DeleteObject(record.backgroundBrush);
}

bool PeekOne(MSG* message) {
    return PeekMessageA(message, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD) != FALSE;
}

bool EventFormed(const EventState* state) { return state->pendingCode != 0; }

// Fetches one message. Messages sent from other threads or processes are
// handled inside the fetch itself; when one of them forms an event the fetch
// stops there (returning whether a message was taken as well), so the event
// is delivered by this call instead of being cleared by the next one.
bool FetchMessage(int32_t timeout, MSG* message, const EventState* state) {
    if (timeout < 0) {
        for (;;) {
            if (PeekOne(message)) return true;
            if (EventFormed(state)) return false;
            DWORD woke = MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            if (EventFormed(state)) return false;
            if (woke == WAIT_FAILED) return GetMessageA(message, nullptr, 0, 0) != -1;
        }
    }
    if (PeekOne(message)) return true;
    if (timeout == 0 || EventFormed(state)) return false;
    DWORD woke = MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(timeout), 0x1FF);
    if (EventFormed(state) || woke == WAIT_TIMEOUT) return false;
    return PeekOne(message);
}

void Dispatch(MSG* message) {
    HWND active = GetActiveWindow();
    HACCEL table = PickAccelerators(active);
    if (table && TranslateAcceleratorA(active, table, message)) return;
    TranslateMessage(message);
    DispatchMessageA(message);
}

// WM_MOVE, WM_SIZE and WM_CLOSE share their numbers with the events the
// window procedure queues for them, so delivering the raw message as well
// would show the caller the same code twice, the first time with the fields
// of some earlier event.
bool SharesEventCode(UINT message) { return message == WM_MOVE || message == WM_SIZE || message == WM_CLOSE; }

void Deliver(EventState* state) {
    state->currentGadget = state->pendingGadget;
    state->currentWindow = state->pendingWindow;
    state->currentType = state->pendingType;
    state->currentCode = state->pendingCode;
    state->currentWParam = state->messageWParam;
    state->currentLParam = state->messageLParam;
}

int32_t DeliverQueued(EventState* state, int32_t code) {
    state->pendingCode = code;
    state->messageWParam = 0;
    state->messageLParam = 0;
    return code;
}

BOOL PostPayload(HWND window, UINT message, WPARAM wParam, void* inner) {
    auto* posted = static_cast<PostedPayload*>(HeapTakeZeroed(ProgramHeap(), sizeof(PostedPayload)));
    posted->payload.inner = inner;
    posted->next = gPosted;
    gPosted = posted;
    if (PostMessageA(window, message, wParam, reinterpret_cast<LPARAM>(&posted->payload))) return TRUE;
    ClaimPayload(reinterpret_cast<LPARAM>(&posted->payload));
    FreePayload(&posted->payload);
    return FALSE;
}

}  // namespace

// --- Library -------------------------------------------------------------------

void WindowLibraryInit() {
    gWindows = NewObjectTable(sizeof(WindowRecord), 16, CloseToolkitWindow);
    EventStateInit();
    gClassIcon = LoadIconA(ToolkitInstance(), MAKEINTRESOURCEA(1));  // null: the default icon
    gClassCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));     // IDC_ARROW
    SizingStateInit();
}

void WindowLibraryEnd() {
    if (!gWindows) return;
    StartObjectWalk(gWindows);
    WindowNumber number;
    while (NextObject(gWindows, &number)) CloseToolkitWindow(number);
    UnregisterOrphanClasses();
    if (EventState* state = TheEventState()) {
        FreePayload(state->payload);
        state->payload = nullptr;
    }
    while (gPosted) {
        PostedPayload* next = gPosted->next;
        FreePayload(&gPosted->payload);
        gPosted = next;
    }
    gHolding = false;
}

ObjectTable* WindowTable() { return gWindows; }
HICON ToolkitClassIcon() { return gClassIcon; }
HCURSOR ToolkitClassCursor() { return gClassCursor; }
HINSTANCE ToolkitInstance() { return GetModuleHandleA(nullptr); }

WindowRecord* FindWindowRecord(WindowNumber number) {
    return static_cast<WindowRecord*>(FindObject(gWindows, number));
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
    ClassName(className, sizeof className, number);
    if (!title) title = "";

    WNDCLASSA windowClass = {};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = ToolkitWindowProc;
    windowClass.hInstance = ToolkitInstance();
    windowClass.hIcon = gClassIcon;
    windowClass.hCursor = gClassCursor;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);  // a failure shows as a failed creation

    const uint32_t requested = flags;
    const bool gadgetTarget = !(flags & OPEN_NO_GADGET_TARGET);
    flags &= ~static_cast<uint32_t>(OPEN_NO_GADGET_TARGET);
    if ((flags & ~static_cast<uint32_t>(OPEN_CENTER_ON_SCREEN | OPEN_CENTER_ON_PARENT | OPEN_HIDDEN)) == 0) {
        flags |= kTitleAndBorder;
    }
    const bool hidden = flags & OPEN_HIDDEN;
    flags &= ~static_cast<uint32_t>(OPEN_HIDDEN);
    DWORD exStyle = 0;
    if (flags & OPEN_TOOL_WINDOW) {
        flags &= ~kUnshownStyles;
        flags |= kTitleAndBorder;
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
        UnregisterClassA(className, ToolkitInstance());
        ClearObjectSlot(gWindows, number);
        return 0;
    }

    WindowRecord* record = EntryOf(number, anyNumber);
    record->window = window;
    SetPropA(window, kWindowIdProperty, reinterpret_cast<HANDLE>(number + 1));
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
    RemovePropA(window, kWindowIdProperty);
    if (RemovePropA(window, kDropProperty)) RevokeDragDrop(window);
    if (record.mdiClient) {
        SendMessageA(record.mdiClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(window), 0);
    } else {
        DestroyWindow(window);  // also destroys the windows it owns
        char className[48];
        ClassName(className, sizeof className, number);
        UnregisterClassA(className, ToolkitInstance());
        UnregisterOrphanClasses();
    }
    ReleaseRecordResources(record);
}

void ForgetDestroyedWindow(WindowNumber number, HWND window) {
    WindowRecord* found = FindWindowRecord(number);
    if (!found || found->window != window) return;
    const WindowRecord record = *found;
    ClearObjectSlot(gWindows, number);
    RemovePropA(window, kWindowIdProperty);
    if (RemovePropA(window, kDropProperty)) RevokeDragDrop(window);
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
        return static_cast<uint16_t>(value > 0xFFFF ? 0xFFFF : value);
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

BOOL PostWindowPayload(HWND window, void* inner) { return PostPayload(window, MSG_WINDOW_PAYLOAD, 0, inner); }

BOOL PostGadgetPayload(HWND window, GadgetNumber gadget, void* inner) {
    return PostPayload(window, MSG_GADGET_PAYLOAD, static_cast<WPARAM>(gadget), inner);
}

EventPayload* ClaimPayload(LPARAM lParam) {
    for (PostedPayload** link = &gPosted; *link; link = &(*link)->next) {
        PostedPayload* posted = *link;
        if (reinterpret_cast<LPARAM>(&posted->payload) == lParam) {
            *link = posted->next;
            return &posted->payload;
        }
    }
    return nullptr;
}

// --- Events ----------------------------------------------------------------------------

int32_t NextEvent(int32_t timeout) {
    EventState* state = TheEventState();
    if (!state) return 0;
    FreePayload(state->payload);
    state->payload = nullptr;
    state->pendingType = -1;
    state->pendingCode = 0;

    int32_t result = DequeueEvent();
    if (result) {
        DeliverQueued(state, result);
    } else {
        MSG message;
        bool haveMessage;
        if (gHolding) {
            message = gHeldMessage;
            gHolding = false;
            haveMessage = true;
        } else {
            haveMessage = FetchMessage(timeout, &message, state);
        }
        if (EventFormed(state)) {
            // Formed while the fetch handled a message sent from elsewhere.
            if (haveMessage) {
                gHeldMessage = message;
                gHolding = true;
            }
            result = state->pendingCode;
            state->pendingCode = 0;
        } else if (!haveMessage) {
            return 0;
        } else {
            // The queue is empty here, so whatever it holds after the
            // dispatch was queued by it.
            Dispatch(&message);
            if (EventFormed(state)) {
                result = state->pendingCode;
                state->pendingCode = 0;
            } else if (SharesEventCode(message.message) && (result = DequeueEvent()) != 0) {
                DeliverQueued(state, result);
            } else {
                result = static_cast<int32_t>(message.message);
                state->messageWParam = message.wParam;
                state->messageLParam = message.lParam;
            }
        }
    }
    Deliver(state);
    return result;
}

int32_t PollEvent() { return NextEvent(0); }

intptr_t CurrentEventGadget() {
    const EventState* state = TheEventState();
    return state ? state->currentGadget : 0;
}

intptr_t CurrentEventWindow() {
    const EventState* state = TheEventState();
    return state ? state->currentWindow : -1;
}

int32_t CurrentEventType() {
    const EventState* state = TheEventState();
    return state ? state->currentType : -1;
}

void* CurrentEventPayload() {
    const EventState* state = TheEventState();
    return state && state->payload ? state->payload->inner : nullptr;
}
