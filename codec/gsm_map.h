// The character map between the text's bytes and GSM codes, inline: the
// decoder maps every character it reads, and a call would cost more than
// the tests themselves.
#pragma once
#include <cstdint>

#include "runtime/strings.h"

// The map is one-to-one between 96 Latin bytes and 96 GSM codes. It differs
// from the published alphabet in two rows, both directions alike: the low
// line is code 64 (not 17) and the spacing diaeresis (byte 168) is code 96.

namespace gsm_map_internal {
// Whether `c` lies in `low` to `high`, as one comparison.
SMS_INLINE bool Within(int c, int low, int high) {
    return static_cast<unsigned>(c - low) <= static_cast<unsigned>(high - low);
}
// Whether `c` is in a range that maps to itself, both directions alike. The
// codes of a message follow each other at random across these ranges: the
// six tests are all made and their answers added, which the compiler keeps
// free of branches (joined with || or |, it makes them branches again), so
// only the rare characters that map elsewhere take one.
SMS_INLINE bool MapsToItself(int c) {
    return (c == 10) + (c == 13) + Within(c, 32, 35) + Within(c, 37, 63) + Within(c, 65, 90) + Within(c, 97, 122);
}
}  // namespace gsm_map_internal

// Only the first character of `character` is looked at; a character outside
// the map (and "") gives code 0, the code of '@'.
inline int16_t LatinToGsm(StrArg character) {
    int c = StrAsc(character);
    if (SMS_LIKELY(gsm_map_internal::MapsToItself(c))) return static_cast<int16_t>(c);
    switch (c) {
        case 36: return 2;
        case 64: return 0;
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

// One character, never empty: a code outside the map gives a space.
SMS_INLINE Tmp GsmToLatin(int16_t code) {
    int c = code;
    int latin = 32;
    if (SMS_LIKELY(gsm_map_internal::MapsToItself(c))) {
        latin = c;
    } else {
        switch (c) {
            case 0: latin = 64; break;
            case 2: latin = 36; break;
            case 64: latin = 95; break;
            case 96: latin = 168; break;
            case 91: latin = 196; break;
            case 92: latin = 214; break;
            case 94: latin = 220; break;
            case 30: latin = 223; break;
            case 123: latin = 228; break;
            case 124: latin = 246; break;
            case 126: latin = 252; break;
            default: break;
        }
    }
    return StrChr(latin);
}
