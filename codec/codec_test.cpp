#include "codec/codec.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "codec/codec_test_support.h"
#include "runtime/strings_test_support.h"

namespace {

using model::Std;

// Every test gives back all it takes.
class Codec : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ProgramHeapInit(), StringRuntimeInit(), ArrayRuntimeInit(); }
    void TearDown() override { EXPECT_EQ(model::Holding(), before_); }
    decltype(model::Holding()) before_ = model::Holding();
};

StrArg A(const std::string& s) { return StrArg(s.data(), s.size()); }
std::string Unhex(const std::string& hex) {  // "-" is empty
    std::string bytes;
    for (size_t i = 0; hex != "-" && i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

// A temporary handed straight to a conversion lies at the end of the buffer, and
// the conversion's own work makes the buffer grow (and move) under it. The sizes
// follow its capacity, made larger first for lengths beyond 32,767.
TEST_F(Codec, TemporaryArgumentsWhileTheBufferGrows) {
    TempReserve(40000, 0), TempSetEnd(0);
    size_t n = TempCapacity() - 6;  // the argument alone fits
    std::string text(n, ' ');
    for (size_t i = 0; i < n; ++i) text[i] = static_cast<char>(1 + i * 7919 % 255);
    Str held = A(text), pdu = ref::Encode(text).c_str();
    size_t before = TempCapacity();
    EXPECT_EQ(Std(TextToPdu(StrLeft(held, static_cast<int64_t>(n)))), ref::Encode(text));
    size_t between = TempCapacity();
    EXPECT_EQ(Std(PduToText(StrPad(pdu, static_cast<int64_t>(between - 6), " "))), ref::Mapped(text));
    EXPECT_TRUE(before < between && between < TempCapacity());
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
        std::string want = a == "<" ? ref::Encode(text) : pdu;  // the converter, the reference
        EXPECT_EQ(Std(TextToPdu(A(text))) + " " + ref::Encode(text), want + " " + want) << line;
        EXPECT_EQ(Std(PduToText(A(pdu))) + " " + ref::Decode(pdu), ref::Mapped(text) + " " + ref::Mapped(text))
            << line;
    }
    EXPECT_GE(count, 60) << SMS_VECTORS;
}

// The helpers outside the converter's range (the vectors cover the rest): more digits than
// the width, bit strings too long or short (missing digits read as 0), one hex digit, no text.
TEST_F(Codec, HelpersAtTheirEdges) {
    std::string got = Std(ToBinary7(511) + " " + ToBinary4(127) + " " + SwapPair("C"));
    for (const char* bits : {"111111111", "10", ""})
        got += " " + std::to_string(Binary7ToInt(bits) * 100 + Binary4ToInt(bits));
    EXPECT_EQ(got + " " + std::to_string(LatinToGsm(nullptr)), "111111111 1111111 CC 12715 6408 0 0");
}

}  // namespace
