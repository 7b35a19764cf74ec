#include "runtime/strings.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
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
std::string N(int64_t v) { return std::to_string(v); }
std::string F(float v) {
    char text[40];
    snprintf(text, sizeof text, "%a", static_cast<double>(v));
    return std::isnan(v) ? "nan" : text;
}

// A temporary argument lies at the end of the buffer while the primitive that
// reads it reserves room for its result and makes the buffer grow and move.
TEST_F(Strings, LongTemporariesWhileTheBufferGrows) {
    std::string big(TempCapacity() + 100000, ' ');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
    int64_t n = static_cast<int64_t>(big.size());
    Str s = StrArg(big.data(), big.size());
    EXPECT_EQ(S(StrPad(StrLeft(s, n), 3 * n, "-")), big + std::string(2 * big.size(), '-'));
    EXPECT_EQ(S(StrReverse(StrReverse(StrRight(s, n)))), big);
    EXPECT_EQ(S(StrMid(s, 1, n) + StrMid(s, 2, n)), big + big.substr(1));
    EXPECT_EQ(StrAsc(StrRight(s, 1)), big.back());
    EXPECT_EQ(DecToInt(StrMid(StrPad("", 3 * n, "1"), 1, 3)), 111);
}

// Each primitive's edges: an unset string, a count or start out of range, a
// character that is not a digit.
TEST_F(Strings, PrimitivesAtTheirEdges) {
    Str unset;
    struct Case { std::string got, want; int line; };
#define C(got, want) Case{got, want, __LINE__}
    const Case cases[] = {
        C(S(StrMid("abc", 0, 2)), "ab"), C(S(StrMid("abc", -5, 2)), "ab"), C(S(StrMid("abc", 3, 5)), "c"),
        C(S(StrMid("abc", 4, 1)), ""), C(S(StrMid("abc", 1, 0)), ""), C(S(StrMid("abc", 1, -1)), ""),
        C(S(StrMid("abc", 2, 1)), "b"), C(S(StrMid("abc", 2, INT64_MAX)), "bc"), C(S(StrMid("abc", INT64_MAX, 1)), ""),
        C(S(StrMid("abc", INT64_MIN, 1)), "a"), C(S(StrMid(unset, 1, 3)), ""), C(S(StrLeft("abc", 2)), "ab"),
        C(S(StrLeft("abc", 5)), "abc"), C(S(StrLeft("abc", -1)), ""), C(S(StrRight("abc", 2)), "bc"),
        C(S(StrRight("abc", 9)), "abc"), C(S(StrRight("abc", INT64_MIN)), ""), C(S(StrLeft(unset, 3)), ""),
        C(S(StrPad("", 3, "0")), "000"), C(S(StrPad("", 0, "0")), ""), C(S(StrPad("", -2, "0")), ""),
        C(S(StrPad("10110", 4, "0")), "1011"), C(S(StrPad("1", 4, "0")), "1000"), C(S(StrPad("ab", 4, "xyz")), "abxx"),
        C(S(StrPad("ab", 4, unset)), "ab  "), C(S(StrPad("ab", 3, "")), "ab "),  // a set but empty fill: spaces too
        C(N(StrAsc("")), "0"), C(N(StrAsc(unset)), "0"), C(N(StrAsc("\xE9x")), "233"), C(N(StrLen(unset)), "0"),
        C(S(StrChr(65)), "A"), C(S(StrChr(321)), "A"), C(S(StrChr(0)), ""), C(S(StrChr(256)), ""),
        C(S(StrChr(-1)), "\xFF"), C(S(StrReverse("abc")), "cba"), C(S(StrReverse(unset)), ""),
        C(S(StrChr(0) + "te" + StrLeft("xyz", 1) + unset + StrRight("abc", 1)), "texc"),
        C(S(IntToDec(0)), "0"), C(S(IntToDec(7)), "7"), C(S(IntToDec(10)), "10"), C(S(IntToDec(-5)), "-5"),
        C(S(IntToDec(INT32_MIN)), "-2147483648"), C(S(IntToDec(INT32_MAX)), "2147483647"),
        C(S(IntToDec(4294967296LL)), "4294967296"), C(S(IntToDec(-2147483649LL)), "-2147483649"),
        C(S(IntToDec(INT64_MIN)), "-9223372036854775808"), C(S(IntToDec(INT64_MAX)), "9223372036854775807"),
        C(S(IntToHex(0)), "0"), C(S(IntToHex(10)), "A"), C(S(IntToHex(255)), "FF"), C(S(IntToHex(4096)), "1000"),
        C(S(IntToHex(-1)), "FFFFFFFFFFFFFFFF"), C(S(IntToHex(INT64_MIN)), "8000000000000000"),
        C(S(IntToHex(0x123456789ABCDEFLL)), "123456789ABCDEF"),
        C(N(DecToInt("")), "0"), C(N(DecToInt(unset)), "0"), C(N(DecToInt("7")), "7"), C(N(DecToInt("  \t-12abc")), "-12"),
        C(N(DecToInt("+ 5")), "0"), C(N(DecToInt("$fF")), "255"), C(N(DecToInt("-$10")), "-16"), C(N(DecToInt("%102")), "2"),
        C(N(DecToInt("0x1F")), "0"), C(N(DecToInt("1 000")), "1"), C(N(DecToInt("18446744073709551617")), "1"),
        C(N(DecToInt("\n5")), "0"), C(N(DecToInt("--5")), "0"), C(N(DecToInt("+7")), "7"), C(N(DecToInt("$")), "0"),
        C(N(DecToInt("%")), "0"), C(N(DecToInt("9\xB9")), "9"), C(N(DecToInt("$Ag")), "10"), C(N(DecToInt("$Gf")), "0"),
        C(N(DecToInt("-9223372036854775808")), N(INT64_MIN)), C(N(DecToInt("$FFFFFFFFFFFFFFFF")), "-1"),
        C(F(PowF(2, 0)), F(1)), C(F(PowF(2, 6)), F(64)), C(F(PowF(2, -1)), F(0.5f)), C(F(PowF(0.5f, 3)), F(0.125f)),
        C(F(PowF(2, 200)), F(HUGE_VALF)), C(F(PowF(3, 2)), F(9)), C(F(PowF(2, 0.5f)), F(std::sqrt(2.0f))),
        C(F(PowF(-2, 0.5f)), "nan"), C(F(PowF(2, -149)), F(std::ldexp(1.0f, -149))), C(F(PowF(2, -150)), F(0)),
        C(N(TruncToInt(2.9)), "2"), C(N(TruncToInt(-2.9)), "-2"), C(N(TruncToInt(0.5)), "0"), C(N(TruncToInt(-0.5)), "0"),
        C(N(TruncToInt(2.5)), "2"), C(N(TruncToInt(3.5)), "3"), C(N(TruncToInt(-2.5)), "-2"), C(N(TruncToInt(-0.7)), "0"),
        C(N(TruncToInt(2147483647.0)), N(INT32_MAX)), C(N(TruncToInt(1e300)), N(INT32_MAX)),
        C(N(TruncToInt(-2147483648.0)), N(INT32_MIN)), C(N(TruncToInt(-1e300)), N(INT32_MIN)), C(N(TruncToInt(NAN)), "0"),
    };
#undef C
    for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << "case on line " << c.line;
    for (int e = -149; e <= 128; ++e) EXPECT_EQ(F(PowF(2, static_cast<float>(e))), F(std::ldexp(1.0f, e))) << e;
}

// Assignment, Append and Prepend, with pieces taken from the variable's own
// text, step by step against std::string; short and long texts switch
// storage all the time. At the end every block is back.
TEST_F(Strings, VariablesFollowAModel) {
    HeapUsage before = HeapUsageOf(StringHeap());
    {
        std::mt19937 rng(1207);
        Str s, copy;
        std::string ms, mcopy;
        for (int step = 0; step < 5000; ++step) {
            std::string piece(rng() % 20, ' ');
            for (char& c : piece) c = static_cast<char>('A' + rng() % 58);
            int64_t a = rng() % 24, b = rng() % 24;
            std::string mid = ms.substr(std::min<size_t>(a ? a - 1 : 0, ms.size()), b);
            switch (rng() % 8) {
                case 0: s.Append(piece.c_str()), ms += piece; break;
                case 1: s.Prepend(piece.c_str()), ms = piece + ms; break;
                case 2: s.Append(StrMid(s, a, b)), ms += mid; break;
                case 3: s.Prepend(StrMid(s, a, b)), ms = mid + ms; break;
                case 4: a % 2 ? s.Append(s) : s.Prepend(s), ms += ms; break;
                case 5: s = StrMid(s, a, b), ms = mid; break;
                case 6: copy = s, mcopy = ms; break;
                default:
                    if (ms.size() > 4000 || !a) s.Release(), ms.clear();
                    else s = StrRight(s, b) + copy, ms = ms.substr(ms.size() - std::min<size_t>(b, ms.size())) + mcopy;
            }
            ASSERT_EQ(std::string(s.Text()) + "|" + N(StrLen(s)) + "|" + S(copy), ms + "|" + N(ms.size()) + "|" + mcopy)
                << "step " << step;  // the text ends with code 0, and has the length it says
        }
        s.Release();
        EXPECT_FALSE(s.IsSet());
        s = "";
        EXPECT_TRUE(s.IsSet());
    }
    EXPECT_EQ(HeapUsageOf(StringHeap()).blocks, before.blocks);
    EXPECT_EQ(HeapUsageOf(StringHeap()).bytes, before.bytes);
}

// The buffer grows when a reservation comes within 4 bytes of its capacity,
// to the reservation's end plus 16384 bytes.
TEST_F(Strings, BufferGrowsByTheRequestPlusSlack) {
    size_t capacity = TempCapacity() + 100;
    TempReserve(capacity, 0);
    EXPECT_EQ(TempCapacity(), capacity + 16384);
    capacity = TempCapacity();
    TempReserve(capacity - 5, 0);
    EXPECT_EQ(TempCapacity(), capacity);
    TempReserve(capacity - 4, 0);
    EXPECT_EQ(TempCapacity(), capacity - 4 + 16384);
    EXPECT_EQ(TempGiveBack(capacity - 4), 0u);
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
