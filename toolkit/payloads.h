// Payload events (Win32): a data block handed to a window's owner through the
// platform's message queue, delivered as EVENT_WINDOW_PAYLOAD or
// EVENT_GADGET_PAYLOAD. No part of this program posts one; a general toolkit
// lets any window receive data this way.
#pragma once
#include <windows.h>

#include "toolkit/events.h"
#include "toolkit/registry.h"

// Hands `inner` (a program-heap block or null; ownership passes) to the
// window's owner through the event queue of the platform. The toolkit
// accepts only payloads posted here, so a foreign message with the same
// number cannot make it free memory it does not own. False when posting
// failed; `inner` is then freed.
BOOL PostWindowPayload(HWND window, void* inner);
BOOL PostGadgetPayload(HWND window, GadgetNumber gadget, void* inner);
// For the window procedure: takes a payload posted above out of the set of
// outstanding ones; null for anything else.
EventPayload* ClaimPayload(LPARAM lParam);
// Releases every payload posted and never claimed.
void ReleasePostedPayloads();
