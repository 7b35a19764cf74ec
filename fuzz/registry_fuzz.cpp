// An ObjectTable and a BlockPool driven by the input, against plain models:
// entries found intact, walked in order while the walk releases them, zeroed
// when handed out; a fixed number's release called once first, also when the
// callback obtains a number itself; refused numbers get nothing; pool elements
// distinct, aligned and intact, its blocks gone once none is in use.
#include <algorithm>
#include <utility>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "toolkit/registry.h"

namespace {

typedef std::vector<std::pair<intptr_t, uint8_t>> Items;  // numbers or addresses, and fill bytes (0: unfilled)
const ObjectNumber kNone = INTPTR_MIN;
ObjectTable* gTable;
Items gLive;                      // walk order: fixed numbers ascending, then identities oldest first
ObjectNumber gCalling, gReenter;  // the release call due; the number its callback obtains
uint8_t gTag;

bool Holds(const void* entry, uint8_t fill, size_t size) {
    auto* p = static_cast<const uint8_t*>(entry);
    return p && std::all_of(p, p + size, [fill](uint8_t b) { return b == fill; });
}

// What holds the number is found intact (an identity at its own address), then released.
void Clear(ObjectNumber n) {
    auto live = std::find_if(gLive.begin(), gLive.end(), [n](const auto& e) { return e.first == n; });
    uint8_t fill = live == gLive.end() ? 0 : live->second;
    void* found = FindObject(gTable, n);
    FUZZ_CHECK(fill ? Holds(found, fill, gTable->entrySize) && (n <= MAX_FIXED_NUMBER || found == (void*)n) : !found);
    ClearObjectSlot(gTable, n);
    if (live != gLive.end()) gLive.erase(live);
    FUZZ_CHECK(FindObject(gTable, n) == nullptr);
}

void Obtain(ObjectNumber n, uint8_t fill) {
    bool valid = n >= ANY_NUMBER && n <= MAX_FIXED_NUMBER;
    gCalling = valid && n != ANY_NUMBER ? n : kNone;
    void* entry = ObtainObjectSlot(gTable, n);
    FUZZ_CHECK(gCalling == kNone && (entry ? valid && Holds(entry, 0, gTable->entrySize) : !valid));
    if (!entry) return;
    auto after = [n](const auto& e) { return n != ANY_NUMBER && e.first > n; };  // identities lie above
    gLive.insert(std::find_if(gLive.begin(), gLive.end(), after), {n == ANY_NUMBER ? (intptr_t)entry : n, fill});
    memset(entry, fill, gTable->entrySize);
}

// As the toolkit's callbacks do, it releases whatever holds the number.
void Release(ObjectNumber n) {
    FUZZ_CHECK(gCalling == n && gTable->capacity > static_cast<size_t>(n));
    gCalling = kNone;
    Clear(n);
    ObjectNumber again = std::exchange(gReenter, kNone);
    if (again != kNone && again != n) Obtain(again, ++gTag | 1);
}

// A live number or one beside it, one from -127 to 126 (growth well beyond
// the step, or not), or the first refused above.
ObjectNumber Pick(FuzzInput& in) {
    int8_t k = static_cast<int8_t>(in.Byte());
    if (k < -120 && !gLive.empty()) return gLive[in.Byte() % gLive.size()].first + k % 2;
    return k == 127 ? MAX_FIXED_NUMBER + 1 : k;
}

// The filled entries in the model's order, some released as they come.
void Walk(FuzzInput& in) {
    StartObjectWalk(gTable);
    for (const auto& e : Items(gLive)) {
        ObjectNumber number = 0;
        void* entry = e.second ? NextObject(gTable, &number) : nullptr;
        FUZZ_CHECK(!e.second || (number == e.first && Holds(entry, e.second, gTable->entrySize)));
        if (e.second && in.Byte() % 2) Clear(number);
    }
    FUZZ_CHECK(NextObject(gTable, nullptr) == nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzRuntimeInit();
    const HeapUsage start = HeapUsageOf(ProgramHeap());
    FuzzInput in{data, size};
    gLive.clear(), gCalling = gReenter = kNone;
    gTable = NewObjectTable(sizeof(uintptr_t) + in.Byte() % 25, 1 + in.Byte() % 16, Release);
    size_t elementSize = 1 + in.Byte() % 64;
    BlockPool* pool = NewBlockPool(elementSize, in.Byte() % 40, in.Byte() % 80);
    Items elements;  // pool elements in use, each filled with its own byte
    while (in.More()) {
        uint8_t op = in.Byte();
        if (op % 8 == 1) gReenter = op & 0x80 ? ANY_NUMBER : Pick(in);  // the release obtains another
        if (op % 8 <= 1) Obtain(op % 8 ? op / 8 % 16 : Pick(in), ++gTag | 1);
        if (op % 8 == 2) Obtain(ANY_NUMBER, op & 0x80 ? ++gTag | 1 : 0);  // unfilled: a failed creation
        if (op % 8 == 3) Clear(Pick(in));
        if (op % 8 == 4) Walk(in);
        if (op % 8 == 5 && elements.size() < 3000) {
            void* e = PoolAlloc(pool);
            FUZZ_CHECK(e != nullptr && reinterpret_cast<uintptr_t>(e) % sizeof(void*) == 0);
            elements.push_back({reinterpret_cast<intptr_t>(memset(e, ++gTag, elementSize)), gTag});
        } else if (op % 8 >= 6 && !elements.empty()) {  // an element handed out twice, or overlapping another
            auto it = elements.begin() + static_cast<ptrdiff_t>(in.Bytes(2) % elements.size());
            FUZZ_CHECK(Holds(reinterpret_cast<void*>(it->first), it->second, elementSize));
            PoolFree(pool, reinterpret_cast<void*>(it->first));
            elements.erase(it);
            FUZZ_CHECK(!elements.empty() || (!pool->full && !pool->withRoom && pool->total == 0));
        }
    }
    while (!gLive.empty()) Clear(gLive.back().first);
    HeapGive(ProgramHeap(), gTable->slots);
    HeapGive(ProgramHeap(), gTable);
    PoolDelete(pool);
    FUZZ_CHECK(HeapUsageOf(ProgramHeap()).blocks == start.blocks && HeapUsageOf(ProgramHeap()).bytes == start.bytes);
    return 0;
}
