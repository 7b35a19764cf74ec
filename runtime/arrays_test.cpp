#include "runtime/arrays.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "runtime/heap.h"

namespace {

class Arrays : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ProgramHeapInit(), StringRuntimeInit(), ArrayRuntimeInit(); }
    void SetUp() override { strings_ = HeapUsageOf(StringHeap()), program_ = HeapUsageOf(ProgramHeap()); }
    void TearDown() override {  // every array and every string of one is given back
        HeapUsage s = HeapUsageOf(StringHeap()), p = HeapUsageOf(ProgramHeap());
        EXPECT_EQ(std::make_tuple(s.blocks, p.blocks, p.bytes),
                  std::make_tuple(strings_.blocks, program_.blocks, program_.bytes));
    }
    HeapUsage strings_, program_;
};

// Dimensioning again first releases the old array, whose block (dirty) the
// new one may reuse: every element must still start 0 or unset.
TEST_F(Arrays, UpperBoundGivesOneMoreElementAllZero) {
    Array<int16_t> one(0), numbers(5);
    Array<Str> strings(5);
    EXPECT_EQ(one.Count() * 10 + numbers.Count(), 16u);
    for (size_t i = 0; i < 6; ++i) numbers[i] = 7, strings[i] = "a string too long for the word";
    EXPECT_GT(HeapUsageOf(StringHeap()).blocks, strings_.blocks);
    numbers.Dim(5), strings.Dim(5);
    EXPECT_EQ(HeapUsageOf(StringHeap()).blocks, strings_.blocks);
    for (size_t i = 0; i < 6; ++i) EXPECT_TRUE(numbers[i] == 0 && !strings[i].IsSet()) << i;
    const ArrayHeader* h = ArrayHeaderOf(strings.Elements());
    EXPECT_EQ(h->dimensions * 100 + h->count, 106);
    EXPECT_EQ(h->typeCode, ARRAY_TYPE_STRING);
    EXPECT_EQ(std::vector<intptr_t>(h->managedFields, h->managedFields + 2), (std::vector<intptr_t>{0, -1}));
    EXPECT_EQ(ArrayHeaderOf(numbers.Elements())->typeCode, ARRAY_TYPE_INT16);
    EXPECT_EQ(ArrayHeaderOf(numbers.Elements())->managedFields, nullptr);
}

TEST_F(Arrays, SeveralDimensionsAreStoredRowAfterRow) {
    Array2<Str> grid(2, 3);
    EXPECT_EQ(grid.Count(), 12u);
    EXPECT_EQ(ArrayHeaderOf(grid.Elements())->dimensions, 2);
    grid(1, 2) = "seventh";
    grid(2, 0) = "ninth";
    EXPECT_STREQ(grid.Elements()[6].Text(), "seventh");
    EXPECT_STREQ(grid.Elements()[8].Text(), "ninth");
    void* raw = nullptr;
    intptr_t sizes[3] = {2, 3, 4};
    DimArrayMulti(3, sizeof(int16_t), ARRAY_TYPE_INT16, nullptr, &raw, sizes);
    EXPECT_EQ(std::vector<intptr_t>(sizes, sizes + 3), (std::vector<intptr_t>{12, 4, 1}));
    EXPECT_EQ(ArrayHeaderOf(raw)->count * 10 + ArrayHeaderOf(raw)->dimensions, 243);
    ReleaseArray(raw);
    EXPECT_EQ(raw, nullptr);
}

TEST_F(Arrays, ReleaseFreesEveryStringAndClearsTheVariable) {
    void* raw = nullptr;
    DimArray(sizeof(Str), 10, ARRAY_TYPE_STRING, kStringElementFields, &raw);
    for (int i = 0; i < 10; i += 3) static_cast<Str*>(raw)[i] = StrPad("", 20 + i, "x");  // never read
    ReleaseArray(raw);
    EXPECT_EQ(raw, nullptr);
    ReleaseArray(raw);  // twice: nothing
    ReleaseArray(nullptr);
}

}  // namespace
