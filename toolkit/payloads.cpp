#include "toolkit/payloads.h"

#include "runtime/heap.h"
#include "toolkit/names.h"

namespace {

// Payloads posted and not yet claimed by the window procedure. The payload
// is the first member, so its address is the block's address and releasing
// it frees the whole block.
struct PostedPayload {
    EventPayload payload;
    PostedPayload* next;
};
PostedPayload* gPosted = nullptr;

BOOL PostPayload(HWND window, UINT message, WPARAM wParam, void* inner) {
    auto* posted = static_cast<PostedPayload*>(HeapTakeZeroed(ProgramHeap(), sizeof(PostedPayload)));
    posted->payload.inner = inner;
    posted->next = gPosted;
    gPosted = posted;
    if (PostMessageA(window, message, wParam, reinterpret_cast<LPARAM>(&posted->payload))) return TRUE;
    ReleasePayload(ClaimPayload(reinterpret_cast<LPARAM>(&posted->payload)));
    return FALSE;
}

}  // namespace

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

void ReleasePostedPayloads() {
    while (gPosted) {
        PostedPayload* next = gPosted->next;
        ReleasePayload(&gPosted->payload);
        gPosted = next;
    }
}
