// libGammu as a peer of the converter in the benchmarks: text to PDU hex and
// back through the calls its users would make.
#pragma once
#include <string>
#include <vector>

#include <gammu.h>

// Exported by libGammu but missing from its public headers.
extern "C" {
void EncodeDefault(unsigned char* dest, const unsigned char* src, size_t* len, gboolean UseExtensions,
                   unsigned char* ExtraAlphabet);
void DecodeDefault(unsigned char* dest, const unsigned char* src, size_t len, gboolean UseExtensions,
                   unsigned char* ExtraAlphabet);
int GSM_PackSevenBitsToEight(size_t offset, const unsigned char* input, unsigned char* output, size_t length);
int GSM_UnpackEightBitsToSeven(size_t offset, size_t in_length, size_t out_length, const unsigned char* input,
                               unsigned char* output);
}

// Buffers are sized once, outside the timed calls.
struct Gammu {
    std::vector<unsigned char> ucs, gsm, packed;
    std::vector<char> hex, text;
    explicit Gammu(size_t n) : ucs(2 * (2 * n + 2)), gsm(2 * n + 2), packed(2 * n + 2), hex(4 * n + 4), text(2 * n + 2) {}

    // Text to PDU hex; returns the number of hex digits.
    size_t Encode(const std::string& in) {
        EncodeUnicode(ucs.data(), in.c_str(), in.size());
        size_t len = in.size();
        EncodeDefault(gsm.data(), ucs.data(), &len, TRUE, nullptr);
        int octets = GSM_PackSevenBitsToEight(0, gsm.data(), packed.data(), len);
        EncodeHexBin(hex.data(), packed.data(), static_cast<size_t>(octets));
        return 2 * static_cast<size_t>(octets);
    }
    // PDU hex of `septets` characters to text.
    std::string Decode(const char* in, size_t digits, size_t septets) {
        DecodeHexBin(packed.data(), reinterpret_cast<const unsigned char*>(in), digits);
        GSM_UnpackEightBitsToSeven(0, digits / 2, septets, packed.data(), gsm.data());
        DecodeDefault(ucs.data(), gsm.data(), septets, TRUE, nullptr);
        DecodeUnicode(ucs.data(), text.data());
        return std::string(text.data());
    }
};
