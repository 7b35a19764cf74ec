#include "codec/codec.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "codec/codec_test_support.h"
#include "runtime/runtime_test_support.h"

namespace {

using model::Std;
using Codec = RuntimeTest;

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
    EXPECT_LT(before, between) << "the encoder's buffer did not grow";
    EXPECT_LT(between, TempCapacity()) << "the decoder's buffer did not grow";
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
        const bool fromPdu = a == "<";  // the line gives no PDU for the text: the converter encodes as the reference
        std::string text = fromPdu ? Unhex(c) : Unhex(a), pdu = fromPdu ? Unhex(b) : b == "-" ? "" : b;
        EXPECT_EQ(Std(TextToPdu(A(text))), fromPdu ? ref::Encode(text) : pdu) << "converter: " << line;
        if (!fromPdu) { EXPECT_EQ(ref::Encode(text), pdu) << "reference: " << line; }
        EXPECT_EQ(Std(PduToText(A(pdu))), ref::Mapped(text)) << "converter: " << line;
        EXPECT_EQ(ref::Decode(pdu), ref::Mapped(text)) << "reference: " << line;
    }
    EXPECT_GE(count, 60) << SMS_VECTORS;
}

}  // namespace
