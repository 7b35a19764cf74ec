#include "runtime/heap.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <malloc.h>
#endif

namespace heap_internal {
Heap* gProgramHeap = nullptr;
}  // namespace heap_internal

using namespace heap_internal;

namespace {
constexpr size_t kChunk = 64 * 1024;
// Smaller blocks the platform recycles well; from about here on, the C
// allocator maps fresh pages for them or hands its free top back to the
// system, and each page then costs a fault again.
constexpr size_t kSpareMin = 64 * 1024;

#ifdef _WIN32
HANDLE HandleOf(Heap* heap) { return static_cast<HANDLE>(heap->handle); }
#endif
}  // namespace

void OutOfMemory() {
    static const char msg[] = "out of memory\n";
#ifdef _WIN32
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (err && err != INVALID_HANDLE_VALUE) WriteFile(err, msg, sizeof msg - 1, &written, nullptr);
    ExitProcess(3);
#else
    fputs(msg, stderr);
    _Exit(3);
#endif
}

// A zeroed block from the platform: fresh pages come zeroed already, so a
// large zeroed block costs no pass over its memory.
static void* RawTake(Heap* heap, size_t bytes, bool zero = false) {
#ifdef _WIN32
    void* block = HeapAlloc(HandleOf(heap), zero ? HEAP_ZERO_MEMORY : 0, bytes);
#else
    (void)heap;
    void* block = zero ? calloc(1, bytes) : malloc(bytes);
#endif
    if (!block) OutOfMemory();
    return block;
}

// What a platform block holds, at least what was asked for: a kept block
// taken for a smaller request is kept again at its whole size, or the
// larger request it came from would find none and fault in fresh pages.
static size_t RawSize(Heap* heap, void* block) {
#ifdef _WIN32
    return HeapSize(HandleOf(heap), 0, block);
#else
    (void)heap;
    return malloc_usable_size(block);
#endif
}

static void RawGive(Heap* heap, void* block) {
#ifdef _WIN32
    HeapFree(HandleOf(heap), 0, block);
#else
    (void)heap;
    free(block);
#endif
}

Heap* NewHeap(size_t initialSize) {
    Heap* heap = static_cast<Heap*>(calloc(1, sizeof(Heap)));
    if (!heap) OutOfMemory();
#ifdef _WIN32
    heap->handle = HeapCreate(0, initialSize, 0);
    if (!heap->handle) OutOfMemory();
#else
    (void)initialSize;
#endif
    return heap;
}

void DeleteHeap(Heap* heap) {
    if (!heap) return;
#ifdef _WIN32
    HeapDestroy(HandleOf(heap));  // every block and chunk at once
#else
    for (void* spare : heap->spares) free(spare);
    // Blocks still held stay with the C allocator; the chunks go.
    for (void* chunk = heap->chunks; chunk;) {
        void* previous = *static_cast<void**>(chunk);
        free(chunk);
        chunk = previous;
    }
#endif
    free(heap);
}

// The size class of a request, 0 for one the platform serves.
static size_t SmallClass(size_t bytes) { return bytes <= kSmallMax ? ClassOf(bytes) : 0; }

static bool TooLarge(size_t bytes) { return static_cast<uint64_t>(bytes) > LargestRequest(SIZE_MAX); }

// A chunk's second word: the end of what was carved from it, once a newer
// chunk took its place.
static char*& CarvedEnd(const void* chunk) {
    return *reinterpret_cast<char**>(static_cast<char*>(const_cast<void*>(chunk)) + sizeof(void*));
}

// Starts a new chunk to carve small blocks from; what was left at the end of
// the previous one stays unused.
static void NewChunk(Heap* heap) {
    char* chunk = static_cast<char*>(RawTake(heap, kChunk));
    if (heap->chunks) CarvedEnd(heap->chunks) = heap->bump;
    *reinterpret_cast<void**>(chunk) = heap->chunks;
    heap->chunks = chunk;
    heap->bump = chunk + kClassStep;  // the link and the end, keeping 16-byte steps
    heap->bumpEnd = chunk + kChunk;
}

// The smallest kept large block that fits `bytes` without wasting more
// than half of it, or null: a larger one stays for the larger request that
// gave it back.
static char* TakeSpare(Heap* heap, size_t bytes, bool zero) {
    if (bytes < kSpareMin) return nullptr;
    size_t best = kSpares;
    for (size_t i = 0; i < kSpares; ++i) {
        if (heap->spares[i] && heap->spareSize[i] >= bytes && heap->spareSize[i] / 2 <= bytes &&
            (best == kSpares || heap->spareSize[i] < heap->spareSize[best]))
            best = i;
    }
    if (best == kSpares) return nullptr;
    char* raw = static_cast<char*>(heap->spares[best]);
    heap->spares[best] = nullptr;
    if (zero) memset(raw + kHeader, 0, bytes);
    return raw;
}

// A small request comes here only when its free list is empty and the
// newest chunk is used up (zeroing small blocks is HeapTakeZeroed's work).
void* heap_internal::TakeSlow(Heap* heap, size_t bytes, bool zero) {
    if (SmallClass(bytes)) {
        NewChunk(heap);
        return HeapTake(heap, bytes);
    }
    if (TooLarge(bytes)) OutOfMemory();
    char* raw = TakeSpare(heap, bytes, zero);
    if (!raw) raw = static_cast<char*>(RawTake(heap, bytes + kHeader, zero));
    void* user = raw + kHeader;
    HeaderOf(user) = static_cast<uint64_t>(bytes) << 8;
    heap->bytes += bytes;
    heap->blocks += 1;
    return user;
}

void* HeapTakeZeroed(Heap* heap, size_t bytes) {
    if (!SmallClass(bytes)) return TakeSlow(heap, bytes, true);
    void* user = HeapTake(heap, bytes);
    memset(user, 0, bytes);
    return user;
}

void* HeapResize(Heap* heap, void* block, size_t bytes) {
    if (!block) return HeapTake(heap, bytes);
    if (TooLarge(bytes)) OutOfMemory();
    uint64_t header = HeaderOf(block);
    size_t old = static_cast<size_t>(header >> 8);
    size_t cls = static_cast<size_t>(header & 0xFF);
    if (cls == 0 && SmallClass(bytes) == 0) {
        char* raw = static_cast<char*>(block) - kHeader;
#ifdef _WIN32
        char* moved = static_cast<char*>(HeapReAlloc(HandleOf(heap), 0, raw, bytes + kHeader));
#else
        char* moved = static_cast<char*>(realloc(raw, bytes + kHeader));
#endif
        if (!moved) OutOfMemory();
        void* user = moved + kHeader;
        HeaderOf(user) = static_cast<uint64_t>(bytes) << 8;
        heap->bytes = heap->bytes - old + bytes;
        return user;
    }
    if (cls != 0 && SmallClass(bytes) == cls) {
        HeaderOf(block) = static_cast<uint64_t>(bytes) << 8 | cls;
        return block;
    }
    void* moved = HeapTake(heap, bytes);
    memcpy(moved, block, old < bytes ? old : bytes);
    HeapGive(heap, block);
    return moved;
}

// The spare slot a block given back may take: an empty one, else the one
// holding the smallest spare.
static size_t SlotToKeepIn(const Heap* heap) {
    for (size_t i = 0; i < kSpares; ++i)
        if (!heap->spares[i]) return i;
    size_t smallest = 0;
    for (size_t i = 1; i < kSpares; ++i)
        if (heap->spareSize[i] < heap->spareSize[smallest]) smallest = i;
    return smallest;
}

// A block of the platform's; small blocks go back to their list inline.
void heap_internal::GiveSlow(Heap* heap, void* block) {
    size_t size = static_cast<size_t>(HeaderOf(block) >> 8);
    heap->bytes -= size;
    heap->blocks -= 1;
    char* raw = static_cast<char*>(block) - kHeader;
    if (size >= kSpareMin) {
        size = RawSize(heap, raw) - kHeader;
        // Kept in place of the smallest spare, which goes back instead.
        size_t slot = SlotToKeepIn(heap);
        if (!heap->spares[slot] || heap->spareSize[slot] < size) {
            std::swap(raw, *reinterpret_cast<char**>(&heap->spares[slot]));
            std::swap(size, heap->spareSize[slot]);
        }
        if (!raw) return;
    }
    RawGive(heap, raw);
}

// The platform's blocks are counted as they come and go; the small ones are
// the blocks carved from the chunks that are not on a free list. A free
// block keeps its header word, so the chunks can be walked block by block.
HeapUsage HeapUsageOf(const Heap* heap) {
    if (!heap) return HeapUsage{0, 0};
    std::vector<const char*> free;
    for (const FreeBlock* list : heap->freeLists)
        for (const FreeBlock* block = list; block; block = block->next)
            free.push_back(reinterpret_cast<const char*>(block));
    std::sort(free.begin(), free.end());
    HeapUsage usage{heap->bytes, heap->blocks};
    for (const char* chunk = static_cast<const char*>(heap->chunks); chunk;
         chunk = *reinterpret_cast<char* const*>(chunk)) {
        const char* end = chunk == heap->chunks ? heap->bump : CarvedEnd(chunk);
        for (const char* at = chunk + kClassStep; at < end;) {
            uint64_t header;
            memcpy(&header, at, sizeof header);
            if (!std::binary_search(free.begin(), free.end(), at + kHeader))
                usage.bytes += static_cast<size_t>(header >> 8), usage.blocks += 1;
            at += (header & 0xFF) * kClassStep;
        }
    }
    return usage;
}

void ProgramHeapInit() {
    if (!gProgramHeap) gProgramHeap = NewHeap(4096);
}

void ProgramHeapEnd() {
    DeleteHeap(gProgramHeap);
    gProgramHeap = nullptr;
}

