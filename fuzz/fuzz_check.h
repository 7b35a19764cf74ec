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
    uint16_t Word() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
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

// The converter's character map as a plain list of its rows (Latin byte,
// GSM code), for checking the converter against.
struct MapRow {
    int latin, gsm;
};
const MapRow kMapRows[] = {
    {10, 10}, {13, 13}, {36, 2}, {64, 0}, {95, 64}, {168, 96}, {196, 91}, {214, 92},
    {220, 94}, {223, 30}, {228, 123}, {246, 124}, {252, 126},
};
const MapRow kMapRanges[] = {{32, 35}, {37, 63}, {65, 90}, {97, 122}};  // map to themselves

inline int ModelToGsm(unsigned char c) {
    for (const MapRow& r : kMapRanges)
        if (c >= r.latin && c <= r.gsm) return c;
    for (const MapRow& r : kMapRows)
        if (c == r.latin) return r.gsm;
    return 0;  // outside the map: the code of '@'
}

inline char ModelFromGsm(int code) {
    for (int c = 1; c < 256; ++c)
        if (ModelToGsm(static_cast<unsigned char>(c)) == code && (code != 0 || c == '@')) return static_cast<char>(c);
    return ' ';
}
