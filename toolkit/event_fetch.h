// The event fetch (Win32): NextEvent delivers queued events first, then
// fetches and dispatches one platform message, delivering the event its
// window procedure formed or the message itself; the Current* reads give the
// fields of what it delivered last.
#pragma once
#include <cstdint>

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

// At the window library's end: releases the payloads still held or posted
// and forgets a message held back for the next call.
void EventFetchEnd();
