// An ObjectTable and a BlockPool driven by operations read from the input and
// checked against plain models: what FindObject finds; the walk order, also
// while the walk releases entries; the release callback's calls, also when it
// obtains a number itself; entries zeroed when handed out and intact across
// growth; pool elements distinct, aligned and intact, and the pool's blocks
// gone once none is in use. The heap ends as it began.
#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "runtime/heap.h"
#include "toolkit/registry.h"

namespace {

typedef std::pair<ObjectNumber, uint8_t> Item;  // a number and its fill byte (0: never filled)
ObjectTable* gTable;
size_t gEntrySize;
std::map<ObjectNumber, uint8_t> gSlots;
std::vector<Item> gList;           // ANY_NUMBER entries, oldest first
std::vector<ObjectNumber> gCalls;  // release calls expected, innermost last
ObjectNumber gReenter;             // obtained by the next release callback when pending
bool gPending;
uint8_t gTag;

uint8_t NextTag() { return ++gTag ? gTag : ++gTag; }

uint8_t Expected(ObjectNumber n) {
    for (const Item& e : gList)
        if (e.first == n) return e.second;
    return gSlots.count(n) ? gSlots[n] : 0;
}

void CheckEntry(const void* entry, uint8_t tag, size_t size) {
    FUZZ_CHECK(entry != nullptr);
    for (size_t i = 0; i < size; ++i) FUZZ_CHECK(static_cast<const uint8_t*>(entry)[i] == tag);
}

void CheckFind(ObjectNumber n) {  // an identity is the address of its entry
    void* found = FindObject(gTable, n);
    if (Expected(n)) CheckEntry(found, Expected(n), gEntrySize);
    FUZZ_CHECK(Expected(n) ? gSlots.count(n) || reinterpret_cast<intptr_t>(found) == n : found == nullptr);
}

void Clear(ObjectNumber n) {
    ClearObjectSlot(gTable, n);
    gSlots.erase(n);
    gList.erase(std::remove_if(gList.begin(), gList.end(), [n](const Item& e) { return e.first == n; }), gList.end());
    FUZZ_CHECK(FindObject(gTable, n) == nullptr);
}

void Obtain(ObjectNumber n, bool fill) {
    bool valid = n == ANY_NUMBER || (n >= 0 && n <= MAX_FIXED_NUMBER);
    size_t depth = gCalls.size();
    if (valid && n != ANY_NUMBER) gCalls.push_back(n);
    auto* entry = static_cast<uint8_t*>(ObtainObjectSlot(gTable, n));
    FUZZ_CHECK(gCalls.size() == depth && (entry != nullptr) == valid);  // a fixed number's release ran
    if (!entry) return;
    CheckEntry(entry, 0, gEntrySize);
    memset(entry, fill ? NextTag() : 0, gEntrySize);
    if (n != ANY_NUMBER) return void(gSlots[n] = entry[0]);
    FUZZ_CHECK(Expected(reinterpret_cast<intptr_t>(entry)) == 0);
    gList.push_back({reinterpret_cast<intptr_t>(entry), entry[0]});
}

// As the toolkit's callbacks do, it releases whatever holds the number.
void Release(ObjectNumber n) {
    FUZZ_CHECK(!gCalls.empty() && gCalls.back() == n && gTable->capacity > static_cast<size_t>(n));
    gCalls.pop_back();
    CheckFind(n);
    if (gSlots.count(n)) Clear(n);
    if (gPending) gPending = false, Obtain(gReenter, true);
}

// Each step may release the entry just given or any other; released entries
// not yet reached are skipped.
void Walk(FuzzInput& in, bool releasing) {
    std::vector<Item> expected(gSlots.begin(), gSlots.end());
    std::copy_if(gList.begin(), gList.end(), std::back_inserter(expected), [](const Item& e) { return e.second; });
    std::set<ObjectNumber> gone;
    StartObjectWalk(gTable);
    for (size_t next = 0;; ++next) {
        while (next < expected.size() && gone.count(expected[next].first)) ++next;
        ObjectNumber number = 0;
        void* entry = NextObject(gTable, &number);
        if (next == expected.size()) return FUZZ_CHECK(entry == nullptr);
        FUZZ_CHECK(number == expected[next].first);
        CheckEntry(entry, expected[next].second, gEntrySize);
        uint8_t choice = releasing ? in.Byte() % 3 : 2;
        ObjectNumber victim = choice == 0 ? number : expected[in.Byte() % expected.size()].first;
        if (choice < 2 && gone.insert(victim).second) Clear(victim);
    }
}

ObjectNumber Pick(FuzzInput& in) {
    static const ObjectNumber refused[] = {-2, -65535, INTPTR_MIN, INTPTR_MAX, MAX_FIXED_NUMBER + 1};
    uint8_t kind = in.Byte();
    if (kind % 6 == 0 && !gList.empty())  // an identity, or a number just beside one
        return gList[in.Byte() % gList.size()].first + (kind & 0x80 ? static_cast<int8_t>(in.Byte()) : 0);
    if (kind % 6 == 1) return refused[in.Byte() % 5];
    return kind % 6 == 2 ? in.Word() % 3000 : in.Byte() % 64;  // growth well beyond the step, or not
}

void TableOp(FuzzInput& in) {
    uint8_t op = in.Byte();
    switch (op % 6) {
        case 0: return Obtain(Pick(in), true);
        case 1:  // a fixed number whose release obtains another
            gReenter = op & 0x80 ? ANY_NUMBER : Pick(in);
            gPending = gReenter != (op & 63);
            return Obtain(op & 63, true), FUZZ_CHECK(!gPending);
        case 2: return Obtain(ANY_NUMBER, op & 0x80);  // unfilled: a failed creation
        case 3: return CheckFind(Pick(in));
        case 4: return Clear(Pick(in));
        default: return Walk(in, op & 0x80);
    }
}

// Each element is filled with its own byte: one handed out twice, or
// overlapping another, shows when it is checked before being freed.
void PoolOp(BlockPool* pool, size_t size, std::vector<std::pair<uint8_t*, uint8_t>>& live, FuzzInput& in) {
    if ((in.Byte() & 1 || live.empty()) && live.size() < 3000) {
        auto* e = static_cast<uint8_t*>(PoolAlloc(pool));
        FUZZ_CHECK(e != nullptr && reinterpret_cast<uintptr_t>(e) % sizeof(void*) == 0);
        live.push_back({e, NextTag()});
        return void(memset(e, gTag, size));
    }
    size_t i = in.Word() % live.size();
    CheckEntry(live[i].first, live[i].second, size);
    PoolFree(pool, live[i].first);
    live.erase(live.begin() + static_cast<ptrdiff_t>(i));
    if (live.empty()) FUZZ_CHECK(!pool->full && !pool->withRoom && pool->total == 0);  // blocks gone once unused
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = (ProgramHeapInit(), true);
    (void)ready;
    const HeapUsage start = HeapUsageOf(ProgramHeap());
    FuzzInput in{data, size};
    gSlots.clear(), gList.clear(), gCalls.clear(), gPending = false;
    gEntrySize = sizeof(uintptr_t) + in.Byte() % 25;
    gTable = NewObjectTable(gEntrySize, 1 + in.Byte() % 16, Release);
    size_t elementSize = 1 + in.Byte() % 64, minimum = in.Byte() % 40;
    BlockPool* pool = NewBlockPool(elementSize, minimum, in.Byte() % 80);
    std::vector<std::pair<uint8_t*, uint8_t>> live;
    for (int ops = 0; in.More() && ops < 2000; ++ops) in.Byte() & 1 ? TableOp(in) : PoolOp(pool, elementSize, live, in);
    Walk(in, false);
    while (!gList.empty()) Clear(gList.back().first);
    HeapGive(ProgramHeap(), gTable->slots);
    HeapGive(ProgramHeap(), gTable);
    PoolDelete(pool);
    const HeapUsage end = HeapUsageOf(ProgramHeap());
    FUZZ_CHECK(end.blocks == start.blocks && end.bytes == start.bytes);
    return 0;
}
