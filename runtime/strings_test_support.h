// Plain models of the string primitives' rules, written on std::string and
// shared by the unit tests (over a grid of edge values) and the strings fuzz
// target (over arbitrary ones).
#pragma once
#include <algorithm>
#include <cstdio>
#include <string>
#include <tuple>

#include "runtime/arrays.h"

namespace model {

// What the runtime holds, less the temporary buffer (which only ever grows):
// the buffer's end, the string heap's blocks and bytes, the program heap's.
inline std::tuple<size_t, size_t, size_t, size_t, size_t> Holding() {
    HeapUsage s = HeapUsageOf(StringHeap()), p = HeapUsageOf(ProgramHeap());
    return std::make_tuple(TempEnd(), s.blocks, s.bytes - TempCapacity(), p.blocks, p.bytes);
}

inline std::string Std(StrArg value) {
    Str held = value;
    return std::string(held.Text(), held.Length());
}
inline size_t Clamp(int64_t n, size_t len) {
    return n <= 0 ? 0 : std::min<uint64_t>(static_cast<uint64_t>(n), len);
}

// Blanks and tabs, a sign, '$' (hex) or '%' (binary), digits up to the first
// that is not one; wrapping modulo 2^64.
inline int64_t DecToInt(const std::string& s) {
    size_t i = std::min(s.find_first_not_of(" \t"), s.size());
    bool negative = i < s.size() && s[i] == '-';
    i += i < s.size() && (s[i] == '-' || s[i] == '+');
    uint64_t base = i < s.size() && s[i] == '$' ? 16 : i < s.size() && s[i] == '%' ? 2 : 10, v = 0;
    for (i += base != 10; i < s.size(); ++i) {
        size_t digit = std::string("0123456789abcdef").find(static_cast<char>(tolower(s[i] & 0xFF)));
        if (digit >= base) break;
        v = v * base + digit;
    }
    return static_cast<int64_t>(negative ? 0 - v : v);
}

enum Op { kLeft, kRight, kMid, kPad, kReverse, kDecToInt, kAsc, kNumber, kConcat, kOps };

// One primitive call: how it is written, what its model gives and what the
// runtime gave.
struct Outcome {
    std::string call, expected, actual;
};

inline std::string Quoted(const std::string& s) { return "'" + s + "'"; }

// Primitive `op` on `arg` (whose text is `a`), with the counts `n` and `m`
// and `fill` (whose text is `b`), beside its model. `arg` is consumed once,
// as by any primitive.
inline Outcome Run(int op, StrArg arg, const std::string& a, int64_t n, int64_t m, StrArg fill,
                   const std::string& b) {
    const std::string sn = std::to_string(n), sm = std::to_string(m), qa = Quoted(a);
    size_t skip = n <= 1 ? 0 : Clamp(n - 1, a.size());  // a start of 1 or less is the first character
    int64_t width = n % 5000;                            // a pad is made whole
    std::string padded = a.substr(0, Clamp(width, a.size()));
    padded.resize(Clamp(width, SIZE_MAX), b.empty() ? ' ' : b[0]);
    switch (op) {
        case kLeft: return {"StrLeft(" + qa + ", " + sn + ")", Quoted(a.substr(0, Clamp(n, a.size()))), Quoted(Std(StrLeft(arg, n)))};
        case kRight:
            return {"StrRight(" + qa + ", " + sn + ")", Quoted(a.substr(a.size() - Clamp(n, a.size()))),
                    Quoted(Std(StrRight(arg, n)))};
        case kMid:
            return {"StrMid(" + qa + ", " + sn + ", " + sm + ")", Quoted(a.substr(skip, Clamp(m, a.size() - skip))),
                    Quoted(Std(StrMid(arg, n, m)))};
        case kPad:
            return {"StrPad(" + qa + ", " + std::to_string(width) + ", " + Quoted(b) + ")", Quoted(padded),
                    Quoted(Std(StrPad(arg, width, fill)))};
        case kReverse: return {"StrReverse(" + qa + ")", Quoted(std::string(a.rbegin(), a.rend())), Quoted(Std(StrReverse(arg)))};
        case kDecToInt: return {"DecToInt(" + qa + ")", std::to_string(DecToInt(a)), std::to_string(::DecToInt(arg))};
        case kAsc:
            return {"StrAsc(" + qa + ")", std::to_string(a.empty() ? 0 : static_cast<unsigned char>(a[0])),
                    std::to_string(StrAsc(arg))};
        case kNumber: {
            TempConsume(arg);
            char hex[24];
            snprintf(hex, sizeof hex, "%llX", static_cast<unsigned long long>(n));
            std::string dec = Std(IntToDec(n));
            return {"IntToDec(" + sn + ") IntToHex(" + sn + ")", sn + " " + hex, dec + " " + Std(IntToHex(n))};
        }
        default: return {qa + " + " + Quoted(b), Quoted(a + b), Quoted(Std(arg + fill))};
    }
}

}  // namespace model
