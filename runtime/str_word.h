// How a string variable's one word holds its text.
//
// A `Str` is a single pointer-sized word, so that a zero-filled string array
// is an array of unset strings. The word's value alone says what it holds;
// the two builds differ in how a short text is told from an address.
//
//   64-bit word                  | holds
//   -----------------------------+--------------------------------------------
//   0                            | nothing: the variable is unset
//   1                            | the empty text
//   top byte 0, 2 or more        | the address of the text's Str::Block (a
//                                | user-space address has a zero top byte;
//                                | blocks lie at even addresses)
//   top byte not 0               | a text of 1 to 8 characters: its last
//                                | character in bits 56-63, each one before
//                                | it a byte lower, zero bytes below its
//                                | first, whose number gives the length
//
//   32-bit word                  | holds
//   -----------------------------+--------------------------------------------
//   0                            | nothing: the variable is unset
//   bit 0 set                    | a text of 0 to 3 characters: its length in
//                                | bits 1-7, its characters from bit 8 up, the
//                                | first lowest (the empty text is the word 1)
//   bit 0 clear, not 0           | the address of the text's Str::Block
//
// On 64-bit a text whose first or last character is code 0 cannot be held
// (its length or its kind would not read back): it takes a block. The
// encoder's groups of eight binary digits fit the 64-bit word, which keeps
// a million of them out of the string heap.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/heap.h"

namespace str_word {

#if UINTPTR_MAX > 0xFFFFFFFFu
constexpr size_t kMax = 8;
constexpr uintptr_t kEmpty = 1;
constexpr uintptr_t kTopByte = uintptr_t(0xFF) << 56;

SMS_INLINE bool IsShort(uintptr_t w) { return (w & kTopByte) != 0; }
SMS_INLINE bool IsBlock(uintptr_t w) { return w >= 2 && !IsShort(w); }
// Of a short word: the zero bits below the text, a whole number of bytes.
SMS_INLINE unsigned Below(uintptr_t w) { return static_cast<unsigned>(__builtin_ctzll(w)) & 56u; }
SMS_INLINE size_t ShortLength(uintptr_t w) { return 8 - (Below(w) >> 3); }
SMS_INLINE uint64_t ShortChars(uintptr_t w) { return w >> Below(w); }
// The word of `len` (at most kMax) characters, the bytes of `chars` past
// them zero.
SMS_INLINE uintptr_t Pack(uint64_t chars, size_t len) { return len ? chars << (64 - 8 * len) : kEmpty; }
// Whether the word can hold these characters: neither the first nor the
// last may be code 0.
SMS_INLINE bool Fits(uint64_t chars, size_t len) { return !len || ((chars & 0xFF) && (chars << (64 - 8 * len)) >> 56); }

// The word with the piece `chars` (`add` characters, one at least) joined in
// front or at the end, or 0 when the joined text does not fit the word or
// would begin or end with code 0, and for a block's address.
SMS_INLINE uintptr_t Prepended(uintptr_t w, uint64_t chars, size_t add) {
    if (!(chars & 0xFF)) return 0;
    if (IsShort(w)) {
        // The piece goes into the zero bytes below the text.
        unsigned below = Below(w);
        return 8 * add <= below ? w | chars << (below - 8 * add) : 0;
    }
    return w < 2 && chars >> (8 * add - 8) ? chars << (64 - 8 * add) : 0;
}
SMS_INLINE uintptr_t Appended(uintptr_t w, uint64_t chars, size_t add) {
    if (!(chars >> (8 * add - 8))) return 0;
    if (IsShort(w)) {
        // The text slides down into the zero bytes below it.
        unsigned below = Below(w);
        return 8 * add <= below ? w >> (8 * add) | chars << (64 - 8 * add) : 0;
    }
    return w < 2 && (chars & 0xFF) ? chars << (64 - 8 * add) : 0;
}
#else
constexpr size_t kMax = 3;
constexpr uintptr_t kEmpty = 1;

SMS_INLINE bool IsShort(uintptr_t w) { return (w & 1) != 0; }
SMS_INLINE bool IsBlock(uintptr_t w) { return w != 0 && (w & 1) == 0; }
SMS_INLINE size_t ShortLength(uintptr_t w) { return (w >> 1) & 0x7F; }
SMS_INLINE uint64_t ShortChars(uintptr_t w) { return w >> 8; }
SMS_INLINE uintptr_t Pack(uint64_t chars, size_t len) { return static_cast<uintptr_t>(chars << 8 | len << 1 | 1); }
SMS_INLINE bool Fits(uint64_t, size_t) { return true; }

// The bits free in the word above its text: none for a block's address.
SMS_INLINE unsigned Space(uintptr_t w) {
    if (IsShort(w)) return static_cast<unsigned>(8 * (kMax - ShortLength(w)));
    return w ? 0 : 8 * kMax;
}
// As on 64-bit: the joined word, or 0.
SMS_INLINE uintptr_t Prepended(uintptr_t w, uint64_t chars, size_t add) {
    if (8 * add > Space(w)) return 0;
    return Pack(chars | ShortChars(w) << (8 * add), ShortLength(w) + add);
}
SMS_INLINE uintptr_t Appended(uintptr_t w, uint64_t chars, size_t add) {
    if (8 * add > Space(w)) return 0;
    return Pack(ShortChars(w) | chars << (8 * ShortLength(w)), ShortLength(w) + add);
}
#endif

// Whether a text of `len` characters, one at least, may go in the word: the
// one test "1 to kMax" (a length of 0 wraps to the largest size).
SMS_INLINE bool HoldsLength(size_t len) { return len - 1 < kMax; }

}  // namespace str_word

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "short texts keep their first character in the low byte"
#endif
