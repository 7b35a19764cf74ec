#include "cli/cp1252.h"

#include <cstdint>

#include "sms/text.h"

namespace {

// Code points of Windows-1252 bytes 0x80 to 0x9F; 0 marks the five unused.
const uint16_t kHigh[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

int ToCp1252(uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] && kHigh[i] == cp) return 0x80 + i;
    return -1;
}

}  // namespace

std::string Utf8ToCp1252(const std::string& utf8, char unmapped) {
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0, n = utf8.size();
    while (i < n) {
        unsigned char b = static_cast<unsigned char>(utf8[i]);
        uint32_t cp;
        size_t extra;
        if (b < 0x80) { cp = b; extra = 0; }
        else if (b >= 0xC2 && b <= 0xDF) { cp = b & 0x1F; extra = 1; }
        else if (b >= 0xE0 && b <= 0xEF) { cp = b & 0x0F; extra = 2; }
        else if (b >= 0xF0 && b <= 0xF4) { cp = b & 0x07; extra = 3; }
        else { out += unmapped; ++i; continue; }
        size_t k = 1;
        for (; k <= extra && i + k < n; ++k) {
            unsigned char c = static_cast<unsigned char>(utf8[i + k]);
            if ((c & 0xC0) != 0x80) break;
            cp = cp << 6 | (c & 0x3F);
        }
        bool overlong = (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
        bool invalid = k <= extra || overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF);
        if (invalid) {
            // Skip the lead byte and the continuation bytes that belonged to it.
            out += unmapped;
            i += k;
            continue;
        }
        i += extra + 1;
        int byte = cp == 0 ? -1 : ToCp1252(cp);
        out += byte < 0 ? unmapped : static_cast<char>(byte);
    }
    return out;
}

std::string Cp1252ToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char ch : text) {
        unsigned char b = static_cast<unsigned char>(ch);
        uint32_t cp = b;
        if (b >= 0x80 && b <= 0x9F) cp = kHigh[b - 0x80] ? kHigh[b - 0x80] : 0xFFFD;
        sms::AppendUtf8(&out, cp);
    }
    return out;
}
