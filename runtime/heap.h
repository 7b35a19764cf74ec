// Private heaps: the string heap and the program heap.
//
// On Windows each is a growable private heap (HeapCreate); elsewhere it is
// the C allocator. Either way every heap counts the bytes and blocks it holds,
// so tests can show that an operation gives back everything it took.
//
// Small blocks (the strings of string arrays, the converter's short-lived
// arrays) are carved from 64 KiB chunks in 16-byte size classes and recycled
// through a free list per class: taking and giving back one is a few
// instructions, inline here. Larger blocks go to the platform. The counts
// of small blocks are not kept as they come and go (two running sums that
// every take and give-back would wait on): they are summed from the chunks
// when asked for.
#pragma once
#include <cstddef>
#include <cstdint>

// The runtime's fast paths are a handful of instructions each; the compiler
// is told to inline them wherever they are used, or its size limits leave
// them as calls in the converter's innermost loops.
// SMS_FORCE is the same for member functions defined in their class.
// Not for the 64-bit MinGW compiler: it leaves some forced-inline members as
// calls in large functions without emitting their bodies (undefined
// references at link time).
#if defined(__GNUC__) && !(defined(_WIN64) && defined(__MINGW64__))
#define SMS_FORCE __attribute__((always_inline))
#define SMS_FORCED_INLINING 1
#else
#define SMS_FORCE
#define SMS_FORCED_INLINING 0
#endif
#define SMS_INLINE inline SMS_FORCE
// The branch the converter takes on every call, laid out as the straight path.
#if defined(__GNUC__)
#define SMS_LIKELY(x) __builtin_expect(!!(x), 1)
#else
#define SMS_LIKELY(x) (x)
#endif

struct HeapUsage {
    size_t bytes;   // bytes requested by the blocks held
    size_t blocks;  // blocks handed out and not yet freed
};

namespace heap_internal {

// Every block has an 8-byte header word in front of it: the requested size
// shifted left by 8, and the size class in the low byte (0 for a block of
// the platform's). The usage counts use the requested sizes, so they are the
// same on every platform.
constexpr size_t kHeader = 8;
constexpr size_t kClassStep = 16;
constexpr size_t kClasses = 16;  // totals up to 256 bytes, header included
constexpr size_t kSmallMax = kClasses * kClassStep - kHeader;
constexpr size_t kSpares = 16;

// The largest request a heap records, on a platform whose sizes go up to
// `sizeMax`: the header word must hold the size above its class byte, and
// the size plus the header must not wrap. Anything larger cannot be granted
// by any platform, so only then is a request refused before it is tried.
constexpr uint64_t LargestRequest(uint64_t sizeMax) {
    return sizeMax - kHeader < (UINT64_MAX >> 8) ? sizeMax - kHeader : (UINT64_MAX >> 8);
}

struct FreeBlock {
    FreeBlock* next;
};

}  // namespace heap_internal

struct Heap {
    void* handle;  // the platform's private heap (Windows), else null
    size_t bytes;  // of the platform's blocks held
    heap_internal::FreeBlock* freeLists[heap_internal::kClasses + 1];
    size_t blocks;  // of the platform's blocks held
    char* bump;  // next unused byte of the newest chunk
    char* bumpEnd;
    // Chunks, each starting with the link to the previous one and the end of
    // what was carved from it (the newest one's end is `bump`).
    void* chunks;
    // Large blocks given back, kept for the next large request: fresh pages
    // from the platform cost a fault each, which made a long text's working
    // storage cost more per character than a short one's. The largest ones
    // given back are kept, at most kSpares of them.
    void* spares[heap_internal::kSpares];      // raw blocks, header included
    size_t spareSize[heap_internal::kSpares];  // bytes usable after the header
};

Heap* NewHeap(size_t initialSize);
void DeleteHeap(Heap* heap);

// Allocation failure is never returned to the caller: the process reports it
// on standard error (when there is one) and ends with exit code 3, so no code
// ever writes through a null block. Only a request the platform cannot grant
// ends it; a size limit of the heap's own bookkeeping never does.
inline void* HeapTake(Heap* heap, size_t bytes);           // contents undefined
void* HeapTakeZeroed(Heap* heap, size_t bytes);
void* HeapResize(Heap* heap, void* block, size_t bytes);   // keeps the contents
inline void HeapGive(Heap* heap, void* block);             // null does nothing
HeapUsage HeapUsageOf(const Heap* heap);

[[noreturn]] void OutOfMemory();

// The program heap: dynamic arrays and every toolkit record live here.
// Created by ProgramHeapInit (initial size 4096 bytes) and destroyed by
// ProgramHeapEnd; ProgramHeap() is null before the one and after the other.
void ProgramHeapInit();
void ProgramHeapEnd();
inline Heap* ProgramHeap();

// --- Inline paths -------------------------------------------------------------

namespace heap_internal {
extern Heap* gProgramHeap;
void* TakeSlow(Heap* heap, size_t bytes, bool zero);
void GiveSlow(Heap* heap, void* block);

SMS_INLINE uint64_t& HeaderOf(void* block) {
    return *reinterpret_cast<uint64_t*>(static_cast<char*>(block) - kHeader);
}
inline size_t ClassOf(size_t bytes) { return (bytes + kHeader + kClassStep - 1) / kClassStep; }
}  // namespace heap_internal

// A small block recycled from its free list or carved from the newest
// chunk; everything else (a new chunk, a platform block) on the slow path.
SMS_INLINE void* HeapTake(Heap* heap, size_t bytes) {
    using namespace heap_internal;
    if (bytes <= kSmallMax) {
        size_t cls = ClassOf(bytes);
        void* block = heap->freeLists[cls];
        if (block) {
            heap->freeLists[cls] = static_cast<FreeBlock*>(block)->next;
        } else if (static_cast<size_t>(heap->bumpEnd - heap->bump) >= cls * kClassStep) {
            block = heap->bump + kHeader;
            heap->bump += cls * kClassStep;
        } else {
            return TakeSlow(heap, bytes, false);
        }
        HeaderOf(block) = static_cast<uint64_t>(bytes) << 8 | cls;
        return block;
    }
    return TakeSlow(heap, bytes, false);
}

SMS_INLINE void HeapGive(Heap* heap, void* block) {
    using namespace heap_internal;
    if (!block) return;
    uint64_t header = HeaderOf(block);
    size_t cls = static_cast<size_t>(header & 0xFF);
    if (!cls) return GiveSlow(heap, block);
    FreeBlock* free = static_cast<FreeBlock*>(block);
    free->next = heap->freeLists[cls];
    heap->freeLists[cls] = free;
}

SMS_INLINE Heap* ProgramHeap() { return heap_internal::gProgramHeap; }
