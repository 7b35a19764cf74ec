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

// Whether primitive `op` on `arg` (whose text is `a`), with the counts `n`
// and `m` and `fill` (whose text is `b`), gives what its model gives. `arg`
// is consumed once, as by any primitive.
inline bool PrimitiveIsRight(int op, StrArg arg, const std::string& a, int64_t n, int64_t m, StrArg fill,
                             const std::string& b) {
    size_t skip = n <= 1 ? 0 : Clamp(n - 1, a.size());  // a start of 1 or less is the first character
    std::string padded = a.substr(0, Clamp(n % 5000, a.size()));  // a pad has its whole length
    padded.resize(Clamp(n % 5000, SIZE_MAX), b.empty() ? ' ' : b[0]);
    switch (op) {
        case kLeft: return Std(StrLeft(arg, n)) == a.substr(0, Clamp(n, a.size()));
        case kRight: return Std(StrRight(arg, n)) == a.substr(a.size() - Clamp(n, a.size()));
        case kMid: return Std(StrMid(arg, n, m)) == a.substr(skip, Clamp(m, a.size() - skip));
        case kPad: return Std(StrPad(arg, n % 5000, fill)) == padded;
        case kReverse: return Std(StrReverse(arg)) == std::string(a.rbegin(), a.rend());
        case kDecToInt: return ::DecToInt(arg) == DecToInt(a);
        case kAsc: return StrAsc(arg) == (a.empty() ? 0 : static_cast<unsigned char>(a[0]));
        case kNumber: {
            char hex[24];
            snprintf(hex, sizeof hex, "%llX", static_cast<unsigned long long>(n));
            return TempConsume(arg), Std(IntToDec(n)) == std::to_string(n) && Std(IntToHex(n)) == hex;
        }
        default: return Std(arg + fill) == a + b;
    }
}

}  // namespace model
