#include "runtime/arrays.h"

#include <gtest/gtest.h>

#include "runtime/strings_test_support.h"

namespace {

// Every test gives back all it takes.
class Arrays : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ProgramHeapInit(), StringRuntimeInit(), ArrayRuntimeInit(); }
    void TearDown() override { EXPECT_EQ(model::Holding(), before_); }
    decltype(model::Holding()) before_ = model::Holding();
};

std::string Header(const void* elements) {  // dimensions, count, type, the managed fields
    const ArrayHeader* h = ArrayHeaderOf(elements);
    const intptr_t* f = h->managedFields;
    return std::to_string(h->dimensions * 10000 + h->count * 100 + h->typeCode) +
           (f ? " " + std::to_string(f[0] * 10 + f[1]) : "");
}

// The upper bound N gives N + 1 elements. Dimensioning again releases the old
// array, whose dirty block the new one may reuse: every element starts 0 or unset.
TEST_F(Arrays, UpperBoundGivesOneMoreElementAllZero) {
    Array<int16_t> one(0), numbers(5);
    Array<Str> strings(5);
    for (size_t i = 0; i < 6; ++i) numbers[i] = 7, strings[i] = "a string too long for the word";
    numbers.Dim(5), strings.Dim(5);
    EXPECT_EQ(HeapUsageOf(StringHeap()).blocks, std::get<1>(before_));  // the old strings are gone
    for (size_t i = 0; i < 6; ++i) EXPECT_TRUE(numbers[i] == 0 && !strings[i].IsSet()) << i;
    EXPECT_EQ(Header(one.Elements()) + ", " + Header(numbers.Elements()) + ", " + Header(strings.Elements()),
              "10103, 10603, 10608 -1");
}

// Releasing frees a string's block wherever it lies among texts held in the
// variables themselves, and never a word that only looks like an address.
TEST_F(Arrays, ReleasingFreesEveryStringBlockWhereverItLies) {
    const size_t blocks = HeapUsageOf(StringHeap()).blocks;
    for (size_t at = 0; at < 17; ++at) {
        Array<Str> strings(16);
        for (size_t i = 0; i < 17; ++i) strings[i] = i % 2 ? "\x01\x01\x01" : "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF";
        strings[at] = "a string too long for the word";
        strings.Release();
        EXPECT_EQ(HeapUsageOf(StringHeap()).blocks, blocks) << "block at " << at;
    }
}

// Several dimensions are stored row after row; releasing clears the variable.
TEST_F(Arrays, SeveralDimensionsAreStoredRowAfterRow) {
    Array2<Str> grid(2, 3);
    grid(1, 2) = "seventh, and long", grid(2, 0) = "ninth";
    void* raw = nullptr;
    intptr_t sizes[3] = {2, 3, 4};
    DimArrayMulti(3, sizeof(Str), ARRAY_TYPE_STRING, kStringElementFields, &raw, sizes);
    std::string strides = std::to_string(sizes[0] * 100 + sizes[1] * 10 + sizes[2]);
    EXPECT_EQ(Header(grid.Elements()) + ", " + Header(raw) + ", " + strides + ", " + grid.Elements()[6].Text() +
                  " " + grid.Elements()[8].Text(),
              "21208 -1, 32408 -1, 1241, seventh, and long ninth");
    ReleaseArray(raw);
    EXPECT_EQ(raw, nullptr);
    ReleaseArray(raw);
}

}  // namespace
