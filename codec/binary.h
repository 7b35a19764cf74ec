// The binary digits of a code and back, inline: the converters call them
// for every character, and a call costs as much as a step.
//
// A rule of this header: the seven-digit sum is written into its caller only
// where the compiler is told to inline (SMS_FORCED_INLINING, runtime/heap.h).
// Where it is not (64-bit MinGW) it stays a call, which there was faster than
// the compiler's own choice to write it into the decoder's loop; the string
// arrays switch on the same condition (runtime/arrays.h, rule 2).
#pragma once
#include <cstdint>

#include "runtime/arrays.h"
#include "runtime/strings.h"

namespace binary_internal {

// Each public procedure below is an instance of these with its own constant
// width and bounds, so its loops are unrolled and its weights folded whether
// or not the compiler writes it into its caller.

// Binary digits of `value` by repeated halving, most significant first, with
// '0' put in front up to `width` digits. The quotients and remainders are
// kept in arrays of `upperBound` + 1 elements; a value needing more steps
// than they hold (outside the callers' range) still gets all its digits, the
// extra steps are just not recorded. Nothing reads the arrays back (see
// codec/codec.h).
template <int64_t width, size_t upperBound>
SMS_INLINE Tmp ToBinary(int16_t value) {
    Str digits;
    Array<int16_t> quotients(upperBound), remainders(upperBound);
    if (value == 0) {
        digits = StrPad("", width, "0");
    } else if (value == 1) {
        digits = StrPad("", width - 1, "0") + "1";
    } else {
        int32_t v = value;
        size_t step = 0;
        do {
            ++step;
            int32_t quotient = TruncToInt(v / 2.0);
            int32_t remainder = v % 2;
            if (step <= upperBound) {
                quotients[step] = static_cast<int16_t>(quotient);
                remainders[step] = static_cast<int16_t>(remainder);
            }
            v = quotient;
            digits.Prepend(IntToDec(remainder));
        } while (v >= 2);
        digits.Prepend(IntToDec(v));
    }
    if (StrLen(digits) < width) digits.Prepend(StrPad("", width - StrLen(digits), "0"));
    return ReturnString(digits);
}

// The value of the first `width` binary digits, each weighted from the left.
// A missing digit reads as 0.
template <int width>
SMS_INLINE int16_t FromBinary(StrArg bitsArg) {
    StrArg bits = bitsArg.Pinned();
    Array<int16_t> digits(static_cast<size_t>(width) + 1);
    double sum = 0;  // the 16-bit sum, as the double each step reads it
#pragma GCC unroll 8
    for (int i = 1; i <= width; ++i) {
        digits[static_cast<size_t>(i)] = static_cast<int16_t>(DecToInt(StrMid(bits, i, 1)));
        float weight = PowF(2.0f, static_cast<float>(width) - static_cast<float>(i));
        double next = sum + static_cast<double>(digits[static_cast<size_t>(i)]) * weight;
        sum = RoundedToInt16(next);
    }
    TempConsume(bitsArg);
    return static_cast<int16_t>(sum);
}

}  // namespace binary_internal

// At least seven binary digits.
SMS_INLINE Tmp ToBinary7(int16_t value) { return binary_internal::ToBinary<7, 8>(value); }
// At least four binary digits. Left to the compiler: written into the
// decoder's loop it made the loop slower.
inline Tmp ToBinary4(int16_t value) { return binary_internal::ToBinary<4, 5>(value); }
SMS_INLINE int16_t Binary4ToInt(StrArg bits) { return binary_internal::FromBinary<4>(bits); }
// Kept a call where the compiler is not told to inline (the rule above).
#if defined(__GNUC__) && !SMS_FORCED_INLINING
__attribute__((noinline))
#endif
SMS_INLINE int16_t Binary7ToInt(StrArg bits) { return binary_internal::FromBinary<7>(bits); }
