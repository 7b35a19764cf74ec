#include "sms/text.h"

#include "sms/language.h"

namespace sms {

bool DecodeUtf8(const std::string& text, std::u32string* out, size_t* bad) {
    out->clear();
    size_t i = 0, n = text.size();
    while (i < n) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        bool ok = extra >= 0 && i + extra < n + (extra ? 0 : 1);
        for (int k = 1; ok && k <= extra; ++k) {
            unsigned char t = static_cast<unsigned char>(text[i + k]);
            ok = (t & 0xC0) == 0x80;
            c = c << 6 | (t & 0x3F);
        }
        static const char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        if (!ok || c < kLeast[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            *bad = i;
            return false;
        }
        out->push_back(c);
        i += extra + 1;
    }
    return true;
}

void AppendUtf8(std::string* out, char32_t c) {
    if (c < 0x80) {
        *out += static_cast<char>(c);
    } else if (c < 0x800) {
        *out += static_cast<char>(0xC0 | c >> 6);
        *out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out += static_cast<char>(0xE0 | c >> 12);
        *out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        *out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out += static_cast<char>(0xF0 | c >> 18);
        *out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        *out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        *out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The default alphabet and its extension table are the national tables with no language named.
bool ToSeptets(const std::u32string& text, Bytes* septets) { return ToSeptets(text, ShiftTables(), septets); }

std::string SeptetsToUtf8(const Bytes& septets) { return SeptetsToUtf8(septets, ShiftTables()); }

void PackSeptets(const Bytes& septets, int fill, Bytes* out) {
    uint32_t acc = 0;
    int bits = fill;
    for (uint8_t s : septets) {
        acc |= static_cast<uint32_t>(s & 0x7F) << bits;
        bits += 7;
        while (bits >= 8) {
            out->push_back(static_cast<uint8_t>(acc));
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0) out->push_back(static_cast<uint8_t>(acc));
}

Bytes UnpackSeptets(const uint8_t* data, int fill, size_t count) {
    Bytes out;
    out.reserve(count);
    for (size_t k = 0; k < count; ++k) {
        size_t bit = fill + 7 * k, octet = bit / 8;
        unsigned shift = bit % 8;
        unsigned v = data[octet] >> shift;
        if (shift > 1) v |= data[octet + 1] << (8 - shift);
        out.push_back(static_cast<uint8_t>(v & 0x7F));
    }
    return out;
}

std::vector<uint16_t> ToUtf16(const std::u32string& text) {
    std::vector<uint16_t> units;
    for (char32_t c : text) {
        if (c < 0x10000) {
            units.push_back(static_cast<uint16_t>(c));
        } else {
            c -= 0x10000;
            units.push_back(static_cast<uint16_t>(0xD800 | c >> 10));
            units.push_back(static_cast<uint16_t>(0xDC00 | (c & 0x3FF)));
        }
    }
    return units;
}

std::string Utf16ToUtf8(const std::vector<uint16_t>& units) {
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        AppendUtf8(&out, c);
    }
    return out;
}

}  // namespace sms
