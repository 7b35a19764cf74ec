// Shared by the fuzz targets: a check that aborts (so libFuzzer keeps the input),
// the runtime's set-up, and a reader that turns the input into arguments.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/runtime.h"

#define FUZZ_CHECK(cond) ((cond) ? (void)0 : (fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #cond), abort()))

inline void FuzzRuntimeInit() {
    [[maybe_unused]] static bool ready = (RuntimeInit(), true);
}

struct FuzzInput {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    bool More() const { return pos < size; }
    uint8_t Byte() { return pos < size ? data[pos++] : 0; }
    uint64_t Bytes(int n) {  // the first most significant
        uint64_t v = 0;
        while (n--) v = v << 8 | Byte();
        return v;
    }
    int64_t Count() {  // mostly small, sometimes negative, anywhere or at the edges
        uint8_t k = Byte();
        return k < 224 ? Byte() : k < 240 ? -Byte() : k < 248 ? Bytes(8) : k & 1 ? INT64_MIN : INT64_MAX;
    }
    std::string Text(size_t most) {  // never code 0
        std::string s(Byte() % (most + 1), ' ');
        for (char& c : s) c = static_cast<char>(Byte() | 1);
        return s;
    }
    std::string Rest() { return std::string(reinterpret_cast<const char*>(data + pos), size - pos); }
};
