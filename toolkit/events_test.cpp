#include "toolkit/events.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "runtime/heap.h"

namespace {

using Event = std::array<intptr_t, 4>;  // code, gadget, window, type

void Queue(const std::vector<Event>& events) {
    for (const Event& e : events) QueueEvent(int32_t(e[0]), e[1], e[2], int32_t(e[3]));
}
// Dequeues everything, with the fields DequeueEvent leaves in the pending fields.
std::vector<Event> Drain() {
    std::vector<Event> out;
    for (EventState* s = TheEventState(); int32_t code = DequeueEvent();)
        out.push_back({code, s->pendingGadget, s->pendingWindow, s->pendingType});
    return out;
}

TEST(EventQueue, ARepeatOfTheNewestWaitingEventIsDropped) {
    ProgramHeapInit(), EventQueueInit(), EventStateInit();
    const Event close{16, 0, 0, 0}, repaint{15, 0, 0, 0}, click{13100, 6, 0, 0};
    const struct { std::vector<Event> queued, delivered; } cases[] = {
        {{close, close}, {close}},
        {{close, repaint, close}, {close, repaint, close}},
        {{close, close, repaint, repaint, repaint, close}, {close, repaint, close}},
        // Events that differ in any one field are all kept.
        {{click, {13101, 6, 0, 0}, {13101, 7, 0, 0}, {13101, 7, 1, 0}, {13101, 7, 1, 14000}},
         {click, {13101, 6, 0, 0}, {13101, 7, 0, 0}, {13101, 7, 1, 0}, {13101, 7, 1, 14000}}},
        {{{0, 1, 2, 3}, click}, {click}},  // code 0 reads as "empty", so it is never queued
    };
    for (const auto& c : cases) {
        Queue(c.queued);
        EXPECT_EQ(Drain(), c.delivered);
    }
}

// Dequeuing fills the pending fields but leaves the code to the fetch; an
// empty queue leaves the fields alone; a drained queue gives its blocks back.
TEST(EventQueue, DequeueFillsThePendingFieldsAndADrainedQueueGivesItsBlocksBack) {
    ProgramHeapInit(), EventQueueInit(), EventStateInit();
    EventState* state = TheEventState();
    state->pendingCode = 77;
    const HeapUsage before = HeapUsageOf(ProgramHeap());
    const intptr_t identity = reinterpret_cast<intptr_t>(&state);  // identities are pointer-sized
    std::vector<Event> queued;
    for (int i = 0; i < 600; ++i) queued.push_back({13110, identity + i, -1, 14000 + i});
    Queue(queued);
    EXPECT_GT(HeapUsageOf(ProgramHeap()).blocks, before.blocks);
    EXPECT_EQ(Drain(), queued);
    EXPECT_EQ(state->pendingCode, 77);
    EXPECT_EQ(DequeueEvent(), 0);
    EXPECT_TRUE(state->pendingGadget == identity + 599 && state->pendingType == 14599);
    const HeapUsage after = HeapUsageOf(ProgramHeap());
    EXPECT_TRUE(after.blocks == before.blocks && after.bytes == before.bytes) << after.blocks << " blocks";
}

}  // namespace
