#include "runtime/arrays.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "runtime/runtime_test_support.h"

namespace {

using Arrays = RuntimeTest;

// What an array's header says: dimensions, elements, type code, the managed-field list up to its end mark.
using Header = std::tuple<intptr_t, intptr_t, intptr_t, std::vector<intptr_t>>;
Header HeaderOf(const void* elements) {
    const ArrayHeader* h = ArrayHeaderOf(elements);
    std::vector<intptr_t> fields;
    for (const intptr_t* f = h->managedFields; f && *f != -1; ++f) fields.push_back(*f);
    return {h->dimensions, h->count, h->typeCode, fields};
}
const std::vector<intptr_t> kOneString = {0};  // a string at offset 0

// The upper bound N gives N + 1 elements. Dimensioning again releases the old
// array, whose dirty block the new one may reuse: every element starts 0 or unset.
TEST_F(Arrays, UpperBoundGivesOneMoreElementAllZero) {
    Array<int16_t> one(0), numbers(5);
    Array<Str> strings(5);
    for (size_t i = 0; i < 6; ++i) numbers[i] = 7, strings[i] = "a string too long for the word";
    numbers.Dim(5), strings.Dim(5);
    EXPECT_EQ(HeapUsageOf(StringHeap()).blocks, std::get<1>(before_));  // the old strings are gone
    for (size_t i = 0; i < 6; ++i) EXPECT_TRUE(numbers[i] == 0 && !strings[i].IsSet()) << i;
    EXPECT_EQ(HeaderOf(one.Elements()), (Header{1, 1, ARRAY_TYPE_INT16, {}}));
    EXPECT_EQ(HeaderOf(numbers.Elements()), (Header{1, 6, ARRAY_TYPE_INT16, {}}));
    EXPECT_EQ(HeaderOf(strings.Elements()), (Header{1, 6, ARRAY_TYPE_STRING, kOneString}));
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
    EXPECT_EQ(HeaderOf(grid.Elements()), (Header{2, 12, ARRAY_TYPE_STRING, kOneString}));
    EXPECT_EQ(HeaderOf(raw), (Header{3, 24, ARRAY_TYPE_STRING, kOneString}));
    EXPECT_EQ((std::vector<intptr_t>(sizes, sizes + 3)), (std::vector<intptr_t>{12, 4, 1}));  // the strides
    EXPECT_STREQ(grid.Elements()[6].Text(), "seventh, and long");
    EXPECT_STREQ(grid.Elements()[8].Text(), "ninth");
    ReleaseArray(raw);
    EXPECT_EQ(raw, nullptr);
    ReleaseArray(raw);
}

}  // namespace
