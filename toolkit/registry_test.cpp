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
size_t Blocks() { return HeapUsageOf(ProgramHeap()).blocks; }
Entry* Make(ObjectNumber number, uintptr_t handle) {
    auto* entry = static_cast<Entry*>(ObtainObjectSlot(gTable, number));
    if (entry) *entry = {handle, intptr_t(handle) * 10};
    return entry;
}
ObjectNumber MakeAny(uintptr_t handle) { return reinterpret_cast<intptr_t>(Make(ANY_NUMBER, handle)); }
// The numbers walked; `each` may release entries on the way.
std::vector<ObjectNumber> Walk(const std::function<void(ObjectNumber)>& each = [](ObjectNumber) {}) {
    std::vector<ObjectNumber> seen;
    StartObjectWalk(gTable);
    for (ObjectNumber number; NextObject(gTable, &number);) seen.push_back(number), each(number);
    return seen;
}

class ObjectTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        ProgramHeapInit();
        blocks_ = Blocks();
        gTable = NewObjectTable(sizeof(Entry), 50, Release);
        gCalls.clear();
    }
    void TearDown() override {  // tables live as long as the program; this one goes back for the count
        while (gTable->list) ClearObjectSlot(gTable, reinterpret_cast<intptr_t>(gTable->list + 1));
        HeapGive(ProgramHeap(), gTable->slots);
        HeapGive(ProgramHeap(), gTable);
        EXPECT_EQ(Blocks(), blocks_);
    }
    size_t blocks_ = 0;
};

TEST_F(ObjectTableTest, GrowingKeepsTheEntriesClearsTheNewSlotsAndReleasesFirst) {
    for (uintptr_t i = 0; i < 50; ++i) Make(ObjectNumber(i), 100 + i);
    void* dirty[8];  // freed blocks of the grown size, full of junk, for the growth to find
    for (void*& block : dirty) block = memset(HeapTake(ProgramHeap(), 110 * sizeof(Entry)), 0xAB, 110 * sizeof(Entry));
    for (void* block : dirty) HeapGive(ProgramHeap(), block);
    gCalls.clear();
    ASSERT_NE(Make(60, 7), nullptr);
    Make(109, 8);
    for (ObjectNumber i = 0; i < 120; ++i) {
        const uintptr_t handle = i == 60 ? 7 : i == 109 ? 8 : i < 50 ? 100 + i : 0;
        const auto* e = static_cast<Entry*>(FindObject(gTable, i));
        EXPECT_TRUE(e ? e->handle == handle && e->value == intptr_t(handle) * 10 : handle == 0) << i;
    }
    // The release sees the old object (and the grown slots), and the entry comes back empty.
    const auto* entry = static_cast<Entry*>(ObtainObjectSlot(gTable, 5));
    MakeAny(9);  // no release for ANY_NUMBER
    EXPECT_EQ(gCalls, (std::vector<std::vector<intptr_t>>{{60, 0, 1}, {109, 0, 1}, {5, 105, 1}}));
    EXPECT_TRUE(entry->handle == 0 && entry->value == 0 && gTable->capacity == 110u);
}

TEST_F(ObjectTableTest, IdentitiesComeAfterTheSlotsOldestFirstAndAWalkSurvivesReleases) {
    Make(7, 1);
    const std::vector<ObjectNumber> ids = {MakeAny(2), MakeAny(3), MakeAny(4)};
    Make(75, 5);  // grows the slots; list entries do not move
    for (ObjectNumber id : ids) {
        EXPECT_TRUE(id < 0 || size_t(id) >= gTable->capacity) << id;
        EXPECT_EQ(static_cast<Entry*>(FindObject(gTable, id))->handle, uintptr_t(id == ids[0] ? 2 : id == ids[1] ? 3 : 4));
    }
    for (ObjectNumber number : {ids[0] + 1, ids[0] - 1, ids[0] + ObjectNumber(sizeof(Entry)), ObjectNumber(-2)}) {
        EXPECT_EQ(FindObject(gTable, number), nullptr) << number;
    }
    // Each entry released as the walk returns it.
    EXPECT_EQ(Walk([](ObjectNumber n) { ClearObjectSlot(gTable, n); }),
              (std::vector<ObjectNumber>{7, 75, ids[0], ids[1], ids[2]}));
    EXPECT_TRUE(Walk().empty() && gTable->list == nullptr);
    // Releasing the entry the walk goes to next: the walk steps past it (its
    // freed block, taken again and cleared, must not be read as the next).
    const std::vector<ObjectNumber> list = {MakeAny(1), MakeAny(2), MakeAny(3)};
    void* reused = nullptr;
    EXPECT_EQ(Walk([&](ObjectNumber n) {
        if (n != list[0]) return;
        ClearObjectSlot(gTable, list[1]);
        reused = HeapTakeZeroed(ProgramHeap(), sizeof(ObjectListEntry) + sizeof(Entry));
    }), (std::vector<ObjectNumber>{list[0], list[2]}));
    HeapGive(ProgramHeap(), reused);
}

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
