// The decoder on arbitrary bytes, against a bit-arithmetic model: one
// character per whole digit pair left after white space is removed, each the
// septet at bit 7k of the octets; re-encoding the text and decoding again
// changes nothing, and the encoder's own output survives the round trip.
#include <string>
#include <vector>

#include "codec/codec.h"
#include "fuzz/fuzz_check.h"
#include "runtime/arrays.h"
#include "runtime/heap.h"

namespace {

int ModelDigit(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 0;
}

std::string ModelDecode(const std::string& input) {
    std::string digits;
    for (char c : input)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') digits += c;
    size_t m = digits.size() / 2;
    std::vector<unsigned> octets(m);
    for (size_t j = 0; j < m; ++j)
        octets[j] = static_cast<unsigned>(ModelDigit(digits[2 * j]) << 4 | ModelDigit(digits[2 * j + 1]));
    std::string text;
    for (size_t k = 0; k < m; ++k) {
        unsigned code = 0;
        for (unsigned b = 0; b < 7; ++b) {
            size_t bit = 7 * k + b;
            if (octets[bit / 8] >> (bit % 8) & 1) code |= 1u << b;
        }
        text += ModelFromGsm(static_cast<int>(code));
    }
    return text;
}

std::string Std(const Str& s) { return std::string(s.Text(), s.Length()); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = (ProgramHeapInit(), StringRuntimeInit(), ArrayRuntimeInit(), true);
    (void)ready;
    std::string input(reinterpret_cast<const char*>(data), size);
    Str text = PduToText(StrArg(input.data(), input.size()));
    FUZZ_CHECK(TempEnd() == 0);
    FUZZ_CHECK(Std(text) == ModelDecode(input));

    Str again = TextToPdu(text);
    Str back = PduToText(again);
    FUZZ_CHECK(Std(back) == Std(text));

    // Treated as a message, the input's encoding decodes and re-encodes to
    // the same octets.
    Str pdu = TextToPdu(StrArg(input.data(), input.size()));
    Str pdu2 = TextToPdu(PduToText(pdu));
    FUZZ_CHECK(Std(pdu2) == Std(pdu));
    FUZZ_CHECK(TempEnd() == 0);
    return 0;
}
