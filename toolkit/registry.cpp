#include "toolkit/registry.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "runtime/heap.h"

namespace {

constexpr size_t kWord = sizeof(void*);

unsigned char* EntryPart(ObjectListEntry* entry) {
    return reinterpret_cast<unsigned char*>(entry) + sizeof(ObjectListEntry);
}

ObjectNumber IdentityOf(ObjectListEntry* entry) {
    return static_cast<ObjectNumber>(reinterpret_cast<intptr_t>(EntryPart(entry)));
}

// The first, pointer-sized field of an entry: non-zero while it is live.
bool IsLive(const unsigned char* entry) {
    uintptr_t handle;
    memcpy(&handle, entry, sizeof handle);
    return handle != 0;
}

bool IsSlotNumber(const ObjectTable* table, ObjectNumber number) {
    return number >= 0 && static_cast<uintptr_t>(number) < table->capacity;
}

unsigned char* SlotEntry(ObjectTable* table, ObjectNumber number) {
    return table->slots + static_cast<size_t>(number) * table->entrySize;
}

// The list entry whose identity is `number`, live or not. Identities are only
// ever compared, never turned back into pointers, so an arbitrary number
// cannot make us read memory the table does not own.
ObjectListEntry* FindListEntry(ObjectTable* table, ObjectNumber number) {
    for (ObjectListEntry* entry = table->list; entry; entry = entry->next) {
        if (IdentityOf(entry) == number) return entry;
    }
    return nullptr;
}

// True when some list entry's identity is below `capacity`: growing the slot
// array that far would make the identity name a slot and hide the object.
bool ListReachesBelow(const ObjectTable* table, size_t capacity) {
    for (ObjectListEntry* entry = table->list; entry; entry = entry->next) {
        ObjectNumber identity = IdentityOf(entry);
        if (identity >= 0 && static_cast<uintptr_t>(identity) < capacity) return true;
    }
    return false;
}

ObjectListEntry* OldestListEntry(ObjectTable* table) {
    ObjectListEntry* entry = table->list;
    while (entry && entry->next) entry = entry->next;
    return entry;
}

}  // namespace

ObjectTable* NewObjectTable(size_t entrySize, size_t step, ReleaseCallback release) {
    // Every entry holds at least its handle; a step of 0 would never make
    // room for a new number.
    if (entrySize < sizeof(uintptr_t)) entrySize = sizeof(uintptr_t);
    if (step == 0) step = 1;
    Heap* heap = ProgramHeap();
    ObjectTable* table = static_cast<ObjectTable*>(HeapTakeZeroed(heap, sizeof(ObjectTable)));
    table->entrySize = entrySize;
    table->growthStep = step;
    table->capacity = step;
    table->release = release;
    table->slots = static_cast<unsigned char*>(HeapTakeZeroed(heap, step * entrySize));
    return table;
}

// ANY_NUMBER makes a list entry whose identity is its entry part's address;
// the release callback is not called. A fixed number first grows the slot
// array to number + step when needed, then has the callback release whatever
// holds the number, then hands out the slot.
//
// Refused with null, touching nothing: numbers below -1, fixed numbers above
// MAX_FIXED_NUMBER (their slot array would be absurdly large, and identities
// are heap addresses far above it), and growth that would turn a live
// identity into a slot number. Callers treat null as a failed creation.
void* ObtainObjectSlot(ObjectTable* table, ObjectNumber number) {
    if (!table) return nullptr;
    Heap* heap = ProgramHeap();
    if (number == ANY_NUMBER) {
        ObjectListEntry* entry = static_cast<ObjectListEntry*>(
            HeapTakeZeroed(heap, sizeof(ObjectListEntry) + table->entrySize));
        if (IsSlotNumber(table, IdentityOf(entry))) {
            // An address this low would be read as a slot number.
            HeapGive(heap, entry);
            return nullptr;
        }
        entry->next = table->list;
        entry->previous = nullptr;
        if (table->list) table->list->previous = entry;
        table->list = entry;
        return EntryPart(entry);
    }
    if (number < 0 || number > MAX_FIXED_NUMBER) return nullptr;

    size_t wanted = static_cast<size_t>(number);
    if (wanted >= table->capacity) {
        size_t capacity = wanted + table->growthStep;
        if (capacity < wanted || capacity > SIZE_MAX / table->entrySize) return nullptr;
        if (ListReachesBelow(table, capacity)) return nullptr;
        size_t oldBytes = table->capacity * table->entrySize;
        size_t newBytes = capacity * table->entrySize;
        table->slots = static_cast<unsigned char*>(HeapResize(heap, table->slots, newBytes));
        memset(table->slots + oldBytes, 0, newBytes - oldBytes);
        table->capacity = capacity;
    }
    if (table->release) table->release(number);
    // The callback may have used the table itself (and moved the slots).
    return SlotEntry(table, number);
}

// A slot number names its slot; any other number (including negative ones)
// is compared with the identities of the list entries. Unknown numbers find
// nothing.
void* FindObject(ObjectTable* table, ObjectNumber number) {
    if (!table) return nullptr;
    if (IsSlotNumber(table, number)) {
        unsigned char* entry = SlotEntry(table, number);
        return IsLive(entry) ? entry : nullptr;
    }
    ObjectListEntry* entry = FindListEntry(table, number);
    if (entry && IsLive(EntryPart(entry))) return EntryPart(entry);
    return nullptr;
}

// A slot is zeroed; a list entry is unlinked and freed (a running walk steps
// past it first). A number that is neither a slot nor an identity does
// nothing.
void ClearObjectSlot(ObjectTable* table, ObjectNumber number) {
    if (!table) return;
    if (IsSlotNumber(table, number)) {
        memset(SlotEntry(table, number), 0, table->entrySize);
        return;
    }
    ObjectListEntry* entry = FindListEntry(table, number);
    if (!entry) return;
    if (table->walkList == entry) table->walkList = entry->previous;
    if (entry->previous) {
        entry->previous->next = entry->next;
    } else {
        table->list = entry->next;
    }
    if (entry->next) entry->next->previous = entry->previous;
    HeapGive(ProgramHeap(), entry);
}

void StartObjectWalk(ObjectTable* table) {
    if (!table) return;
    table->walkIndex = 0;
    table->walkList = OldestListEntry(table);
}

// Slots in ascending order, then list entries oldest first. The position is
// moved past the entry before it is returned, so the caller may release it.
void* NextObject(ObjectTable* table, ObjectNumber* number) {
    if (!table) return nullptr;
    while (table->walkIndex < table->capacity) {
        size_t index = table->walkIndex++;
        unsigned char* entry = table->slots + index * table->entrySize;
        if (IsLive(entry)) {
            if (number) *number = static_cast<ObjectNumber>(index);
            return entry;
        }
    }
    while (ObjectListEntry* entry = table->walkList) {
        table->walkList = entry->previous;
        if (IsLive(EntryPart(entry))) {
            if (number) *number = IdentityOf(entry);
            return EntryPart(entry);
        }
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// BlockPool

namespace {

unsigned char* BlockElements(PoolBlock* block) {
    return reinterpret_cast<unsigned char*>(block) + sizeof(PoolBlock);
}

void PushFront(PoolBlock** list, PoolBlock* block) {
    block->previous = nullptr;
    block->next = *list;
    if (*list) (*list)->previous = block;
    *list = block;
}

void Unlink(BlockPool* pool, PoolBlock* block) {
    if (block->previous) {
        block->previous->next = block->next;
    } else if (pool->full == block) {
        pool->full = block->next;
    } else {
        pool->withRoom = block->next;
    }
    if (block->next) block->next->previous = block->previous;
}

void* TakeFrom(PoolBlock* block, unsigned char* header) {
    memcpy(header, &block, kWord);
    return header + kWord;
}

}  // namespace

// Null when the element size is so large that no block could be sized.
BlockPool* NewBlockPool(size_t elementSize, size_t minimum, size_t maximum) {
    if (elementSize > SIZE_MAX - sizeof(PoolBlock) - 2 * kWord) return nullptr;
    BlockPool* pool = static_cast<BlockPool*>(HeapTake(ProgramHeap(), sizeof(BlockPool)));
    pool->full = nullptr;
    pool->withRoom = nullptr;
    pool->total = 0;
    pool->stride = (elementSize + kWord - 1) / kWord * kWord + kWord;
    pool->minimum = minimum;
    pool->maximum = maximum;
    return pool;
}

void* PoolAlloc(BlockPool* pool) {
    if (!pool) return nullptr;
    if (PoolBlock* block = pool->withRoom) {
        unsigned char* header;
        if (block->freeCount > 0) {
            header = static_cast<unsigned char*>(block->freeList);
            memcpy(&block->freeList, header, kWord);
            block->freeCount--;
        } else {
            header = BlockElements(block) + block->handedOut * pool->stride;
            block->handedOut++;
        }
        if (block->freeCount == 0 && block->handedOut == block->capacity) {
            Unlink(pool, block);
            PushFront(&pool->full, block);
        }
        return TakeFrom(block, header);
    }

    // Blocks grow with the pool: a sixteenth of the total, in multiples of
    // 16, between the minimum and the maximum (and never empty).
    size_t count = (pool->total >> 4) & ~static_cast<size_t>(15);
    if (count < pool->minimum) count = pool->minimum;
    if (count > pool->maximum) count = pool->maximum;
    if (count == 0) count = 1;
    // The heap ends the process when it runs dry, so the single-element
    // fallback serves a count whose block size cannot even be expressed.
    if (count > (SIZE_MAX - sizeof(PoolBlock)) / pool->stride) count = 1;
    PoolBlock* block = static_cast<PoolBlock*>(
        HeapTake(ProgramHeap(), sizeof(PoolBlock) + count * pool->stride));
    block->capacity = count;
    block->handedOut = 1;
    block->freeCount = 0;
    block->freeList = nullptr;
    pool->total += count;
    PushFront(count > 1 ? &pool->withRoom : &pool->full, block);
    return TakeFrom(block, BlockElements(block));
}

// A block goes back to the heap as soon as none of its elements is in use.
// Null does nothing; an element must come from this pool and be in use.
void PoolFree(BlockPool* pool, void* element) {
    if (!pool || !element) return;
    unsigned char* header = static_cast<unsigned char*>(element) - kWord;
    PoolBlock* block;
    memcpy(&block, header, kWord);
    memcpy(header, &block->freeList, kWord);
    block->freeList = header;
    block->freeCount++;
    if (block->freeCount == block->handedOut) {
        Unlink(pool, block);
        pool->total -= block->capacity;
        HeapGive(ProgramHeap(), block);
    } else if (block->freeCount == 1 && block->handedOut == block->capacity) {
        Unlink(pool, block);
        PushFront(&pool->withRoom, block);
    }
}

void PoolClear(BlockPool* pool) {
    if (!pool) return;
    Heap* heap = ProgramHeap();
    for (PoolBlock* list : {pool->full, pool->withRoom}) {
        while (list) {
            PoolBlock* next = list->next;
            HeapGive(heap, list);
            list = next;
        }
    }
    pool->full = nullptr;
    pool->withRoom = nullptr;
    pool->total = 0;
}

void PoolDelete(BlockPool* pool) {
    if (!pool) return;
    PoolClear(pool);
    HeapGive(ProgramHeap(), pool);
}

void* NewLibraryState(size_t size, void (*init)(void* record)) {
    void* record = HeapTakeZeroed(ProgramHeap(), size);
    if (init) init(record);
    return record;
}
