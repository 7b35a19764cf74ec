// Shared by the fuzz targets: a check that aborts (so libFuzzer reports the
// input) and a reader that turns the input into arguments.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(cond)                                                              \
    do {                                                                              \
        if (!(cond)) {                                                                \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);  \
            abort();                                                                  \
        }                                                                             \
    } while (0)

struct FuzzInput {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    bool More() const { return pos < size; }
    uint8_t Byte() { return pos < size ? data[pos++] : 0; }
    int64_t Int64() {
        uint64_t v = 0;
        for (int i = 0; i < 8; ++i) v = v << 8 | Byte();
        return static_cast<int64_t>(v);
    }
    // A count or start: mostly small, sometimes anywhere in the 32-bit range
    // or at its edges.
    int64_t Count() {
        switch (Byte() % 8) {
            case 0: return static_cast<int32_t>(static_cast<uint32_t>(Int64()));
            case 1: return INT32_MIN;
            case 2: return INT32_MAX;
            case 3: return -static_cast<int64_t>(Byte());
            default: return Byte();
        }
    }
    std::string Text(size_t most) {
        size_t n = Byte() % (most + 1);
        std::string s;
        for (size_t i = 0; i < n && More(); ++i) s += static_cast<char>(Byte() | 1);  // never code 0
        return s;
    }
};

// The converter's character map as a plain table, written from its rows.
inline int ModelToGsm(unsigned char c) {
    if (c == 10 || c == 13 || (c >= 32 && c <= 35) || (c >= 37 && c <= 63) || (c >= 65 && c <= 90) ||
        (c >= 97 && c <= 122))
        return c;
    switch (c) {
        case 36: return 2;
        case 95: return 64;
        case 168: return 96;
        case 196: return 91;
        case 214: return 92;
        case 220: return 94;
        case 223: return 30;
        case 228: return 123;
        case 246: return 124;
        case 252: return 126;
        default: return 0;
    }
}

inline char ModelFromGsm(int code) {
    for (int c = 1; c < 256; ++c)
        if (ModelToGsm(static_cast<unsigned char>(c)) == code && (code != 0 || c == '@')) return static_cast<char>(c);
    return ' ';
}
