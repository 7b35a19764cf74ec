#include "toolkit/registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "runtime/heap.h"

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

}  // namespace
