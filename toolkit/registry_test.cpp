// The object tables and the event queue built on their block pool.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <vector>

#include "runtime/heap.h"
#include "toolkit/events.h"
#include "toolkit/registry.h"

namespace {

struct Entry { uintptr_t handle; intptr_t value; };  // live while the handle is non-zero
ObjectTable* gTable;
std::vector<std::vector<intptr_t>> gCalls;  // release calls: number, handle held then, number inside the slots

void Release(ObjectNumber number) {
    auto* entry = static_cast<Entry*>(FindObject(gTable, number));
    gCalls.push_back({number, intptr_t(entry ? entry->handle : 0), number >= 0 && size_t(number) < gTable->capacity});
    if (entry) ClearObjectSlot(gTable, number);
}
ObjectNumber Make(ObjectNumber number, uintptr_t handle) {
    auto* entry = static_cast<Entry*>(ObtainObjectSlot(gTable, number));
    if (entry) *entry = {handle, intptr_t(handle) * 10};
    return number == ANY_NUMBER ? reinterpret_cast<intptr_t>(entry) : number;
}
uintptr_t HandleAt(ObjectNumber number) {  // 0 for none, -1 for an entry not as Make left it
    const auto* e = static_cast<Entry*>(FindObject(gTable, number));
    return !e ? 0 : e->value == intptr_t(e->handle) * 10 ? e->handle : uintptr_t(-1);
}
std::vector<ObjectNumber> Walk(const std::function<void(ObjectNumber)>& each = [](ObjectNumber) {}) {  // `each` may release
    std::vector<ObjectNumber> seen;
    StartObjectWalk(gTable);
    for (ObjectNumber number; NextObject(gTable, &number);) seen.push_back(number), each(number);
    return seen;
}

class ObjectTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        ProgramHeapInit();
        gTable = NewObjectTable(sizeof(Entry), 50, Release);  // kept, like the program's tables
        blocks_ = HeapUsageOf(ProgramHeap()).blocks;
        gCalls.clear();
    }
    void TearDown() override {  // each list entry released gives its block back
        while (gTable->list) ClearObjectSlot(gTable, reinterpret_cast<intptr_t>(gTable->list + 1));
        EXPECT_EQ(HeapUsageOf(ProgramHeap()).blocks, blocks_);
    }
    size_t blocks_ = 0;
};

TEST_F(ObjectTableTest, GrowingKeepsTheEntriesClearsTheNewSlotsAndReleasesFirst) {
    for (uintptr_t i = 0; i < 50; ++i) Make(ObjectNumber(i), 100 + i);
    void* dirty[8];  // freed blocks of the grown size, full of junk, for the growth to find
    for (void*& block : dirty) block = memset(HeapTake(ProgramHeap(), 110 * sizeof(Entry)), 0xAB, 110 * sizeof(Entry));
    for (void* block : dirty) HeapGive(ProgramHeap(), block);
    gCalls.clear();
    Make(60, 7), Make(109, 8);
    for (ObjectNumber i = 0; i < 120; ++i) {
        EXPECT_EQ(HandleAt(i), uintptr_t(i == 60 ? 7 : i == 109 ? 8 : i < 50 ? 100 + i : 0)) << i;
    }
    // The release sees the old object (and the grown slots), and the entry comes back empty.
    const auto* entry = static_cast<Entry*>(ObtainObjectSlot(gTable, 5));
    Make(ANY_NUMBER, 9);  // no release for ANY_NUMBER
    EXPECT_EQ(gCalls, (std::vector<std::vector<intptr_t>>{{60, 0, 1}, {109, 0, 1}, {5, 105, 1}}));
    EXPECT_TRUE(entry->handle == 0 && entry->value == 0 && gTable->capacity == 110u);
}

TEST_F(ObjectTableTest, IdentitiesComeAfterTheSlotsOldestFirstAndAWalkSurvivesReleases) {
    Make(7, 1);
    const std::vector<ObjectNumber> ids = {Make(ANY_NUMBER, 2), Make(ANY_NUMBER, 3), Make(ANY_NUMBER, 4)};
    Make(75, 5);  // grows the slots; list entries do not move
    EXPECT_EQ((std::vector<uintptr_t>{HandleAt(ids[0]), HandleAt(ids[1]), HandleAt(ids[2])}),
              (std::vector<uintptr_t>{2, 3, 4}));
    for (ObjectNumber number : {ids[0] + 1, ids[0] - 1, ids[0] + ObjectNumber(sizeof(Entry)), ObjectNumber(-2)})
        EXPECT_EQ(FindObject(gTable, number), nullptr) << number;
    // Each entry released as the walk returns it.
    EXPECT_EQ(Walk([](ObjectNumber n) { ClearObjectSlot(gTable, n); }),
              (std::vector<ObjectNumber>{7, 75, ids[0], ids[1], ids[2]}));
    EXPECT_TRUE(Walk().empty() && gTable->list == nullptr);
    // Releasing the entry the walk goes to next: the walk steps past it (its freed block, taken again, unread).
    const std::vector<ObjectNumber> list = {Make(ANY_NUMBER, 1), Make(ANY_NUMBER, 2), Make(ANY_NUMBER, 3)};
    void* reused = nullptr;
    EXPECT_EQ(Walk([&](ObjectNumber n) {
        if (n != list[0]) return;
        ClearObjectSlot(gTable, list[1]);
        reused = HeapTakeZeroed(ProgramHeap(), sizeof(ObjectListEntry) + sizeof(Entry));
    }), (std::vector<ObjectNumber>{list[0], list[2]}));
    HeapGive(ProgramHeap(), reused);
}

using Event = std::array<intptr_t, 4>;  // code, gadget, window, type

// Queues the events, then dequeues everything with the fields DequeueEvent leaves in the pending fields.
std::vector<Event> QueueAndDrain(const std::vector<Event>& events) {
    for (const Event& e : events) QueueEvent(int32_t(e[0]), e[1], e[2], int32_t(e[3]));
    std::vector<Event> out;
    for (EventState* s = TheEventState(); int32_t code = DequeueEvent();)
        out.push_back({code, s->pendingGadget, s->pendingWindow, s->pendingType});
    return out;
}

// Repeats of the newest event dropped; the code left to the fetch, fields kept when empty, blocks given back.
TEST(EventQueue, RepeatsDroppedFieldsPendingBlocksGivenBack) {
    ProgramHeapInit(), EventQueueInit(), EventStateInit();
    EventState* state = TheEventState();
    state->pendingCode = 77;
    const HeapUsage before = HeapUsageOf(ProgramHeap());
    const intptr_t identity = reinterpret_cast<intptr_t>(&state);  // identities are pointer-sized
    std::vector<Event> many;
    for (int i = 0; i < 600; ++i) many.push_back({13110, identity + i, -1, 14000 + i});
    const Event close{16, 0, 0, 0}, repaint{15, 0, 0, 0}, click{13100, 6, 0, 0};
    // Events that differ in any one field are all kept.
    const std::vector<Event> distinct = {click, {13101, 6, 0, 0}, {13101, 7, 0, 0}, {13101, 7, 1, 0}, {13101, 7, 1, 14000}};
    const struct { std::vector<Event> queued, delivered; } cases[] = {
        {{close, close}, {close}},
        {{close, repaint, close}, {close, repaint, close}},
        {{close, close, repaint, repaint, repaint, close}, {close, repaint, close}},
        {distinct, distinct},
        {{{0, 1, 2, 3}, click}, {click}},  // code 0 reads as "empty", so it is never queued
        {many, many},
    };
    for (const auto& c : cases) EXPECT_EQ(QueueAndDrain(c.queued), c.delivered);
    EXPECT_EQ(DequeueEvent(), 0);
    EXPECT_TRUE(state->pendingCode == 77 && state->pendingGadget == identity + 599 && state->pendingType == 14599);
    const HeapUsage after = HeapUsageOf(ProgramHeap());
    EXPECT_TRUE(after.blocks == before.blocks && after.bytes == before.bytes) << after.blocks << " blocks";
}

}  // namespace
