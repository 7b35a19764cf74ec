#include "codec/codec.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <tuple>

#include "codec/codec_test_support.h"
#include "runtime/arrays.h"
#include "runtime/strings_test_support.h"

namespace {

using model::Std;

// No temporary outlives its statement, and everything a conversion takes comes
// back (the buffer only ever grows).
class Codec : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ProgramHeapInit(), StringRuntimeInit(), ArrayRuntimeInit(); }
    void SetUp() override { before_ = Usage(); }
    void TearDown() override { EXPECT_EQ(Usage(), before_); }
    static std::tuple<size_t, size_t, size_t, size_t, size_t> Usage() {
        HeapUsage s = HeapUsageOf(StringHeap()), p = HeapUsageOf(ProgramHeap());
        return std::make_tuple(TempEnd(), s.blocks, s.bytes - TempCapacity(), p.blocks, p.bytes);
    }
    std::tuple<size_t, size_t, size_t, size_t, size_t> before_;
};

StrArg A(const std::string& s) { return StrArg(s.data(), s.size()); }
std::string Encode(const std::string& text) { return Std(TextToPdu(A(text))); }
std::string Decode(const std::string& hex) { return Std(PduToText(A(hex))); }
std::string Unhex(const std::string& hex) {  // "-" is empty
    std::string bytes;
    for (size_t i = 0; hex != "-" && i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

// A temporary handed straight to a conversion lies at the end of the buffer,
// and the conversion's own work makes the buffer grow (and move) under it.
// (First, while the buffer is still small: the sizes follow its capacity.)
TEST_F(Codec, TemporaryArgumentsWhileTheBufferGrows) {
    size_t n = TempCapacity() - 6;  // the argument alone fits
    std::string text(n, ' ');
    for (size_t i = 0; i < n; ++i) text[i] = "Hallo, ich bins!\xE4\x80"[i % 18];
    Str held = A(text), pdu = ref::Encode(text).c_str();
    size_t before = TempCapacity();
    EXPECT_EQ(Std(TextToPdu(StrLeft(held, static_cast<int64_t>(n)))), ref::Encode(text));
    size_t between = TempCapacity();
    EXPECT_EQ(Std(PduToText(StrPad(pdu, static_cast<int64_t>(between - 6), " "))), ref::Mapped(text));
    EXPECT_LT(before, between);
    EXPECT_LT(between, TempCapacity());
    EXPECT_EQ(Std(PduToText(TextToPdu(StrMid(held, 2, static_cast<int64_t>(n))))), ref::Mapped(text.substr(1)));
}

// Each line: the hex of a text and its PDU, or '<', the hex of a PDU field and
// its text. The converter and the reference must agree with it.
TEST_F(Codec, Vectors) {
    std::ifstream file(SMS_VECTORS);
    int count = 0;
    for (std::string line, a, b, c; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream(line) >> a >> b >> c, ++count;
        std::string text = a == "<" ? Unhex(c) : Unhex(a), pdu = a == "<" ? Unhex(b) : b == "-" ? "" : b;
        std::string encoded = a == "<" ? "" : Encode(text) + " " + ref::Encode(text);  // converter, reference
        EXPECT_EQ(encoded, a == "<" ? "" : pdu + " " + pdu) << line;
        EXPECT_EQ(Decode(pdu) + "|" + ref::Decode(pdu), ref::Mapped(text) + "|" + ref::Mapped(text)) << line;
    }
    EXPECT_GE(count, 60) << SMS_VECTORS;
}

TEST_F(Codec, CharacterMapFollowsItsRows) {
    for (int c = 0; c < 256; ++c) {
        char first[2] = {static_cast<char>(c), 'A'};  // only the first character counts
        EXPECT_EQ(LatinToGsm(StrArg(first, 2)), ref::ToGsm(static_cast<unsigned char>(c))) << "byte " << c;
    }
    for (int code = -32768; code < 32768; code += code < -1 || code > 126 ? 1111 : 1)
        EXPECT_EQ(Std(GsmToLatin(static_cast<int16_t>(code))), std::string(1, ref::FromGsm(code))) << code;
    EXPECT_EQ(LatinToGsm(nullptr), 0);
}

// The helpers outside the converter's range too: values of more digits than
// the width, bit strings too short (missing digits read as 0) or too long.
TEST_F(Codec, BinaryHelpersAtTheirEdges) {
    std::string got;
    for (int16_t v : {0, 1, 2, 10, 15, 127, 511}) got += Std(ToBinary7(v)) + " " + Std(ToBinary4(v)) + ", ";
    for (const char* bits : {"0001010", "1111111", "111111111", "10", "1", ""})
        got += std::to_string(Binary7ToInt(bits)) + "/" + std::to_string(Binary4ToInt(bits)) + " ";
    EXPECT_EQ(got + Std(SwapPair("C8")) + Std(SwapPair("C")) + Std(SwapPair("")),
              "0000000 0000, 0000001 0001, 0000010 0010, 0001010 1010, 0001111 1111, 1111111 1111111, "
              "111111111 111111111, 10/1 127/15 127/15 64/8 64/8 0/0 8CCC");
    got.clear();  // of hex digits; anything else, and "", is 0
    for (const char* d : {"0", "9", "A", "F", "a", "f", "/", ":", "@", "G", "`", "g", ""})
        got += std::to_string(HexDigitToInt(d)) + " ";
    EXPECT_EQ(got, "0 9 10 15 10 15 0 0 0 0 0 0 0 ");
}

// Lengths and positions beyond 32,767 (random texts are the fuzz target's).
TEST_F(Codec, LongTextMatchesTheReference) {
    std::string text(40000, ' ');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>(1 + i * 7919 % 255);
    std::string pdu = Encode(text);
    EXPECT_EQ(pdu + " " + Decode(pdu), ref::Encode(text) + " " + ref::Mapped(text));
}

}  // namespace
