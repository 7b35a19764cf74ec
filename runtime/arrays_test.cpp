#include "runtime/arrays.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
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
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(numbers[i], 0) << "number " << i;
    for (size_t i = 0; i < 6; ++i) EXPECT_FALSE(strings[i].IsSet()) << "string " << i;
    EXPECT_EQ(HeaderOf(one.Elements()), (Header{1, 1, ARRAY_TYPE_INT16, {}}));
    EXPECT_EQ(HeaderOf(numbers.Elements()), (Header{1, 6, ARRAY_TYPE_INT16, {}}));
    EXPECT_EQ(HeaderOf(strings.Elements()), (Header{1, 6, ARRAY_TYPE_STRING, kOneString}));
}

// An array none of whose elements took a block writes short texts over its
// elements without reading them and is released without a look. Each way an
// element may take a block must be seen: the block goes back when a short
// text is written over it, and every block goes back when the arrays go.
struct TakingABlock {
    const char* name;
    void (*take)(Array<Str>& strings, size_t at);
};
const TakingABlock kTakingABlock[] = {
    {"a long text", [](Array<Str>& s, size_t at) { s[at] = "a string too long for the word"; }},
    {"code 0 at the end", [](Array<Str>& s, size_t at) { s[at] = StrArg("ab\0", 3); }},
    {"code 0 at the start", [](Array<Str>& s, size_t at) { s[at] = StrArg("\0ab", 3); }},
    {"a short text read out", [](Array<Str>& s, size_t at) { s[at] = "ab", s[at].Text(); }},
    {"a copy of the element", [](Array<Str>& s, size_t at) { StrElement e = s[at]; e = "a string too long for the word"; }},
    {"the bare elements", [](Array<Str>& s, size_t at) { s.Elements()[at] = "a string too long for the word"; }},
};

TEST_F(Arrays, ABlockAnElementTookGoesBackWhenAShortTextIsWrittenOverIt) {
    for (const TakingABlock& way : kTakingABlock) {
        Array<Str> strings(1000);
        way.take(strings, 480);
        strings[480] = "xy";
        EXPECT_EQ(HeapUsageOf(StringHeap()).blocks, std::get<1>(before_)) << way.name;
    }
}

TEST_F(Arrays, EveryBlockGoesBackWhenTheArraysGo) {
    std::vector<Array<Str>> arrays(std::size(kTakingABlock));
    for (size_t a = 0; a < arrays.size(); ++a) {
        arrays[a].Dim(1000);
        kTakingABlock[a].take(arrays[a], a * 80);
    }
    arrays.clear();
    EXPECT_EQ(HeapUsageOf(StringHeap()).blocks, std::get<1>(before_));
}

// The array operations themselves, as a program without the typed variables
// calls them: releasing a string array, or dimensioning it again, gives back
// the block of every element's string.
struct GivingBack {
    const char* name;
    void (*release)(void** variable);
};
const GivingBack kGivingBack[] = {
    {"ReleaseArray", [](void** v) { ReleaseArray(*v); }},
    {"DimArray again", [](void** v) { DimArray(sizeof(Str), 1, ARRAY_TYPE_STRING, kStringElementFields, v); }},
};

TEST_F(Arrays, ReleasingAStringArrayReleasesItsElementsStrings) {
    for (const GivingBack& way : kGivingBack) {
        void* variable = nullptr;
        DimArray(sizeof(Str), 40, ARRAY_TYPE_STRING, kStringElementFields, &variable);
        Str* elements = static_cast<Str*>(variable);
        elements[0] = "a string too long for the word", elements[39] = "another string too long for it";
        way.release(&variable);
        EXPECT_EQ(HeapUsageOf(StringHeap()).blocks, std::get<1>(before_)) << way.name;
        ReleaseArray(variable);
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
