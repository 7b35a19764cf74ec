// The string runtime: string variables, temporaries in the process-wide
// temporary string buffer, and the string and number primitives.
//
// Model. A `Str` variable owns its text (8-bit characters, code 0 ends it) in
// the string heap; a variable never assigned is unset and reads as "". Every
// primitive that yields a string writes it at the current end of the one
// temporary string buffer and hands back a `Tmp`: a place in that buffer, not
// a pointer, because the buffer may grow and move while a later primitive of
// the same statement reserves room. A `Tmp` lives only for the statement that
// made it: it is assigned to a variable, passed to another primitive, or
// joined with `+`. Whoever consumes it sets the buffer's end back to where the
// statement began (`Tmp::base`), so no temporary outlives its statement.
//
// Arguments are taken as `StrArg`, which a variable, a literal or a `Tmp`
// converts to. A primitive resolves a `Tmp` argument to an address only after
// it has reserved room for its own result, so a move never leaves it reading
// freed memory.
//
// Texts of up to eight characters (binary digits, hex digits, single
// characters: most of what the converter handles) travel as a value instead:
// a primitive whose result is that short hands it back inside the `Tmp` and
// leaves the buffer alone, and a `StrArg` of a short variable carries its
// characters with it. Both forms read alike through `StrArg`.
//
// Lengths, counts and starts are 64-bit, so nothing wraps for any text that
// fits in memory; 32-bit arguments widen without change.
#pragma once
#include <cstddef>
#include <cmath>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "runtime/heap.h"

class Str;

namespace strings_internal {

// A short text as a value: up to eight characters, the first in the low
// byte, the bytes past the text zero.
constexpr size_t kShortMax = 8;
// The offset of a temporary that is held as a value, not in the buffer.
constexpr size_t kShortOff = SIZE_MAX;

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

struct TempBuffer {
    char* data;
    size_t capacity;
    size_t end;
};
extern TempBuffer gTemp;
extern Heap* gStringHeap;
char* GrowTemp(size_t amount, size_t position);

}  // namespace strings_internal

// A temporary: `len` characters at offset `off` of the temporary string
// buffer, or, when `off` is kShortOff, the characters of `chars`. `base` is
// the buffer's end when the statement that made it began.
struct Tmp {
    size_t base;
    size_t off;
    size_t len;
    uint64_t chars;
};

class StrArg {
public:
    StrArg(const Str& var);          // NOLINT: implicit by design (defined below)
    SMS_FORCE StrArg(const char* literal) {  // NOLINT: null reads as an unset string
        if (!literal) kind_ = kUnset;
        else ptr_ = literal, len_ = strlen(literal);
    }
    SMS_FORCE StrArg(Tmp tmp) : len_(tmp.len), base_(tmp.base) {  // NOLINT
        if (tmp.off == strings_internal::kShortOff) kind_ = kShort, chars_ = tmp.chars;
        else kind_ = kBuffer, off_ = tmp.off;
    }
    SMS_FORCE StrArg(const char* text, size_t len) : ptr_(text), len_(len) {}

    SMS_FORCE size_t Length() const { return len_; }
    bool IsUnset() const { return kind_ == kUnset; }
    // The text's current address. For a temporary in the buffer this is only
    // valid until the next reservation; for a short one, while this argument
    // lives. Not followed by a code 0 when the text is short.
    SMS_FORCE const char* Ptr() const {
        if (kind_ == kShort) return reinterpret_cast<const char*>(&chars_);
        if (kind_ == kBuffer) return strings_internal::gTemp.data + off_;
        return kind_ == kUnset ? "" : ptr_;
    }
    // `k` (at most 8) characters from position `skip` (counted from 0) on,
    // as a value; skip + k must not pass the end.
    SMS_FORCE uint64_t CharsAt(size_t skip, size_t k) const {
        // A skip of 8 comes only with k 0, whose mask clears everything.
        if (kind_ == kShort) return (chars_ >> (8 * (skip & 7))) & strings_internal::Mask(k);
        return strings_internal::Load(Ptr() + skip, k);
    }
    // Whether the text is a temporary in the buffer.
    bool InBuffer() const { return kind_ == kBuffer; }
    // The same text as an argument that does not own its temporary: used
    // by procedures, which keep their arguments for their whole run.
    SMS_FORCE StrArg Pinned() const {
        StrArg copy = *this;
        copy.base_ = kNoBase;
        return copy;
    }
    // Where the buffer's end goes back to when this argument is consumed;
    // kNoBase when it owns no temporary.
    size_t Base() const { return base_; }
    static constexpr size_t kNoBase = SIZE_MAX;

private:
    // Where the text is: at `ptr_` (plain), at `off_` in the buffer, or in
    // `chars_` itself (short); an unset string reads as "". Only the member
    // that the kind names is ever read.
    enum Kind : uint8_t { kPlain, kBuffer, kShort, kUnset };
    union {
        const char* ptr_ = "";
        size_t off_;
        uint64_t chars_;
    };
    size_t len_ = 0;
    size_t base_ = kNoBase;
    Kind kind_ = kPlain;
};

// A string variable: one pointer-sized word, zero while unset (so a
// zero-filled `Str` is an unset one, which string arrays rely on). A text of
// up to kInline characters is kept in the word itself, its first byte holding
// a tag (bit 0 set) and the length; a longer one lives in a block of the
// string heap. Short texts are the common case in the converter (binary
// digits, hex digits, single characters), and they need no heap block. A
// text that fills the word has no room for its final code 0: `Text()` moves
// it to a block the first time it is asked for (outside the converter's
// work, which reads texts through `StrArg`).
class Str {
public:
    static constexpr size_t kInline = sizeof(void*) - 1;

    // A text too long for the word: kept with room on both sides, so that
    // appending and prepending move nothing most of the time.
    struct Block {
        size_t len;
        size_t front;     // unused bytes before the text
        size_t capacity;  // bytes of `data`, the final code 0 included
        char data[1];
    };

    Str() = default;
    Str(const Str& other) { *this = StrArg(other); }
    Str(StrArg value) { *this = value; }                   // NOLINT: `Str s = StrMid(...)` reads naturally
    SMS_FORCE Str(Tmp value) : Str(StrArg(value)) {}                 // NOLINT
    Str(const char* value) : Str(StrArg(value)) {}         // NOLINT
    Str& operator=(const Str& other) { return this == &other ? *this : *this = StrArg(other); }
    Str& operator=(StrArg value);
    SMS_FORCE Str& operator=(Tmp value) { return *this = StrArg(value); }
    Str& operator=(const char* value) { return *this = StrArg(value); }
    SMS_FORCE ~Str() { Release(); }

    // Frees the text; the variable becomes unset.
    SMS_FORCE void Release() {
        if (word_ && !IsInline()) ReleaseBlock();
        word_ = 0;
    }
    // `s.Append(x)` is `s = s + x` and `s.Prepend(x)` is `s = x + s`, done in
    // the variable's own storage: the text is not copied on every call, so a
    // string built piece by piece, at either end or at both, costs time linear
    // in its length.
    void Append(StrArg piece);
    void Prepend(StrArg piece);

    bool IsSet() const { return word_ != 0; }
    size_t Length() const {
        if (IsInline()) return (word_ >> 1) & 0x7F;
        return word_ ? reinterpret_cast<const Block*>(word_)->len : 0;
    }
    // "" when unset; valid until the next change.
    const char* Text() const {
        if (IsInline() && Length() == kInline) Unpack();
        if (IsInline()) return reinterpret_cast<const char*>(&word_) + 1;
        if (!word_) return "";
        const Block* block = reinterpret_cast<const Block*>(word_);
        return block->data + block->front;
    }

private:
    friend class StrArg;
    mutable uintptr_t word_ = 0;  // mutable: see Text()
    void Unpack() const;
    // The text copied to `dst` (Length() bytes), from the word or the block.
    void CopyTo(char* dst) const;
    SMS_FORCE bool IsInline() const { return (word_ & 1) != 0; }
    SMS_FORCE Block* HeapBlock() const { return IsInline() ? nullptr : reinterpret_cast<Block*>(word_); }
    // The word of a short text: tag and length in the low byte, then the
    // characters, then zero bytes (the first of which ends the text).
    SMS_FORCE static uintptr_t ShortWord(uint64_t chars, size_t len) {
        return static_cast<uintptr_t>(chars << 8) | len << 1 | 1;
    }
    SMS_FORCE uint64_t InlineChars() const { return static_cast<uint64_t>(word_ >> 8); }
    SMS_FORCE void ReleaseBlock() { HeapGive(strings_internal::gStringHeap, HeapBlock()); }
    void Assign(const char* text, size_t len);
    void AssignNew(uint64_t chars, size_t len);
    void AppendSlow(StrArg piece);
    void PrependSlow(StrArg piece);
    void Reserve(size_t front, size_t back);
};
static_assert(sizeof(Str) == sizeof(void*), "a string element is one reference");
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "short texts keep their first character in the low byte"
#endif

// Concatenation: the pieces are placed one after the other in the buffer
// (or joined as a value when together they are short).
inline Tmp operator+(StrArg a, StrArg b);

// A procedure hands its result back as a temporary, like a primitive: a copy
// of `value`, which keeps the temporary of `argument` (the procedure's own
// argument, if it was one) alive until the caller is done.
inline Tmp ReturnString(StrArg value, const StrArg& argument = StrArg(nullptr, 0));

// --- Set-up and the temporary string buffer ---------------------------------

// Creates the string heap (initial size 4096 bytes) and the temporary string
// buffer (capacity 16 bytes). Safe to call more than once.
void StringRuntimeInit();
Heap* StringHeap();

// Reserves `amount` bytes for a result written at `position` (the buffer's
// current end), growing the buffer when the end would come within 4 bytes of
// its capacity: the capacity becomes position + amount + 16384 and the block
// position + amount + 16389 bytes, so there is always room for a final code 0.
// Sets the end to position + amount and returns the address of `position`.
SMS_INLINE char* TempReserve(size_t amount, size_t position) {
    strings_internal::TempBuffer& t = strings_internal::gTemp;
    // Written so that no sum can wrap: the end always lies more than 4 bytes
    // below the capacity.
    if (position >= t.capacity - 4 || amount >= t.capacity - position - 4)
        return strings_internal::GrowTemp(amount, position);
    t.end = position + amount;
    return t.data + position;
}
// Moves the end back by `amount` reserved but unused bytes; returns the end.
SMS_INLINE size_t TempGiveBack(size_t amount) {
    strings_internal::TempBuffer& t = strings_internal::gTemp;
    t.end -= amount < t.end ? amount : t.end;
    return t.end;
}
SMS_INLINE size_t TempEnd() { return strings_internal::gTemp.end; }
SMS_INLINE void TempSetEnd(size_t end) {
    strings_internal::TempBuffer& t = strings_internal::gTemp;
    if (end < t.end) t.end = end;
}
SMS_INLINE size_t TempCapacity() { return strings_internal::gTemp.capacity; }
// The temporary made of the buffer's bytes from `start` to `end`.
SMS_INLINE Tmp TempSpan(size_t start, size_t end) {
    if (end < start) end = start;
    return Tmp{start, start, end - start, 0};
}
// Consumes an argument: if it owns a temporary, the end goes back to its base.
SMS_INLINE void TempConsume(const StrArg& arg) {
    if (arg.Base() != StrArg::kNoBase) TempSetEnd(arg.Base());
}
// `t` made to keep `arg`'s temporary alive too (its base lowered to arg's).
SMS_INLINE Tmp TempKeep(Tmp t, const StrArg& arg) {
    if (arg.Base() < t.base) t.base = arg.Base();
    return t;
}

// --- Primitives ------------------------------------------------------------

inline int64_t StrLen(StrArg s);
inline int StrAsc(StrArg s);                  // 0 to 255; 0 for ""
inline Tmp StrChr(int64_t code);              // low 8 bits; "" when they are 0
inline Tmp StrLeft(StrArg s, int64_t n);
inline Tmp StrRight(StrArg s, int64_t n);
inline Tmp StrMid(StrArg s, int64_t start, int64_t count);
inline Tmp StrPad(StrArg s, int64_t length, StrArg fill);
inline Tmp StrReverse(StrArg s);
inline Tmp IntToDec(int64_t v);
inline Tmp IntToHex(int64_t v);
inline int64_t DecToInt(StrArg s);
inline float PowF(float base, float exponent);
inline int32_t TruncToInt(double x);


namespace strings_internal {

SMS_INLINE size_t Min(size_t a, size_t b) { return a < b ? a : b; }

// A count argument clamped to what a text of `len` characters can give.
SMS_INLINE size_t Clamp(int64_t n, size_t len) {
    if (n <= 0) return 0;
    return static_cast<uint64_t>(n) < len ? static_cast<size_t>(n) : len;
}

SMS_INLINE Tmp Short(uint64_t chars, size_t len, size_t base) { return Tmp{base, kShortOff, len, chars}; }

// Short copies are the common case: a plain loop beats a call to the library.
SMS_INLINE void Copy(char* dst, const char* src, size_t n) {
    if (n <= 16) {
        for (size_t i = 0; i < n; ++i) dst[i] = src[i];
    } else {
        memmove(dst, src, n);
    }
}

// Reserves `amount` at the end; returns the start offset of the reservation.
SMS_INLINE size_t ReserveAtEnd(size_t amount, char** dst) {
    size_t start = gTemp.end;
    *dst = TempReserve(amount, start);
    return start;
}

// Finishes a result of `written` bytes reserved as `reserved` at `start`.
SMS_INLINE Tmp Finish(size_t start, size_t reserved, size_t written, size_t base) {
    gTemp.data[start + written] = '\0';
    TempGiveBack(reserved - written);
    return Tmp{Min(base, start), start, written, 0};
}

// The longer results, built in the buffer.
Tmp CopyLong(const StrArg& s, size_t skip, size_t k);
Tmp ConcatLong(const StrArg& a, const StrArg& b);
Tmp PadLong(const StrArg& s, size_t length, const StrArg& fill);
Tmp ReverseLong(const StrArg& s);
Tmp IntToDecAny(int64_t v);
Tmp IntToHexAny(int64_t v);
#if defined(__GNUC__)
__attribute__((noinline))
#endif
int64_t DecToIntAny(const StrArg& s);
#if defined(__GNUC__)
__attribute__((noinline, cold))
#endif
float PowFAny(float base, float exponent);

SMS_INLINE Tmp Sub(const StrArg& s, size_t skip, size_t k) {
    if (k <= kShortMax) return Short(s.CharsAt(skip, k), k, s.Base());
    return CopyLong(s, skip, k);
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

SMS_INLINE Tmp StrLeft(StrArg s, int64_t n) { return strings_internal::Sub(s, 0, strings_internal::Clamp(n, s.Length())); }

SMS_INLINE Tmp StrRight(StrArg s, int64_t n) {
    size_t k = strings_internal::Clamp(n, s.Length());
    return strings_internal::Sub(s, s.Length() - k, k);
}

// A start of 1 or less means the first character; a start past the end gives
// "". The reservation is the most that can be copied, not the raw count, so a
// huge count on a short text reserves nothing extra.
SMS_INLINE Tmp StrMid(StrArg s, int64_t start, int64_t count) {
    size_t len = s.Length();
    size_t skip = start <= 1 ? 0 : strings_internal::Clamp(start - 1, len);
    return strings_internal::Sub(s, skip, strings_internal::Clamp(count, len - skip));
}

// The fill character is the first of `fill`, a space when `fill` is unset.
// A set but empty fill also pads with spaces: the result is then still
// exactly `length` characters long, as for every other fill.
SMS_INLINE Tmp StrPad(StrArg s, int64_t length, StrArg fill) {
    using namespace strings_internal;
    size_t want = length <= 0 ? 0 : static_cast<size_t>(length);
    if (want > kShortMax) return PadLong(s, want, fill);
    size_t k = Min(s.Length(), want);
    uint64_t f = fill.Length() ? fill.CharsAt(0, 1) : ' ';
    uint64_t chars = s.CharsAt(0, k) | (f * 0x0101010101010101ull & Mask(want) & ~Mask(k));
    return Short(chars, want, Min(s.Base(), fill.Base()));
}

SMS_INLINE Tmp StrReverse(StrArg s) {
    size_t len = s.Length();
    if (len > strings_internal::kShortMax) return strings_internal::ReverseLong(s);
    uint64_t chars = len ? __builtin_bswap64(s.CharsAt(0, len)) >> (8 * (8 - len)) : 0;
    return strings_internal::Short(chars, len, s.Base());
}

SMS_INLINE Tmp operator+(StrArg a, StrArg b) {
    using namespace strings_internal;
    size_t la = a.Length(), lb = b.Length();
    if (la + lb > kShortMax) return ConcatLong(a, b);
    uint64_t chars = a.CharsAt(0, la);
    if (lb) chars |= b.CharsAt(0, lb) << (8 * la);
    return Short(chars, la + lb, Min(a.Base(), b.Base()));
}

SMS_INLINE Tmp ReturnString(StrArg value, const StrArg& argument) {
    Tmp t = StrArg("") + value;
    if (argument.Base() < t.base) t.base = argument.Base();
    return t;
}

// Truncation toward zero. Outside the signed 32-bit range the result
// saturates to the nearest bound, and NaN gives 0: the codec never passes
// such values, and saturating keeps every caller's arithmetic defined.
SMS_INLINE int32_t TruncToInt(double x) {
#if defined(__SSE2__)
    // The processor's conversion gives INT32_MIN for anything out of range
    // and for NaN; only that answer needs the careful path.
    int32_t fast = _mm_cvttsd_si32(_mm_set_sd(x));
    if (fast != INT32_MIN) return fast;
#endif
    if (x > -2147483649.0 && x < 2147483648.0) return static_cast<int32_t>(x);
    if (std::isnan(x)) return 0;
    return x > 0 ? INT32_MAX : INT32_MIN;
}

// One decimal digit is the common case (the converter's binary digits).
SMS_INLINE Tmp IntToDec(int64_t v) {
    if (v < 0 || v > 9) return strings_internal::IntToDecAny(v);
    return strings_internal::Short(static_cast<uint64_t>('0' + v), 1, StrArg::kNoBase);
}

// One hex digit is the common case (the converter's nibbles).
SMS_INLINE Tmp IntToHex(int64_t v) {
    if (v < 0 || v > 15) return strings_internal::IntToHexAny(v);
    return strings_internal::Short(static_cast<uint64_t>(v < 10 ? '0' + v : 'A' + v - 10), 1, StrArg::kNoBase);
}

// --- Inline parts of the string model ----------------------------------------
// Short texts are the converter's daily bread; their assignments, appends and
// prepends work on the word alone.

SMS_INLINE StrArg::StrArg(const Str& var) {
    if (var.IsInline()) {
        kind_ = kShort;
        chars_ = var.InlineChars();
        len_ = (var.word_ >> 1) & 0x7F;
    } else if (var.word_) {
        const Str::Block* block = var.HeapBlock();
        ptr_ = block->data + block->front;
        len_ = block->len;
    } else {
        kind_ = kUnset;
    }
}

SMS_INLINE Str& Str::operator=(StrArg value) {
    size_t len = value.Length();
    if (value.IsUnset()) {
        Release();
    } else if (len <= kInline) {
        uintptr_t word = ShortWord(value.CharsAt(0, len), len);  // read before the old text goes
        Release();
        word_ = word;
    } else if (!word_ && len <= strings_internal::kShortMax) {
        AssignNew(value.CharsAt(0, len), len);
    } else {
        Assign(value.Ptr(), len);
    }
    TempConsume(value);
    return *this;
}

// A new block for a text of up to eight characters.
SMS_INLINE void Str::AssignNew(uint64_t chars, size_t len) {
    auto* block = static_cast<Block*>(HeapTake(strings_internal::gStringHeap, offsetof(Block, data) + len + 1));
    block->len = len;
    block->front = 0;
    block->capacity = len + 1;
    strings_internal::Store(block->data, chars, len);
    block->data[len] = '\0';
    word_ = reinterpret_cast<uintptr_t>(block);
}

SMS_INLINE void Str::Append(StrArg piece) {
    size_t add = piece.Length(), len = Length();
    Block* block = HeapBlock();
    if (!block && len + add <= kInline) {
        word_ = ShortWord(InlineChars() | piece.CharsAt(0, add) << (8 * len), len + add);
        TempConsume(piece);
    } else if (block && add <= strings_internal::kShortMax && block->capacity - block->front - len - 1 >= add) {
        // Into room at the end; a piece of this text itself is read first.
        char* end = block->data + block->front + len;
        strings_internal::Store(end, piece.CharsAt(0, add), add);
        end[add] = '\0';
        block->len = len + add;
        TempConsume(piece);
    } else if (!block && len + add <= strings_internal::kShortMax) {
        uint64_t chars = InlineChars() | piece.CharsAt(0, add) << (8 * len);
        AssignNew(chars, len + add);
        TempConsume(piece);
    } else {
        AppendSlow(piece);
    }
}

SMS_INLINE void Str::Prepend(StrArg piece) {
    size_t add = piece.Length(), len = Length();
    Block* block = HeapBlock();
    if (!block && len + add <= kInline) {
        word_ = ShortWord(piece.CharsAt(0, add) | InlineChars() << (8 * add), len + add);
        TempConsume(piece);
    } else if (block && add <= strings_internal::kShortMax && block->front >= add) {
        uint64_t chars = piece.CharsAt(0, add);
        block->front -= add;
        strings_internal::Store(block->data + block->front, chars, add);
        block->len = len + add;
        TempConsume(piece);
    } else if (!block && len + add <= strings_internal::kShortMax) {
        uint64_t chars = piece.CharsAt(0, add) | InlineChars() << (4 * add) << (4 * add);
        AssignNew(chars, len + add);
        TempConsume(piece);
    } else {
        PrependSlow(piece);
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
    return strings_internal::DecToIntAny(s);
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

