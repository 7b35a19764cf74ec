#include "toolkit/registry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "runtime/heap.h"

namespace {

struct Entry { uintptr_t handle; intptr_t value; };  // handle non-zero while live
// What the release callback saw: the number, the handle its entry held then,
// and whether the number already lay inside the slots.
struct ReleaseCall { ObjectNumber number; uintptr_t handleSeen; bool grownAlready; };

ObjectTable* gTable = nullptr;
std::vector<ReleaseCall> gCalls;

// Tables live as long as the program; tests hand theirs back for the leak check.
void FreeTable(ObjectTable* table) {
    while (table->list) ClearObjectSlot(table, reinterpret_cast<intptr_t>(table->list + 1));
    HeapGive(ProgramHeap(), table->slots);
    HeapGive(ProgramHeap(), table);
}

void RecordingRelease(ObjectNumber number) {
    Entry* entry = static_cast<Entry*>(FindObject(gTable, number));
    gCalls.push_back({number, entry ? entry->handle : 0,
                      number >= 0 && static_cast<uintptr_t>(number) < gTable->capacity});
    if (entry) ClearObjectSlot(gTable, number);
}

class ObjectTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        ProgramHeapInit();
        gCalls.clear();
        before = HeapUsageOf(ProgramHeap());
        gTable = NewObjectTable(sizeof(Entry), 50, RecordingRelease);
    }
    void TearDown() override {
        FreeTable(gTable);
        EXPECT_EQ(HeapUsageOf(ProgramHeap()).blocks, before.blocks);
    }
    Entry* Make(ObjectNumber number, uintptr_t handle) {
        Entry* entry = static_cast<Entry*>(ObtainObjectSlot(gTable, number));
        if (entry) *entry = {handle, static_cast<intptr_t>(handle) * 10};
        return entry;
    }
    ObjectNumber MakeAny(uintptr_t handle) {
        Entry* entry = Make(ANY_NUMBER, handle);
        EXPECT_NE(entry, nullptr);
        return reinterpret_cast<intptr_t>(entry);
    }
    std::vector<ObjectNumber> Walk(bool releasing = false) {
        std::vector<ObjectNumber> seen;
        StartObjectWalk(gTable);
        ObjectNumber number = 0;
        while (NextObject(gTable, &number)) {
            seen.push_back(number);
            if (releasing) ClearObjectSlot(gTable, number);
        }
        return seen;
    }
    HeapUsage before{};
};

TEST_F(ObjectTableTest, FixedNumberBeyondCapacityGrowsByTheStep) {
    for (uintptr_t i = 0; i < 50; ++i) Make(static_cast<ObjectNumber>(i), 100 + i);
    // Dirty blocks of the grown size left behind would show uncleared slots.
    void* dirty[8];
    for (void*& block : dirty) block = memset(HeapTake(ProgramHeap(), 110 * sizeof(Entry)), 0xAB, 110 * sizeof(Entry));
    for (void* block : dirty) HeapGive(ProgramHeap(), block);

    ASSERT_NE(Make(60, 7), nullptr);
    EXPECT_EQ(gTable->capacity, 110u);
    for (ObjectNumber i = 0; i < 110; ++i) {
        Entry* entry = static_cast<Entry*>(FindObject(gTable, i));
        bool held = i < 50 || i == 60;
        ASSERT_EQ(entry != nullptr, held) << i;
        if (!held) continue;
        uintptr_t handle = i == 60 ? 7u : 100u + static_cast<uintptr_t>(i);
        EXPECT_EQ(entry->handle, handle);
        EXPECT_EQ(entry->value, static_cast<intptr_t>(handle) * 10);
    }
    Make(109, 8);  // inside the capacity: no growth
    EXPECT_EQ(gTable->capacity, 110u);
}

TEST_F(ObjectTableTest, ReleaseRunsBeforeReuseAndOnFreeNumbers) {
    Make(5, 0x55);
    gCalls.clear();
    Entry* entry = static_cast<Entry*>(ObtainObjectSlot(gTable, 5));
    ASSERT_EQ(gCalls.size(), 1u);
    EXPECT_EQ(gCalls[0].number, 5);
    EXPECT_EQ(gCalls[0].handleSeen, 0x55u);  // the old object was still there
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->handle, 0u);  // and was gone when the entry came back
    EXPECT_EQ(entry->value, 0);
    // 3 lies inside the slots, 80 beyond them: the growth comes first.
    for (ObjectNumber number : {3, 80}) {
        gCalls.clear();
        ASSERT_NE(ObtainObjectSlot(gTable, number), nullptr);
        ASSERT_EQ(gCalls.size(), 1u) << number;
        EXPECT_EQ(gCalls[0].number, number);
        EXPECT_EQ(gCalls[0].handleSeen, 0u);
        EXPECT_TRUE(gCalls[0].grownAlready);
    }
}

TEST_F(ObjectTableTest, AnyNumberGivesDistinctIdentitiesWalkedAfterTheSlots) {
    Make(7, 1);
    ObjectNumber first = MakeAny(2);
    Make(2, 3);
    ObjectNumber second = MakeAny(4);
    Make(75, 5);  // grows the slot array; list entries do not move
    EXPECT_EQ(gCalls.size(), 3u);  // never for ANY_NUMBER

    EXPECT_NE(first, second);
    for (ObjectNumber id : {first, second}) {
        EXPECT_TRUE(id < 0 || static_cast<uintptr_t>(id) >= gTable->capacity);
        EXPECT_EQ(FindObject(gTable, id), reinterpret_cast<void*>(id));
    }
    EXPECT_EQ(static_cast<Entry*>(FindObject(gTable, first))->handle, 2u);
    EXPECT_EQ(static_cast<Entry*>(FindObject(gTable, second))->handle, 4u);
    EXPECT_EQ(Walk(), (std::vector<ObjectNumber>{2, 7, 75, first, second}));
    ClearObjectSlot(gTable, first);
    EXPECT_EQ(FindObject(gTable, first), nullptr);
    EXPECT_EQ(Walk(), (std::vector<ObjectNumber>{2, 7, 75, second}));
}

TEST_F(ObjectTableTest, UnknownAndRefusedNumbersTouchNothing) {
    Make(0, 1);
    ObjectNumber id = MakeAny(2);
    size_t held = HeapUsageOf(ProgramHeap()).blocks;
    gCalls.clear();
    const ObjectNumber unknown[] = {
        50, 1000, MAX_FIXED_NUMBER, MAX_FIXED_NUMBER + 1, INTPTR_MAX,
        -2, -1000, INTPTR_MIN, id + 1, id - 1, id + static_cast<ObjectNumber>(sizeof(Entry)),
    };
    for (ObjectNumber number : unknown) {
        EXPECT_EQ(FindObject(gTable, number), nullptr) << number;
        ClearObjectSlot(gTable, number);
    }
    const ObjectNumber refused[] = {-2, -3, -65535, INTPTR_MIN, MAX_FIXED_NUMBER + 1,
                                    INTPTR_MAX, static_cast<ObjectNumber>(0x7FFFFFFF)};
    for (ObjectNumber number : refused) EXPECT_EQ(ObtainObjectSlot(gTable, number), nullptr) << number;
    EXPECT_TRUE(gCalls.empty());
    EXPECT_EQ(HeapUsageOf(ProgramHeap()).blocks, held);
    EXPECT_EQ(gTable->capacity, 50u);
    EXPECT_EQ(Walk(), (std::vector<ObjectNumber>{0, id}));
    ASSERT_NE(Make(100000, 9), nullptr);  // a large allowed number still works
    EXPECT_EQ(gTable->capacity, 100050u);
}

TEST_F(ObjectTableTest, WalkThatReleasesEachEntryEmptiesTheTable) {
    HeapUsage empty = HeapUsageOf(ProgramHeap());
    for (ObjectNumber number : {0, 9, 49, 51}) Make(number, 1 + static_cast<uintptr_t>(number));
    std::vector<ObjectNumber> ids = {MakeAny(100), MakeAny(101), MakeAny(102)};
    EXPECT_EQ(Walk(true), (std::vector<ObjectNumber>{0, 9, 49, 51, ids[0], ids[1], ids[2]}));
    EXPECT_TRUE(Walk().empty());
    EXPECT_EQ(gTable->list, nullptr);
    EXPECT_EQ(HeapUsageOf(ProgramHeap()).blocks, empty.blocks);  // only the slots were regrown
}

size_t BlockCount(const BlockPool* pool) {
    size_t count = 0;
    for (const PoolBlock* b = pool->full; b; b = b->next) ++count;
    for (const PoolBlock* b = pool->withRoom; b; b = b->next) ++count;
    return count;
}
class BlockPoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        ProgramHeapInit();
        before = HeapUsageOf(ProgramHeap());
    }
    size_t HeapBlocks() const { return HeapUsageOf(ProgramHeap()).blocks - before.blocks; }
    HeapUsage before{};
};

TEST_F(BlockPoolTest, SecondBlockOnlyWhenTheFirstIsFullAndFreedRoomComesFirst) {
    BlockPool* pool = NewBlockPool(20, 16, 256);
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(HeapBlocks(), 1u);
    std::vector<unsigned char*> elements;
    for (size_t blocks = 1; blocks <= 2; ++blocks) {  // 16 fill one block, the 17th makes another
        while (elements.size() < 15 + blocks) elements.push_back(static_cast<unsigned char*>(PoolAlloc(pool)));
        EXPECT_EQ(pool->total, 16u * blocks);
        EXPECT_EQ(BlockCount(pool), blocks);
        EXPECT_EQ(HeapBlocks(), 1u + blocks);
        EXPECT_EQ(pool->withRoom == nullptr, blocks == 1);  // the first block is full
    }
    for (int i = 1; i < 16; ++i) EXPECT_EQ(elements[i] - elements[i - 1], static_cast<ptrdiff_t>(pool->stride));
    // Freeing from the full first block makes it the next allocation's block.
    PoolFree(pool, elements[3]);
    EXPECT_EQ(PoolAlloc(pool), elements[3]);
    PoolFree(pool, elements[5]);
    PoolFree(pool, elements[9]);
    EXPECT_EQ(PoolAlloc(pool), elements[9]);  // most recently freed first
    EXPECT_EQ(PoolAlloc(pool), elements[5]);
    elements.push_back(static_cast<unsigned char*>(PoolAlloc(pool)));
    EXPECT_EQ(elements.back(), elements[16] + pool->stride);
    EXPECT_EQ(BlockCount(pool), 2u);
    for (unsigned char* e : elements) {
        memset(e, 0xA5, 20);  // the whole element is usable
        EXPECT_EQ(reinterpret_cast<uintptr_t>(e) % sizeof(void*), 0u);
        PoolFree(pool, e);
    }
    EXPECT_EQ(pool->total, 0u);
    EXPECT_EQ(BlockCount(pool), 0u);
    EXPECT_EQ(HeapBlocks(), 1u);
    PoolDelete(pool);
    EXPECT_EQ(HeapBlocks(), 0u);
    EXPECT_EQ(HeapUsageOf(ProgramHeap()).bytes, before.bytes);
}

}  // namespace
