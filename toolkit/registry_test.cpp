// The object tables: release before reuse, growth, identities and walks.
#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "runtime/heap.h"
#include "runtime/runtime_test_support.h"
#include "toolkit/registry.h"

namespace {

constexpr size_t kStep = 50;  // the gadget table's: initial slots and growth step
struct Entry { uintptr_t handle; intptr_t value; };  // live while the handle is non-zero
ObjectTable* gTable;

std::vector<ObjectNumber> gReleased;  // the numbers the release callback was called for
ObjectNumber gObtainOnRelease;         // a number the next release obtains, as a callback that opens a window may

ObjectNumber Make(ObjectNumber number, uintptr_t handle);
// Releases whatever holds the number, as the toolkit's callbacks do.
void Release(ObjectNumber number) {
    gReleased.push_back(number);
    ClearObjectSlot(gTable, number);
    if (ObjectNumber again = std::exchange(gObtainOnRelease, 0)) Make(again, 9);
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

class ObjectTableTest : public RuntimeTest {
protected:
    void SetUp() override {
        gTable = NewObjectTable(sizeof(Entry), kStep, Release);
        gReleased.clear();
    }
    void TearDown() override {  // each list entry released gives its block back
        while (gTable->list) ClearObjectSlot(gTable, reinterpret_cast<intptr_t>(gTable->list + 1));
        HeapGive(ProgramHeap(), gTable->slots);
        HeapGive(ProgramHeap(), gTable);
        RuntimeTest::TearDown();
    }
};

// A fixed number is released once before it is handed out again, cleared, also when the release obtains a number
// that grows the slots; ANY_NUMBER releases nothing.
TEST_F(ObjectTableTest, AFixedNumberIsReleasedOnceThenHandedOutCleared) {
    Make(7, 1);
    gReleased.clear();
    gObtainOnRelease = 120;
    auto* entry = static_cast<Entry*>(ObtainObjectSlot(gTable, 7));
    EXPECT_EQ(gReleased, (std::vector<ObjectNumber>{7, 120}));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->handle, 0u);
    *entry = {5, 50};
    EXPECT_EQ(HandleAt(7), 5u) << "not the slot where the growth moved it";
    EXPECT_EQ(HandleAt(120), 9u);
    gReleased.clear();
    Make(ANY_NUMBER, 3);
    EXPECT_EQ(gReleased, std::vector<ObjectNumber>{});
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
