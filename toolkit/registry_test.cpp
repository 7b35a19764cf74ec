// The object tables: fixed numbers and identities, growth, release before reuse, and walks.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <tuple>
#include <vector>

#include "runtime/heap.h"
#include "toolkit/registry.h"

namespace {

constexpr size_t kStep = 50;  // the gadget table's: initial slots and growth step
struct Entry { uintptr_t handle; intptr_t value; };  // live while the handle is non-zero
ObjectTable* gTable;

// One call of the release callback: the number, the handle it found there (0: none), whether the number names a
// slot by then (the growth comes first).
using ReleaseCall = std::tuple<ObjectNumber, uintptr_t, bool>;
std::vector<ReleaseCall> gCalls;

void Release(ObjectNumber number) {
    auto* entry = static_cast<Entry*>(FindObject(gTable, number));
    gCalls.emplace_back(number, entry ? entry->handle : 0, number >= 0 && size_t(number) < gTable->capacity);
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
        gTable = NewObjectTable(sizeof(Entry), kStep, Release);  // kept, like the program's tables
        blocks_ = HeapUsageOf(ProgramHeap()).blocks;
        gCalls.clear();
    }
    void TearDown() override {  // each list entry released gives its block back
        while (gTable->list) ClearObjectSlot(gTable, reinterpret_cast<intptr_t>(gTable->list + 1));
        EXPECT_EQ(HeapUsageOf(ProgramHeap()).blocks, blocks_);
    }
    size_t blocks_ = 0;
};

// By its step beyond the number, so that ascending numbers do not grow the slots at every creation.
TEST_F(ObjectTableTest, ANumberBeyondTheSlotsGrowsThemToTheNumberPlusTheStep) {
    Make(60, 7);
    EXPECT_EQ(gTable->capacity, 60 + kStep);
}

TEST_F(ObjectTableTest, GrowingKeepsTheEntriesAndClearsTheNewSlots) {
    for (uintptr_t i = 0; i < kStep; ++i) Make(ObjectNumber(i), 100 + i);
    void* dirty[8];  // freed blocks of the grown size, full of junk, for the growth to find
    for (void*& block : dirty) block = memset(HeapTake(ProgramHeap(), 110 * sizeof(Entry)), 0xAB, 110 * sizeof(Entry));
    for (void* block : dirty) HeapGive(ProgramHeap(), block);
    Make(60, 7), Make(109, 8);
    for (ObjectNumber i = 0; i < 120; ++i) {
        EXPECT_EQ(HandleAt(i), uintptr_t(i == 60 ? 7 : i == 109 ? 8 : i < 50 ? 100 + i : 0)) << i;
    }
}

TEST_F(ObjectTableTest, AFreeNumberIsReleasedTooAfterTheGrowthFindingNothing) {
    Make(60, 7);
    EXPECT_EQ(gCalls, (std::vector<ReleaseCall>{{60, 0, true}}));
}

TEST_F(ObjectTableTest, ANumberInUseIsReleasedBeforeItsEntryIsHandedOutEmpty) {
    Make(5, 105);
    gCalls.clear();
    const auto* entry = static_cast<Entry*>(ObtainObjectSlot(gTable, 5));
    EXPECT_EQ(gCalls, (std::vector<ReleaseCall>{{5, 105, true}}));
    EXPECT_EQ(entry->handle, 0u);
    EXPECT_EQ(entry->value, 0);
}

TEST_F(ObjectTableTest, AnyNumberReleasesNothing) {
    Make(ANY_NUMBER, 9);
    EXPECT_TRUE(gCalls.empty());
}

TEST_F(ObjectTableTest, IdentitiesKeepTheirEntriesWhileTheSlotsGrowAndNothingNearThemIsFound) {
    const std::vector<ObjectNumber> ids = {Make(ANY_NUMBER, 2), Make(ANY_NUMBER, 3), Make(ANY_NUMBER, 4)};
    Make(75, 5);  // grows the slots; list entries do not move
    for (size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(HandleAt(ids[i]), 2 + i) << "identity " << i;
    for (ObjectNumber number : {ids[0] + 1, ids[0] - 1, ids[0] + ObjectNumber(sizeof(Entry)), ObjectNumber(-2)})
        EXPECT_EQ(FindObject(gTable, number), nullptr) << number;
}

// Slots in ascending order, then identities oldest first; each entry released as the walk returns it.
TEST_F(ObjectTableTest, AWalkGivesTheSlotsThenTheIdentitiesOldestFirstAndSurvivesReleases) {
    Make(75, 5);
    const std::vector<ObjectNumber> ids = {Make(ANY_NUMBER, 2), Make(ANY_NUMBER, 3), Make(ANY_NUMBER, 4)};
    Make(7, 1);
    EXPECT_EQ(Walk([](ObjectNumber n) { ClearObjectSlot(gTable, n); }),
              (std::vector<ObjectNumber>{7, 75, ids[0], ids[1], ids[2]}));
    EXPECT_TRUE(Walk().empty());
}

// Releasing the entry the walk goes to next: the walk steps past it (its freed block, taken again, unread).
TEST_F(ObjectTableTest, AWalkStepsPastTheNextEntryReleasedUnderIt) {
    const std::vector<ObjectNumber> list = {Make(ANY_NUMBER, 1), Make(ANY_NUMBER, 2), Make(ANY_NUMBER, 3)};
    void* reused = nullptr;
    EXPECT_EQ(Walk([&](ObjectNumber n) {
        if (n != list[0]) return;
        ClearObjectSlot(gTable, list[1]);
        reused = HeapTakeZeroed(ProgramHeap(), sizeof(ObjectListEntry) + sizeof(Entry));
    }), (std::vector<ObjectNumber>{list[0], list[2]}));
    HeapGive(ProgramHeap(), reused);
}

}  // namespace
