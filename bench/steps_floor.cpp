// What the converter's own steps cost at the least, beside libGammu's whole
// conversion, at 32,767 characters (or any other count).
//
// Per character the converter calls small procedures: encoding, ToBinary7
// once and Binary4ToInt twice; decoding, ToBinary4 twice and Binary7ToInt
// once. Each dimensions its own small arrays in the program heap, does its
// digit arithmetic in floating point one step at a time, and releases the
// arrays. This program times, for each direction:
//   - libGammu's whole conversion (as codec_bench calls it);
//   - the converter's procedures, called per character as the converter does;
//   - the same steps at their least: the arrays through DimArray and
//     ReleaseArray, but the digits kept as bare 64-bit values, which no
//     string can beat;
//   - those steps again with the arrays on the stack, which arrays may not
//     be (they live in the program heap): what the heap work costs.
// Everything else the converter does per character comes on top of the
// procedures. Each figure is the best of many calls, taken in turn.
//
//   steps_floor [--chars=N] [--rounds=N]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "bench/gammu_peer.h"
#include "codec/codec.h"
#include "runtime/runtime.h"

namespace {

double ThreadMs() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Small arrays of 16-bit integers, in the program heap or on the stack.
struct HeapInts {
    Array<int16_t> a;
    explicit HeapInts(size_t upper) : a(upper) {}
    int16_t& operator[](size_t i) { return a[i]; }
};
struct StackInts {
    int16_t a[9] = {};
    explicit StackInts(size_t) { asm volatile("" : : "r"(a) : "memory"); }
    int16_t& operator[](size_t i) { return a[i]; }
};

// The halving steps of ToBinary7/ToBinary4: quotient in double precision,
// truncated; remainder put in front; '0' in front up to the width. The digits
// are a value, the first in the low byte.
template <class Ints>
SMS_INLINE uint64_t LeastToBinary(int16_t value, int width, size_t upper) {
    Ints quotients(upper), remainders(upper);
    uint64_t digits = 0;
    int len = 0;
    if (value == 0 || value == 1) {
        digits = '0' + static_cast<uint64_t>(value);
        len = 1;
    } else {
        int32_t v = value;
        size_t step = 0;
        do {
            ++step;
            int32_t quotient = TruncToInt(v / 2.0), remainder = v % 2;
            quotients[step] = static_cast<int16_t>(quotient);
            remainders[step] = static_cast<int16_t>(remainder);
            v = quotient;
            digits = digits << 8 | static_cast<uint64_t>('0' + remainder);
            ++len;
        } while (v >= 2);
        digits = digits << 8 | static_cast<uint64_t>('0' + v);
        ++len;
    }
    for (; len < width; ++len) digits = digits << 8 | '0';
    return digits;
}

// The weighted digit reads of Binary7ToInt/Binary4ToInt: each digit stored,
// weighted by PowF, the running sum rounded to nearest after every step.
template <class Ints>
SMS_INLINE int16_t LeastFromBinary(uint64_t chars, int width) {
    Ints digits(static_cast<size_t>(width) + 1);
    int16_t sum = 0;
#pragma GCC unroll 8
    for (int i = 1; i <= width; ++i) {
        int c = static_cast<int>(chars >> (8 * (i - 1)) & 0xFF);
        digits[static_cast<size_t>(i)] = static_cast<int16_t>(c >= '0' && c <= '9' ? c - '0' : 0);
        float weight = PowF(2.0f, static_cast<float>(width) - static_cast<float>(i));
        sum = static_cast<int16_t>(RoundToInt(sum + static_cast<double>(digits[static_cast<size_t>(i)]) * weight));
    }
    return sum;
}

template <class Ints> struct Kind { using Type = Ints; };

uint64_t Bits(int value, int width) {
    uint64_t c = 0;
    for (int i = 0; i < width; ++i) c |= static_cast<uint64_t>('0' + (value >> (width - 1 - i) & 1)) << (8 * i);
    return c;
}

// One timed call; `want` is what it must give back, and the first entry of
// each direction is the peer the others are measured against.
struct Timed {
    const char* direction;
    const char* name;
    std::function<long()> call;
    long want;
    double best = 1e300;
};

}  // namespace

int main(int argc, char** argv) {
    int rounds = 200;
    size_t chars = 32767;
    for (int i = 1; i < argc; ++i) {
        if (!strncmp(argv[i], "--rounds=", 9)) rounds = atoi(argv[i] + 9);
        else if (!strncmp(argv[i], "--chars=", 8)) chars = strtoull(argv[i] + 8, nullptr, 10);
        else return fprintf(stderr, "usage: steps_floor [--chars=N] [--rounds=N]\n"), 2;
    }
    if (rounds < 1 || chars < 1) return fprintf(stderr, "steps_floor: --chars and --rounds must be positive\n"), 2;
    RuntimeInit();

    // A text of printable characters in the map, its PDU, and the values the
    // procedures see for it: codes, nibbles, and their binary digits.
    std::string text;
    for (size_t i = 0; i < chars; ++i) text += static_cast<char>('A' + (i * 7919) % 26);
    const std::string pdu = Str(TextToPdu(StrArg(text.data(), text.size()))).Text();
    const size_t m = chars, digitsCount = 2 * m;
    std::vector<int16_t> codes(m), nibbles(digitsCount);
    std::vector<uint64_t> codeBits(m), nibbleBits(digitsCount);
    Array<Str> codeStr(m), nibbleStr(digitsCount), out(digitsCount);
    for (size_t i = 0; i < m; ++i) {
        codes[i] = LatinToGsm(StrArg(&text[i], 1));
        codeBits[i] = Bits(codes[i], 7);
        codeStr[i] = ToBinary7(codes[i]);
    }
    for (size_t i = 0; i < digitsCount; ++i) {
        nibbles[i] = HexDigitToInt(StrArg(&pdu[i], 1));
        nibbleBits[i] = Bits(nibbles[i], 4);
        nibbleStr[i] = ToBinary4(nibbles[i]);
    }

    // libGammu, as codec_bench calls it; buffers sized here.
    Gammu gammu(m);
    const size_t packedDigits = gammu.Encode(text);
    const std::string gammuHex(gammu.hex.data(), packedDigits);
    if (gammuHex != pdu.substr(0, packedDigits) || gammu.Decode(gammuHex.data(), packedDigits, m) != text) {
        fprintf(stderr, "steps_floor: libGammu and the converter disagree\n");
        return 1;
    }

    // Every variant must give the same values as the converter's procedures.
    long expectEncode = 0, expectDecode = 0;
    for (size_t i = 0; i < m; ++i) expectEncode += codes[i] + nibbles[2 * i] + nibbles[2 * i + 1];
    for (size_t i = 0; i < digitsCount; ++i) expectDecode += nibbles[i];
    for (size_t i = 0; i < m; ++i) expectDecode += codes[i];

    // The least steps of each direction, with either kind of array.
    auto leastEncode = [&](auto kind) {
        using Ints = typename decltype(kind)::Type;
        long s = 0;
        for (size_t i = 0; i < m; ++i) {
            s += LeastToBinary<Ints>(codes[i], 7, 8) != codeBits[i] ? -1 : codes[i];
            s += LeastFromBinary<Ints>(nibbleBits[2 * i], 4) + LeastFromBinary<Ints>(nibbleBits[2 * i + 1], 4);
        }
        return s;
    };
    auto leastDecode = [&](auto kind) {
        using Ints = typename decltype(kind)::Type;
        long s = 0;
        for (size_t i = 0; i < digitsCount; ++i)
            s += LeastToBinary<Ints>(nibbles[i], 4, 5) != nibbleBits[i] ? -1 : nibbles[i];
        for (size_t i = 0; i < m; ++i) s += LeastFromBinary<Ints>(codeBits[i], 7);
        return s;
    };

    std::vector<Timed> entries = {
        {"encode", "libGammu encode", [&] { return static_cast<long>(gammu.Encode(text)); },
         static_cast<long>(packedDigits)},
        {"encode", "procedures: ToBinary7 + 2 Binary4ToInt", [&] {
             long s = 0;
             for (size_t i = 0; i < m; ++i) {
                 out[i] = ToBinary7(codes[i]);
                 s += Binary4ToInt(nibbleStr[2 * i]) + Binary4ToInt(nibbleStr[2 * i + 1]);
                 s += codes[i];
             }
             return s;
         }, expectEncode},
        {"encode", "least steps, arrays in the heap", [&] { return leastEncode(Kind<HeapInts>()); }, expectEncode},
        {"encode", "least steps, arrays on the stack", [&] { return leastEncode(Kind<StackInts>()); }, expectEncode},
        {"decode", "libGammu decode",
         [&] { return static_cast<long>(gammu.Decode(gammuHex.data(), packedDigits, m).size()); },
         static_cast<long>(m)},
        {"decode", "procedures: 2 ToBinary4 + Binary7ToInt", [&] {
             long s = 0;
             for (size_t i = 0; i < digitsCount; ++i) {
                 out[i] = ToBinary4(nibbles[i]);
                 s += nibbles[i];
             }
             for (size_t i = 0; i < m; ++i) s += Binary7ToInt(codeStr[i]);
             return s;
         }, expectDecode},
        {"decode", "least steps, arrays in the heap", [&] { return leastDecode(Kind<HeapInts>()); }, expectDecode},
        {"decode", "least steps, arrays on the stack", [&] { return leastDecode(Kind<StackInts>()); }, expectDecode},
    };
    for (int r = 0; r < rounds; ++r) {
        for (Timed& e : entries) {
            double t0 = ThreadMs();
            long got = e.call();
            double ms = ThreadMs() - t0;
            if (got != e.want) {
                fprintf(stderr, "steps_floor: %s %s gave %ld, not %ld\n", e.direction, e.name, got, e.want);
                return 1;
            }
            if (ms < e.best) e.best = ms;
        }
    }
    printf("%zu characters, best of %d calls each          ms   /libGammu\n", chars, rounds);
    const Timed* peer = nullptr;
    for (const Timed& e : entries) {
        if (!peer || strcmp(peer->direction, e.direction)) peer = &e;
        printf("%-8s %-40s %7.3f %8.2fx\n", e.direction, e.name, e.best, e.best / peer->best);
    }
    return 0;
}
