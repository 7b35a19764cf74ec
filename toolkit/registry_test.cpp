#include "toolkit/registry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "runtime/heap.h"

namespace {

struct Entry {
    uintptr_t handle;  // non-zero while live
    intptr_t value;
};

// What the release callback saw: the number, and the handle the entry held
// at that moment (0 when the number held nothing).
struct ReleaseCall {
    ObjectNumber number;
    uintptr_t handleSeen;
    bool grownAlready;  // the number was a slot when the callback ran
};

ObjectTable* gTable = nullptr;

// Tables live as long as the program; tests hand theirs back so that the
// leak checker sees only real leaks.
void FreeTable(ObjectTable* table) {
    while (table->list) ClearObjectSlot(table, reinterpret_cast<intptr_t>(table->list + 1));
    HeapGive(ProgramHeap(), table->slots);
    HeapGive(ProgramHeap(), table);
}
std::vector<ReleaseCall> gCalls;
ObjectNumber gReenterWith = -2;  // obtain this number from inside the callback

void RecordingRelease(ObjectNumber number) {
    Entry* entry = static_cast<Entry*>(FindObject(gTable, number));
    gCalls.push_back({number, entry ? entry->handle : 0,
                      number >= 0 && static_cast<uintptr_t>(number) < gTable->capacity});
    if (entry) ClearObjectSlot(gTable, number);
    if (gReenterWith >= 0) {
        ObjectNumber other = gReenterWith;
        gReenterWith = -2;
        Entry* made = static_cast<Entry*>(ObtainObjectSlot(gTable, other));
        made->handle = 0xBEEF;
        made->value = other;
    }
}

class ObjectTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        ProgramHeapInit();
        gCalls.clear();
        gReenterWith = -2;
        before = HeapUsageOf(ProgramHeap());
        gTable = NewObjectTable(sizeof(Entry), 50, RecordingRelease);
    }
    void TearDown() override {
        FreeTable(gTable);
        gTable = nullptr;
        EXPECT_EQ(HeapUsageOf(ProgramHeap()).blocks, before.blocks);
    }

    Entry* Make(ObjectNumber number, uintptr_t handle) {
        Entry* entry = static_cast<Entry*>(ObtainObjectSlot(gTable, number));
        if (entry) {
            entry->handle = handle;
            entry->value = static_cast<intptr_t>(handle) * 10;
        }
        return entry;
    }

    ObjectNumber MakeAny(uintptr_t handle) {
        Entry* entry = Make(ANY_NUMBER, handle);
        EXPECT_NE(entry, nullptr);
        return reinterpret_cast<intptr_t>(entry);
    }

    std::vector<ObjectNumber> Walk() {
        std::vector<ObjectNumber> seen;
        StartObjectWalk(gTable);
        ObjectNumber number = 0;
        while (NextObject(gTable, &number)) seen.push_back(number);
        return seen;
    }

    HeapUsage before{};
};

TEST_F(ObjectTableTest, FixedNumberBeyondCapacityGrowsByTheStep) {
    for (uintptr_t i = 0; i < 50; ++i) Make(static_cast<ObjectNumber>(i), 100 + i);
    ASSERT_EQ(gTable->capacity, 50u);
    // Leave dirty blocks of the grown size behind, so new slots that were not
    // cleared would show.
    std::vector<void*> dirty;
    for (int i = 0; i < 8; ++i) {
        dirty.push_back(HeapTake(ProgramHeap(), 110 * sizeof(Entry)));
        memset(dirty.back(), 0xAB, 110 * sizeof(Entry));
    }
    for (void* block : dirty) HeapGive(ProgramHeap(), block);

    ASSERT_NE(Make(60, 7), nullptr);
    EXPECT_EQ(gTable->capacity, 110u);
    for (ObjectNumber i = 0; i < 50; ++i) {
        Entry* entry = static_cast<Entry*>(FindObject(gTable, i));
        ASSERT_NE(entry, nullptr) << i;
        EXPECT_EQ(entry->handle, 100u + static_cast<uintptr_t>(i));
        EXPECT_EQ(entry->value, static_cast<intptr_t>(100 + i) * 10);
    }
    for (ObjectNumber i = 50; i < 110; ++i) {
        if (i == 60) continue;
        EXPECT_EQ(FindObject(gTable, i), nullptr) << i;
    }
    Entry* sixty = static_cast<Entry*>(FindObject(gTable, 60));
    ASSERT_NE(sixty, nullptr);
    EXPECT_EQ(sixty->handle, 7u);
    // A number inside the capacity does not grow it.
    Make(109, 8);
    EXPECT_EQ(gTable->capacity, 110u);
}

TEST_F(ObjectTableTest, ReusedNumberIsReleasedBeforeTheEntryIsHandedOut) {
    Make(5, 0x55);
    gCalls.clear();
    Entry* entry = static_cast<Entry*>(ObtainObjectSlot(gTable, 5));
    ASSERT_EQ(gCalls.size(), 1u);
    EXPECT_EQ(gCalls[0].number, 5);
    EXPECT_EQ(gCalls[0].handleSeen, 0x55u);  // the old object was still there
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->handle, 0u);  // and was gone when the entry came back
    EXPECT_EQ(entry->value, 0);
}

TEST_F(ObjectTableTest, FreeNumberStillCallsTheReleaseWhichFindsNothing) {
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

TEST_F(ObjectTableTest, UnknownNumbersFindNothingAndClearNothing) {
    Make(0, 1);
    ObjectNumber id = MakeAny(2);
    HeapUsage held = HeapUsageOf(ProgramHeap());
    const ObjectNumber unknown[] = {
        50, 51, 1000, MAX_FIXED_NUMBER, MAX_FIXED_NUMBER + 1, INTPTR_MAX,
        -2, -1000, INTPTR_MIN, id + 1, id - 1, id + static_cast<ObjectNumber>(sizeof(Entry)),
    };
    for (ObjectNumber number : unknown) {
        EXPECT_EQ(FindObject(gTable, number), nullptr) << number;
        ClearObjectSlot(gTable, number);
    }
    EXPECT_EQ(HeapUsageOf(ProgramHeap()).blocks, held.blocks);
    EXPECT_EQ(gTable->capacity, 50u);
    EXPECT_EQ(Walk(), (std::vector<ObjectNumber>{0, id}));
}

TEST_F(ObjectTableTest, NumbersThatCannotBeObtainedTouchNothing) {
    Make(4, 1);
    HeapUsage held = HeapUsageOf(ProgramHeap());
    gCalls.clear();
    const ObjectNumber refused[] = {-2, -3, -65535, INTPTR_MIN, MAX_FIXED_NUMBER + 1,
                                    INTPTR_MAX, static_cast<ObjectNumber>(0x7FFFFFFF)};
    for (ObjectNumber number : refused) {
        EXPECT_EQ(ObtainObjectSlot(gTable, number), nullptr) << number;
    }
    EXPECT_TRUE(gCalls.empty());
    EXPECT_EQ(gTable->capacity, 50u);
    EXPECT_EQ(HeapUsageOf(ProgramHeap()).blocks, held.blocks);
    EXPECT_EQ(Walk(), (std::vector<ObjectNumber>{4}));
    // A large number that is allowed still works.
    ASSERT_NE(Make(100000, 9), nullptr);
    EXPECT_EQ(gTable->capacity, 100050u);
}

TEST_F(ObjectTableTest, WalkThatReleasesEachEntryEmptiesTheTable) {
    HeapUsage empty = HeapUsageOf(ProgramHeap());
    for (ObjectNumber number : {0, 9, 49, 51}) Make(number, 1 + static_cast<uintptr_t>(number));
    std::vector<ObjectNumber> ids = {MakeAny(100), MakeAny(101), MakeAny(102)};

    std::vector<ObjectNumber> seen;
    StartObjectWalk(gTable);
    ObjectNumber number = 0;
    while (NextObject(gTable, &number)) {
        seen.push_back(number);
        ClearObjectSlot(gTable, number);
    }
    EXPECT_EQ(seen, (std::vector<ObjectNumber>{0, 9, 49, 51, ids[0], ids[1], ids[2]}));
    EXPECT_TRUE(Walk().empty());
    EXPECT_EQ(gTable->list, nullptr);
    // Only the grown slot array differs from the empty table.
    EXPECT_EQ(HeapUsageOf(ProgramHeap()).blocks, empty.blocks);
}

TEST_F(ObjectTableTest, WalkSurvivesReleaseOfTheNextListEntry) {
    ObjectNumber a = MakeAny(1);
    ObjectNumber b = MakeAny(2);
    ObjectNumber c = MakeAny(3);
    StartObjectWalk(gTable);
    ObjectNumber number = 0;
    ASSERT_NE(NextObject(gTable, &number), nullptr);
    EXPECT_EQ(number, a);
    ClearObjectSlot(gTable, b);  // the one the walk would return next
    ASSERT_NE(NextObject(gTable, &number), nullptr);
    EXPECT_EQ(number, c);
    EXPECT_EQ(NextObject(gTable, &number), nullptr);
}

TEST_F(ObjectTableTest, ListEntryWithoutHandleIsNotLiveButCanBeCleared) {
    // A creation that fails after obtaining its entry clears it again.
    HeapUsage held = HeapUsageOf(ProgramHeap());
    ObjectNumber id = MakeAny(0);
    EXPECT_EQ(FindObject(gTable, id), nullptr);
    EXPECT_TRUE(Walk().empty());
    ClearObjectSlot(gTable, id);
    EXPECT_EQ(HeapUsageOf(ProgramHeap()).blocks, held.blocks);
}

TEST_F(ObjectTableTest, ReleaseCallbackMayGrowTheTableItself) {
    Make(1, 1);
    gReenterWith = 500;  // moves the slot array while number 2 is obtained
    Entry* entry = static_cast<Entry*>(ObtainObjectSlot(gTable, 2));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(gTable->capacity, 550u);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(entry), gTable->slots + 2 * sizeof(Entry));
    entry->handle = 2;
    EXPECT_EQ(Walk(), (std::vector<ObjectNumber>{1, 2, 500}));
    EXPECT_EQ(static_cast<Entry*>(FindObject(gTable, 1))->value, 10);
}

TEST(ObjectTableShape, SmallEntriesAndZeroStepStillWork) {
    ProgramHeapInit();
    ObjectTable* table = NewObjectTable(1, 0, nullptr);
    EXPECT_GE(table->entrySize, sizeof(uintptr_t));
    uintptr_t* entry = static_cast<uintptr_t*>(ObtainObjectSlot(table, 3));
    ASSERT_NE(entry, nullptr);
    *entry = 1;
    EXPECT_EQ(FindObject(table, 3), entry);
    EXPECT_GE(table->capacity, 4u);
    FreeTable(table);
}

// ---------------------------------------------------------------------------

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

TEST_F(BlockPoolTest, StrideRoundsToThePointerSizePlusHeaderWord) {
    const size_t w = sizeof(void*);
    const struct { size_t size, stride; } cases[] = {
        {0, w}, {1, 2 * w}, {w, 2 * w}, {w + 1, 3 * w}, {20, (20 + w - 1) / w * w + w},
    };
    for (const auto& c : cases) {
        BlockPool* pool = NewBlockPool(c.size, 16, 256);
        ASSERT_NE(pool, nullptr);
        EXPECT_EQ(pool->stride, c.stride) << c.size;
        PoolDelete(pool);
    }
    if (w == 4) {
        BlockPool* pool = NewBlockPool(20, 16, 256);
        EXPECT_EQ(pool->stride, 24u);  // a multiple of 4, plus 4
        PoolDelete(pool);
    }
    EXPECT_EQ(HeapBlocks(), 0u);
}

TEST_F(BlockPoolTest, SeventeenthElementMakesASecondBlockAndAllComeBack) {
    BlockPool* pool = NewBlockPool(20, 16, 256);
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(HeapBlocks(), 1u);
    std::vector<unsigned char*> elements;
    for (int i = 0; i < 16; ++i) elements.push_back(static_cast<unsigned char*>(PoolAlloc(pool)));
    EXPECT_EQ(pool->total, 16u);
    EXPECT_EQ(BlockCount(pool), 1u);
    EXPECT_EQ(pool->withRoom, nullptr);  // the first block is full
    EXPECT_EQ(HeapBlocks(), 2u);
    for (int i = 1; i < 16; ++i) EXPECT_EQ(elements[i] - elements[i - 1], static_cast<ptrdiff_t>(pool->stride));

    elements.push_back(static_cast<unsigned char*>(PoolAlloc(pool)));
    EXPECT_EQ(pool->total, 32u);
    EXPECT_EQ(BlockCount(pool), 2u);
    EXPECT_EQ(HeapBlocks(), 3u);

    for (unsigned char* e : elements) {
        for (size_t i = 0; i < 20; ++i) e[i] = 0xA5;  // the whole element is usable
        EXPECT_EQ(reinterpret_cast<uintptr_t>(e) % sizeof(void*), 0u);
    }
    for (unsigned char* e : elements) PoolFree(pool, e);
    EXPECT_EQ(pool->total, 0u);
    EXPECT_EQ(BlockCount(pool), 0u);
    EXPECT_EQ(HeapBlocks(), 1u);
    PoolDelete(pool);
    EXPECT_EQ(HeapBlocks(), 0u);
    EXPECT_EQ(HeapUsageOf(ProgramHeap()).bytes, before.bytes);
}

TEST_F(BlockPoolTest, FreeingFromAFullBlockMakesItTheNextAllocationsBlock) {
    BlockPool* pool = NewBlockPool(20, 16, 256);
    std::vector<void*> elements;
    for (int i = 0; i < 17; ++i) elements.push_back(PoolAlloc(pool));
    // The first block is full, the second has room; free from the first.
    PoolFree(pool, elements[3]);
    EXPECT_EQ(PoolAlloc(pool), elements[3]);
    PoolFree(pool, elements[5]);
    PoolFree(pool, elements[9]);
    EXPECT_EQ(PoolAlloc(pool), elements[9]);  // most recently freed first
    EXPECT_EQ(PoolAlloc(pool), elements[5]);
    EXPECT_EQ(PoolAlloc(pool), static_cast<unsigned char*>(elements[16]) + pool->stride);
    EXPECT_EQ(BlockCount(pool), 2u);
    PoolDelete(pool);
    EXPECT_EQ(HeapBlocks(), 0u);
}

TEST_F(BlockPoolTest, BlocksGrowWithTheTotalWithinTheLimits) {
    const struct {
        size_t minimum, maximum, allocations, total;
    } cases[] = {
        {16, 256, 512, 512},   // 32 blocks of 16
        {16, 256, 513, 544},   // then a block of 32
        {16, 256, 544, 544},
        {16, 256, 545, 576},
        {16, 16, 513, 528},    // the maximum holds it at 16
        {64, 256, 65, 128},    // the minimum raises it to 64
        {1, 1, 5, 5},          // single-element blocks
        {0, 0, 3, 3},          // a block never holds nothing
        {300, 100, 101, 200},  // the maximum wins over the minimum
    };
    for (const auto& c : cases) {
        BlockPool* pool = NewBlockPool(8, c.minimum, c.maximum);
        std::vector<void*> elements;
        for (size_t i = 0; i < c.allocations; ++i) elements.push_back(PoolAlloc(pool));
        EXPECT_EQ(pool->total, c.total) << c.minimum << "/" << c.maximum << " x" << c.allocations;
        for (void* e : elements) PoolFree(pool, e);
        EXPECT_EQ(pool->total, 0u);
        EXPECT_EQ(BlockCount(pool), 0u);
        PoolDelete(pool);
    }
    EXPECT_EQ(HeapBlocks(), 0u);
}

TEST_F(BlockPoolTest, SingleElementBlocksGoBackAtOnce) {
    BlockPool* pool = NewBlockPool(4, 1, 1);
    void* a = PoolAlloc(pool);
    void* b = PoolAlloc(pool);
    EXPECT_EQ(pool->withRoom, nullptr);
    EXPECT_EQ(BlockCount(pool), 2u);
    PoolFree(pool, a);
    EXPECT_EQ(BlockCount(pool), 1u);
    EXPECT_EQ(pool->total, 1u);
    PoolFree(pool, b);
    EXPECT_EQ(HeapBlocks(), 1u);
    PoolDelete(pool);
}

TEST_F(BlockPoolTest, ClearDropsEveryBlockAndThePoolStaysUsable) {
    BlockPool* pool = NewBlockPool(20, 16, 256);
    for (int i = 0; i < 40; ++i) PoolAlloc(pool);
    PoolClear(pool);
    EXPECT_EQ(pool->total, 0u);
    EXPECT_EQ(pool->full, nullptr);
    EXPECT_EQ(pool->withRoom, nullptr);
    EXPECT_EQ(HeapBlocks(), 1u);
    void* e = PoolAlloc(pool);
    EXPECT_EQ(pool->total, 16u);
    PoolFree(pool, e);
    PoolFree(pool, nullptr);  // nothing to do
    PoolDelete(pool);
    PoolDelete(nullptr);
    EXPECT_EQ(HeapBlocks(), 0u);
}

TEST_F(BlockPoolTest, ElementSizeTooLargeForAnyBlockIsRefused) {
    EXPECT_EQ(NewBlockPool(SIZE_MAX, 16, 256), nullptr);
    EXPECT_EQ(NewBlockPool(SIZE_MAX - 8, 1, 1), nullptr);
    EXPECT_EQ(HeapBlocks(), 0u);
}

// ---------------------------------------------------------------------------

void* gInitSaw = nullptr;
bool gInitSawZeroes = false;
void NoteInit(void* record) {
    gInitSaw = record;
    const unsigned char* bytes = static_cast<const unsigned char*>(record);
    gInitSawZeroes = true;
    for (int i = 0; i < 64; ++i) gInitSawZeroes = gInitSawZeroes && bytes[i] == 0;
    static_cast<unsigned char*>(record)[0] = 42;
}

TEST(LibraryState, ZeroedRecordIsPassedToItsInitRoutine) {
    ProgramHeapInit();
    void* record = NewLibraryState(64, NoteInit);
    EXPECT_EQ(gInitSaw, record);
    EXPECT_TRUE(gInitSawZeroes);
    EXPECT_EQ(static_cast<unsigned char*>(record)[0], 42);

    unsigned char* plain = static_cast<unsigned char*>(NewLibraryState(32, nullptr));
    for (int i = 0; i < 32; ++i) EXPECT_EQ(plain[i], 0) << i;
    HeapGive(ProgramHeap(), record);
    HeapGive(ProgramHeap(), plain);
}

}  // namespace
