#include "runtime/strings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "runtime/runtime_test_support.h"

namespace {

using model::Std;
using Strings = RuntimeTest;

// Every primitive on every pairing of edge texts (unset, short, around the
// eight characters held as a value, number spellings) and edge counts, the
// text a variable or a temporary, against the model of its rules.
TEST_F(Strings, PrimitivesFollowTheirRulesAtTheEdges) {
    const char* texts[] = {nullptr, "", "a", "\xE9x", "abcdefg", "abcdefgh", "abcdefghi", "  \t-12abc", "+ 5",
                           "$fF", "-$10", "%102", "0x1F", "\n5", "--5", "$Ag", "9\xB9", "18446744073709551617",
                           "-9223372036854775808", "$FFFFFFFFFFFFFFFF"};
    const int64_t counts[] = {INT64_MIN, -2147483649LL, INT32_MIN, -1, 0, 1, 2, 7, 8, 9, 10, INT32_MAX,
                              4294967296LL, INT64_MAX};
    for (const char* text : texts)
        for (const char* fill : {static_cast<const char*>(nullptr), "", "xyz"})
            for (int op = 0; op < model::kOps * 2; ++op)
                for (int64_t n : counts)
                    for (int64_t m : counts) {
                        Str a = text, b = fill;
                        StrArg arg = op % 2 ? StrArg(StrLeft(a, INT64_MAX)) : StrArg(a);
                        const model::Outcome o = model::Run(op / 2, arg, Std(a), n, m, b, Std(b));
                        const char* form = op % 2 ? " on a temporary" : " on a variable";
                        ASSERT_EQ(o.actual, o.expected) << o.call << form;
                        ASSERT_EQ(TempEnd(), 0u) << "a temporary left behind by " << o.call << form;
                    }
}

// What the grid of edges does not cover: code 0 and an unset piece in a sum.
TEST_F(Strings, CodeZeroAndAnUnsetPieceInASum) {
    Str unset;
    EXPECT_EQ(Std(StrChr(0) + "te" + StrLeft("xyz", 1) + unset + StrRight("abc", 1)), "texc");
}

TEST_F(Strings, NumbersAtTheirEdges) {
    const struct { float base, exponent, power; } powers[] = {
        {0.5f, 3, 0.125f}, {3, 2, 9}, {2, 0.5f, std::sqrt(2.0f)}, {2, 200, HUGE_VALF}, {2, -150, 0},
    };
    for (const auto& p : powers) EXPECT_EQ(PowF(p.base, p.exponent), p.power) << p.base << "^" << p.exponent;
    EXPECT_TRUE(std::isnan(PowF(-2, 0.5f)));
    for (int e = -149; e <= 128; ++e) EXPECT_EQ(PowF(2, static_cast<float>(e)), std::ldexp(1.0f, e)) << e;
    // Toward zero; saturated outside the 32-bit range; NaN is 0.
    const struct { double x; int32_t truncated; } truncations[] = {
        {2.9, 2}, {-2.9, -2}, {0.5, 0}, {-0.5, 0}, {2.5, 2}, {3.5, 3}, {-2.5, -2}, {-0.7, 0},
        {2147483647.0, INT32_MAX}, {1e300, INT32_MAX}, {-2147483648.0, INT32_MIN}, {-1e300, INT32_MIN}, {NAN, 0},
    };
    for (const auto& t : truncations) EXPECT_EQ(TruncToInt(t.x), t.truncated) << t.x;
}

// A float stored in an integer: to the nearest, ties to even.
TEST_F(Strings, RoundingGoesToTheNearestAndTiesToEven) {
    const struct { double x; int32_t rounded; } roundings[] = {
        {2.5, 2}, {3.5, 4}, {-2.5, -2}, {-0.5, 0}, {1.5, 2}, {0.49, 0}, {-1.51, -2}, {2147483647.0, INT32_MAX},
    };
    for (const auto& r : roundings) EXPECT_EQ(RoundToInt(r.x), r.rounded) << r.x;
}

// A sum kept as a double between rounding stores into a 16-bit variable
// holds what the variable would: ties to even, out of range it wraps.
TEST_F(Strings, ASixteenBitStoreKeptAsADoubleHoldsTheVariablesValue) {
    const struct { double x; double held; } stores[] = {{32767.5, -32768}, {-32768.6, 32767}, {40000, -25536}, {NAN, 0}};
    for (const auto& s : stores) EXPECT_EQ(RoundedToInt16(s.x), s.held) << s.x;
    for (double x = -40000; x <= 40000; x += 0.25)  // every tie, against the rounding checked above
        ASSERT_EQ(RoundedToInt16(x), static_cast<int16_t>(RoundToInt(x))) << x;
}

// Assignment, Append and Prepend, with pieces taken from the variable's own
// text, step by step against std::string; short and long texts switch
// storage all the time, and a text that fills the variable's word must still
// end with code 0. At the end every block is back.
TEST_F(Strings, VariablesFollowAModel) {
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
        ASSERT_EQ(std::string(s.Text()), ms) << step;  // ends with code 0
        ASSERT_EQ(StrLen(s), int64_t(ms.size())) << step;
        ASSERT_EQ(Std(copy), mcopy) << step;
    }
    s.Release();
    EXPECT_FALSE(s.IsSet());
    EXPECT_TRUE((s = "").IsSet());
}

// Texts around the size a variable holds without a heap block (seven and
// eight characters on 64-bit, three and four on 32-bit), made of the extreme
// codes 1 and 255, of code 0 at either end or inside (passed with a length),
// and of the bytes of a real block address: every way in and out keeps every
// byte, in a variable and in an array element.
TEST_F(Strings, TextsAroundTheVariablesOwnSizeKeepEveryByte) {
    using std::string;
    void* block = HeapTake(StringHeap(), 16);
    uintptr_t address = reinterpret_cast<uintptr_t>(block);
    HeapGive(StringHeap(), block);
    string addressBytes;  // its bytes, the zero ones left out
    for (size_t i = 0; i < sizeof address; ++i)
        if (char c = static_cast<char>(address >> (8 * i))) addressBytes += c;
    const string texts[] = {"\x01", "\xFF", string(1, '\0'), string(3, '\x01'), string("a\0c", 3), "abcd",
                            "\x84" "ab\x7F", string("\0bcd", 4), "\x01" "bcd", "abc\x80", string("abc\0", 4),
                            string(7, '\x01'), string(7, '\xFF'), string("abc\0efg", 7), string(8, '\x01'),
                            string(8, '\xFF'), string("\0bcdefgh", 8), string("abcdefg\0", 8),
                            "\x01" + string(7, '\xFF'), string(7, '\xFF') + "\x01", string(9, '\x01'), string(9, '\xFF'),
                            addressBytes, addressBytes + "1"};
    for (const string& text : texts) {
        const string name = "text of " + std::to_string(text.size()) + " starting " +
                            std::to_string(static_cast<unsigned char>(text[0]));
        StrArg source(text.data(), text.size());
        Str assigned = source, appended, prepended;
        for (size_t i = 0; i < text.size(); ++i) {
            appended.Append(StrMid(source, static_cast<int64_t>(i) + 1, 1));
            prepended.Prepend(StrMid(source, static_cast<int64_t>(text.size() - i), 1));
        }
        Array<Str> element(0);
        element[0] = StrLeft(assigned, INT64_MAX);
        EXPECT_EQ(string(assigned.Text(), assigned.Length()), text) << name;
        EXPECT_EQ(Std(appended), text) << name;
        EXPECT_EQ(Std(prepended), text) << name;
        EXPECT_EQ(Std(element[0]), text) << name;
        EXPECT_EQ(StrAsc(StrRight(element[0], 1)), static_cast<unsigned char>(text.back())) << name;
    }
}

// Appending and prepending in turn keeps room on both sides: the text moves
// now and then, not on every call (the cost would be quadratic). Reversed as a
// temporary, the long text makes the buffer grow under the primitive reading it.
TEST_F(Strings, AppendAndPrependInTurnMoveTheTextRarely) {
    Str s = "a text too long for the word";
    std::string want = s.Text();
    int moves = 0;
    for (int i = 0; i < 4000; ++i) {
        const char* start = s.Text();
        s.Append("0123456789");
        moves += s.Text() != start;  // an Append keeps where the text starts
        const char* end = s.Text() + s.Length();
        s.Prepend(IntToDec(i % 100));
        moves += s.Text() + s.Length() != end;  // a Prepend where it ends
        want = std::to_string(i % 100) + want + "0123456789";
    }
    s.Append(StrPad("", 5000000, "-")), want += std::string(5000000, '-');
    EXPECT_EQ(Std(StrReverse(StrReverse(StrLeft(s, INT64_MAX)))), want);
    EXPECT_LT(moves, 100);
}

}  // namespace
