// Toolkit events: the codes, the per-process EventState with the event being
// formed, and the first-in first-out EventQueue. Platform-free: the window
// procedure (toolkit/window_proc.h) forms and queues events through the
// functions below, and NextEvent (toolkit/event_fetch.h) delivers them.
#pragma once
#include <cstdint>

#include "toolkit/registry.h"

enum EventCode : int32_t {
    EVENT_MOVE_WINDOW = 3,
    EVENT_SIZE_WINDOW = 5,
    EVENT_REPAINT = 15,
    EVENT_CLOSE_WINDOW = 16,
    EVENT_GADGET = 13100,
    EVENT_MENU = 13101,
    EVENT_ITEM_CLICK = 13102,
    EVENT_ACTIVATE_WINDOW = 13104,
    EVENT_WINDOW_PAYLOAD = 13105,
    EVENT_GADGET_PAYLOAD = 13106,
    EVENT_MINIMIZE_WINDOW = 13107,
    EVENT_MAXIMIZE_WINDOW = 13108,
    EVENT_RESTORE_WINDOW = 13109,
    EVENT_TIMER = 13110,
};

enum EventType : int32_t {
    EVENT_TYPE_FOCUS = 14000,
    EVENT_TYPE_LOST_FOCUS = 14001,
};

// Payload of the payload events: a block that owns one further block.
struct EventPayload {
    void* inner;
};

typedef intptr_t (*WindowCallback)(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Gadget and window fields are pointer-sized: they may hold identities.
// Only the event files write the pending fields: DequeueEvent,
// NoteMessageWindow and FormPendingEvent here, NextEvent in event_fetch.cpp.
struct EventState : LibraryState {
    intptr_t pendingGadget;
    intptr_t pendingWindow;   // -1 for none
    int32_t pendingType;      // -1 for none
    int32_t pendingCode;      // 0 for none
    uintptr_t messageWParam;
    intptr_t messageLParam;
    // What NextEvent delivered last, read by CurrentEventGadget and its kin.
    intptr_t currentGadget;
    intptr_t currentWindow;
    int32_t currentType;
    int32_t currentCode;
    uintptr_t currentWParam;
    intptr_t currentLParam;
    WindowCallback globalCallback;
    EventPayload* payload;
};

struct EventRecord {
    EventRecord* next;
    int32_t code;
    int32_t type;
    intptr_t gadget;
    intptr_t window;
};

struct EventQueue : LibraryState {
    BlockPool* pool;
    EventRecord* head;   // oldest
    EventRecord* tail;   // newest
};

// Made by EventQueueInit and WindowLibraryInit; null before.
EventQueue* TheEventQueue();
EventState* TheEventState();

void EventQueueInit();              // the queue and its pool (one EventRecord per element, 16 to 256 per block); again: emptied
void EventStateInit();              // the zeroed EventState (called by WindowLibraryInit); again: zeroed
// A repeat of the newest queued event (all four fields equal) is dropped.
void QueueEvent(int32_t code, intptr_t gadget, intptr_t window, int32_t type);
// The oldest code, its gadget, window and type going to the pending fields;
// 0 when the queue is empty.
int32_t DequeueEvent();

// While NextEvent dispatches a message, the window procedure notes the
// message's toolkit window (-1 for none) for whatever NextEvent delivers for
// it, and may form the event NextEvent delivers: the last one formed in a
// dispatch wins. A payload given is held until the next NextEvent call; one
// formed before it in the same dispatch is released. Before EventStateInit
// both do nothing, except that a payload given is released.
void NoteMessageWindow(intptr_t window);
void FormPendingEvent(int32_t code, intptr_t gadget, int32_t type, EventPayload* payload = nullptr);
// Frees a payload block and the block it owns; null does nothing.
void ReleasePayload(EventPayload* payload);
