#include "toolkit/events.h"

#include <gtest/gtest.h>

#include <vector>

#include "runtime/heap.h"

namespace {

struct Event {
    int32_t code; intptr_t gadget, window; int32_t type;
    bool operator==(const Event& o) const {
        return code == o.code && gadget == o.gadget && window == o.window && type == o.type;
    }
};
std::ostream& operator<<(std::ostream& out, const Event& e) {
    return out << "{" << e.code << ", " << e.gadget << ", " << e.window << ", " << e.type << "}";
}

// Queues the events, then dequeues everything with the fields DequeueEvent
// leaves in the pending fields.
std::vector<Event> QueueAndDrain(const std::vector<Event>& events) {
    for (const Event& e : events) QueueEvent(e.code, e.gadget, e.window, e.type);
    std::vector<Event> out;
    for (EventState* s = TheEventState(); int32_t code = DequeueEvent();)
        out.push_back({code, s->pendingGadget, s->pendingWindow, s->pendingType});
    return out;
}

class EventQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        ProgramHeapInit();
        EventQueueInit();
        EventStateInit();
    }
};

TEST_F(EventQueueTest, ARepeatOfTheNewestWaitingEventIsDropped) {
    const Event close{16, 0, 0, 0}, repaint{15, 0, 0, 0}, click{13100, 6, 0, 0};
    const struct { std::vector<Event> queued, delivered; } cases[] = {
        {{close, close}, {close}},
        {{close, repaint, close}, {close, repaint, close}},  // the queue emptied before: a repeat no more
        {{close, close, repaint, repaint, repaint, close}, {close, repaint, close}},
        // Events that differ in any one field are all kept.
        {{click, {13101, 6, 0, 0}, {13101, 7, 0, 0}, {13101, 7, 1, 0}, {13101, 7, 1, 14000}},
         {click, {13101, 6, 0, 0}, {13101, 7, 0, 0}, {13101, 7, 1, 0}, {13101, 7, 1, 14000}}},
        {{{0, 1, 2, 3}, click}, {click}},  // code 0 reads as "empty", so it is never queued
    };
    for (const auto& c : cases) EXPECT_EQ(QueueAndDrain(c.queued), c.delivered);
}

TEST_F(EventQueueTest, DequeueSetsThePendingFieldsButNotTheCode) {
    EventState* state = TheEventState();
    state->pendingCode = 77;
    const intptr_t identity = reinterpret_cast<intptr_t>(&state);  // identities are pointer-sized
    EXPECT_EQ(QueueAndDrain({{13100, identity, -1, 14000}}), (std::vector<Event>{{13100, identity, -1, 14000}}));
    EXPECT_EQ(state->pendingCode, 77);
    EXPECT_EQ(DequeueEvent(), 0);  // empty: the fields stay
    EXPECT_TRUE(state->pendingGadget == identity && state->pendingType == 14000);
}

TEST_F(EventQueueTest, ADrainedQueueGivesItsExtraBlocksBack) {
    const HeapUsage before = HeapUsageOf(ProgramHeap());
    std::vector<Event> queued;
    for (int i = 0; i < 600; ++i) queued.push_back({13110, i, 0, -1});
    for (const Event& e : queued) QueueEvent(e.code, e.gadget, e.window, e.type);
    EXPECT_GT(HeapUsageOf(ProgramHeap()).blocks, before.blocks);
    EXPECT_EQ(QueueAndDrain({}), queued);
    EXPECT_EQ(HeapUsageOf(ProgramHeap()).blocks, before.blocks);
    EXPECT_EQ(HeapUsageOf(ProgramHeap()).bytes, before.bytes);
}

}  // namespace
