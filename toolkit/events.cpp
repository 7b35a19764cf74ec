#include "toolkit/events.h"

#include <cstring>

#include "runtime/heap.h"

namespace {
EventQueue* gQueue = nullptr;
EventState* gEventState = nullptr;

void InitQueue(EventQueue* queue) {
    queue->pool = NewBlockPool(sizeof(EventRecord), 16, 256);
    // Taken and kept, so the first block exists from the start and a queue
    // that empties never hands its last block back to the heap.
    PoolAlloc(queue->pool);
}
}  // namespace

EventQueue* TheEventQueue() { return gQueue; }
EventState* TheEventState() { return gEventState; }

// A second call starts the queue afresh in the records it already has,
// rather than leaving them behind.
void EventQueueInit() {
    if (!gQueue) {
        gQueue = NewLibraryState<EventQueue>(InitQueue);
        return;
    }
    BlockPool* pool = gQueue->pool;
    PoolClear(pool);
    memset(gQueue, 0, sizeof *gQueue);
    gQueue->pool = pool;
    PoolAlloc(pool);
}

void EventStateInit() {
    if (!gEventState) {
        gEventState = NewLibraryState<EventState>();
        return;
    }
    memset(gEventState, 0, sizeof *gEventState);
}

// Before EventQueueInit there is no queue, and nothing is queued. Code 0 is
// not queued either: DequeueEvent's 0 means "empty", so such an event could
// never be told apart from nothing.
void QueueEvent(int32_t code, intptr_t gadget, intptr_t window, int32_t type) {
    EventQueue* queue = gQueue;
    if (!queue || !queue->pool || code == 0) return;
    EventRecord* newest = queue->tail;
    if (newest && newest->code == code && newest->gadget == gadget && newest->window == window &&
        newest->type == type) {
        return;
    }
    EventRecord* record = static_cast<EventRecord*>(PoolAlloc(queue->pool));
    record->next = nullptr;
    record->code = code;
    record->type = type;
    record->gadget = gadget;
    record->window = window;
    if (newest) {
        newest->next = record;
    } else {
        queue->head = record;
    }
    queue->tail = record;
}

// Without an EventState the event is still taken off the queue; its fields
// then have nowhere to go.
int32_t DequeueEvent() {
    EventQueue* queue = gQueue;
    if (!queue || !queue->head) return 0;
    EventRecord* record = queue->head;
    if (EventState* state = gEventState) {
        state->pendingGadget = record->gadget;
        state->pendingWindow = record->window;
        state->pendingType = record->type;
    }
    queue->head = record->next;
    if (!queue->head) queue->tail = nullptr;
    int32_t code = record->code;
    PoolFree(queue->pool, record);
    return code;
}

void NoteMessageWindow(intptr_t window) {
    if (gEventState) gEventState->pendingWindow = window;
}

// The road of a click, hop by hop, in the order a debugger shows them:
// 1. app/main.cpp: the program's loop calls NextEvent.
// 2. toolkit/event_fetch.cpp: NextEvent fetches the button's mouse-up, lets
//    the accelerator table look at it and dispatches it.
// 3. toolkit/gadgets.cpp: GadgetProc, installed over every gadget's control,
//    passes it to the system's button procedure, which sends WM_COMMAND
//    (BN_CLICKED) to the button's parent window.
// 4. toolkit/gadget_target.cpp: GadgetStackWindowProc, installed over a
//    window while it is a gadget target (the main window is), passes it on
//    to the procedure it replaced.
// 5. toolkit/window_proc.cpp: ToolkitWindowProc calls TranslateWindowMessage,
//    which first offers every message to live sizing (LiveSizingHandler in
//    toolkit/sizing.cpp, not handled here), then OnCommand offers it to the
//    gadget's kind (ForwardToGadget, toolkit/gadget_kinds.cpp: a button does
//    not handle it) and forms the event.
// 6. Here: FormPendingEvent sets EVENT_GADGET, the button's number, BN_CLICKED.
// 7. toolkit/event_fetch.cpp: back in NextEvent the pending event becomes the
//    current one and its code is returned.
// 8. app/main.cpp: the loop reads CurrentEventGadget, reads the source field
//    (ReadGadgetText, toolkit/gadgets.cpp), converts it (codec/encoder.cpp or
//    codec/decoder.cpp) and writes the result (WriteGadgetText).
void FormPendingEvent(int32_t code, intptr_t gadget, int32_t type, EventPayload* payload) {
    EventState* state = gEventState;
    if (!state) {
        ReleasePayload(payload);
        return;
    }
    state->pendingCode = code;
    state->pendingGadget = gadget;
    state->pendingType = type;
    if (payload) {  // two payloads in one dispatch: the first is lost anyway
        ReleasePayload(state->payload);
        state->payload = payload;
    }
}

void ReleasePayload(EventPayload* payload) {
    if (!payload) return;
    HeapGive(ProgramHeap(), payload->inner);
    HeapGive(ProgramHeap(), payload);
}
