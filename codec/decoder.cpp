#include "codec/codec.h"
#include "runtime/arrays.h"

namespace {

bool IsWhiteSpace(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Whether `text` may hold white space: a byte below '!' (the white space
// characters are all such bytes; hex digits are none). Most PDUs have none
// and are then used as they are given, not copied.
bool MayHoldWhiteSpace(const StrArg& text) {
    const char* p = text.Ptr();
    for (size_t i = 0; i < text.Length(); ++i)
        if (static_cast<unsigned char>(p[i]) < '!') return true;
    return false;
}

// PDUs copied from logs and modem traces come with spaces and line breaks
// between the octets; they carry no digits and are dropped before pairing.
Tmp WithoutWhiteSpace(StrArg textArg) {
    StrArg text = textArg.Pinned();
    int64_t n = StrLen(text);
    Str kept = "";
    int64_t runStart = 1;  // first character of the run not yet copied
    for (int64_t i = 1; i <= n; ++i) {
        if (IsWhiteSpace(StrAsc(StrMid(text, i, 1)))) {
            kept.Append(StrMid(text, runStart, i - runStart));
            runStart = i + 1;
        }
    }
    kept.Append(StrMid(text, runStart, n - runStart + 1));
    return ReturnString(kept, textArg);
}

}  // namespace

// The octets are taken in reverse order, each as eight binary digits, so the
// bit string reads as the packed stream taken as one binary number. Its last
// 7m digits hold the m codes, the first character's code rightmost. A digit
// without a partner (odd length) takes no part.
Tmp PduToText(StrArg hexArg) {
    StrArg given = hexArg.Pinned();
    Str stripped;
    StrArg hex = given;
    if (MayHoldWhiteSpace(given)) {
        stripped = WithoutWhiteSpace(given);
        hex = stripped;
    }
    int64_t n = StrLen(hex);
    int64_t m = n / 2;
    Str rearranged, bits, result;
    Array<Str> pairs(static_cast<size_t>(m));
    Array<Str> digitBits(static_cast<size_t>(n));
    Array<Str> codes(static_cast<size_t>(m));
    Array<int16_t> values(static_cast<size_t>(m));

    rearranged = "";
    for (int64_t i = 0; i <= m - 1; ++i) {
        pairs[static_cast<size_t>(i)] = SwapPair(StrMid(hex, 2 * i + 1, 2));
        rearranged.Append(pairs[static_cast<size_t>(i)]);
    }
    rearranged = StrReverse(rearranged);

    bits = "";
    for (int64_t i = 0; i <= 2 * m - 1; ++i) {
        size_t d = static_cast<size_t>(i);
        digitBits[d] = ToBinary4(HexDigitToInt(StrMid(rearranged, i + 1, 1)));
        bits.Append(digitBits[d]);
    }
    bits = StrRight(bits, 7 * m);

    result = "";
    for (int64_t i = 0; i <= StrLen(bits) / 7 - 1; ++i) {
        size_t c = static_cast<size_t>(i);
        codes[c] = StrMid(bits, 7 * i + 1, 7);
        values[c] = Binary7ToInt(codes[c]);
        codes[c] = GsmToLatin(values[c]);
        result.Prepend(codes[c]);
    }
    return ReturnString(result, hexArg);
}

Tmp SwapPair(StrArg pairArg) {
    StrArg pair = pairArg.Pinned();
    return TempKeep(StrRight(pair, 1) + StrLeft(pair, 1), pairArg);
}

// Lower-case 'a' to 'f' carry their value too: PDUs are often written so.
// Every other character counts as the digit 0 in its position.
// Digits and letters follow each other at random in a PDU: the three tests
// are all made, and the value is picked without a branch.
int16_t HexDigitToInt(StrArg digit) {
    int c = StrAsc(digit);
    bool decimal = (c >= '0') & (c <= '9');
    bool upper = (c >= 'A') & (c <= 'F');
    bool lower = (c >= 'a') & (c <= 'f');
    // Each value masked by its test and the three added: written as choices,
    // the compiler made them branches again.
    int value = ((c - '0') & -int{decimal}) + ((c - 'A' + 10) & -int{upper}) + ((c - 'a' + 10) & -int{lower});
    return static_cast<int16_t>(value);
}
