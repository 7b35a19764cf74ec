#include "runtime/heap.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

// Small blocks (the strings of string arrays, the codec's short-lived arrays)
// are carved from 64 KiB chunks in 16-byte size classes and recycled through
// a free list per class: taking and giving back one costs a few instructions
// instead of a trip through the platform allocator. Larger blocks go straight
// to the platform (a private heap on Windows, the C allocator elsewhere).
//
// Every block has an 8-byte header word in front of it: the requested size
// shifted left by 8, and the size class in the low byte (0 for a block of
// the platform's). The usage counts use the requested sizes, so they are the
// same on every platform.
namespace {

constexpr size_t kHeader = 8;
constexpr size_t kClassStep = 16;
constexpr size_t kClasses = 16;  // totals up to 256 bytes, header included
constexpr size_t kChunk = 64 * 1024;

struct FreeBlock {
    FreeBlock* next;
};

Heap* gProgramHeap = nullptr;

}  // namespace

struct Heap {
#ifdef _WIN32
    HANDLE handle;
#endif
    size_t bytes;
    size_t blocks;
    FreeBlock* freeLists[kClasses + 1];
    char* bump;        // next unused byte of the newest chunk
    char* bumpEnd;
    void* chunks;      // chunks, each starting with the link to the previous one
};

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
    void* block = HeapAlloc(heap->handle, zero ? HEAP_ZERO_MEMORY : 0, bytes);
#else
    (void)heap;
    void* block = zero ? calloc(1, bytes) : malloc(bytes);
#endif
    if (!block) OutOfMemory();
    return block;
}

static void RawGive(Heap* heap, void* block) {
#ifdef _WIN32
    HeapFree(heap->handle, 0, block);
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
    HeapDestroy(heap->handle);  // every block and chunk at once
#else
    // Blocks still held stay with the C allocator; the chunks go.
    for (void* chunk = heap->chunks; chunk;) {
        void* previous = *static_cast<void**>(chunk);
        free(chunk);
        chunk = previous;
    }
#endif
    free(heap);
}

static uint64_t& HeaderOf(void* block) {
    return *reinterpret_cast<uint64_t*>(static_cast<char*>(block) - kHeader);
}

static size_t ClassOf(size_t bytes) {
    size_t total = bytes + kHeader;
    return total <= kClasses * kClassStep ? (total + kClassStep - 1) / kClassStep : 0;
}

static char* TakeSmall(Heap* heap, size_t cls) {
    if (FreeBlock* block = heap->freeLists[cls]) {
        heap->freeLists[cls] = block->next;
        return reinterpret_cast<char*>(block) - kHeader;
    }
    size_t size = cls * kClassStep;
    if (static_cast<size_t>(heap->bumpEnd - heap->bump) < size) {
        char* chunk = static_cast<char*>(RawTake(heap, kChunk));
        *reinterpret_cast<void**>(chunk) = heap->chunks;
        heap->chunks = chunk;
        heap->bump = chunk + kClassStep;  // the link, padded to keep 16-byte steps
        heap->bumpEnd = chunk + kChunk;
    }
    char* raw = heap->bump;
    heap->bump += size;
    return raw;
}

static void* Take(Heap* heap, size_t bytes, bool zero = false) {
    if (bytes > (SIZE_MAX >> 8) - kHeader) OutOfMemory();
    size_t cls = ClassOf(bytes);
    char* raw = cls ? TakeSmall(heap, cls) : static_cast<char*>(RawTake(heap, bytes + kHeader, zero));
    if (cls && zero) memset(raw + kHeader, 0, bytes);
    void* user = raw + kHeader;
    HeaderOf(user) = static_cast<uint64_t>(bytes) << 8 | cls;
    heap->bytes += bytes;
    heap->blocks += 1;
    return user;
}

void* HeapTake(Heap* heap, size_t bytes) { return Take(heap, bytes); }

void* HeapTakeZeroed(Heap* heap, size_t bytes) { return Take(heap, bytes, true); }

void* HeapResize(Heap* heap, void* block, size_t bytes) {
    if (!block) return Take(heap, bytes);
    if (bytes > (SIZE_MAX >> 8) - kHeader) OutOfMemory();
    uint64_t header = HeaderOf(block);
    size_t old = static_cast<size_t>(header >> 8);
    size_t cls = static_cast<size_t>(header & 0xFF);
    if (cls == 0 && ClassOf(bytes) == 0) {
        char* raw = static_cast<char*>(block) - kHeader;
#ifdef _WIN32
        char* moved = static_cast<char*>(HeapReAlloc(heap->handle, 0, raw, bytes + kHeader));
#else
        char* moved = static_cast<char*>(realloc(raw, bytes + kHeader));
#endif
        if (!moved) OutOfMemory();
        void* user = moved + kHeader;
        HeaderOf(user) = static_cast<uint64_t>(bytes) << 8;
        heap->bytes = heap->bytes - old + bytes;
        return user;
    }
    if (cls != 0 && ClassOf(bytes) == cls) {
        HeaderOf(block) = static_cast<uint64_t>(bytes) << 8 | cls;
        heap->bytes = heap->bytes - old + bytes;
        return block;
    }
    void* moved = Take(heap, bytes);
    memcpy(moved, block, old < bytes ? old : bytes);
    HeapGive(heap, block);
    return moved;
}

void HeapGive(Heap* heap, void* block) {
    if (!block) return;
    uint64_t header = HeaderOf(block);
    size_t cls = static_cast<size_t>(header & 0xFF);
    heap->bytes -= static_cast<size_t>(header >> 8);
    heap->blocks -= 1;
    if (cls) {
        FreeBlock* free = static_cast<FreeBlock*>(block);
        free->next = heap->freeLists[cls];
        heap->freeLists[cls] = free;
    } else {
        RawGive(heap, static_cast<char*>(block) - kHeader);
    }
}

HeapUsage HeapUsageOf(const Heap* heap) {
    if (!heap) return HeapUsage{0, 0};
    return HeapUsage{heap->bytes, heap->blocks};
}

void ProgramHeapInit() {
    if (!gProgramHeap) gProgramHeap = NewHeap(4096);
}

void ProgramHeapEnd() {
    DeleteHeap(gProgramHeap);
    gProgramHeap = nullptr;
}

Heap* ProgramHeap() { return gProgramHeap; }
