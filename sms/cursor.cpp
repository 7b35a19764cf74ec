#include "sms/cursor.h"

#include <cstdio>

namespace sms {

std::string Format(const char* format, long a, long b, long c) {
    char buffer[160];
    snprintf(buffer, sizeof buffer, format, a, b, c);
    return buffer;
}

std::string Hex(const uint8_t* octets, size_t count) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < count; ++i) {
        s += kHex[octets[i] >> 4];
        s += kHex[octets[i] & 15];
    }
    return s;
}

std::string Hex(const Bytes& octets) { return Hex(octets.data(), octets.size()); }

std::string Binary(int value, int bits) {
    std::string s;
    for (int b = bits - 1; b >= 0; --b) s += value >> b & 1 ? '1' : '0';
    return s;
}

bool Cursor::Fail(size_t at, const std::string& what) {
    error_->offset = at;
    error_->what = what;
    return false;
}

void Cursor::Record(size_t n, const char* field) {
    recorded_ = trace_ && n > 0;
    if (recorded_) trace_->spans.push_back(Span{pos_, n, field, "", -1, -1});
    pos_ += n;
}

bool Cursor::Take(size_t n, const char* field, const std::string& words, const uint8_t** octets) {
    if (n > Left()) return Fail(pos_, words + " is missing: the data ends here");
    if (octets) *octets = pdu_.data() + pos_;
    Record(n, field);
    return true;
}

bool Cursor::TakeOctet(const char* field, const std::string& words, int* value) {
    const uint8_t* p;
    if (!Take(1, field, words, &p)) return false;
    *value = *p;
    return true;
}

bool Cursor::TakeCounted(size_t n, const char* field, size_t lengthAt, const std::string& tooShort,
                         const uint8_t** octets) {
    if (n > Left()) return Fail(lengthAt, tooShort);
    if (octets) *octets = pdu_.data() + pos_;
    Record(n, field);
    return true;
}

void Cursor::Means(const std::string& meaning) {
    if (recorded_) trace_->spans.back().meaning = meaning;
}

void Cursor::Bits(size_t offset, int high, int low, const char* field, const std::string& meaning) {
    if (trace_) trace_->spans.push_back(Span{offset, 1, field, meaning, high, low});
    recorded_ = false;
}

}  // namespace sms
