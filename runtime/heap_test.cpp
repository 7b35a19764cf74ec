#include "runtime/heap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Resizing keeps contents and usage counts exact, in place, to another size
// class or to the platform, 40 MiB too (a 32-bit platform may give all its
// address space less the header). A large block given back is reused, still
// zeroed on request. Only a request no platform could grant is refused.
TEST(Heap, ResizeKeepsContentsAndCounts) {
    Heap* heap = NewHeap(4096);
    const size_t sizes[][2] = {{20, 24}, {24, 20}, {20, 100}, {100, 5000}, {5000, 9000}, {9000, 30}, {0, 16},
                               {40 << 20, (40 << 20) + 4096}};
    for (const auto& s : sizes) {
        char* block = static_cast<char*>(memset(HeapTake(heap, s[0]), 'x', s[0]));
        block = static_cast<char*>(HeapResize(heap, block, s[1]));
        EXPECT_EQ(HeapUsageOf(heap).bytes, s[1]) << s[0] << " to " << s[1];
        EXPECT_EQ(HeapUsageOf(heap).blocks, 1u) << s[0] << " to " << s[1];
        EXPECT_EQ(std::string(block, std::min(s[0], s[1])), std::string(std::min(s[0], s[1]), 'x'));
        HeapGive(heap, block);
    }
    for (size_t size : {size_t{1} << 20, (size_t{1} << 20) - 100, size_t{3} << 20, (size_t{9} << 20) + 100}) {
        HeapGive(heap, memset(HeapTake(heap, size), 0x5A, size));
        char* zeroed = static_cast<char*>(HeapTakeZeroed(heap, size));
        EXPECT_EQ(std::count(zeroed, zeroed + size, 0), static_cast<std::ptrdiff_t>(size)) << size;
        HeapGive(heap, zeroed);
    }
    EXPECT_EQ(HeapUsageOf(heap).bytes, 0u);
    EXPECT_EQ(HeapUsageOf(heap).blocks, 0u);
    DeleteHeap(heap);
#ifndef _WIN32
    EXPECT_EXIT(HeapTake(NewHeap(4096), SIZE_MAX - 4), ::testing::ExitedWithCode(3), "out of memory");
#endif
}

// Small blocks are counted from the chunks they are carved from: exactly,
// across many chunks (each with an unused end), while blocks of every class
// are given back and taken again from the free lists.
TEST(Heap, SmallBlocksAreCountedExactlyAcrossChunks) {
    Heap* heap = NewHeap(4096);
    std::vector<void*> held;
    size_t bytes = 0;
    for (size_t i = 0; i < 20000; ++i) {
        size_t size = i * 37 % (heap_internal::kSmallMax + 1);
        held.push_back(HeapTake(heap, size));
        bytes += size;
    }
    EXPECT_EQ(HeapUsageOf(heap).bytes, bytes);
    EXPECT_EQ(HeapUsageOf(heap).blocks, held.size());
    for (size_t i = 0; i < held.size(); i += 3) {
        bytes -= i * 37 % (heap_internal::kSmallMax + 1);
        HeapGive(heap, held[i]);
    }
    EXPECT_EQ(HeapUsageOf(heap).bytes, bytes);
    EXPECT_EQ(HeapUsageOf(heap).blocks, held.size() - (held.size() + 2) / 3);
    for (size_t i = 0; i < held.size(); i += 3) held[i] = HeapTake(heap, 5);
    EXPECT_EQ(HeapUsageOf(heap).bytes, bytes + 5 * ((held.size() + 2) / 3));
    EXPECT_EQ(HeapUsageOf(heap).blocks, held.size());
    for (void* block : held) HeapGive(heap, block);
    EXPECT_EQ(HeapUsageOf(heap).bytes, 0u);
    EXPECT_EQ(HeapUsageOf(heap).blocks, 0u);
    DeleteHeap(heap);
}

}  // namespace
