#include "runtime/heap.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#ifndef _WIN32
#include <malloc.h>
#endif

#ifdef _WIN32
#include <windows.h>
#endif

// The usage counts use the allocator's own idea of a block's size (HeapSize
// on Windows, malloc_usable_size elsewhere), read the same way when a block
// is taken and when it is given back, so they stay exact without a header.
namespace {
Heap* gProgramHeap = nullptr;
}  // namespace

struct Heap {
#ifdef _WIN32
    HANDLE handle;
#endif
    size_t bytes;
    size_t blocks;
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
    HeapDestroy(heap->handle);
#endif
    // Elsewhere the blocks still held stay with the C allocator; only the
    // Windows heap can drop all of them at once.
    free(heap);
}

static size_t BlockSize(Heap* heap, void* block) {
#ifdef _WIN32
    return HeapSize(heap->handle, 0, block);
#else
    (void)heap;
    return malloc_usable_size(block);
#endif
}

static void* Take(Heap* heap, size_t bytes, bool zero) {
#ifdef _WIN32
    void* block = HeapAlloc(heap->handle, zero ? HEAP_ZERO_MEMORY : 0, bytes ? bytes : 1);
#else
    void* block = zero ? calloc(1, bytes ? bytes : 1) : malloc(bytes ? bytes : 1);
#endif
    if (!block) OutOfMemory();
    heap->bytes += BlockSize(heap, block);
    heap->blocks += 1;
    return block;
}

void* HeapTake(Heap* heap, size_t bytes) { return Take(heap, bytes, false); }
void* HeapTakeZeroed(Heap* heap, size_t bytes) { return Take(heap, bytes, true); }

void* HeapResize(Heap* heap, void* block, size_t bytes) {
    if (!block) return Take(heap, bytes, false);
    size_t old = BlockSize(heap, block);
#ifdef _WIN32
    void* moved = HeapReAlloc(heap->handle, 0, block, bytes ? bytes : 1);
#else
    void* moved = realloc(block, bytes ? bytes : 1);
#endif
    if (!moved) OutOfMemory();
    heap->bytes = heap->bytes - old + BlockSize(heap, moved);
    return moved;
}

void HeapGive(Heap* heap, void* block) {
    if (!block) return;
    heap->bytes -= BlockSize(heap, block);
    heap->blocks -= 1;
#ifdef _WIN32
    HeapFree(heap->handle, 0, block);
#else
    free(block);
#endif
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
