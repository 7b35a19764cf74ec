#include "codec/codec.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "codec/codec_test_support.h"
#include "runtime/arrays.h"
#include "runtime/heap.h"

namespace {

class Codec : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ProgramHeapInit(), StringRuntimeInit(), ArrayRuntimeInit(); }
    void TearDown() override { EXPECT_EQ(TempEnd(), 0u) << "a temporary outlived its statement"; }
};

std::string S(StrArg value) {
    Str held = value;
    return std::string(held.Text(), held.Length());
}
StrArg A(const std::string& s) { return StrArg(s.data(), s.size()); }
std::string Encode(const std::string& text) { return S(TextToPdu(A(text))); }
std::string Decode(const std::string& hex) { return S(PduToText(A(hex))); }

// A temporary handed straight to a conversion lies at the end of the buffer,
// and the conversion's own work makes the buffer grow (and move) under it.
// (First, while the buffer is still small: the sizes follow its capacity.)
TEST_F(Codec, TemporaryArgumentsWhileTheBufferGrows) {
    size_t n = TempCapacity() - 6;  // the argument alone fits
    std::string text(n, ' ');
    for (size_t i = 0; i < n; ++i) text[i] = "Hallo, ich bins!\xE4\x80"[i % 18];
    Str held = A(text);
    size_t before = TempCapacity();
    EXPECT_EQ(S(TextToPdu(StrLeft(held, static_cast<int64_t>(n)))), ref::Encode(text));
    EXPECT_GT(TempCapacity(), before);
    Str pdu = ref::Encode(text).c_str();
    before = TempCapacity();
    EXPECT_EQ(S(PduToText(StrPad(pdu, static_cast<int64_t>(before - 6), " "))), ref::Mapped(text));
    EXPECT_GT(TempCapacity(), before);
    EXPECT_EQ(S(PduToText(TextToPdu(StrMid(held, 2, static_cast<int64_t>(n))))), ref::Mapped(text.substr(1)));
}

TEST_F(Codec, VectorsEncodeAndDecodeBack) {
    std::ifstream file(SMS_VECTORS);
    ASSERT_TRUE(file) << SMS_VECTORS;
    HeapUsage strings = HeapUsageOf(StringHeap()), program = HeapUsageOf(ProgramHeap());
    size_t buffer = TempCapacity();
    int count = 0;
    for (std::string line, textHex, pdu; std::getline(file, line); ++count) {
        if (line.empty() || line[0] == '#') { --count; continue; }
        std::istringstream(line) >> textHex >> pdu;
        std::string text;
        for (size_t i = 0; textHex != "-" && i + 1 < textHex.size(); i += 2)
            text += static_cast<char>(std::stoi(textHex.substr(i, 2), nullptr, 16));
        if (pdu == "-") pdu.clear();
        EXPECT_EQ(Encode(text) + " " + ref::Encode(text), pdu + " " + pdu) << line;  // converter, reference
        EXPECT_EQ(Decode(pdu) + " " + ref::Decode(pdu), ref::Mapped(text) + " " + ref::Mapped(text)) << line;
    }
    EXPECT_GE(count, 40);
    // Everything a conversion takes comes back; the buffer only ever grows.
    HeapUsage s = HeapUsageOf(StringHeap()), p = HeapUsageOf(ProgramHeap());
    EXPECT_EQ(std::make_pair(s.blocks, s.bytes - TempCapacity()), std::make_pair(strings.blocks, strings.bytes - buffer));
    EXPECT_EQ(std::make_pair(p.blocks, p.bytes), std::make_pair(program.blocks, program.bytes));
}

TEST_F(Codec, CharacterMapFollowsItsRows) {
    for (int c = 0; c < 256; ++c) {
        char first[2] = {static_cast<char>(c), 'A'};  // only the first character counts
        EXPECT_EQ(LatinToGsm(StrArg(first, 2)), ref::ToGsm(static_cast<unsigned char>(c))) << "byte " << c;
    }
    for (int code : {-32768, -1, 32767, 200, 128}) EXPECT_EQ(S(GsmToLatin(static_cast<int16_t>(code))), " ");
    for (int16_t code = 0; code < 128; ++code) EXPECT_EQ(S(GsmToLatin(code)), std::string(1, ref::FromGsm(code))) << code;
    EXPECT_EQ(LatinToGsm(nullptr), 0);
}

TEST_F(Codec, DecoderReadsAnyInput) {
    struct Case { std::string pdu, text; } cases[] = {
        {"", ""}, {"7", ""}, {"  ", ""}, {"C8349", "Hi"}, {"c834", "Hi"}, {"d4f29c0e", "Test"},
        {" c8\t34\r\n", "Hi"}, {"C8 349", "Hi"}, {"XY", "@"}, {"\xFF\x80", "@"}, {"FF", " "}, {"80", "@"},
        {"0000", "@@"}, {"C8G4", "H "}, {"C8-34", "H "}, {"C8:34:", "H @"},  // other separators read as 0
        {"61F1985C369FD1", "abcdefg"}, {"C8309BFD6681D26334489C76CF43", "Hallo, ich bin"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Decode(c.pdu), c.text) << "'" << c.pdu << "'";
        EXPECT_EQ(ref::Decode(c.pdu), c.text) << "reference, '" << c.pdu << "'";
    }
}

TEST_F(Codec, BinaryHelpers) {
    struct Case { int16_t value; const char *seven, *four; } cases[] = {
        {0, "0000000", "0000"}, {1, "0000001", "0001"}, {2, "0000010", "0010"}, {10, "0001010", "1010"},
        {15, "0001111", "1111"}, {127, "1111111", "1111111"}, {511, "111111111", "111111111"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(S(ToBinary7(c.value)) + " " + S(ToBinary4(c.value)), std::string(c.seven) + " " + c.four);
        EXPECT_EQ(Binary7ToInt(c.seven), c.value < 128 ? c.value : 127);
        EXPECT_EQ(Binary4ToInt(c.four), c.value < 16 ? c.value : 15);
    }
    EXPECT_EQ(Binary4ToInt("10") * 100 + Binary7ToInt("1"), 864);  // missing digits on the right read as 0
    EXPECT_EQ(S(SwapPair("C8")) + S(SwapPair("C")) + S(SwapPair("")), "8CCC");
    const char* digits[] = {"0", "9", "A", "F", "a", "f", "/", ":", "@", "G", "`", "g", ""};
    const int values[] = {0, 9, 10, 15, 10, 15, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 13; ++i) EXPECT_EQ(HexDigitToInt(digits[i]), values[i]) << digits[i];
}

TEST_F(Codec, RandomAndLongTextsMatchTheReference) {
    std::mt19937 rng(20261207);
    for (int round = 0; round <= 300; ++round) {
        std::string text(round < 300 ? rng() % 70 : 40000, ' ');  // the last one beyond 32,767
        for (char& c : text) c = static_cast<char>(1 + rng() % 255);
        std::string pdu = Encode(text);
        ASSERT_EQ(pdu, ref::Encode(text)) << "length " << text.size();
        ASSERT_EQ(Decode(pdu), ref::Mapped(text)) << "length " << text.size();
    }
}

}  // namespace
