// An ObjectTable and a BlockPool driven by the input, against plain models:
// entries found intact and zeroed when handed out, also as the table grows; a
// fixed number's release called once first, also when the callback obtains a
// number itself; refused numbers get nothing; a walk that releases what it
// gives gives every live entry; pool elements distinct, aligned and intact,
// its blocks gone once none is in use.
#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "toolkit/registry.h"

namespace {

const ObjectNumber kNone = INTPTR_MIN;
ObjectTable* gTable;
std::map<ObjectNumber, uint8_t> gLive;  // numbers and identities, and their fill bytes (0: never filled)
ObjectNumber gCalling, gReenter;        // the release call due; the number its callback obtains
uint8_t gTag;

bool Holds(const void* entry, uint8_t fill, size_t size) {
    auto* p = static_cast<const uint8_t*>(entry);
    return p && std::all_of(p, p + size, [fill](uint8_t b) { return b == fill; });
}

// What holds the number is found intact, then released.
void Clear(ObjectNumber n) {
    uint8_t fill = gLive.count(n) ? gLive[n] : 0;
    void* found = FindObject(gTable, n);
    bool addressed = n <= MAX_FIXED_NUMBER || found == reinterpret_cast<void*>(n);  // an identity: its address
    FUZZ_CHECK(fill ? Holds(found, fill, gTable->entrySize) && addressed : !found);
    ClearObjectSlot(gTable, n);
    gLive.erase(n);
}

void Obtain(ObjectNumber n, uint8_t fill) {
    bool valid = n >= ANY_NUMBER && n <= MAX_FIXED_NUMBER;
    gCalling = valid && n != ANY_NUMBER ? n : kNone;
    void* entry = ObtainObjectSlot(gTable, n);
    FUZZ_CHECK(gCalling == kNone && (entry ? valid && Holds(entry, 0, gTable->entrySize) : !valid));
    if (!entry) return;
    FUZZ_CHECK(gLive.emplace(n == ANY_NUMBER ? reinterpret_cast<intptr_t>(entry) : n, fill).second);
    memset(entry, fill, gTable->entrySize);
}

void Release(ObjectNumber n) {  // as the toolkit's callbacks do, it releases whatever holds the number
    FUZZ_CHECK(std::exchange(gCalling, kNone) == n && gTable->capacity > static_cast<size_t>(n));
    Clear(n);
    ObjectNumber again = std::exchange(gReenter, kNone);
    if (again != kNone && again != n) Obtain(again, ++gTag | 1);
}

// A live number or one beside it, one from -127 to 126, or the first refused above.
ObjectNumber Pick(FuzzInput& in) {
    int8_t k = static_cast<int8_t>(in.Byte());
    if (k < -120 && !gLive.empty()) return std::next(gLive.begin(), in.Byte() % gLive.size())->first + k % 2;
    return k == 127 ? MAX_FIXED_NUMBER + 1 : k;
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
    std::vector<std::pair<void*, uint8_t>> elements;  // pool elements in use, each filled with its own byte
    while (in.More()) {
        uint8_t op = in.Byte();
        if (op % 8 == 1) gReenter = op & 0x80 ? ANY_NUMBER : Pick(in);  // the release obtains another
        if (op % 8 <= 1) Obtain(op % 8 ? op / 8 % 16 : Pick(in), ++gTag | 1);
        if (op % 8 == 2) Obtain(ANY_NUMBER, op & 0x80 ? ++gTag | 1 : 0);  // unfilled: a failed creation
        if (op % 8 == 3) Clear(Pick(in));
        if (op % 8 == 4 && elements.size() < 3000) {
            void* e = PoolAlloc(pool);
            FUZZ_CHECK(e != nullptr && reinterpret_cast<uintptr_t>(e) % sizeof(void*) == 0);
            elements.push_back({memset(e, ++gTag, elementSize), gTag});
        } else if (op % 8 >= 5 && !elements.empty()) {  // an element handed out twice, or overlapping another
            auto it = elements.begin() + static_cast<ptrdiff_t>(in.Bytes(2) % elements.size());
            FUZZ_CHECK(Holds(it->first, it->second, elementSize));
            PoolFree(pool, it->first);
            elements.erase(it);
            FUZZ_CHECK(!elements.empty() || (!pool->full && !pool->withRoom && pool->total == 0));
        }
    }
    StartObjectWalk(gTable);  // gives each filled entry once, released as it comes
    for (ObjectNumber n = 0; NextObject(gTable, &n); Clear(n)) FUZZ_CHECK(gLive.count(n) && gLive[n]);
    FUZZ_CHECK(std::none_of(gLive.begin(), gLive.end(), [](const auto& e) { return e.second; }));
    while (!gLive.empty()) Clear(gLive.begin()->first);
    HeapGive(ProgramHeap(), gTable->slots);
    HeapGive(ProgramHeap(), gTable);
    PoolDelete(pool);
    FUZZ_CHECK(HeapUsageOf(ProgramHeap()).blocks == start.blocks && HeapUsageOf(ProgramHeap()).bytes == start.bytes);
    return 0;
}
