#include "runtime/arrays.h"

#include <gtest/gtest.h>

#include "runtime/heap.h"

namespace {

class Arrays : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ProgramHeapInit();
        StringRuntimeInit();
        ArrayRuntimeInit();
    }
};

TEST_F(Arrays, UpperBoundGivesOneMoreElementAllZero) {
    Array<int16_t> none(0), six(5);
    EXPECT_EQ(none.Count(), 1u);
    EXPECT_EQ(none[0], 0);
    ASSERT_EQ(six.Count(), 6u);
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(six[i], 0);
    Array<Str> strings(5);
    for (size_t i = 0; i < 6; ++i) EXPECT_FALSE(strings[i].IsSet());
    const ArrayHeader* h = ArrayHeaderOf(strings.Elements());
    EXPECT_EQ(h->dimensions, 1);
    EXPECT_EQ(h->elementSize, static_cast<intptr_t>(sizeof(void*)));
    EXPECT_EQ(h->typeCode, ARRAY_TYPE_STRING);
    EXPECT_EQ(h->managedFields[0], 0);
    EXPECT_EQ(h->managedFields[1], -1);
    EXPECT_EQ(ArrayHeaderOf(six.Elements())->managedFields, nullptr);
    EXPECT_EQ(ArrayHeaderOf(six.Elements())->typeCode, ARRAY_TYPE_INT16);
}

TEST_F(Arrays, RedimensioningGivesFreshElementsAndReleasesOldStrings) {
    HeapUsage strings = HeapUsageOf(StringHeap());
    Array<Str> a(3);
    a[0] = "element zero";  // long enough to need blocks of their own
    a[3] = "element three";
    EXPECT_EQ(HeapUsageOf(StringHeap()).blocks, strings.blocks + 2);
    a.Dim(4);
    EXPECT_EQ(HeapUsageOf(StringHeap()).blocks, strings.blocks);
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(StrLen(a[i]), 0);
    Array<int16_t> n(2);
    n[1] = 7;
    n.Dim(2);
    EXPECT_EQ(n[1], 0);
}

TEST_F(Arrays, TwoDimensionsAreStoredRowAfterRow) {
    Array2<Str> grid(2, 3);
    EXPECT_EQ(grid.Count(), 12u);
    EXPECT_EQ(grid.Stride(0), 4);
    EXPECT_EQ(grid.Stride(1), 1);
    EXPECT_EQ(ArrayHeaderOf(grid.Elements())->dimensions, 2);
    grid(1, 2) = "seventh";
    grid(2, 0) = "ninth";
    EXPECT_STREQ(grid.Elements()[6].Text(), "seventh");
    EXPECT_STREQ(grid.Elements()[8].Text(), "ninth");
}

TEST_F(Arrays, ReleaseFreesEveryStringAndClearsTheVariable) {
    HeapUsage strings = HeapUsageOf(StringHeap());
    HeapUsage program = HeapUsageOf(ProgramHeap());
    void* raw = nullptr;
    DimArray(sizeof(Str), 10, ARRAY_TYPE_STRING, kStringElementFields, &raw);
    Str* elements = static_cast<Str*>(raw);
    for (int i = 0; i < 10; i += 3) elements[i] = StrPad("", 20 + i, "x");  // never read again
    ReleaseArray(raw);
    EXPECT_EQ(raw, nullptr);
    ReleaseArray(raw);  // twice: nothing
    ReleaseArray(nullptr);
    EXPECT_EQ(HeapUsageOf(StringHeap()).blocks, strings.blocks);
    EXPECT_EQ(HeapUsageOf(ProgramHeap()).blocks, program.blocks);
    EXPECT_EQ(HeapUsageOf(ProgramHeap()).bytes, program.bytes);
}

TEST_F(Arrays, MultiDimensionSizesBecomeStrides) {
    void* raw = nullptr;
    intptr_t sizes[3] = {2, 3, 4};
    DimArrayMulti(3, sizeof(int16_t), ARRAY_TYPE_INT16, nullptr, &raw, sizes);
    EXPECT_EQ(sizes[0], 12);
    EXPECT_EQ(sizes[1], 4);
    EXPECT_EQ(sizes[2], 1);
    EXPECT_EQ(ArrayHeaderOf(raw)->count, 24);
    EXPECT_EQ(ArrayHeaderOf(raw)->dimensions, 3);
    EXPECT_EQ(ArrayHeaderOf(raw)->owner, &raw);
    ReleaseArray(raw);
    EXPECT_EQ(raw, nullptr);
}

}  // namespace
