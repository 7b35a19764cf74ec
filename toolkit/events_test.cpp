#include "toolkit/events.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "runtime/heap.h"

namespace {

struct Event {
    int32_t code;
    intptr_t gadget;
    intptr_t window;
    int32_t type;
    bool operator==(const Event& o) const {
        return code == o.code && gadget == o.gadget && window == o.window && type == o.type;
    }
};

std::ostream& operator<<(std::ostream& out, const Event& e) {
    return out << "{" << e.code << ", " << e.gadget << ", " << e.window << ", " << e.type << "}";
}

class EventQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        ProgramHeapInit();
        EventQueueInit();
        EventStateInit();
    }

    static void Queue(const Event& e) { QueueEvent(e.code, e.gadget, e.window, e.type); }

    // Everything queued, oldest first, with the fields DequeueEvent left in
    // the pending fields.
    static std::vector<Event> Drain() {
        std::vector<Event> out;
        while (int32_t code = DequeueEvent()) {
            EventState* s = TheEventState();
            out.push_back({code, s->pendingGadget, s->pendingWindow, s->pendingType});
        }
        return out;
    }
};

TEST_F(EventQueueTest, InitMakesTheQueueWithItsFirstBlock) {
    EventQueue* queue = TheEventQueue();
    ASSERT_NE(queue, nullptr);
    ASSERT_NE(queue->pool, nullptr);
    EXPECT_EQ(queue->head, nullptr);
    EXPECT_EQ(queue->tail, nullptr);
    EXPECT_EQ(queue->pool->total, 16u);
    EXPECT_EQ(queue->pool->minimum, 16u);
    EXPECT_EQ(queue->pool->maximum, 256u);
    EXPECT_EQ(queue->pool->stride, (sizeof(EventRecord) + sizeof(void*) - 1) / sizeof(void*) * sizeof(void*) +
                                       sizeof(void*));
    EventState* state = TheEventState();
    ASSERT_NE(state, nullptr);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(state);
    for (size_t i = 0; i < sizeof(EventState); ++i) EXPECT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(DequeueEvent(), 0);
}

TEST_F(EventQueueTest, RepeatOfTheNewestEventIsDropped) {
    const Event close{EVENT_CLOSE_WINDOW, 0, 0, 0};
    const Event repaint{EVENT_REPAINT, 0, 0, 0};
    const struct {
        std::vector<Event> queued, delivered;
    } cases[] = {
        {{close, close}, {close}},
        {{repaint, repaint, repaint}, {repaint}},
        {{close, repaint, close}, {close, repaint, close}},
        {{close, close, repaint, repaint, close}, {close, repaint, close}},
        // Each field counts: events that differ in any one are all kept.
        {{{EVENT_GADGET, 6, 0, 0}, {EVENT_MENU, 6, 0, 0}}, {{EVENT_GADGET, 6, 0, 0}, {EVENT_MENU, 6, 0, 0}}},
        {{{EVENT_GADGET, 6, 0, 0}, {EVENT_GADGET, 7, 0, 0}}, {{EVENT_GADGET, 6, 0, 0}, {EVENT_GADGET, 7, 0, 0}}},
        {{{EVENT_GADGET, 6, 0, 0}, {EVENT_GADGET, 6, 1, 0}}, {{EVENT_GADGET, 6, 0, 0}, {EVENT_GADGET, 6, 1, 0}}},
        {{{EVENT_GADGET, 1, 0, EVENT_TYPE_FOCUS}, {EVENT_GADGET, 1, 0, EVENT_TYPE_LOST_FOCUS}},
         {{EVENT_GADGET, 1, 0, EVENT_TYPE_FOCUS}, {EVENT_GADGET, 1, 0, EVENT_TYPE_LOST_FOCUS}}},
        // Code 0 would read as "empty", so it is never queued.
        {{{0, 1, 2, 3}, close}, {close}},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        for (const Event& e : cases[i].queued) Queue(e);
        EXPECT_EQ(Drain(), cases[i].delivered) << "case " << i;
    }
}

TEST_F(EventQueueTest, RepeatAfterTheQueueEmptiedIsDeliveredAgain) {
    const Event click{EVENT_GADGET, 6, 0, 0};
    Queue(click);
    EXPECT_EQ(Drain(), std::vector<Event>{click});
    Queue(click);
    EXPECT_EQ(Drain(), std::vector<Event>{click});
}

TEST_F(EventQueueTest, DequeueSetsPendingFieldsButNotTheCode) {
    EventState* state = TheEventState();
    state->pendingCode = 77;
    state->messageWParam = 5;
    // Pointer-sized gadget and window fields keep identities whole.
    const intptr_t identity = static_cast<intptr_t>(reinterpret_cast<uintptr_t>(&state));
    QueueEvent(EVENT_GADGET, identity, -1, EVENT_TYPE_FOCUS);
    EXPECT_EQ(DequeueEvent(), EVENT_GADGET);
    EXPECT_EQ(state->pendingGadget, identity);
    EXPECT_EQ(state->pendingWindow, -1);
    EXPECT_EQ(state->pendingType, EVENT_TYPE_FOCUS);
    EXPECT_EQ(state->pendingCode, 77);
    EXPECT_EQ(state->messageWParam, 5u);

    // An empty queue leaves them as they are.
    EXPECT_EQ(DequeueEvent(), 0);
    EXPECT_EQ(state->pendingGadget, identity);
    EXPECT_EQ(state->pendingType, EVENT_TYPE_FOCUS);
}

TEST_F(EventQueueTest, DrainedQueueGivesItsExtraBlocksBack) {
    const HeapUsage before = HeapUsageOf(ProgramHeap());
    std::vector<Event> queued;
    for (int i = 0; i < 600; ++i) {
        queued.push_back({EVENT_TIMER, i, 0, -1});
        Queue(queued.back());
    }
    EXPECT_GT(HeapUsageOf(ProgramHeap()).blocks, before.blocks);
    EXPECT_GE(TheEventQueue()->pool->total, 601u);
    EXPECT_EQ(Drain(), queued);
    EXPECT_EQ(HeapUsageOf(ProgramHeap()).blocks, before.blocks);
    EXPECT_EQ(HeapUsageOf(ProgramHeap()).bytes, before.bytes);
    // The element taken at start-up keeps the first block.
    EXPECT_EQ(TheEventQueue()->pool->total, 16u);
}

TEST_F(EventQueueTest, InitAgainStartsEmptyInTheSameRecords) {
    EventQueue* queue = TheEventQueue();
    EventState* state = TheEventState();
    for (int i = 1; i <= 40; ++i) QueueEvent(EVENT_GADGET, i, 0, 0);
    QueueEvent(EVENT_CLOSE_WINDOW, 0, 0, 0);
    DequeueEvent();
    const HeapUsage before = HeapUsageOf(ProgramHeap());
    EventQueueInit();
    EventStateInit();
    EXPECT_EQ(TheEventQueue(), queue);
    EXPECT_EQ(TheEventState(), state);
    EXPECT_EQ(state->pendingGadget, 0);
    EXPECT_EQ(queue->pool->total, 16u);
    EXPECT_LT(HeapUsageOf(ProgramHeap()).blocks, before.blocks);
    EXPECT_EQ(DequeueEvent(), 0);
    QueueEvent(EVENT_CLOSE_WINDOW, 0, 0, 0);
    EXPECT_EQ(Drain(), (std::vector<Event>{{EVENT_CLOSE_WINDOW, 0, 0, 0}}));
}

TEST_F(EventQueueTest, FifteenEventsFitTheFirstBlock) {
    const HeapUsage before = HeapUsageOf(ProgramHeap());
    for (int i = 1; i <= 15; ++i) QueueEvent(EVENT_GADGET, i, 0, 0);
    EXPECT_EQ(HeapUsageOf(ProgramHeap()).blocks, before.blocks);  // no heap call
    QueueEvent(EVENT_GADGET, 16, 0, 0);
    EXPECT_EQ(HeapUsageOf(ProgramHeap()).blocks, before.blocks + 1);
    EXPECT_EQ(Drain().size(), 16u);
}

}  // namespace
