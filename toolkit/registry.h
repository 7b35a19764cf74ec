// The toolkit's building blocks, free of any platform call: the numbered
// object registry (ObjectTable), the fixed-size element allocator
// (BlockPool) and library state records. All memory comes from the program
// heap (runtime/heap.h).
#pragma once
#include <cstddef>
#include <cstdint>
#include <type_traits>

// Numbers name windows, gadgets and images. A number may be an identity (the
// address of a list entry) and so is pointer-sized.
typedef intptr_t ObjectNumber;
typedef ObjectNumber WindowNumber;
typedef ObjectNumber GadgetNumber;

constexpr ObjectNumber ANY_NUMBER = -1;
// The largest fixed number ObtainObjectSlot accepts (numbers above it, and
// numbers below -1, are refused).
constexpr ObjectNumber MAX_FIXED_NUMBER = 0xFFFFFF;

// Results of message handlers: run the platform's default processing, and
// (from window callbacks) let the toolkit's own handling continue.
constexpr intptr_t NOT_HANDLED = static_cast<intptr_t>(0xD0D0D0D1u);
constexpr intptr_t PASS_ON = static_cast<intptr_t>(0xE0E0E0E1u);

typedef void (*ReleaseCallback)(ObjectNumber number);

// An ANY_NUMBER entry: the links, then the entry part, whose address is the
// entry's number (its identity).
struct ObjectListEntry {
    ObjectListEntry* next;      // older
    ObjectListEntry* previous;  // newer
};

struct ObjectTable {
    size_t entrySize;
    size_t growthStep;
    size_t capacity;
    ObjectListEntry* list;        // newest first
    ReleaseCallback release;      // may be null
    size_t walkIndex;
    ObjectListEntry* walkList;    // next list entry of a running walk
    unsigned char* slots;         // capacity entries of entrySize bytes
};

// Every entry begins with a pointer-sized handle, non-zero while it is live.
ObjectTable* NewObjectTable(size_t entrySize, size_t step, ReleaseCallback release);
void* ObtainObjectSlot(ObjectTable* table, ObjectNumber number);
void* FindObject(ObjectTable* table, ObjectNumber number);
void ClearObjectSlot(ObjectTable* table, ObjectNumber number);
void StartObjectWalk(ObjectTable* table);
void* NextObject(ObjectTable* table, ObjectNumber* number);

// A block of a BlockPool, followed by `capacity` elements of `stride` bytes.
// An element's header word names its block while the element is in use and
// links the block's free list while it is free.
struct PoolBlock {
    PoolBlock* next;
    PoolBlock* previous;
    void* freeList;      // header word of the first free element
    size_t capacity;
    size_t handedOut;    // index of the next never-used element
    size_t freeCount;
};
struct BlockPool {
    PoolBlock* full;
    PoolBlock* withRoom;
    size_t total;        // elements in all blocks
    size_t stride;       // element size rounded up, plus a pointer-sized header word
    size_t minimum;
    size_t maximum;
};

BlockPool* NewBlockPool(size_t elementSize, size_t minimum, size_t maximum);
void* PoolAlloc(BlockPool* pool);
void PoolFree(BlockPool* pool, void* element);
void PoolClear(BlockPool* pool);
void PoolDelete(BlockPool* pool);

// A library's state record (EventState, EventQueue, GadgetLibraryState,
// SizingState derive from it): zeroed, made once at start-up by
// NewLibraryState, kept until the process ends and never freed.
struct LibraryState {};

// A zeroed record of `size` bytes, passed to `init` when given.
void* NewLibraryState(size_t size, void (*init)(void* record));
template <typename State>
State* NewLibraryState(void (*init)(State* state) = nullptr) {
    static_assert(std::is_base_of<LibraryState, State>::value, "a library's state record");
    auto* state = static_cast<State*>(NewLibraryState(sizeof(State), nullptr));
    if (init) init(state);
    return state;
}
