#include "codec/codec.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "runtime/arrays.h"
#include "runtime/heap.h"

namespace {

class Codec : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ProgramHeapInit();
        StringRuntimeInit();
        ArrayRuntimeInit();
    }
    void TearDown() override { EXPECT_EQ(TempEnd(), 0u) << "a temporary outlived its statement"; }
};

std::string S(StrArg value) {
    Str held = value;
    return std::string(held.Text(), held.Length());
}

std::string Encode(const std::string& text) { return S(TextToPdu(StrArg(text.data(), text.size()))); }
std::string Decode(const std::string& hex) { return S(PduToText(StrArg(hex.data(), hex.size()))); }

TEST_F(Codec, EncodesWorkedExamples) {
    struct Case { std::string text, pdu; } cases[] = {
        {"", ""},
        {"H", "48"},
        {"Hi", "C834"},
        {"Test", "D4F29C0E"},
        {"abcdefg", "61F1985C369F01"},
        {"abcdefgh", "61F1985C369FD100"},
        {"abcdefghi", "61F1985C369FD16900"},
        {"Hallo, ich bins!", "C8309BFD6681D26334489C76CF430000"},
        {"\xE9\x80", "0000"},
        {"a_b", "61A018"},
        {"\xE4\xF6\xFC\xC4\xD6\xDC\xDF$@", "7BBE7FCBF57A040000"},
        {"A\r\nB", "C1864208"},
    };
    for (const Case& c : cases) EXPECT_EQ(Encode(c.text), c.pdu) << "text '" << c.text << "'";
}

TEST_F(Codec, DecodesWorkedExamples) {
    struct Case { std::string pdu, text; } cases[] = {
        {"C834", "Hi"},
        {"C8349", "Hi"},
        {"48", "H"},
        {"00", "@"},
        {"0000", "@@"},
        {"80", "@"},
        {"FF", " "},
        {"", ""},
        {"7", ""},
        {"61F1985C369FD100", "abcdefgh"},
        {"61F1985C369FD1", "abcdefg"},
        {"C8309BFD6681D26334489C76CF430000", "Hallo, ich bins!"},
        {"C8309BFD6681D26334489C76CF43", "Hallo, ich bin"},
        {"7BBE7FCBF57A040000", "\xE4\xF6\xFC\xC4\xD6\xDC\xDF$@"},
        {"C1864208", "A\r\nB"},
    };
    for (const Case& c : cases) EXPECT_EQ(Decode(c.pdu), c.text) << "pdu '" << c.pdu << "'";
}

TEST_F(Codec, DecoderReadsLowerCaseHexAndSkipsWhiteSpace) {
    struct Case { std::string pdu, text; } cases[] = {
        {"c834", "Hi"},
        {"C8 34", "Hi"},
        {" c8\t34\r\n", "Hi"},
        {"C8 349", "Hi"},                   // odd count after the space is gone
        {"d4f29c0e", "Test"},
        {"C8\n30 9B FD 66 81 D2 63 34 48 9C 76 CF 43 00 00", "Hallo, ich bins!"},
        {"XY", "@"},                        // junk counts as the digit 0
        {"C8G4", "H "},                     // G reads as 0: octet 04, code 8 is not mapped
        {"  ", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(Decode(c.pdu), c.text) << "pdu '" << c.pdu << "'";
}

TEST_F(Codec, CharacterMapIsOneToOneOnItsTable) {
    int mapped = 0;
    for (int byte = 1; byte <= 255; ++byte) {
        char ch[2] = {static_cast<char>(byte), 0};
        int16_t code = LatinToGsm(ch);
        ASSERT_GE(code, 0);
        ASSERT_LE(code, 126);
        std::string back = S(GsmToLatin(code));
        ASSERT_EQ(back.size(), 1u);
        if (code != 0 || byte == '@') {
            ++mapped;
            EXPECT_EQ(static_cast<unsigned char>(back[0]), byte) << "byte " << byte;
        } else {
            EXPECT_EQ(back, "@") << "unmapped byte " << byte;
        }
    }
    EXPECT_EQ(mapped, 96);
    int decoded = 0;
    for (int code = 0; code <= 127; ++code) {
        std::string ch = S(GsmToLatin(static_cast<int16_t>(code)));
        if (ch != " " || code == 32) {
            ++decoded;
            EXPECT_EQ(LatinToGsm(StrArg(ch.data(), ch.size())), code);
        }
    }
    EXPECT_EQ(decoded, 96);
}

TEST_F(Codec, CharacterMapEdges) {
    EXPECT_EQ(LatinToGsm("@"), 0);
    EXPECT_EQ(LatinToGsm("\xE9"), 0);
    EXPECT_EQ(LatinToGsm("\x80"), 0);
    EXPECT_EQ(LatinToGsm("_"), 64);
    EXPECT_EQ(LatinToGsm("$"), 2);
    EXPECT_EQ(LatinToGsm("\xA8"), 96);
    EXPECT_EQ(LatinToGsm(""), 0);
    EXPECT_EQ(LatinToGsm(nullptr), 0);
    EXPECT_EQ(LatinToGsm("Az"), 65);
    EXPECT_EQ(LatinToGsm("\t"), 0);
    EXPECT_EQ(LatinToGsm("\n"), 10);
    EXPECT_EQ(LatinToGsm("\r"), 13);
    EXPECT_EQ(S(GsmToLatin(0)), "@");
    EXPECT_EQ(S(GsmToLatin(64)), "_");
    EXPECT_EQ(S(GsmToLatin(36)), " ");
    EXPECT_EQ(S(GsmToLatin(96)), "\xA8");
    for (int16_t code : {1, 127, 200, -1, 32767, -32768}) EXPECT_EQ(S(GsmToLatin(code)), " ") << code;
}

TEST_F(Codec, BinaryHelpers) {
    struct Case { int16_t value; const char* seven; const char* four; } cases[] = {
        {0, "0000000", "0000"}, {1, "0000001", "0001"}, {2, "0000010", "0010"},
        {10, "0001010", "1010"}, {15, "0001111", "1111"}, {126, "1111110", "1111110"},
        {127, "1111111", "1111111"}, {128, "10000000", "10000000"}, {511, "111111111", "111111111"},
        {1024, "10000000000", "10000000000"},  // beyond the step arrays: digits still right
    };
    for (const Case& c : cases) {
        EXPECT_EQ(S(ToBinary7(c.value)), c.seven) << c.value;
        EXPECT_EQ(S(ToBinary4(c.value)), c.four) << c.value;
    }
    EXPECT_EQ(Binary4ToInt("0000"), 0);
    EXPECT_EQ(Binary4ToInt("1111"), 15);
    EXPECT_EQ(Binary4ToInt("1100"), 12);
    EXPECT_EQ(Binary4ToInt("10"), 8);
    EXPECT_EQ(Binary4ToInt(""), 0);
    EXPECT_EQ(Binary7ToInt("1001000"), 72);
    EXPECT_EQ(Binary7ToInt("1111111"), 127);
    EXPECT_EQ(Binary7ToInt("1"), 64);
    EXPECT_EQ(S(SwapPair("C8")), "8C");
    EXPECT_EQ(S(SwapPair("C")), "CC");
    EXPECT_EQ(S(SwapPair("")), "");
    EXPECT_EQ(HexDigitToInt("F"), 15);
    EXPECT_EQ(HexDigitToInt("f"), 15);
    EXPECT_EQ(HexDigitToInt("a"), 10);
    EXPECT_EQ(HexDigitToInt("9"), 9);
    EXPECT_EQ(HexDigitToInt("G"), 0);
    EXPECT_EQ(HexDigitToInt(""), 0);
}

// Reference packer written from the format's arithmetic definition.
std::string ReferencePdu(const std::string& text) {
    std::string out;
    size_t n = text.size();
    std::vector<unsigned> octets(n, 0);
    for (size_t k = 0; k < n; ++k) {
        char ch[2] = {text[k], 0};
        unsigned code = static_cast<unsigned>(LatinToGsm(ch));
        for (unsigned b = 0; b < 7; ++b)
            if (code >> b & 1) octets[(7 * k + b) / 8] |= 1u << ((7 * k + b) % 8);
    }
    static const char* hex = "0123456789ABCDEF";
    for (unsigned o : octets) { out += hex[o >> 4]; out += hex[o & 15]; }
    return out;
}

TEST_F(Codec, RandomTextsMatchTheReferenceAndRoundTrip) {
    std::mt19937 rng(20261206);
    for (int round = 0; round < 300; ++round) {
        size_t n = rng() % 70;
        std::string text;
        for (size_t i = 0; i < n; ++i) text += static_cast<char>(1 + rng() % 255);
        std::string pdu = Encode(text);
        ASSERT_EQ(pdu, ReferencePdu(text));
        std::string expected;
        for (char c : text) {
            char ch[2] = {c, 0};
            expected += S(GsmToLatin(LatinToGsm(ch)));
        }
        ASSERT_EQ(Decode(pdu), expected);
    }
}

TEST_F(Codec, LongTextsConvertWhole) {
    std::string text;
    for (int i = 0; i < 100000; ++i) text += "Hallo, ich bins!"[i % 16];
    std::string pdu = Encode(text);
    ASSERT_EQ(pdu.size(), 200000u);
    EXPECT_EQ(pdu, ReferencePdu(text));
    EXPECT_EQ(Decode(pdu), text);
}

TEST_F(Codec, ConversionsGiveBackEveryBlock) {
    HeapUsage strings = HeapUsageOf(StringHeap());
    HeapUsage program = HeapUsageOf(ProgramHeap());
    for (int i = 0; i < 50; ++i) {
        Str pdu = TextToPdu("Hallo, ich bins! \xE4\xF6\xFC");
        Str text = PduToText(pdu);
    }
    EXPECT_EQ(HeapUsageOf(StringHeap()).blocks, strings.blocks);
    EXPECT_EQ(HeapUsageOf(StringHeap()).bytes, strings.bytes);
    EXPECT_EQ(HeapUsageOf(ProgramHeap()).blocks, program.blocks);
    EXPECT_EQ(HeapUsageOf(ProgramHeap()).bytes, program.bytes);
}

}  // namespace
