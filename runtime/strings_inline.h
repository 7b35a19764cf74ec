// The inline fast paths of the string runtime (runtime/strings.h): short
// texts as values and in the variable's word, clamped cuts, concatenation
// and the number primitives. Included by strings.h only.
#pragma once
#include <cfloat>
#include <cmath>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace strings_internal {

// The low `k` bytes (k at most 8) set.
constexpr uint64_t kMasks[9] = {0, 0xFF, 0xFFFF, 0xFFFFFF, 0xFFFFFFFF, 0xFFFFFFFFFFull, 0xFFFFFFFFFFFFull,
                                0xFFFFFFFFFFFFFFull, ~uint64_t(0)};
SMS_INLINE uint64_t Mask(size_t k) { return kMasks[k]; }

// Reads exactly `k` (at most 8) bytes: two overlapping loads of a power-of-
// two width, never a byte past the text.
SMS_INLINE uint64_t Load(const char* p, size_t k) {
    if (k == 1) return static_cast<unsigned char>(p[0]);  // the common case
    if (k >= 4) {
        uint32_t lo, hi;
        memcpy(&lo, p, 4);
        memcpy(&hi, p + k - 4, 4);
        return lo | static_cast<uint64_t>(hi) << (8 * (k - 4));
    }
    if (k >= 2) {
        uint16_t lo, hi;
        memcpy(&lo, p, 2);
        memcpy(&hi, p + k - 2, 2);
        return lo | static_cast<uint64_t>(hi) << (8 * (k - 2));
    }
    return k ? static_cast<unsigned char>(p[0]) : 0;
}

// Writes exactly `k` (at most 8) bytes of `chars`.
SMS_INLINE void Store(char* p, uint64_t chars, size_t k) {
    if (k >= 4) {
        uint32_t lo = static_cast<uint32_t>(chars), hi = static_cast<uint32_t>(chars >> (8 * (k - 4)));
        memcpy(p + k - 4, &hi, 4);
        memcpy(p, &lo, 4);
    } else if (k >= 2) {
        uint16_t lo = static_cast<uint16_t>(chars), hi = static_cast<uint16_t>(chars >> (8 * (k - 2)));
        memcpy(p + k - 2, &hi, 2);
        memcpy(p, &lo, 2);
    } else if (k) {
        p[0] = static_cast<char>(chars);
    }
}

SMS_INLINE size_t Min(size_t a, size_t b) { return a < b ? a : b; }

// A count argument clamped to what a text of `len` characters can give.
SMS_INLINE size_t Clamp(int64_t n, size_t len) {
    if (n <= 0) return 0;
    return static_cast<uint64_t>(n) < len ? static_cast<size_t>(n) : len;
}

SMS_INLINE Tmp Short(uint64_t chars, size_t len, size_t base) { return Tmp{base, kShortOff, len, chars}; }

// Reserves `amount` at the end; returns the start offset of the reservation.
SMS_INLINE size_t ReserveAtEnd(size_t amount, char** dst) {
    size_t start = gTemp.end;
    *dst = TempReserve(amount, start);
    return start;
}

// Where a longer result was built: its offset in the buffer and its length.
// Two words, which the functions building it hand back in registers; the
// temporary itself is made inline, where it can stay in registers too.
struct Placed {
    size_t off;
    size_t len;
};
// The temporary of a result placed in the buffer that keeps the temporaries
// of its arguments (the lowest of their bases) alive with it.
SMS_INLINE Tmp FromBuffer(Placed p, size_t base) { return Tmp{Min(base, p.off), p.off, p.len, 0}; }

// Finishes a result of `written` bytes reserved as `reserved` at `start`.
SMS_INLINE Placed Finish(size_t start, size_t reserved, size_t written) {
    gTemp.data[start + written] = '\0';
    TempGiveBack(reserved - written);
    return Placed{start, written};
}

// The longer results, built in the buffer; their arguments come as parts.
Placed CopyLong(StrParts s, size_t skip, size_t k);
Placed ConcatLong(StrParts a, StrParts b);
Placed PadLong(StrParts s, size_t want, char fill);
Placed ReverseLong(StrParts s);
Placed IntToDecAny(int64_t v);
Placed IntToHexAny(int64_t v);
#if defined(__GNUC__)
__attribute__((noinline))
#endif
int64_t DecToIntAny(StrParts s);
#if defined(__GNUC__)
__attribute__((noinline, cold))
#endif
float PowFAny(float base, float exponent);

// A piece: a value when short, else copied to the buffer.
SMS_INLINE Tmp Sub(const StrArg& s, size_t skip, size_t k) {
    if (k <= kShortMax) return Short(s.CharsAt(skip, k), k, s.Base());
    return FromBuffer(CopyLong(s.Parts(), skip, k), s.Base());
}

}  // namespace strings_internal

SMS_INLINE int64_t StrLen(StrArg s) {
    TempConsume(s);
    return static_cast<int64_t>(s.Length());
}

SMS_INLINE int StrAsc(StrArg s) {
    int code = static_cast<int>(s.CharsAt(0, s.Length() ? 1 : 0));
    TempConsume(s);
    return code;
}

SMS_INLINE Tmp StrChr(int64_t code) {
    uint64_t c = static_cast<uint64_t>(code) & 0xFF;
    return strings_internal::Short(c, c ? 1 : 0, StrArg::kNoBase);
}

// The converter cuts every piece from inside its text. Such a cut needs no
// clamping, and on that path a caller's constant count stays a constant: the
// piece is then taken with fixed shifts and masks, and whoever receives it
// knows its length. Other cuts are clamped as described.
namespace strings_internal {
// Whether `count` characters from position `skip` (counted from 0) lie
// within a text of `len` characters.
SMS_INLINE bool Inside(uint64_t skip, int64_t count, size_t len) {
    return count >= 0 && static_cast<uint64_t>(count) <= len && skip <= len - static_cast<uint64_t>(count);
}
}  // namespace strings_internal

SMS_INLINE Tmp StrLeft(StrArg s, int64_t n) {
    if (SMS_LIKELY(strings_internal::Inside(0, n, s.Length()))) return strings_internal::Sub(s, 0, static_cast<size_t>(n));
    return strings_internal::Sub(s, 0, strings_internal::Clamp(n, s.Length()));
}

SMS_INLINE Tmp StrRight(StrArg s, int64_t n) {
    if (SMS_LIKELY(strings_internal::Inside(0, n, s.Length())))
        return strings_internal::Sub(s, s.Length() - static_cast<size_t>(n), static_cast<size_t>(n));
    size_t k = strings_internal::Clamp(n, s.Length());
    return strings_internal::Sub(s, s.Length() - k, k);
}

// A start of 1 or less means the first character; a start past the end gives
// "". The reservation is the most that can be copied, not the raw count, so a
// huge count on a short text reserves nothing extra.
SMS_INLINE Tmp StrMid(StrArg s, int64_t start, int64_t count) {
    size_t len = s.Length();
    if (SMS_LIKELY(start >= 1 && strings_internal::Inside(static_cast<uint64_t>(start - 1), count, len)))
        return strings_internal::Sub(s, static_cast<size_t>(start - 1), static_cast<size_t>(count));
    size_t skip = start <= 1 ? 0 : strings_internal::Clamp(start - 1, len);
    return strings_internal::Sub(s, skip, strings_internal::Clamp(count, len - skip));
}

// The fill character is the first of `fill`, a space when `fill` is unset.
// A set but empty fill also pads with spaces: the result is then still
// exactly `length` characters long, as for every other fill.
SMS_INLINE Tmp StrPad(StrArg s, int64_t length, StrArg fill) {
    using namespace strings_internal;
    size_t want = length <= 0 ? 0 : static_cast<size_t>(length);
    uint64_t f = fill.Length() ? fill.CharsAt(0, 1) : ' ';
    if (want > kShortMax)
        return FromBuffer(PadLong(s.Parts(), want, static_cast<char>(f)),
                          Min(s.Base(), fill.Base()));
    size_t k = Min(s.Length(), want);
    uint64_t chars = s.CharsAt(0, k) | (f * 0x0101010101010101ull & Mask(want) & ~Mask(k));
    return Short(chars, want, Min(s.Base(), fill.Base()));
}

SMS_INLINE Tmp StrReverse(StrArg s) {
    size_t len = s.Length();
    if (len > strings_internal::kShortMax)
        return strings_internal::FromBuffer(strings_internal::ReverseLong(s.Parts()), s.Base());
    uint64_t chars = s.Chars(), reversed = 0;
    for (size_t i = 0; i < len; ++i) reversed |= (chars >> (8 * i) & 0xFF) << (8 * (len - 1 - i));
    return strings_internal::Short(reversed, len, s.Base());
}

SMS_INLINE Tmp operator+(StrArg a, StrArg b) {
    using namespace strings_internal;
    size_t la = a.Length(), lb = b.Length();
    if (la + lb > kShortMax)
        return FromBuffer(ConcatLong(a.Parts(), b.Parts()),
                          Min(a.Base(), b.Base()));
    uint64_t chars = a.Chars();
    if (lb) chars |= b.Chars() << (8 * la);
    return Short(chars, la + lb, Min(a.Base(), b.Base()));
}

SMS_INLINE Tmp ReturnString(StrArg value, const StrArg& argument) {
    Tmp t = StrArg("") + value;
    if (argument.Base() < t.base) t.base = argument.Base();
    return t;
}

// On x87 (the 32-bit build) the one instruction that rounds: where the
// compiler proves a value whole, it replaces a rounding function by a
// truncation, which on x87 switches the rounding mode there and back.
SMS_INLINE int32_t RoundToInt(double x) {
#if defined(__SSE2__)
    return _mm_cvtsd_si32(_mm_set_sd(x));
#elif defined(__GNUC__) && defined(__i386__)
    int32_t r;
    __asm__("fistpl %0" : "=m"(r) : "t"(x) : "st");
    return r;
#else
    return static_cast<int32_t>(std::lrint(x));
#endif
}

// What a 16-bit integer variable holds after the rounding store of `x`,
// given back as a double, for a sum built in steps whose every step is such
// a store: between the steps the sum stays in the floating-point unit. In
// the variable's range, rounding to the nearest (a half to the even one) is
// the addition and subtraction of 1.5 x 2^52, which leave no fraction
// behind; outside it (the store wraps) and for NaN the store is made
// through an integer. Not where doubles are computed wider (x87, the
// 32-bit build): there every store goes through an integer.
SMS_INLINE double RoundedToInt16(double x) {
#if defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD == 0
    if (SMS_LIKELY(x >= -32768.5 && x < 32767.5)) {
        constexpr double kNoFraction = 6755399441055744.0;
        double rounded = (x + kNoFraction) - kNoFraction;
        // A whole number rounds to itself: then the sum goes on from `x`,
        // and the next step does not wait for the rounding to finish.
        if (SMS_LIKELY(rounded == x)) return x;
        return rounded;
    }
#endif
    return static_cast<int16_t>(RoundToInt(x));
}

// Truncation toward zero. Outside the signed 32-bit range the result
// saturates to the nearest bound, and NaN gives 0: the codec never passes
// such values, and saturating keeps every caller's arithmetic defined.
SMS_INLINE int32_t TruncToInt(double x) {
    if (x > -2147483649.0 && x < 2147483648.0) return static_cast<int32_t>(x);
    if (std::isnan(x)) return 0;
    return x > 0 ? INT32_MAX : INT32_MIN;
}

// One decimal digit is the common case (the converter's binary digits).
SMS_INLINE Tmp IntToDec(int64_t v) {
    if (v < 0 || v > 9) return strings_internal::FromBuffer(strings_internal::IntToDecAny(v), StrArg::kNoBase);
    return strings_internal::Short(static_cast<uint64_t>('0' + v), 1, StrArg::kNoBase);
}

// One hex digit is the common case (the converter's nibbles).
SMS_INLINE Tmp IntToHex(int64_t v) {
    if (v < 0 || v > 15) return strings_internal::FromBuffer(strings_internal::IntToHexAny(v), StrArg::kNoBase);
    return strings_internal::Short(static_cast<uint64_t>(v < 10 ? '0' + v : 'A' + v - 10), 1, StrArg::kNoBase);
}

// --- Inline parts of the string model ----------------------------------------
// Short texts are the converter's daily bread; their assignments, appends and
// prepends work on the word alone.

SMS_INLINE StrArg::StrArg(const Str& var) {
    uintptr_t w = var.word_;
    if (str_word::IsShort(w)) {
        kind_ = kShort;
        data_ = str_word::ShortChars(w);
        len_ = str_word::ShortLength(w);
    } else if (str_word::IsBlock(w)) {
        const Str::Block* block = reinterpret_cast<const Str::Block*>(w);
        data_ = Bits(block->data + block->front);
        len_ = block->len;
    } else {
        kind_ = kUnset;
    }
}

SMS_INLINE Str& Str::operator=(StrArg value) {
    size_t len = value.Length();
    if (value.IsUnset()) {
        Release();
    } else if (len <= strings_internal::kShortMax) {
        word_ = WithChars(word_, value.Chars(), len);  // read before the old text goes
    } else {
        word_ = Assigned(word_, value.LongPtr(), len);
    }
    TempConsume(value);
    return *this;
}

SMS_INLINE bool Str::WroteInWord(StrArg value) {
    size_t len = value.Length();
    if (!str_word::HoldsLength(len)) return false;
    uint64_t chars = value.Chars();
    if (!str_word::Fits(chars, len)) return false;
    word_ = str_word::Pack(chars, len);
    TempConsume(value);
    return true;
}

SMS_INLINE uintptr_t Str::WithChars(uintptr_t old, uint64_t chars, size_t len) {
    if (len <= kInline && str_word::Fits(chars, len)) {
        Free(old);
        return str_word::Pack(chars, len);
    }
    // A text the word cannot hold (on 32-bit). A block much larger than the
    // text is not kept for it.
    Block* block = BlockOf(old);
    if (!block || block->capacity <= len || block->capacity > 2 * len + 64) {
        Free(old);
        block = static_cast<Block*>(HeapTake(strings_internal::gStringHeap, offsetof(Block, data) + len + 1));
        block->capacity = len + 1;
    }
    block->len = len;
    block->front = 0;
    strings_internal::Store(block->data, chars, len);
    block->data[len] = '\0';
    return reinterpret_cast<uintptr_t>(block);
}

// A piece joined to a text held in the word stays there while the two fit;
// a short piece goes into the room a block keeps at either end. Anything
// else, an empty piece included, takes the slow path.
template <uintptr_t (*Join)(uintptr_t, uint64_t, size_t)>
SMS_INLINE bool Str::JoinedInWord(const StrArg& piece) {
    size_t add = piece.Length();
    if (!str_word::HoldsLength(add)) return false;
    uintptr_t joined = Join(word_, piece.Chars(), add);
    if (!joined) return false;
    word_ = joined;
    TempConsume(piece);
    return true;
}

// Texts built by appending are long (the converter's bit strings and
// results): a block's room is looked at first.
SMS_INLINE void Str::Append(StrArg piece) {
    uintptr_t w = word_;
    size_t add = piece.Length();
    if (Block* block = BlockOf(w)) {
        size_t room = block->capacity - block->front - block->len - 1;
        if (add <= strings_internal::kShortMax && room >= add) {
            // Into room at the end; a piece of this text itself is read first.
            uint64_t chars = piece.Chars();
            char* end = block->data + block->front + block->len;
            strings_internal::Store(end, chars, add);
            end[add] = '\0';
            block->len += add;
            TempConsume(piece);
            return;
        }
    } else if (JoinedInWord<str_word::Appended>(piece)) {
        return;
    }
    word_ = AppendSlow(w, piece.Parts());
}

SMS_INLINE void Str::Prepend(StrArg piece) {
    if (JoinedInWord<str_word::Prepended>(piece)) return;
    uintptr_t w = word_;
    size_t add = piece.Length();
    Block* block = BlockOf(w);
    if (block && add <= strings_internal::kShortMax && block->front >= add) {
        strings_internal::Store(block->data + block->front - add, piece.Chars(), add);
        block->front -= add;
        block->len += add;
        TempConsume(piece);
    } else {
        word_ = PrependSlow(w, piece.Parts());
    }
}

SMS_INLINE int64_t DecToInt(StrArg s) {
    if (s.Length() == 1) {  // a single digit
        int c = static_cast<int>(s.CharsAt(0, 1));
        if (c >= '0' && c <= '9') {
            TempConsume(s);
            return c - '0';
        }
    }
    return strings_internal::DecToIntAny(s.Parts());
}

// A power of two raised to a whole exponent is exact: it is built as the
// float's own exponent field. That is the converter's only use; every other
// case goes through the general power routine in extended precision.
SMS_INLINE float PowF(float base, float exponent) {
    if (base == 2.0f && exponent >= -126.0f && exponent <= 127.0f &&
        exponent == static_cast<float>(static_cast<int>(exponent))) {
        uint32_t bits = static_cast<uint32_t>(static_cast<int>(exponent) + 127) << 23;
        float result;
        memcpy(&result, &bits, sizeof result);
        return result;
    }
    return strings_internal::PowFAny(base, exponent);
}

