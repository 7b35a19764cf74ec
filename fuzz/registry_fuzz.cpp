// An ObjectTable and a BlockPool driven by operations read from the input and
// checked against plain models: what FindObject finds (an identity is the
// address of its entry); the walk order, also while the walk releases
// entries; the release callback's calls, also when it obtains a number
// itself; entries zeroed when handed out and intact across growth; pool
// elements distinct, aligned and intact, and the pool's blocks gone once none
// is in use. The heap ends as it began.
#include <algorithm>
#include <utility>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "toolkit/registry.h"

namespace {

typedef std::vector<std::pair<ObjectNumber, uint8_t>> Items;  // numbers and fill bytes (0: never filled)
const ObjectNumber kNone = INTPTR_MIN + 1;
ObjectTable* gTable;
Items gLive;                                      // the fixed numbers in order, then identities oldest first
ObjectNumber gCalling = kNone, gReenter = kNone;  // the release call due; the number its callback obtains
uint8_t gTag;

uint8_t NextTag() { return ++gTag ? gTag : ++gTag; }

uint8_t Expected(ObjectNumber n) {
    auto it = std::find_if(gLive.begin(), gLive.end(), [n](const auto& e) { return e.first == n; });
    return it == gLive.end() ? 0 : it->second;
}

bool Holds(const void* entry, uint8_t tag, size_t size) {
    auto* p = static_cast<const uint8_t*>(entry);
    return p && std::all_of(p, p + size, [tag](uint8_t b) { return b == tag; });
}

void CheckFind(ObjectNumber n) {
    void* found = FindObject(gTable, n);
    bool identity = n < 0 || n > MAX_FIXED_NUMBER + 16;  // addresses far above any slot
    FUZZ_CHECK(Expected(n) ? Holds(found, Expected(n), gTable->entrySize) && (!identity || found == (void*)n) : !found);
}

void Clear(ObjectNumber n) {
    ClearObjectSlot(gTable, n);
    gLive.erase(std::remove_if(gLive.begin(), gLive.end(), [n](const auto& e) { return e.first == n; }), gLive.end());
    FUZZ_CHECK(FindObject(gTable, n) == nullptr);
}

// A fixed number's release runs first, once; the entry comes zeroed.
void Obtain(ObjectNumber n, bool fill) {
    bool valid = n == ANY_NUMBER || (n >= 0 && n <= MAX_FIXED_NUMBER);
    gCalling = valid && n != ANY_NUMBER ? n : kNone;
    auto* entry = static_cast<uint8_t*>(ObtainObjectSlot(gTable, n));
    FUZZ_CHECK(gCalling == kNone && (entry ? valid && Holds(entry, 0, gTable->entrySize) : !valid));
    if (!entry) return;
    memset(entry, fill ? NextTag() : 0, gTable->entrySize);
    ObjectNumber number = n == ANY_NUMBER ? reinterpret_cast<intptr_t>(entry) : n;
    FUZZ_CHECK(Expected(number) == 0);
    gLive.insert(std::find_if(gLive.begin(), gLive.end(), [n](const auto& e) { return n != ANY_NUMBER && e.first > n; }),
                 {number, entry[0]});
}

// As the toolkit's callbacks do, it releases whatever holds the number.
void Release(ObjectNumber n) {
    FUZZ_CHECK(gCalling == n && gTable->capacity > static_cast<size_t>(n));
    gCalling = kNone;
    CheckFind(n);
    Clear(n);
    if (gReenter != kNone) Obtain(std::exchange(gReenter, kNone), true);
}

// The filled entries in the model's order. Each step may release the entry
// just given or any other; those not yet reached are then skipped.
void Walk(FuzzInput& in, bool releasing) {
    Items expected;
    std::copy_if(gLive.begin(), gLive.end(), std::back_inserter(expected), [](const auto& e) { return e.second; });
    StartObjectWalk(gTable);
    for (size_t next = 0;; ++next) {
        while (next < expected.size() && !Expected(expected[next].first)) ++next;
        ObjectNumber number = 0;
        void* entry = NextObject(gTable, &number);
        if (next == expected.size()) return FUZZ_CHECK(entry == nullptr);
        FUZZ_CHECK(number == expected[next].first && Holds(entry, expected[next].second, gTable->entrySize));
        uint8_t choice = releasing ? in.Byte() % 3 : 2;
        if (choice < 2) Clear(choice ? expected[in.Byte() % expected.size()].first : number);
    }
}

ObjectNumber Pick(FuzzInput& in) {
    const ObjectNumber refused[] = {-2, -65535, INTPTR_MIN, INTPTR_MAX, MAX_FIXED_NUMBER + 1};
    uint8_t kind = in.Byte();
    if (kind % 6 == 0 && !gLive.empty())  // a live number, or one just beside it
        return gLive[in.Byte() % gLive.size()].first + (kind & 0x80 ? static_cast<int8_t>(in.Byte()) : 0);
    if (kind % 6 == 1) return refused[in.Byte() % 5];
    return kind % 6 == 2 ? in.Bytes(2) % 3000 : in.Byte() % 64;  // growth well beyond the step, or not
}

void TableOp(FuzzInput& in) {
    uint8_t op = in.Byte();
    switch (op % 6) {
        case 0: return Obtain(Pick(in), true);
        case 1:  // a fixed number whose release obtains another
            gReenter = op & 0x80 ? ANY_NUMBER : Pick(in);
            gReenter = gReenter == (op & 63) ? kNone : gReenter;
            return Obtain(op & 63, true), FUZZ_CHECK(gReenter == kNone);
        case 2: return Obtain(ANY_NUMBER, op & 0x80);  // unfilled: a failed creation
        case 3: return CheckFind(Pick(in));
        case 4: return Clear(Pick(in));
        default: return Walk(in, op & 0x80);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzRuntimeInit();
    const HeapUsage start = HeapUsageOf(ProgramHeap());
    FuzzInput in{data, size};
    gLive.clear(), gCalling = gReenter = kNone;
    gTable = NewObjectTable(sizeof(uintptr_t) + in.Byte() % 25, 1 + in.Byte() % 16, Release);
    size_t elementSize = 1 + in.Byte() % 64, minimum = in.Byte() % 40;
    BlockPool* pool = NewBlockPool(elementSize, minimum, in.Byte() % 80);
    Items live;  // pool elements (addresses), each filled with its own byte
    for (int ops = 0; in.More() && ops < 2000; ++ops) {
        if (in.Byte() & 1) {
            TableOp(in);
        } else if ((in.Byte() & 1 || live.empty()) && live.size() < 3000) {
            auto* e = static_cast<uint8_t*>(PoolAlloc(pool));
            FUZZ_CHECK(e != nullptr && reinterpret_cast<uintptr_t>(e) % sizeof(void*) == 0);
            live.push_back({reinterpret_cast<intptr_t>(memset(e, NextTag(), elementSize)), gTag});
        } else {  // an element handed out twice, or overlapping another, shows here
            auto it = live.begin() + static_cast<ptrdiff_t>(in.Bytes(2) % live.size());
            FUZZ_CHECK(Holds(reinterpret_cast<void*>(it->first), it->second, elementSize));
            PoolFree(pool, reinterpret_cast<void*>(it->first));
            live.erase(it);
            FUZZ_CHECK(!live.empty() || (!pool->full && !pool->withRoom && pool->total == 0));  // blocks gone
        }
    }
    Walk(in, false);
    while (!gLive.empty()) Clear(gLive.back().first);
    HeapGive(ProgramHeap(), gTable->slots);
    HeapGive(ProgramHeap(), gTable);
    PoolDelete(pool);
    FUZZ_CHECK(HeapUsageOf(ProgramHeap()).blocks == start.blocks && HeapUsageOf(ProgramHeap()).bytes == start.bytes);
    return 0;
}
