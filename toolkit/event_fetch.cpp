// The event fetch: where every event and message reaches the program. The
// road of one click is told where the event is formed (FormPendingEvent in
// events.cpp).
#include "toolkit/event_fetch.h"

#include <windows.h>

#include "toolkit/events.h"
#include "toolkit/focus.h"
#include "toolkit/payloads.h"

namespace {

// A platform message fetched together with an event formed during the same
// fetch: the event is delivered first, the message by the next NextEvent.
MSG gHeldMessage;
bool gHolding = false;

bool PeekOne(MSG* message) {
    return PeekMessageA(message, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD) != FALSE;
}

bool EventFormed(const EventState* state) { return state->pendingCode != 0; }

// Every kind of input the wait wakes for: keys, mouse moves and buttons,
// posted and sent messages, timers, paints, hot keys.
constexpr DWORD kWakeMask = QS_KEY | QS_MOUSEMOVE | QS_MOUSEBUTTON | QS_POSTMESSAGE | QS_TIMER | QS_PAINT |
                            QS_SENDMESSAGE | QS_HOTKEY | QS_ALLPOSTMESSAGE;

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
    DWORD woke = MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(timeout), kWakeMask);
    if (EventFormed(state) || woke == WAIT_TIMEOUT) return false;
    return PeekOne(message);
}

// Tab and shift-Tab become the window's navigation commands; everything else
// goes to its window procedure, which may form the pending event.
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

// The pending event becomes the current one: what the Current* reads give
// until the next delivery.
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

// The code of the event formed during the fetch or the dispatch, which is no
// longer pending once taken.
int32_t TakeFormed(EventState* state) {
    int32_t code = state->pendingCode;
    state->pendingCode = 0;
    return code;
}

}  // namespace

int32_t NextEvent(int32_t timeout) {
    EventState* state = TheEventState();
    if (!state) return 0;
    ReleasePayload(state->payload);
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
            result = TakeFormed(state);
        } else if (!haveMessage) {
            return 0;
        } else {
            // The queue is empty here, so whatever it holds after the
            // dispatch was queued by it.
            Dispatch(&message);
            if (EventFormed(state)) {
                result = TakeFormed(state);
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

void EventFetchEnd() {
    if (EventState* state = TheEventState()) {
        ReleasePayload(state->payload);
        state->payload = nullptr;
    }
    ReleasePostedPayloads();
    gHolding = false;
}
