// An ObjectTable and a BlockPool driven by operation sequences from the input
// and checked against plain models: what FindObject finds; the walk order,
// also while the walk releases entries; the release callback's calls, also
// when the callback itself obtains a number; entries zeroed when handed out
// and intact across growth; pool elements distinct, aligned and intact, and
// a pool's blocks gone once none is in use. The heap ends as it began.
#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "runtime/heap.h"
#include "toolkit/registry.h"

namespace {

typedef std::pair<ObjectNumber, uint8_t> Item;  // number and fill byte (0: never filled)
struct Model {
    ObjectTable* table;
    size_t entrySize;
    std::map<ObjectNumber, uint8_t> slots;
    std::vector<Item> list;            // ANY_NUMBER entries, oldest first
    std::vector<ObjectNumber> calls;   // release calls expected, innermost last
    ObjectNumber reenter;              // obtained by the next release callback, when pending
    bool pending;
    uint8_t tag;
} gM;

uint8_t NextTag() { return ++gM.tag ? gM.tag : ++gM.tag; }

uint8_t Expected(ObjectNumber n) {
    if (gM.slots.count(n)) return gM.slots[n];
    for (const Item& e : gM.list)
        if (e.first == n) return e.second;
    return 0;
}

void CheckEntry(const void* entry, uint8_t tag, size_t size) {
    FUZZ_CHECK(entry != nullptr);
    for (size_t i = 0; i < size; ++i) FUZZ_CHECK(static_cast<const uint8_t*>(entry)[i] == tag);
}

void CheckFind(ObjectNumber n) {
    void* found = FindObject(gM.table, n);
    uint8_t tag = Expected(n);
    if (!tag) return FUZZ_CHECK(found == nullptr);
    CheckEntry(found, tag, gM.entrySize);
    FUZZ_CHECK(gM.slots.count(n) || reinterpret_cast<intptr_t>(found) == n);  // an identity is the entry
}

void Clear(ObjectNumber n) {
    ClearObjectSlot(gM.table, n);
    gM.slots.erase(n);
    gM.list.erase(std::remove_if(gM.list.begin(), gM.list.end(), [n](const Item& e) { return e.first == n; }),
                  gM.list.end());
    FUZZ_CHECK(FindObject(gM.table, n) == nullptr);
}

void Obtain(ObjectNumber n, bool fill) {
    bool valid = n == ANY_NUMBER || (n >= 0 && n <= MAX_FIXED_NUMBER);
    size_t depth = gM.calls.size();
    if (valid && n != ANY_NUMBER) gM.calls.push_back(n);
    auto* entry = static_cast<uint8_t*>(ObtainObjectSlot(gM.table, n));
    FUZZ_CHECK(gM.calls.size() == depth);  // a fixed number's release ran; no other did
    FUZZ_CHECK((entry != nullptr) == valid);
    if (!entry) return;
    CheckEntry(entry, 0, gM.entrySize);
    uint8_t tag = fill ? NextTag() : 0;
    memset(entry, tag, gM.entrySize);
    if (n != ANY_NUMBER) {
        gM.slots[n] = tag;
    } else {
        FUZZ_CHECK(Expected(reinterpret_cast<intptr_t>(entry)) == 0);
        gM.list.push_back({reinterpret_cast<intptr_t>(entry), tag});
    }
}

// The toolkit's callbacks release whatever holds the number.
void Release(ObjectNumber n) {
    FUZZ_CHECK(!gM.calls.empty() && gM.calls.back() == n);
    gM.calls.pop_back();
    FUZZ_CHECK(gM.table->capacity > static_cast<size_t>(n));  // grown first
    CheckFind(n);
    if (gM.slots.count(n)) Clear(n);
    if (gM.pending) gM.pending = false, Obtain(gM.reenter, true);
}

// Each step may release the entry just given or any other; released entries
// not yet reached are skipped.
void Walk(FuzzInput& in, bool releasing) {
    std::vector<Item> expected(gM.slots.begin(), gM.slots.end());
    for (const Item& e : gM.list)
        if (e.second) expected.push_back(e);
    std::set<ObjectNumber> gone;
    StartObjectWalk(gM.table);
    for (size_t next = 0;; ++next) {
        while (next < expected.size() && gone.count(expected[next].first)) ++next;
        ObjectNumber number = 0;
        void* entry = NextObject(gM.table, &number);
        if (next == expected.size()) return FUZZ_CHECK(entry == nullptr);
        FUZZ_CHECK(number == expected[next].first);
        CheckEntry(entry, expected[next].second, gM.entrySize);
        uint8_t choice = releasing ? in.Byte() % 3 : 2;
        ObjectNumber victim = choice == 0 ? number : expected[in.Byte() % expected.size()].first;
        if (choice < 2 && gone.insert(victim).second) Clear(victim);
    }
}

ObjectNumber Pick(FuzzInput& in) {
    static const ObjectNumber refused[] = {-2, -65535, INTPTR_MIN, INTPTR_MAX, MAX_FIXED_NUMBER + 1};
    uint8_t kind = in.Byte();
    if (kind % 6 == 0 && !gM.list.empty())  // an identity, or a number just beside one
        return gM.list[in.Byte() % gM.list.size()].first + (kind & 0x80 ? static_cast<int8_t>(in.Byte()) : 0);
    if (kind % 6 == 1) return refused[in.Byte() % 5];
    if (kind % 6 == 2) return in.Word() % 3000;  // growth well beyond the step
    return in.Byte() % 64;
}

void TableOp(FuzzInput& in) {
    uint8_t op = in.Byte();
    switch (op % 6) {
        case 0: return Obtain(Pick(in), true);
        case 1: {  // a fixed number whose release obtains another
            ObjectNumber n = in.Byte() % 64;
            gM.reenter = op & 0x80 ? ANY_NUMBER : Pick(in);
            if (gM.reenter == n) return;
            gM.pending = true;
            Obtain(n, true);
            return FUZZ_CHECK(!gM.pending);
        }
        case 2: return Obtain(ANY_NUMBER, op & 0x80);  // unfilled: a failed creation
        case 3: return CheckFind(Pick(in));
        case 4: return Clear(Pick(in));
        default: return Walk(in, op & 0x80);
    }
}

struct PoolModel {
    BlockPool* pool;
    size_t size;
    std::vector<std::pair<uint8_t*, uint8_t>> live;
};

void PoolOp(PoolModel& p, FuzzInput& in) {
    uint8_t op = in.Byte();
    if (op % 16 == 15) {
        PoolClear(p.pool);
        p.live.clear();
    } else if ((op % 2 == 0 || p.live.empty()) && p.live.size() < 3000) {
        auto* e = static_cast<uint8_t*>(PoolAlloc(p.pool));
        FUZZ_CHECK(e != nullptr && reinterpret_cast<uintptr_t>(e) % sizeof(void*) == 0);
        for (const auto& other : p.live) FUZZ_CHECK(other.first != e);
        p.live.push_back({e, NextTag()});
        memset(e, p.live.back().second, p.size);
    } else {
        size_t i = in.Word() % p.live.size();
        CheckEntry(p.live[i].first, p.live[i].second, p.size);
        PoolFree(p.pool, p.live[i].first);
        p.live.erase(p.live.begin() + static_cast<ptrdiff_t>(i));
    }
    if (p.live.empty()) FUZZ_CHECK(!p.pool->full && !p.pool->withRoom && p.pool->total == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = (ProgramHeapInit(), true);
    (void)ready;
    const HeapUsage start = HeapUsageOf(ProgramHeap());
    FuzzInput in{data, size};
    gM = Model();
    gM.entrySize = sizeof(uintptr_t) + in.Byte() % 25;
    size_t step = 1 + in.Byte() % 16;
    gM.table = NewObjectTable(gM.entrySize, step, Release);
    PoolModel pool{nullptr, in.Byte() % 65u, {}};
    size_t minimum = in.Byte() % 40;
    pool.pool = NewBlockPool(pool.size, minimum, in.Byte() % 80);
    for (int ops = 0; in.More() && ops < 2000; ++ops) in.Byte() & 1 ? TableOp(in) : PoolOp(pool, in);
    Walk(in, false);

    while (!gM.list.empty()) Clear(gM.list.back().first);
    HeapGive(ProgramHeap(), gM.table->slots);
    HeapGive(ProgramHeap(), gM.table);
    PoolDelete(pool.pool);
    const HeapUsage end = HeapUsageOf(ProgramHeap());
    FUZZ_CHECK(end.blocks == start.blocks && end.bytes == start.bytes);
    return 0;
}
