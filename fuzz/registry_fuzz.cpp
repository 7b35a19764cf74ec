// Drives an ObjectTable and a BlockPool with operation sequences decoded from
// the input and checks them against plain models: what FindObject finds, the
// walk order, entry contents kept across growth, release-callback calls, pool
// totals and block counts (walked through the pool's own lists), and that no
// element is handed out twice. Every input ends with the heap exactly as it
// began.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "runtime/heap.h"
#include "toolkit/registry.h"

namespace {

#define CHECK FUZZ_CHECK
using Reader = FuzzInput;

// ---------------------------------------------------------------------------
// Object table and its model

struct ListItem {
    ObjectNumber identity;
    uintptr_t handle;  // 0: obtained but never filled (a failed creation)
};

struct TableModel {
    ObjectTable* table = nullptr;
    size_t entrySize = 0;
    size_t step = 0;
    size_t capacity = 0;
    std::map<ObjectNumber, uintptr_t> slots;  // live slot numbers
    std::vector<ListItem> list;               // oldest first
    std::vector<ObjectNumber> stale;          // identities cleared earlier
    uintptr_t nextHandle = 1;
    int depth = 0;
    bool reenterPending = false;  // the next top-level release obtains `reenter`
    ObjectNumber reenter = 0;
    std::vector<ObjectNumber> expectedCalls;
    size_t calls = 0;
};

TableModel* gModel = nullptr;

// The entry's bytes after the handle carry a pattern derived from it.
void Fill(unsigned char* entry, uintptr_t handle, size_t entrySize) {
    memcpy(entry, &handle, sizeof handle);
    for (size_t i = sizeof handle; i < entrySize; ++i) entry[i] = static_cast<unsigned char>(handle * 31 + i);
}

void CheckFilled(const void* found, uintptr_t handle, size_t entrySize) {
    CHECK(found != nullptr);
    const unsigned char* entry = static_cast<const unsigned char*>(found);
    uintptr_t h;
    memcpy(&h, entry, sizeof h);
    CHECK(h == handle);
    for (size_t i = sizeof h; i < entrySize; ++i) CHECK(entry[i] == static_cast<unsigned char>(handle * 31 + i));
}

bool IsSlot(const TableModel& m, ObjectNumber n) { return n >= 0 && static_cast<uintptr_t>(n) < m.capacity; }

ListItem* FindItem(TableModel& m, ObjectNumber n) {
    for (ListItem& item : m.list) {
        if (item.identity == n) return &item;
    }
    return nullptr;
}

// What FindObject must return for n: the handle of the live entry, or 0.
uintptr_t ExpectedHandle(TableModel& m, ObjectNumber n) {
    if (IsSlot(m, n)) {
        auto it = m.slots.find(n);
        return it == m.slots.end() ? 0 : it->second;
    }
    ListItem* item = FindItem(m, n);
    return item ? item->handle : 0;
}

void CheckFind(TableModel& m, ObjectNumber n) {
    void* found = FindObject(m.table, n);
    uintptr_t handle = ExpectedHandle(m, n);
    if (handle == 0) {
        CHECK(found == nullptr);
        return;
    }
    CheckFilled(found, handle, m.entrySize);
    if (IsSlot(m, n)) {
        CHECK(found == m.table->slots + static_cast<size_t>(n) * m.entrySize);
    } else {
        CHECK(reinterpret_cast<intptr_t>(found) == n);
    }
}

void ModelClear(TableModel& m, ObjectNumber n) {
    if (IsSlot(m, n)) {
        m.slots.erase(n);
        return;
    }
    for (size_t i = 0; i < m.list.size(); ++i) {
        if (m.list[i].identity == n) {
            m.stale.push_back(n);
            m.list.erase(m.list.begin() + static_cast<ptrdiff_t>(i));
            return;
        }
    }
}

void Clear(TableModel& m, ObjectNumber n) {
    size_t blocks = HeapUsageOf(ProgramHeap()).blocks;
    bool listEntry = !IsSlot(m, n) && FindItem(m, n) != nullptr;
    ClearObjectSlot(m.table, n);
    ModelClear(m, n);
    CHECK(HeapUsageOf(ProgramHeap()).blocks == blocks - (listEntry ? 1 : 0));
    CHECK(FindObject(m.table, n) == nullptr);
    if (IsSlot(m, n)) {
        const unsigned char* entry = m.table->slots + static_cast<size_t>(n) * m.entrySize;
        for (size_t i = 0; i < m.entrySize; ++i) CHECK(entry[i] == 0);
    }
}

void Obtain(TableModel& m, ObjectNumber n, bool fillAny);

void Release(ObjectNumber n) {
    TableModel& m = *gModel;
    ++m.calls;
    CHECK(!m.expectedCalls.empty() && m.expectedCalls.back() == n);
    m.expectedCalls.pop_back();
    // The table has grown before the release runs.
    CHECK(IsSlot(m, n));
    CHECK(m.table->capacity == m.capacity);
    CheckFind(m, n);
    if (ExpectedHandle(m, n) != 0) Clear(m, n);
    if (m.depth == 1 && m.reenterPending) {
        m.reenterPending = false;
        Obtain(m, m.reenter, true);
    }
}

void Obtain(TableModel& m, ObjectNumber n, bool fillAny) {
    const bool any = n == ANY_NUMBER;
    const bool valid = any || (n >= 0 && n <= MAX_FIXED_NUMBER);
    const size_t callsBefore = m.calls;
    const HeapUsage heapBefore = HeapUsageOf(ProgramHeap());
    if (valid && !any) {
        if (static_cast<uintptr_t>(n) >= m.capacity) m.capacity = static_cast<size_t>(n) + m.step;
        m.expectedCalls.push_back(n);
    }
    ++m.depth;
    unsigned char* entry = static_cast<unsigned char*>(ObtainObjectSlot(m.table, n));
    --m.depth;
    if (!valid) {
        CHECK(entry == nullptr);
        CHECK(m.calls == callsBefore);
        CHECK(m.table->capacity == m.capacity);
        CHECK(HeapUsageOf(ProgramHeap()).blocks == heapBefore.blocks);
        return;
    }
    CHECK(entry != nullptr);
    CHECK(m.table->capacity == m.capacity);
    for (size_t i = 0; i < m.entrySize; ++i) CHECK(entry[i] == 0);
    if (any) {
        CHECK(m.calls == callsBefore);
        ObjectNumber identity = reinterpret_cast<intptr_t>(entry);
        CHECK(!IsSlot(m, identity));
        CHECK(FindItem(m, identity) == nullptr);
        uintptr_t handle = fillAny ? m.nextHandle++ : 0;
        if (handle) Fill(entry, handle, m.entrySize);
        m.list.push_back({identity, handle});
    } else {
        CHECK(m.calls > callsBefore);
        CHECK(entry == m.table->slots + static_cast<size_t>(n) * m.entrySize);
        uintptr_t handle = m.nextHandle++;
        Fill(entry, handle, m.entrySize);
        m.slots[n] = handle;
    }
}

struct Visit {
    ObjectNumber number;
    uintptr_t handle;
};

std::vector<Visit> ExpectedWalk(const TableModel& m) {
    std::vector<Visit> out;
    for (const auto& slot : m.slots) out.push_back({slot.first, slot.second});
    for (const ListItem& item : m.list) {
        if (item.handle) out.push_back({item.identity, item.handle});
    }
    return out;
}

// A walk in which, at each step, the caller may release the entry it was
// given or some other entry; released entries not yet reached are skipped.
void Walk(TableModel& m, Reader& in, bool releasing) {
    std::vector<Visit> expected = ExpectedWalk(m);
    std::set<ObjectNumber> released;
    size_t next = 0;
    StartObjectWalk(m.table);
    for (;;) {
        while (next < expected.size() && released.count(expected[next].number)) ++next;
        ObjectNumber number = -12345;
        void* entry = NextObject(m.table, &number);
        if (next == expected.size()) {
            CHECK(entry == nullptr);
            break;
        }
        CHECK(entry != nullptr);
        CHECK(number == expected[next].number);
        CheckFilled(entry, expected[next].handle, m.entrySize);
        ++next;
        if (!releasing) continue;
        uint8_t choice = in.Byte();
        if (choice % 3 == 0) {
            released.insert(number);
            Clear(m, number);
        } else if (choice % 3 == 1 && !expected.empty()) {
            const Visit& victim = expected[in.Byte() % expected.size()];
            if (!released.count(victim.number)) {
                released.insert(victim.number);
                Clear(m, victim.number);
            }
        }
    }
}

ObjectNumber PickNumber(TableModel& m, Reader& in) {
    uint8_t kind = in.Byte();
    switch (kind % 10) {
        case 0:
            if (!m.list.empty()) return m.list[in.Byte() % m.list.size()].identity;
            return in.Byte();
        case 1:
            if (!m.stale.empty()) return m.stale[in.Byte() % m.stale.size()];
            return static_cast<ObjectNumber>(m.capacity);
        case 2:
            if (!m.list.empty()) {
                return m.list[in.Byte() % m.list.size()].identity + static_cast<int8_t>(in.Byte());
            }
            return -2;
        case 3: {
            static const ObjectNumber odd[] = {-2, -3, -65535, INTPTR_MIN, INTPTR_MAX,
                                               MAX_FIXED_NUMBER + 1, static_cast<ObjectNumber>(0x7FFFFFFF)};
            return odd[in.Byte() % (sizeof odd / sizeof odd[0])];
        }
        case 4:
            return static_cast<ObjectNumber>(m.capacity) + static_cast<int8_t>(in.Byte());
        case 5:
            return in.Word() % 3000;  // growth well beyond the step
        default:
            return in.Byte() % 128;
    }
}

void TableOp(TableModel& m, Reader& in) {
    uint8_t op = in.Byte();
    switch (op % 8) {
        case 0:
        case 1: {  // obtain a fixed (or odd) number
            ObjectNumber n = PickNumber(m, in);
            if (n == ANY_NUMBER) n = 0;
            Obtain(m, n, true);
            break;
        }
        case 2: {  // obtain a fixed number whose release obtains another one
            ObjectNumber n = in.Byte() % 128;
            ObjectNumber other = (op & 0x80) ? ANY_NUMBER : PickNumber(m, in);
            if (other == n) break;
            m.reenter = other;
            m.reenterPending = true;
            Obtain(m, n, true);
            CHECK(!m.reenterPending);  // the release ran, and obtained `other`
            break;
        }
        case 3:
            Obtain(m, ANY_NUMBER, (op & 0x80) == 0);
            break;
        case 4:
            CheckFind(m, PickNumber(m, in));
            break;
        case 5:
            Clear(m, PickNumber(m, in));
            break;
        case 6:
            Walk(m, in, false);
            break;
        case 7:
            Walk(m, in, true);
            break;
    }
}

// ---------------------------------------------------------------------------
// Block pool and its model

struct PoolModel {
    BlockPool* pool = nullptr;
    size_t elementSize = 0;
    std::vector<std::pair<unsigned char*, uint8_t>> live;  // element, fill byte
    uint8_t nextTag = 1;
};

PoolBlock* BlockOf(const void* element) {
    PoolBlock* block;
    memcpy(&block, static_cast<const unsigned char*>(element) - sizeof(void*), sizeof block);
    return block;
}

unsigned char* ElementsOf(PoolBlock* block) { return reinterpret_cast<unsigned char*>(block) + sizeof(PoolBlock); }

// Walks both lists; checks every block against its own counters and the live
// elements; returns the block count.
size_t CheckPool(PoolModel& m) {
    BlockPool* pool = m.pool;
    std::map<PoolBlock*, size_t> inUse;
    for (auto& e : m.live) inUse[BlockOf(e.first)]++;
    size_t blocks = 0, total = 0, used = 0;
    for (int listIndex = 0; listIndex < 2; ++listIndex) {
        PoolBlock* previous = nullptr;
        for (PoolBlock* b = listIndex == 0 ? pool->full : pool->withRoom; b; b = b->next) {
            CHECK(b->previous == previous);
            previous = b;
            ++blocks;
            total += b->capacity;
            CHECK(b->capacity >= 1);
            CHECK(b->handedOut <= b->capacity);
            CHECK(b->freeCount < b->handedOut);  // an unused block is gone
            bool full = b->freeCount == 0 && b->handedOut == b->capacity;
            CHECK(full == (listIndex == 0));
            size_t freeLength = 0;
            for (unsigned char* f = static_cast<unsigned char*>(b->freeList); f;) {
                size_t offset = static_cast<size_t>(f - ElementsOf(b));
                CHECK(f >= ElementsOf(b) && offset % pool->stride == 0 && offset / pool->stride < b->handedOut);
                CHECK(++freeLength <= b->freeCount);
                void* link;
                memcpy(&link, f, sizeof link);
                f = static_cast<unsigned char*>(link);
            }
            CHECK(freeLength == b->freeCount);
            auto it = inUse.find(b);
            CHECK(it != inUse.end() && it->second == b->handedOut - b->freeCount);
            used += it->second;
            inUse.erase(it);
        }
    }
    CHECK(inUse.empty());  // every live element names a listed block
    CHECK(used == m.live.size());
    CHECK(total == pool->total);
    return blocks;
}

void PoolOp(PoolModel& m, Reader& in) {
    uint8_t op = in.Byte();
    BlockPool* pool = m.pool;
    size_t blocksBefore = CheckPool(m);
    size_t heapBefore = HeapUsageOf(ProgramHeap()).blocks;
    size_t totalBefore = pool->total;
    if (op % 16 == 15) {
        PoolClear(pool);
        m.live.clear();
        CHECK(pool->total == 0 && pool->full == nullptr && pool->withRoom == nullptr);
        CHECK(HeapUsageOf(ProgramHeap()).blocks == heapBefore - blocksBefore);
        return;
    }
    if ((op % 2 == 0 || m.live.empty()) && m.live.size() < 3000) {
        PoolBlock* roomy = pool->withRoom;
        size_t count = (totalBefore >> 4) & ~static_cast<size_t>(15);
        if (count < pool->minimum) count = pool->minimum;
        if (count > pool->maximum) count = pool->maximum;
        if (count == 0) count = 1;
        unsigned char* e = static_cast<unsigned char*>(PoolAlloc(pool));
        CHECK(e != nullptr);
        CHECK(reinterpret_cast<uintptr_t>(e) % sizeof(void*) == 0);
        for (auto& other : m.live) CHECK(other.first != e);
        PoolBlock* block = BlockOf(e);
        if (roomy) {
            CHECK(block == roomy);
            CHECK(pool->total == totalBefore);
            CHECK(HeapUsageOf(ProgramHeap()).blocks == heapBefore);
        } else {
            CHECK(block->capacity == count);
            CHECK(block->handedOut == 1 && e == ElementsOf(block) + sizeof(void*));
            CHECK(pool->total == totalBefore + count);
            CHECK(HeapUsageOf(ProgramHeap()).blocks == heapBefore + 1);
        }
        uint8_t tag = m.nextTag++;
        memset(e, tag, m.elementSize);
        m.live.push_back({e, tag});
        CHECK(CheckPool(m) == blocksBefore + (roomy ? 0 : 1));
    } else {
        size_t index = in.Word() % m.live.size();
        auto victim = m.live[index];
        for (size_t i = 0; i < m.elementSize; ++i) CHECK(victim.first[i] == victim.second);
        PoolBlock* block = BlockOf(victim.first);
        bool last = block->handedOut - block->freeCount == 1;
        bool wasFull = block->freeCount == 0 && block->handedOut == block->capacity;
        PoolBlock* roomy = pool->withRoom;
        size_t capacity = block->capacity;
        m.live.erase(m.live.begin() + static_cast<ptrdiff_t>(index));
        PoolFree(pool, victim.first);
        CHECK(CheckPool(m) == blocksBefore - (last ? 1 : 0));
        CHECK(HeapUsageOf(ProgramHeap()).blocks == heapBefore - (last ? 1 : 0));
        CHECK(pool->total == totalBefore - (last ? capacity : 0));
        // A block that was full becomes the next allocation's block.
        if (!last) CHECK(pool->withRoom == (wasFull ? block : roomy));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool started = false;
    if (!started) {
        ProgramHeapInit();
        started = true;
    }
    const HeapUsage start = HeapUsageOf(ProgramHeap());
    Reader in{data, size};

    TableModel table;
    table.entrySize = sizeof(uintptr_t) + in.Byte() % 25;
    table.step = 1 + in.Byte() % 16;
    table.capacity = table.step;
    table.table = NewObjectTable(table.entrySize, table.step, Release);
    CHECK(table.table->entrySize == table.entrySize && table.table->capacity == table.step);
    gModel = &table;

    PoolModel pool;
    pool.elementSize = in.Byte() % 65;
    size_t minimum = in.Byte() % 40;
    size_t maximum = in.Byte() % 80;
    pool.pool = NewBlockPool(pool.elementSize, minimum, maximum);
    CHECK(pool.pool != nullptr);
    CHECK(pool.pool->stride % sizeof(void*) == 0 && pool.pool->stride >= pool.elementSize + sizeof(void*) &&
          pool.pool->stride < pool.elementSize + 2 * sizeof(void*));

    for (int ops = 0; in.More() && ops < 2000; ++ops) {
        CHECK(table.expectedCalls.empty());
        if (in.Byte() & 1) {
            TableOp(table, in);
        } else {
            PoolOp(pool, in);
        }
        CHECK(table.table->capacity == table.capacity);
    }
    Walk(table, in, false);

    // Hand everything back; the heap must be as it was.
    while (!table.list.empty()) Clear(table, table.list.back().identity);
    CHECK(table.table->list == nullptr);
    HeapGive(ProgramHeap(), table.table->slots);
    HeapGive(ProgramHeap(), table.table);
    gModel = nullptr;
    PoolDelete(pool.pool);
    const HeapUsage end = HeapUsageOf(ProgramHeap());
    CHECK(end.blocks == start.blocks && end.bytes == start.bytes);
    return 0;
}
