#include "codec/codec.h"
#include "runtime/arrays.h"

// The bit string stands for the packed stream read as one binary number,
// most significant digit first: n digits '0', then the seven-digit codes from
// the last character to the first. Cut into n groups of eight from the left,
// group i is octet n - i + 1, so the groups are emitted from right to left.
// The leading zeros fill the last floor(n / 8) octets: the padding.
Tmp TextToPdu(StrArg textArg) {
    StrArg text = textArg.Pinned();
    int64_t n = StrLen(text);
    Str bits, result;
    Array<Str> groups(static_cast<size_t>(n) + 1);
    Array2<Str> halves(static_cast<size_t>(n) + 1, 3);
    Array2<Str> digits(static_cast<size_t>(n) + 1, 3);

    bits = StrPad("", n, "0");
    for (int64_t i = 1; i <= n; ++i) bits.Append(ToBinary7(LatinToGsm(StrMid(text, n - i + 1, 1))));

    result = "";
    for (int64_t i = n; i >= 1; --i) {
        size_t g = static_cast<size_t>(i);
        groups[g] = StrMid(bits, 8 * i - 7, 8);
        halves(g, 1) = StrMid(groups[g], 1, 4);
        halves(g, 2) = StrMid(groups[g], 5, 4);
        digits(g, 1) = IntToHex(Binary4ToInt(halves(g, 1)));
        digits(g, 2) = IntToHex(Binary4ToInt(halves(g, 2)));
        result.Append(digits(g, 1));
        result.Append(digits(g, 2));
    }
    return ReturnString(result, textArg);
}
