// Private heaps: the string heap and the program heap.
//
// On Windows each is a growable private heap (HeapCreate); elsewhere it is
// the C allocator. Either way every heap counts the bytes and blocks it holds,
// so tests can show that an operation gives back everything it took.
#pragma once
#include <cstddef>
#include <cstdint>

struct Heap;

struct HeapUsage {
    size_t bytes;   // bytes requested by the blocks held
    size_t blocks;  // blocks handed out and not yet freed
};

Heap* NewHeap(size_t initialSize);
void DeleteHeap(Heap* heap);

// Allocation failure is never returned to the caller: the process reports it
// on standard error (when there is one) and ends with exit code 3, so no code
// ever writes through a null block.
void* HeapTake(Heap* heap, size_t bytes);          // contents undefined
void* HeapTakeZeroed(Heap* heap, size_t bytes);
void* HeapResize(Heap* heap, void* block, size_t bytes);  // keeps the contents
void HeapGive(Heap* heap, void* block);                    // null does nothing
HeapUsage HeapUsageOf(const Heap* heap);

[[noreturn]] void OutOfMemory();

// The program heap: dynamic arrays and every toolkit record live here.
// Created by ProgramHeapInit (initial size 4096 bytes) and destroyed by
// ProgramHeapEnd; ProgramHeap() is null before the one and after the other.
void ProgramHeapInit();
void ProgramHeapEnd();
Heap* ProgramHeap();
