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
uintptr_t HandleOf(ObjectNumber number) {
    auto* entry = static_cast<Entry*>(FindObject(gTable, number));
    return entry ? entry->handle : 0;
}
std::vector<ObjectNumber> Walk(const std::function<void(ObjectNumber)>& each = nullptr) {
    std::vector<ObjectNumber> seen;
    StartObjectWalk(gTable);
    for (ObjectNumber number; NextObject(gTable, &number);) {
        seen.push_back(number);
        if (each) each(number);
    }
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
    EXPECT_EQ(gTable->capacity, 110u);
    for (ObjectNumber i = 0; i < 120; ++i) {
        const uintptr_t handle = i == 60 ? 7 : i < 50 ? 100 + i : 0;
        const auto* e = static_cast<Entry*>(FindObject(gTable, i));
        EXPECT_TRUE(e ? e->handle == handle && e->value == intptr_t(handle) * 10 : handle == 0) << i;
    }
    Make(109, 8);
    EXPECT_EQ(gTable->capacity, 110u);
    // The release sees the old object (and the grown slots), and the entry comes back empty.
    const auto* entry = static_cast<Entry*>(ObtainObjectSlot(gTable, 5));
    MakeAny(9);  // no release for ANY_NUMBER
    EXPECT_EQ(gCalls, (std::vector<std::vector<intptr_t>>{{60, 0, 1}, {109, 0, 1}, {5, 105, 1}}));
    EXPECT_TRUE(entry->handle == 0 && entry->value == 0);
}

TEST_F(ObjectTableTest, AnyNumberGivesIdentitiesWalkedAfterTheSlotsOldestFirst) {
    Make(7, 1);
    const ObjectNumber first = MakeAny(2);
    Make(2, 3);
    const ObjectNumber second = MakeAny(4);
    Make(75, 5);  // grows the slots; list entries do not move
    for (ObjectNumber id : {first, second}) EXPECT_TRUE(id < 0 || size_t(id) >= gTable->capacity);
    EXPECT_TRUE(first != second && HandleOf(first) == 2 && HandleOf(second) == 4);
    EXPECT_EQ(Walk(), (std::vector<ObjectNumber>{2, 7, 75, first, second}));
    ClearObjectSlot(gTable, first);
    EXPECT_EQ(FindObject(gTable, first), nullptr);
    EXPECT_EQ(Walk(), (std::vector<ObjectNumber>{2, 7, 75, second}));
}

TEST_F(ObjectTableTest, UnknownAndRefusedNumbersTouchNothing) {
    Make(0, 1);
    const ObjectNumber id = MakeAny(2);
    const size_t held = Blocks();
    gCalls.clear();
    for (ObjectNumber number : {ObjectNumber(50), ObjectNumber(1000), MAX_FIXED_NUMBER + 1, INTPTR_MAX, ObjectNumber(-2),
                                INTPTR_MIN, id + 1, id - 1, id + ObjectNumber(sizeof(Entry))}) {
        EXPECT_EQ(FindObject(gTable, number), nullptr) << number;
        ClearObjectSlot(gTable, number);
    }
    for (ObjectNumber number : {ObjectNumber(-2), ObjectNumber(-65535), INTPTR_MIN, MAX_FIXED_NUMBER + 1, INTPTR_MAX}) {
        EXPECT_EQ(ObtainObjectSlot(gTable, number), nullptr) << number;
    }
    EXPECT_TRUE(gCalls.empty() && Blocks() == held && gTable->capacity == 50u);
    EXPECT_EQ(Walk(), (std::vector<ObjectNumber>{0, id}));
    EXPECT_NE(Make(100000, 9), nullptr);  // a large allowed number still works
}

TEST_F(ObjectTableTest, AWalkSurvivesReleasingWhatItReturnsAndWhatComesNext) {
    for (ObjectNumber number : {0, 9, 49, 51}) Make(number, 1 + uintptr_t(number));
    const std::vector<ObjectNumber> ids = {MakeAny(100), MakeAny(101), MakeAny(102)};
    EXPECT_EQ(Walk([](ObjectNumber n) { ClearObjectSlot(gTable, n); }),
              (std::vector<ObjectNumber>{0, 9, 49, 51, ids[0], ids[1], ids[2]}));
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

TEST(BlockPoolTest, BlocksComeWhenFullAndGoWhenEmpty) {
    ProgramHeapInit();
    const HeapUsage before = HeapUsageOf(ProgramHeap());
    BlockPool* pool = NewBlockPool(20, 16, 256);
    auto blocks = [pool] {
        size_t count = 0;
        for (const PoolBlock* list : {pool->full, pool->withRoom}) for (; list; list = list->next) ++count;
        return count;
    };
    std::vector<unsigned char*> elements;
    for (size_t n = 1; n <= 2; ++n) {  // 16 fill the first block, the 17th makes another
        while (elements.size() < 15 + n) elements.push_back(static_cast<unsigned char*>(PoolAlloc(pool)));
        EXPECT_TRUE(pool->total == 16 * n && blocks() == n && (pool->withRoom == nullptr) == (n == 1)) << n;
    }
    PoolFree(pool, elements[3]);  // from the full first block: the next allocation's block
    EXPECT_EQ(PoolAlloc(pool), elements[3]);
    PoolFree(pool, elements[5]);
    PoolFree(pool, elements[9]);
    EXPECT_EQ(PoolAlloc(pool), elements[9]);  // most recently freed first
    EXPECT_EQ(PoolAlloc(pool), elements[5]);
    for (unsigned char* e : elements) memset(e, 0xA5, 20), PoolFree(pool, e);  // the whole element is usable
    EXPECT_TRUE(pool->total == 0 && blocks() == 0);
    for (int i = 0; i < 40; i++) PoolAlloc(pool);
    PoolDelete(pool);  // with its blocks
    EXPECT_TRUE(HeapUsageOf(ProgramHeap()).blocks == before.blocks && HeapUsageOf(ProgramHeap()).bytes == before.bytes);
}

}  // namespace
