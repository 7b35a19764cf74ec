// The window procedure shared by every toolkit window: platform messages of a
// window and of its controls become toolkit events, either as the pending
// event of the NextEvent call that is dispatching or through the event queue.
#include "toolkit/window_proc.h"

#include "toolkit/events.h"
#include "toolkit/focus.h"
#include "toolkit/gadgets.h"
#include "toolkit/names.h"
#include "toolkit/payloads.h"
#include "toolkit/sizing.h"
#include "toolkit/window.h"

// Four events carry the number of the platform message they come from, and
// WM_MOVE and WM_CLOSE are queued under their own numbers below; a payload
// message is delivered under its event's number.
static_assert(EVENT_MOVE_WINDOW == WM_MOVE, "a window move is queued under its message's number");
static_assert(EVENT_SIZE_WINDOW == WM_SIZE, "a window size event has WM_SIZE's number");
static_assert(EVENT_REPAINT == WM_PAINT, "a repaint event has WM_PAINT's number");
static_assert(EVENT_CLOSE_WINDOW == WM_CLOSE, "a close is queued under its message's number");
static_assert(MSG_WINDOW_PAYLOAD == EVENT_WINDOW_PAYLOAD, "a window payload message has its event's number");
static_assert(MSG_GADGET_PAYLOAD == EVENT_GADGET_PAYLOAD, "a gadget payload message has its event's number");

namespace {

// The control with this identifier reports menu items, not a gadget; no
// control of this program has it.
constexpr LONG_PTR kMenuReportingControl = -10000;

BOOL CALLBACK SendSysColorChange(HWND child, LPARAM) {
    SendMessageA(child, WM_SYSCOLORCHANGE, 0, 0);
    return TRUE;
}

LRESULT OnSize(HWND window, const OwnerWindow& owner, WPARAM kind) {
    if (owner.window != window) return 1;
    WindowRecord* record = FindWindowRecord(owner.number);
    const WindowNumber number = owner.number;
    switch (kind) {
        case SIZE_RESTORED:
            if (record && record->minimizedOrMaximized) {
                record->minimizedOrMaximized = FALSE;
                QueueEvent(EVENT_RESTORE_WINDOW, 0, number, 0);
            }
            QueueEvent(EVENT_SIZE_WINDOW, 0, number, 0);
            break;
        case SIZE_MINIMIZED:
            if (record) record->minimizedOrMaximized = TRUE;
            QueueEvent(EVENT_MINIMIZE_WINDOW, 0, number, 0);
            break;
        case SIZE_MAXIMIZED:
            if (record) record->minimizedOrMaximized = TRUE;
            QueueEvent(EVENT_MAXIMIZE_WINDOW, 0, number, 0);
            QueueEvent(EVENT_SIZE_WINDOW, 0, number, 0);
            break;
        default:
            QueueEvent(EVENT_SIZE_WINDOW, 0, number, 0);
            break;
    }
    return 0;
}

LRESULT OnActivate(HWND window, const OwnerWindow& owner, WPARAM wParam) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        SetPropA(window, PROP_FOCUS, GetFocus());
        return 1;
    }
    // Only a control still inside this window gets the focus back.
    HWND remembered = static_cast<HWND>(GetPropA(window, PROP_FOCUS));
    if (remembered && IsWindow(remembered) && (remembered == window || IsChild(window, remembered))) {
        SetFocus(remembered);
    }
    QueueEvent(EVENT_ACTIVATE_WINDOW, 0, owner.number, 0);
    return 1;
}

LRESULT OnEraseBackground(HWND window, const OwnerWindow& owner, HDC dc) {
    LRESULT result = NOT_HANDLED;
    if (const WindowRecord* record = FindWindowRecord(owner.number)) {
        if (record->backgroundBrush) {
            RECT client;
            GetClientRect(window, &client);
            FillRect(dc, &client, record->backgroundBrush);
            result = 1;
        } else if (owner.window == window && record->paintCallback) {
            result = record->paintCallback(dc, window);
        }
    }
    QueueEvent(EVENT_REPAINT, 0, owner.number, 0);
    return result;
}

LRESULT OnMinMaxInfo(HWND window, const OwnerWindow& owner, MINMAXINFO* info) {
    const WindowRecord* record = FindWindowRecord(owner.number);
    if (!record) return NOT_HANDLED;
    if (!info) return 0;
    if (record->minWidth) info->ptMinTrackSize.x = record->minWidth;
    if (record->minHeight) info->ptMinTrackSize.y = record->minHeight;
    if (record->maxWidth) info->ptMaxTrackSize.x = record->maxWidth;
    if (record->maxHeight) info->ptMaxTrackSize.y = record->maxHeight;
    if ((GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) && !record->minWidth) {
        info->ptMinTrackSize.x = 1;
    }
    return 0;
}

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
    HWND control = reinterpret_cast<HWND>(lParam);
    if (ForwardToGadget(control, window, WM_COMMAND, wParam, lParam) != NOT_HANDLED) return 0;
    if (control) {
        // A control reports; its identifier is its gadget number.
        LONG_PTR id = GetWindowLongPtrA(control, GWLP_ID);
        if (id == kMenuReportingControl) {
            FormPendingEvent(EVENT_MENU, LOWORD(wParam), HIWORD(wParam));
        } else {
            FormPendingEvent(EVENT_GADGET, id, HIWORD(wParam));
        }
    } else if (HIWORD(wParam) == 0) {  // a menu item
        FormPendingEvent(EVENT_MENU, static_cast<intptr_t>(wParam), -1);
    } else if (LOWORD(wParam) == CMD_NEXT_CONTROL) {
        MoveFocus(0);
    } else if (LOWORD(wParam) == CMD_PREVIOUS_CONTROL) {
        MoveFocus(1);
    } else {  // an accelerator of the program's own
        FormPendingEvent(EVENT_MENU, LOWORD(wParam), -1);
    }
    return 0;
}

int32_t ItemClickType(LPARAM mouseMessage) {
    switch (mouseMessage) {
        case WM_LBUTTONDOWN: return 0;
        case WM_RBUTTONDOWN: return 1;
        case WM_LBUTTONDBLCLK: return 2;
        case WM_RBUTTONDBLCLK: return 3;
        default: return -1;
    }
}

// Payload messages are accepted only with a block the toolkit posted itself;
// anything else in lParam (a message with this number from another program)
// forms no event and is never freed. A window payload names no gadget: the
// gadget field keeps the value it had.
LRESULT OnPayload(const EventState* state, int32_t code, WPARAM wParam, LPARAM lParam) {
    EventPayload* payload = ClaimPayload(lParam);
    if (!payload) return NOT_HANDLED;
    intptr_t gadget = code == EVENT_GADGET_PAYLOAD ? static_cast<intptr_t>(wParam) : state->pendingGadget;
    FormPendingEvent(code, gadget, -1, payload);
    return 0;
}

}  // namespace

LRESULT TranslateWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT sized = LiveSizingHandler(window, message, wParam, lParam);
    if (sized != NOT_HANDLED) return sized;

    const OwnerWindow owner = FindOwnerWindow(window);
    EventState* state = TheEventState();
    const WindowRecord* record = FindWindowRecord(owner.number);
    WindowCallback callback = record && record->windowCallback ? record->windowCallback
                              : state                          ? state->globalCallback
                                                               : nullptr;
    if (callback) {
        intptr_t result = callback(window, message, wParam, lParam);
        if (result != PASS_ON) return result;
        // The callback may have opened or closed windows, which moves or
        // frees records: the one found before may be gone.
        record = FindWindowRecord(owner.number);
    }
    if (!state) return NOT_HANDLED;  // the toolkit has not been started
    NoteMessageWindow(owner.number);

    // Records are looked up again below wherever they are needed after a
    // call that sends messages (anything may open a window then).
    switch (message) {
        case WM_MOVE:
        case WM_CLOSE:
            if (owner.number != -1) QueueEvent(static_cast<int32_t>(message), owner.number, owner.number, 0);
            return 0;
        case WM_SIZE:
            return OnSize(window, owner, wParam);
        case WM_ACTIVATE:
            return OnActivate(window, owner, wParam);
        case WM_ERASEBKGND:
            return OnEraseBackground(window, owner, reinterpret_cast<HDC>(wParam));
        case WM_SYSCOLORCHANGE:
            if (record && !record->mdiClient) EnumChildWindows(window, SendSysColorChange, 0);
            return NOT_HANDLED;
        case WM_GETMINMAXINFO:
            return OnMinMaxInfo(window, owner, reinterpret_cast<MINMAXINFO*>(lParam));
        case WM_NOTIFY: {
            const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
            if (!header) return NOT_HANDLED;
            return ForwardToGadget(header->hwndFrom, window, message, wParam, lParam);
        }
        case WM_NCDESTROY:
            RemovePropA(window, PROP_FOCUS);
            // Destroyed without CloseToolkitWindow (which removes
            // PROP_WINDOW_ID first): give the entry back.
            if (owner.window == window) ForgetDestroyedWindow(owner.number, window);
            // The platform's own teardown of the window still runs.
            return NOT_HANDLED;
        case WM_COMMAND:
            return OnCommand(window, wParam, lParam);
        case WM_TIMER:
            if (!record) return NOT_HANDLED;
            FormPendingEvent(EVENT_TIMER, static_cast<intptr_t>(wParam), -1);
            return 0;
        case WM_HSCROLL:
        case WM_VSCROLL:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORSTATIC:
        case MSG_FORWARD_TO_CONTROL:
            return ForwardToGadget(reinterpret_cast<HWND>(lParam), window, message, wParam, lParam);
        case MSG_ITEM_MOUSE: {
            int32_t type = ItemClickType(lParam);
            if (type >= 0) QueueEvent(EVENT_ITEM_CLICK, static_cast<intptr_t>(wParam), owner.number, type);
            PostMessageA(window, WM_NULL, 0, 0);
            return 0;
        }
        case MSG_WINDOW_PAYLOAD:
            return OnPayload(state, EVENT_WINDOW_PAYLOAD, wParam, lParam);
        case MSG_GADGET_PAYLOAD:
            return OnPayload(state, EVENT_GADGET_PAYLOAD, wParam, lParam);
        default:
            return NOT_HANDLED;
    }
}

LRESULT CALLBACK ToolkitWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = TranslateWindowMessage(window, message, wParam, lParam);
    if (message != WM_SIZE) {
        // An MDI frame (no window of this program is one) leaves what the
        // toolkit does not handle to the frame's own default procedure.
        if (HWND mdiClient = static_cast<HWND>(GetPropA(window, PROP_MDI_CLIENT))) {
            if (result == NOT_HANDLED || message == WM_MENUCHAR || message == WM_SETFOCUS) {
                return DefFrameProcA(window, mdiClient, message, wParam, lParam);
            }
            if (message == WM_COMMAND && lParam == 0) return DefFrameProcA(window, mdiClient, WM_COMMAND, wParam, 0);
            return result;
        }
    }
    SetLastError(0);
    return result == NOT_HANDLED ? DefWindowProcA(window, message, wParam, lParam) : result;
}

// Hands a control's message to its gadget kind. The control must be a gadget
// of this program: its PROP_GADGET_ID equal to its identifier and the gadget of that
// number being this very control.
LRESULT ForwardToGadget(HWND control, HWND parent, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!control) return NOT_HANDLED;
    LONG_PTR id = GetWindowLongPtrA(control, GWLP_ID);
    if (reinterpret_cast<LONG_PTR>(GetPropA(control, PROP_GADGET_ID)) != id) return NOT_HANDLED;
    GadgetRecord* gadget = FindGadgetRecord(id);
    if (!gadget || gadget->control != control || !gadget->kind || !gadget->kind->OnParentMessage) {
        return NOT_HANDLED;
    }
    return gadget->kind->OnParentMessage(gadget, parent, message, wParam, lParam);
}
