// An independent reference for the converter, shared by the unit tests, the fuzz
// targets and codec/vectors.txt, sharing no code with the converter: the map is
// its table of rows, the packing the arithmetic definition. With X = c1 + c2 *
// 2^7 + ... for the codes, octet j is (X >> 8(j - 1)) mod 256; character k of a
// PDU is the code (X >> 7(k - 1)) mod 128 of its octets' X (held as a window).
#pragma once
#include <cctype>
#include <cstdint>
#include <string>

namespace ref {

struct MapRow { int first, last, gsm; };  // Latin bytes first..last are codes gsm.. in step
constexpr MapRow kMapRows[] = {
    {10, 10, 10}, {13, 13, 13}, {32, 35, 32}, {36, 36, 2}, {37, 63, 37}, {64, 64, 0}, {65, 90, 65}, {95, 95, 64},
    {97, 122, 97}, {168, 168, 96}, {196, 196, 91}, {214, 214, 92}, {220, 220, 94}, {223, 223, 30}, {228, 228, 123},
    {246, 246, 124}, {252, 252, 126},
};

inline int ToGsm(unsigned char c) {
    for (const MapRow& r : kMapRows)
        if (c >= r.first && c <= r.last) return r.gsm + c - r.first;
    return 0;  // outside the map: the code of '@'
}

inline char FromGsm(int code) {
    for (const MapRow& r : kMapRows)
        if (code >= r.gsm && code <= r.gsm + r.last - r.first) return static_cast<char>(r.first + code - r.gsm);
    return ' ';
}

// n octets for n characters: those of X, then 00.
inline std::string Encode(const std::string& text) {
    std::string pdu;
    uint32_t x = 0, bits = 0;  // the bits of X not yet written
    for (size_t j = 0, k = 0; j < text.size(); ++j, x >>= 8, bits -= bits < 8 ? bits : 8) {
        for (; bits < 8 && k < text.size(); bits += 7) x |= static_cast<uint32_t>(ToGsm(text[k++])) << bits;
        pdu += "0123456789ABCDEF"[x >> 4 & 15], pdu += "0123456789ABCDEF"[x & 15];
    }
    return pdu;
}

// Spaces, tabs and line breaks are dropped; lower-case digits count; any other
// character is the digit 0 in its place; an unpaired digit is ignored.
inline std::string Decode(const std::string& hex) {
    std::string digits, text;
    for (char c : hex)
        if (std::string(" \t\r\n").find(c) == std::string::npos)
            digits += static_cast<char>(isxdigit(c & 0xFF) ? std::stoi(std::string(1, c), nullptr, 16) : 0);
    uint32_t x = 0, bits = 0, m = static_cast<uint32_t>(digits.size() / 2);
    for (uint32_t j = 0; text.size() < m; ++j) {
        x |= static_cast<uint32_t>(digits[2 * j] * 16 + digits[2 * j + 1]) << bits;
        for (bits += 8; bits >= 7 && text.size() < m; bits -= 7, x >>= 7) text += FromGsm(x & 127);
    }
    return text;
}

// The text as the converter gives it back: characters outside the map as '@'.
inline std::string Mapped(const std::string& text) { return Decode(Encode(text)); }

}  // namespace ref
