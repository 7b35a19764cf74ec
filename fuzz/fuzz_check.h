// Shared by the fuzz targets: a check that aborts (so libFuzzer keeps the
// input), a reader that turns the input into arguments, and the converter's
// reference.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "codec/codec_test_support.h"

[[noreturn]] inline void FuzzFail(const char* file, int line, const char* what) {
    fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    abort();
}
#define FUZZ_CHECK(cond) ((cond) ? (void)0 : FuzzFail(__FILE__, __LINE__, #cond))

struct FuzzInput {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    bool More() const { return pos < size; }
    uint8_t Byte() { return pos < size ? data[pos++] : 0; }
    uint16_t Word() { return static_cast<uint16_t>(Byte() | Byte() << 8); }
    int64_t Int64() {
        uint64_t v = 0;
        for (int i = 0; i < 8; ++i) v = v << 8 | Byte();
        return static_cast<int64_t>(v);
    }
    int64_t Count() {  // mostly small, sometimes negative, anywhere or at the edges
        uint8_t k = Byte();
        return k < 224 ? Byte() : k < 240 ? -Byte() : k < 248 ? Int64() : k & 1 ? INT64_MIN : INT64_MAX;
    }
    std::string Text(size_t most) {  // never code 0
        std::string s(Byte() % (most + 1), ' ');
        for (char& c : s) c = static_cast<char>(Byte() | 1);
        return s;
    }
};
