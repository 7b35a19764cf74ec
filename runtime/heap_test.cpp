#include "runtime/heap.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Resizing keeps the contents and the usage counts exact, whether the block
// stays where it is, moves to another size class or to the platform.
TEST(Heap, ResizeKeepsContentsAndCounts) {
    Heap* heap = NewHeap(4096);
    const size_t sizes[][2] = {{20, 24}, {24, 20}, {20, 100}, {100, 5000}, {5000, 9000}, {9000, 30}, {0, 16}};
    for (const auto& s : sizes) {
        char* block = static_cast<char*>(HeapTake(heap, s[0]));
        memset(block, 'x', s[0]);
        block = static_cast<char*>(HeapResize(heap, block, s[1]));
        EXPECT_EQ(HeapUsageOf(heap).bytes * 10 + HeapUsageOf(heap).blocks, s[1] * 10 + 1) << s[0] << " to " << s[1];
        for (size_t i = 0; i < s[0] && i < s[1]; ++i) ASSERT_EQ(block[i], 'x') << s[0] << " to " << s[1];
        HeapGive(heap, block);
        EXPECT_EQ(HeapUsageOf(heap).bytes + HeapUsageOf(heap).blocks, 0u);
    }
    DeleteHeap(heap);
}

}  // namespace
