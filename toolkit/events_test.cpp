// The event queue and the forming of events.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/heap.h"
#include "runtime/runtime_test_support.h"
#include "toolkit/event_test_support.h"

namespace {

// A drained queue gives every block back.
class EventQueueTest : public RuntimeTest {
protected:
    static void SetUpTestSuite() { RuntimeInit(), EventQueueInit(), EventStateInit(); }
    void SetUp() override { state_->pendingCode = kUntouched; }
    // Queues the events, then dequeues everything with the fields DequeueEvent leaves in the pending fields.
    std::vector<Event> QueueAndDrain(const std::vector<Event>& events) {
        for (const Event& e : events) QueueEvent(e.code, e.gadget, e.window, e.type);
        std::vector<Event> out;
        while (int32_t code = DequeueEvent()) out.push_back({code, state_->pendingGadget, state_->pendingWindow, state_->pendingType});
        return out;
    }
    static constexpr int32_t kUntouched = 77;  // a pending code the queue must leave to the fetch
    EventState* state_ = TheEventState();
};

TEST_F(EventQueueTest, RepeatsOfTheNewestAreDroppedAndEverythingElseKeptInOrder) {
    const Event close{EVENT_CLOSE_WINDOW, 0, 0, 0}, repaint{EVENT_REPAINT, 0, 0, 0}, click{EVENT_GADGET, 6, 0, 0};
    const std::vector<Event> distinct = {click, {EVENT_MENU, 6, 0, 0}, {EVENT_MENU, 7, 0, 0}, {EVENT_MENU, 7, 1, 0},
                                         {EVENT_MENU, 7, 1, EVENT_TYPE_FOCUS}};  // each differs from the last in one field
    std::vector<Event> many;  // more than one block of the pool; identities are pointer-sized
    for (int i = 0; i < 600; ++i) many.push_back({EVENT_TIMER, reinterpret_cast<intptr_t>(this) + i, -1, i});
    const struct { const char* what; std::vector<Event> queued, delivered; } cases[] = {
        {"runs of repeats", {close, close, repaint, repaint, repaint, close}, {close, repaint, close}},
        {"one field differs", distinct, distinct},
        {"code 0, which reads as empty", {{0, 1, 2, 3}, click}, {click}},
        {"600 events", many, many},
    };
    for (const auto& c : cases) EXPECT_EQ(QueueAndDrain(c.queued), c.delivered) << c.what;
}

TEST_F(EventQueueTest, AnEmptyQueueGivesZeroAndLeavesThePendingFields) {
    QueueAndDrain({{EVENT_TIMER, 5, 6, 7}});
    EXPECT_EQ(DequeueEvent(), 0);
    EXPECT_EQ(state_->pendingGadget, 5);
    EXPECT_EQ(state_->pendingWindow, 6);
    EXPECT_EQ(state_->pendingType, 7);
    EXPECT_EQ(state_->pendingCode, kUntouched);
}

EventPayload* NewPayload() {
    auto* payload = static_cast<EventPayload*>(HeapTake(ProgramHeap(), sizeof(EventPayload)));
    payload->inner = HeapTake(ProgramHeap(), 24);
    return payload;
}

TEST_F(EventQueueTest, TheLastEventFormedInADispatchWinsAndASecondPayloadReleasesTheFirst) {
    FormPendingEvent(EVENT_WINDOW_PAYLOAD, 0, -1, NewPayload());
    EventPayload* second = NewPayload();
    FormPendingEvent(EVENT_GADGET_PAYLOAD, 9, -1, second);
    FormPendingEvent(EVENT_GADGET, 6, 0);  // no payload: the one held stays
    EXPECT_EQ((Event{state_->pendingCode, state_->pendingGadget, 0, state_->pendingType}), (Event{EVENT_GADGET, 6, 0, 0}));
    EXPECT_EQ(state_->payload, second);
    ReleasePayload(state_->payload);
    state_->payload = nullptr;
}

}  // namespace
