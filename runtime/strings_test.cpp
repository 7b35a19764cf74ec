#include "runtime/strings.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

#include "runtime/heap.h"

namespace {

class Strings : public ::testing::Test {
protected:
    static void SetUpTestSuite() { StringRuntimeInit(); }
    void TearDown() override { EXPECT_EQ(TempEnd(), 0u) << "a temporary outlived its statement"; }
};

std::string S(StrArg value) {
    Str held = value;
    return std::string(held.Text(), held.Length());
}

TEST_F(Strings, VariablesCopyOnAssignment) {
    Str a, b;
    EXPECT_FALSE(a.IsSet());
    EXPECT_EQ(StrLen(a), 0);
    a = "abc";
    b = a;
    a = "x";
    EXPECT_EQ(S(b), "abc");
    EXPECT_EQ(S(a), "x");
    b = StrMid(b, 2, 1);  // part of its own text
    EXPECT_EQ(S(b), "b");
    a.Release();
    EXPECT_FALSE(a.IsSet());
}

TEST_F(Strings, AppendAndPrependMatchConcatenation) {
    Str s;
    s.Append("ab");
    s.Prepend("x");
    s.Append(s);  // its own text
    s.Prepend(StrMid(s, 2, 2));
    EXPECT_EQ(S(s), "abxabxab");
    Str empty;
    empty.Append("");
    EXPECT_TRUE(empty.IsSet());
    EXPECT_EQ(S(empty), "");
}

TEST_F(Strings, ConcatenationJoinsTemporariesAndVariables) {
    Str v = "mid";
    EXPECT_EQ(S(StrLeft("abc", 1) + v + StrRight("xyz", 1) + "!"), "amidz!");
    EXPECT_EQ(S(v + v), "midmid");
    EXPECT_EQ(S(StrChr(0) + "text"), "text");
}

TEST_F(Strings, Substrings) {
    struct Case { const char* s; int64_t start, count; const char* mid; } cases[] = {
        {"abc", 0, 2, "ab"}, {"abc", -5, 2, "ab"}, {"abc", 3, 5, "c"}, {"abc", 4, 1, ""},
        {"abc", 1, 0, ""}, {"abc", 1, -1, ""}, {"abc", 2, INT64_MAX, "bc"},
        {"abc", INT64_MAX, 1, ""}, {"abc", INT64_MIN, 1, "a"}, {"", 1, 1, ""}, {nullptr, 1, 3, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(S(StrMid(c.s, c.start, c.count)), c.mid) << c.start << "," << c.count;
    EXPECT_EQ(S(StrLeft("abc", 5)), "abc");
    EXPECT_EQ(S(StrLeft("abc", -1)), "");
    EXPECT_EQ(S(StrLeft("abc", 2)), "ab");
    EXPECT_EQ(S(StrRight("abc", 2)), "bc");
    EXPECT_EQ(S(StrRight("abc", 9)), "abc");
    EXPECT_EQ(S(StrRight("abc", INT64_MIN)), "");
    EXPECT_EQ(S(StrLeft(nullptr, 3)), "");
}

TEST_F(Strings, Padding) {
    Str unset;
    struct Case { const char* s; int64_t length; StrArg fill; const char* padded; } cases[] = {
        {"", 3, "0", "000"}, {"", 0, "0", ""}, {"", -2, "0", ""}, {"10110", 4, "0", "1011"},
        {"1", 4, "0", "1000"}, {"ab", 4, "xyz", "abxx"}, {"ab", 4, unset, "ab  "},
        {"ab", 3, "", "ab "},  // a set but empty fill pads with spaces too
    };
    for (const Case& c : cases) EXPECT_EQ(S(StrPad(c.s, c.length, c.fill)), c.padded) << c.s << "/" << c.length;
}

TEST_F(Strings, CharacterCodes) {
    EXPECT_EQ(StrAsc(""), 0);
    EXPECT_EQ(StrAsc(nullptr), 0);
    EXPECT_EQ(StrAsc("\xE9x"), 233);
    EXPECT_EQ(StrAsc("A"), 65);
    EXPECT_EQ(S(StrChr(65)), "A");
    EXPECT_EQ(S(StrChr(321)), "A");
    EXPECT_EQ(S(StrChr(0)), "");
    EXPECT_EQ(S(StrChr(256)), "");
    EXPECT_EQ(S(StrChr(-1)), "\xFF");
    EXPECT_EQ(S(StrReverse("abc")), "cba");
    EXPECT_EQ(S(StrReverse(nullptr)), "");
}

TEST_F(Strings, NumbersToText) {
    struct Case { int64_t v; const char* dec; const char* hex; } cases[] = {
        {0, "0", "0"}, {10, "10", "A"}, {255, "255", "FF"}, {4096, "4096", "1000"},
        {-5, "-5", "FFFFFFFFFFFFFFFB"}, {-1, "-1", "FFFFFFFFFFFFFFFF"},
        {-2147483648LL, "-2147483648", "FFFFFFFF80000000"}, {2147483647, "2147483647", "7FFFFFFF"},
        {4294967296LL, "4294967296", "100000000"},
        {INT64_MIN, "-9223372036854775808", "8000000000000000"},
        {INT64_MAX, "9223372036854775807", "7FFFFFFFFFFFFFFF"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(S(IntToDec(c.v)), c.dec);
        EXPECT_EQ(S(IntToHex(c.v)), c.hex);
    }
}

TEST_F(Strings, TextToNumbers) {
    Str unset;
    EXPECT_EQ(DecToInt(unset), 0);
    struct Case { const char* s; int64_t v; } cases[] = {
        {"", 0}, {"  \t-12abc", -12}, {"+ 5", 0}, {"$fF", 255}, {"-$10", -16}, {"%102", 2},
        {"0x1F", 0}, {"1 000", 1}, {"18446744073709551617", 1}, {"\n5", 0}, {"--5", 0},
        {"+7", 7}, {"$", 0}, {"%", 0}, {"9\xB9", 9}, {"-9223372036854775808", INT64_MIN},
        {"$FFFFFFFFFFFFFFFF", -1},
    };
    for (const Case& c : cases) EXPECT_EQ(DecToInt(c.s), c.v) << "'" << c.s << "'";
}

TEST_F(Strings, FloatHelpers) {
    EXPECT_EQ(PowF(2, 0), 1.0f);
    EXPECT_EQ(PowF(2, 6), 64.0f);
    EXPECT_EQ(PowF(2, -1), 0.5f);
    EXPECT_EQ(PowF(0.5f, 3), 0.125f);
    EXPECT_EQ(PowF(2, 200), HUGE_VALF);
    EXPECT_EQ(PowF(3, 2), 9.0f);
    EXPECT_EQ(PowF(10, 0.5f), static_cast<float>(std::sqrt(10.0L)));
    EXPECT_TRUE(std::isnan(PowF(-2, 0.5f)));
    struct Case { double x; int32_t v; } cases[] = {
        {2.9, 2}, {-2.9, -2}, {0.5, 0}, {-0.5, 0}, {2.5, 2}, {3.5, 3}, {-2.5, -2}, {-0.7, 0},
        {2147483647.0, INT32_MAX}, {1e300, INT32_MAX}, {-2147483648.0, INT32_MIN}, {-1e300, INT32_MIN},
        {NAN, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(TruncToInt(c.x), c.v) << c.x;
}

// The argument of the second primitive is a temporary sitting in the buffer;
// reserving room for the result makes the buffer grow and move.
TEST_F(Strings, TemporaryArgumentSurvivesBufferGrowth) {
    std::string big(100000, 'q');
    big[0] = '7';
    big[99999] = 'z';
    Str text(StrArg(big.data(), big.size()));
    size_t before = TempCapacity();
    Str padded = StrPad(StrLeft(text, 100000), 300000, "-");
    EXPECT_GT(TempCapacity(), before);
    EXPECT_EQ(padded.Length(), 300000u);
    EXPECT_EQ(padded.Text()[0], '7');
    EXPECT_EQ(padded.Text()[99999], 'z');
    EXPECT_EQ(padded.Text()[100000], '-');
    EXPECT_EQ(DecToInt(StrMid(StrPad("", 2000000, "1"), 1, 3)), 111);
}

TEST_F(Strings, LongStringsPassThroughEveryPrimitiveWhole) {
    std::string big;
    for (int i = 0; i < 100000; ++i) big += static_cast<char>('a' + i % 26);
    Str s(StrArg(big.data(), big.size()));
    EXPECT_EQ(StrLen(s), 100000);
    EXPECT_EQ(S(StrLeft(s, 100000)), big);
    EXPECT_EQ(S(StrRight(s, 100000)), big);
    EXPECT_EQ(S(StrMid(s, 1, 100000)), big);
    EXPECT_EQ(S(StrPad(s, 100000, "0")), big);
    EXPECT_EQ(S(StrReverse(StrReverse(s))), big);
    EXPECT_EQ(S(s + ""), big);
    EXPECT_EQ(StrAsc(StrRight(s, 1)), 'a' + 99999 % 26);
    std::string digits(100000, '0');
    digits.back() = '5';
    EXPECT_EQ(DecToInt(StrArg(digits.data(), digits.size())), 5);
}

TEST_F(Strings, TemporaryBufferGrowsByTheRequestPlusSlack) {
    size_t end = TempEnd();
    size_t capacity = TempCapacity();
    size_t want = capacity + 100;
    TempReserve(want, end);
    EXPECT_EQ(TempEnd(), end + want);
    EXPECT_EQ(TempCapacity(), end + want + 16384);
    EXPECT_EQ(TempGiveBack(want), end);
    TempReserve(10, end);  // fits: no growth
    EXPECT_EQ(TempCapacity(), end + want + 16384);
    TempGiveBack(10);
}

TEST_F(Strings, BuildingPieceByPieceGivesBackEveryBlock) {
    HeapUsage before = HeapUsageOf(StringHeap());
    {
        Str s;
        for (int i = 0; i < 10000; ++i) {
            s.Append(IntToDec(i % 10));
            s.Prepend(StrChr('x'));
        }
        EXPECT_EQ(StrLen(s), 20000);
        EXPECT_EQ(S(StrLeft(s, 2)), "xx");
        EXPECT_EQ(S(StrRight(s, 3)), "789");
    }
    EXPECT_EQ(HeapUsageOf(StringHeap()).blocks, before.blocks);
    EXPECT_EQ(HeapUsageOf(StringHeap()).bytes, before.bytes);
}

}  // namespace

namespace {

// Short texts live in the variable itself, longer ones in a block: the
// switch between the two must keep the text exact in every direction.
TEST_F(Strings, ShortAndLongTextsSwitchStorage) {
    HeapUsage before = HeapUsageOf(StringHeap());
    Str s = "abc";
    EXPECT_EQ(HeapUsageOf(StringHeap()).blocks, before.blocks);
    std::string want = "abc";
    for (int i = 0; i < 12; ++i) {
        s.Append(StrChr('d' + i));
        want += static_cast<char>('d' + i);
        ASSERT_EQ(S(s), want);
    }
    s = StrLeft(s, 2);  // long to short, taken from its own text
    EXPECT_EQ(S(s), "ab");
    s.Prepend("0123456789");
    EXPECT_EQ(S(s), "0123456789ab");
    s = StrMid(s, 3, 4);
    EXPECT_EQ(S(s), "2345");
    s.Prepend(s);
    EXPECT_EQ(S(s), "23452345");
    Str copy = s;
    s = "";
    EXPECT_TRUE(s.IsSet());
    EXPECT_EQ(StrLen(s), 0);
    EXPECT_EQ(S(copy), "23452345");
    copy.Release();
    s.Release();
    EXPECT_EQ(HeapUsageOf(StringHeap()).blocks, before.blocks);
}

}  // namespace

namespace {

// Appending and prepending in turn keeps room on both sides of the text; the
// text must stay exact through every move of its block, pieces taken from
// the text itself included.
TEST_F(Strings, AppendAndPrependInTurnKeepTheTextExact) {
    HeapUsage before = HeapUsageOf(StringHeap());
    {
        Str s;
        std::string want;
        for (int i = 0; i < 3000; ++i) {
            std::string piece(static_cast<size_t>(1 + i % 5), static_cast<char>('a' + i % 26));
            s.Append(StrArg(piece.c_str()));
            want += piece;
            s.Prepend(IntToDec(i % 10));
            want.insert(0, 1, static_cast<char>('0' + i % 10));
            if (i % 1000 == 999) {
                s.Prepend(StrRight(s, 3));
                want.insert(0, want.substr(want.size() - 3));
                s.Append(s);
                want += want;
            }
        }
        ASSERT_EQ(S(s), want);
    }
    EXPECT_EQ(HeapUsageOf(StringHeap()).blocks, before.blocks);
}

}  // namespace

namespace {

// The heap refuses only a request no platform could grant. On a 32-bit
// platform every size up to the end of the address space, less the block
// header, goes to the platform: a 20 MiB string of a million-character
// message included.
TEST(Heap, RefusesOnlyWhatNoPlatformCanGrant) {
    using heap_internal::LargestRequest;
    EXPECT_EQ(LargestRequest(UINT32_MAX), UINT32_MAX - heap_internal::kHeader);
    EXPECT_GT(LargestRequest(UINT32_MAX), uint64_t{1} << 31);
    EXPECT_EQ(LargestRequest(UINT64_MAX), UINT64_MAX >> 8);
    Heap* heap = NewHeap(4096);
    const size_t big = size_t{40} << 20;
    char* block = static_cast<char*>(HeapTake(heap, big));
    block[0] = 'a';
    block[big - 1] = 'z';
    block = static_cast<char*>(HeapResize(heap, block, big + 4096));
    EXPECT_EQ(block[big - 1], 'z');
    EXPECT_EQ(HeapUsageOf(heap).bytes, big + 4096);
    HeapGive(heap, block);
    EXPECT_EQ(HeapUsageOf(heap).blocks, 0u);
    // A large block given back is kept for the next large request, which
    // must still come zeroed when asked so.
    for (size_t size : {size_t{1} << 20, (size_t{1} << 20) - 100, size_t{3} << 20}) {
        char* dirty = static_cast<char*>(HeapTake(heap, size));
        memset(dirty, 0x5A, size);
        HeapGive(heap, dirty);
        char* zeroed = static_cast<char*>(HeapTakeZeroed(heap, size));
        EXPECT_EQ(zeroed[0] | zeroed[size / 2] | zeroed[size - 1], 0) << size;
        HeapGive(heap, zeroed);
    }
    EXPECT_EQ(HeapUsageOf(heap).bytes, 0u);
    DeleteHeap(heap);
#ifndef _WIN32
    EXPECT_EXIT(HeapTake(NewHeap(4096), SIZE_MAX - 4), ::testing::ExitedWithCode(3), "out of memory");
#endif
}

}  // namespace

namespace {

// A text that fills the variable's word has no room there for its code 0:
// asked for its text, it must still end there.
TEST_F(Strings, TextOfAFullWordEndsWithCodeZero) {
    for (size_t len = 1; len <= 9; ++len) {
        std::string want(len, 'k');
        want[0] = 'A';
        Str s = StrArg(want.c_str());
        EXPECT_STREQ(s.Text(), want.c_str());
        s.Append("z");
        EXPECT_STREQ(s.Text(), (want + "z").c_str());
        EXPECT_EQ(S(StrRight(s, 2) + StrLeft(s, 1)), want.substr(len - 1) + "zA");
    }
}

}  // namespace
