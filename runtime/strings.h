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
#include <cfloat>
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
// buffer, or, when `off` is kShortOff, the characters of `chars`. `base` is the
// buffer's end when the statement that made it began.
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
        else data_ = Bits(literal), len_ = strlen(literal);
    }
    SMS_FORCE StrArg(Tmp tmp) : len_(tmp.len), base_(tmp.base) {  // NOLINT
        if (tmp.off == strings_internal::kShortOff) kind_ = kShort, data_ = tmp.chars;
        else kind_ = kBuffer, data_ = tmp.off;
    }
    SMS_FORCE StrArg(const char* text, size_t len) : data_(Bits(text)), len_(len) {}

    SMS_FORCE size_t Length() const { return len_; }
    bool IsUnset() const { return kind_ == kUnset; }
    // The text's current address. For a temporary in the buffer this is only
    // valid until the next reservation; for a short one, while this argument
    // lives. Not followed by a code 0 when the text is short.
    SMS_FORCE const char* Ptr() const {
        if (kind_ == kShort) return reinterpret_cast<const char*>(&data_);
        return Place();
    }
    // `k` (at most 8) characters from position `skip` (counted from 0) on,
    // as a value; skip + k must not pass the end. Most pieces the converter
    // reads are short texts: theirs is the straight path, here and in Chars.
    SMS_FORCE uint64_t CharsAt(size_t skip, size_t k) const {
        // A skip of 8 comes only with k 0, whose mask clears everything.
        if (SMS_LIKELY(kind_ == kShort)) return (data_ >> (8 * (skip & 7))) & strings_internal::Mask(k);
        return strings_internal::Load(Place() + skip, k);
    }
    // The whole text (at most 8 characters) as a value.
    SMS_FORCE uint64_t Chars() const {
        if (SMS_LIKELY(kind_ == kShort)) return data_;  // the bytes past the text are zero
        return strings_internal::Load(Place(), len_);
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

    // The argument as plain numbers, and back. Slow paths called out of line
    // take these: an argument passed whole has to be stored to memory, and
    // the compiler does that on the fast path too.
    SMS_FORCE uint64_t PartData() const { return data_; }
    SMS_FORCE unsigned PartKind() const { return kind_; }
    SMS_FORCE StrArg(uint64_t data, size_t len, size_t base, unsigned kind)
        : data_(data), len_(len), base_(base), kind_(static_cast<Kind>(kind)) {}
    // The address of a text longer than eight characters (never a value).
    SMS_FORCE const char* LongPtr() const { return Place(); }

private:
    // Where the text is, by kind: its address (plain, and "" when unset), its
    // offset in the buffer, or the characters themselves (short). One plain
    // number rather than a union, and the address of `data_` taken only
    // where a short text must be read in place: either keeps the compiler
    // from moving an argument out of registers into memory.
    enum Kind : uint8_t { kPlain, kBuffer, kShort, kUnset };
    SMS_FORCE static uint64_t Bits(const char* p) { return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p)); }
    // The address of a text that is not short.
    SMS_FORCE const char* Place() const {
        if (kind_ == kBuffer) return strings_internal::gTemp.data + data_;
        return reinterpret_cast<const char*>(static_cast<uintptr_t>(data_));
    }
    uint64_t data_ = Bits("");
    size_t len_ = 0;
    size_t base_ = kNoBase;
    Kind kind_ = kPlain;
};

// How a string variable's word holds its text. Zero is unset (so a
// zero-filled `Str` is an unset one, which string arrays rely on); a short
// text of up to kMax characters is kept in the word itself; any other text
// lives in a block of the string heap and the word is the block's address.
namespace str_word {
// An address may use all four bytes, so a short text is tagged: bit 0 set,
// the length in bits 1 to 7, up to three characters above (the empty text is
// the word 1). Blocks lie at even addresses.
constexpr size_t kMax = sizeof(uintptr_t) - 1;
constexpr uintptr_t kEmpty = 1;
SMS_INLINE bool IsShort(uintptr_t w) { return (w & 1) != 0; }
SMS_INLINE bool IsBlock(uintptr_t w) { return w != 0 && (w & 1) == 0; }
SMS_INLINE size_t ShortLength(uintptr_t w) { return (w >> 1) & 0x7F; }
SMS_INLINE uint64_t ShortChars(uintptr_t w) { return w >> 8; }
SMS_INLINE uintptr_t Pack(uint64_t chars, size_t len) { return static_cast<uintptr_t>(chars << 8 | len << 1 | 1); }
// The bits free in the word above its text: none for a block's address.
SMS_INLINE unsigned Space(uintptr_t w) {
    if (IsShort(w)) return static_cast<unsigned>(8 * (kMax - ShortLength(w)));
    return w ? 0 : 8 * kMax;
}
SMS_INLINE uintptr_t Prepended(uintptr_t w, uint64_t chars, size_t add) {
    if (8 * add > Space(w)) return 0;
    return Pack(chars | ShortChars(w) << (8 * add), ShortLength(w) + add);
}
SMS_INLINE uintptr_t Appended(uintptr_t w, uint64_t chars, size_t add) {
    if (8 * add > Space(w)) return 0;
    return Pack(ShortChars(w) | chars << (8 * ShortLength(w)), ShortLength(w) + add);
}
}  // namespace str_word

// A string variable: one pointer-sized word (see str_word). Short texts are
// the common case in the converter (binary digits, hex digits, single
// characters, groups of eight digits on 64-bit), and they need no heap
// block. The word has no room for a short text's final code 0: `Text()`
// moves the text to a block the first time it is asked for (outside the
// converter's work, which reads texts through `StrArg`).
class Str {
public:
    static constexpr size_t kInline = str_word::kMax;

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
    // For a variable that holds no block: a text of one to eight characters
    // that fits the word is written there without the old word being read.
    // False, the variable left as it was, for any other text.
    bool WroteInWord(StrArg value);
    SMS_FORCE ~Str() { Release(); }

    // Frees the text; the variable becomes unset.
    SMS_FORCE void Release() {
        Free(word_);
        word_ = 0;
    }
    // `s.Append(x)` is `s = s + x` and `s.Prepend(x)` is `s = x + s`, done in
    // the variable's own storage: the text is not copied on every call, so a
    // string built piece by piece, at either end or at both, costs time linear
    // in its length.
    void Append(StrArg piece);
    void Prepend(StrArg piece);

    bool IsSet() const { return word_ != 0; }
    // Whether the text lives in a block of the string heap, not in the word.
    bool HoldsBlock() const { return str_word::IsBlock(word_); }
    size_t Length() const { return LengthOf(word_); }
    // Frees the texts of `count` variables in a row whose storage goes away
    // with them (a string array's elements); their words are left as they
    // are. Most of them hold their text in the word: the words are looked at
    // several at a time for any that may be a block's address.
    static void ReleaseAll(Str* strings, size_t count);
    // "" when unset or empty; valid until the next change.
    const char* Text() const {
        if (str_word::IsShort(word_) && word_ != str_word::kEmpty) word_ = Unpacked(word_);
        const Block* block = BlockOf(word_);
        return block ? block->data + block->front : "";
    }

private:
    friend class StrArg;
    mutable uintptr_t word_ = 0;  // mutable: see Text()

    // Everything below takes the word as a value and gives the new one back,
    // so that a variable's word can stay in a register: a member function
    // called out of line would need the variable's address.
    SMS_FORCE static Block* BlockOf(uintptr_t w) { return str_word::IsBlock(w) ? reinterpret_cast<Block*>(w) : nullptr; }
    SMS_FORCE static size_t LengthOf(uintptr_t w) {
        if (str_word::IsShort(w)) return str_word::ShortLength(w);
        return str_word::IsBlock(w) ? reinterpret_cast<const Block*>(w)->len : 0;
    }
    // The characters of a text held in the word, 0 when there are none.
    SMS_FORCE static uint64_t CharsOf(uintptr_t w) { return str_word::IsShort(w) ? str_word::ShortChars(w) : 0; }
    // A block goes back out of line: where the converter assigns, the old
    // text is nearly always in the word, and the give-back written out at
    // every assignment only made the code around it longer.
    SMS_FORCE static void Free(uintptr_t w) {
        if (str_word::IsBlock(w)) FreeBlock(w);
    }
    static void FreeBlock(uintptr_t w);
    // The word of `chars` (len of them, at most eight), after `old` is gone:
    // in the word itself, or in a block (the old one when it has room).
    static uintptr_t WithChars(uintptr_t old, uint64_t chars, size_t len);
    static uintptr_t Unpacked(uintptr_t w);
    // Joins a piece to a text in the word, in the word, when the joined text
    // can be held there (Join is str_word's Appended or Prepended).
    template <uintptr_t (*Join)(uintptr_t, uint64_t, size_t)>
    bool JoinedInWord(const StrArg& piece);
    static uintptr_t Assigned(uintptr_t old, const char* text, size_t len);
    // The piece is passed as its parts (see StrArg).
    static uintptr_t AppendSlow(uintptr_t w, uint64_t data, size_t len, size_t base, unsigned kind);
    static uintptr_t PrependSlow(uintptr_t w, uint64_t data, size_t len, size_t base, unsigned kind);
    // Makes room for `front` more bytes before and `back` more after the
    // text, moving a text held in the word into a block.
    static Block* Reserve(uintptr_t w, size_t front, size_t back);
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
// Not for a long piece of a procedure's own variable, which is left in the
// variable's block and goes with it: such a result goes back through
// ReturnString, which copies it.
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
// x rounded to the nearest integer in the current rounding mode (ties to
// even by default), as storing a float in an integer variable rounds; for x
// within the signed 32-bit range.
inline int32_t RoundToInt(double x);


namespace strings_internal {

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

// The longer results, built in the buffer.
// Their arguments come as parts (see StrArg).
Placed CopyLong(uint64_t data, size_t len, unsigned kind, size_t skip, size_t k);
Placed ConcatLong(uint64_t aData, size_t aLen, unsigned aKind, uint64_t bData, size_t bLen, unsigned bKind);
Placed PadLong(uint64_t data, size_t len, unsigned kind, size_t want, char fill);
Placed ReverseLong(uint64_t data, size_t len, unsigned kind);
Placed IntToDecAny(int64_t v);
Placed IntToHexAny(int64_t v);
#if defined(__GNUC__)
__attribute__((noinline))
#endif
int64_t DecToIntAny(uint64_t data, size_t len, size_t base, unsigned kind);
#if defined(__GNUC__)
__attribute__((noinline, cold))
#endif
float PowFAny(float base, float exponent);

// A piece: a value when short, else copied to the buffer.
SMS_INLINE Tmp Sub(const StrArg& s, size_t skip, size_t k) {
    if (k <= kShortMax) return Short(s.CharsAt(skip, k), k, s.Base());
    return FromBuffer(CopyLong(s.PartData(), s.Length(), s.PartKind(), skip, k), s.Base());
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
        return FromBuffer(PadLong(s.PartData(), s.Length(), s.PartKind(), want, static_cast<char>(f)),
                          Min(s.Base(), fill.Base()));
    size_t k = Min(s.Length(), want);
    uint64_t chars = s.CharsAt(0, k) | (f * 0x0101010101010101ull & Mask(want) & ~Mask(k));
    return Short(chars, want, Min(s.Base(), fill.Base()));
}

SMS_INLINE Tmp StrReverse(StrArg s) {
    size_t len = s.Length();
    if (len > strings_internal::kShortMax)
        return strings_internal::FromBuffer(strings_internal::ReverseLong(s.PartData(), len, s.PartKind()), s.Base());
    uint64_t chars = s.Chars(), reversed = 0;
    for (size_t i = 0; i < len; ++i) reversed |= (chars >> (8 * i) & 0xFF) << (8 * (len - 1 - i));
    return strings_internal::Short(reversed, len, s.Base());
}

SMS_INLINE Tmp operator+(StrArg a, StrArg b) {
    using namespace strings_internal;
    size_t la = a.Length(), lb = b.Length();
    if (la + lb > kShortMax)
        return FromBuffer(ConcatLong(a.PartData(), la, a.PartKind(), b.PartData(), lb, b.PartKind()),
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
#if defined(__i386__) && !defined(__SSE2__)
    // The x87 unit truncates only after its rounding mode is switched, which
    // costs more than the halving it serves: round in the current mode, then
    // step back by one toward zero where the rounded value lies beyond x.
    if (x > -2147483648.0 && x < 2147483647.0) {
        int32_t r = RoundToInt(x);
        if (x >= 0 && r > x) return r - 1;
        if (x < 0 && r < x) return r + 1;
        return r;
    }
#endif
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
    if (len - 1 >= kInline) return false;
    uint64_t chars = value.Chars();
    word_ = str_word::Pack(chars, len);
    TempConsume(value);
    return true;
}

SMS_INLINE uintptr_t Str::WithChars(uintptr_t old, uint64_t chars, size_t len) {
    if (len <= kInline) {
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
    if (add - 1 >= kInline) return false;
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
    word_ = AppendSlow(w, piece.PartData(), piece.Length(), piece.Base(), piece.PartKind());
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
        word_ = PrependSlow(w, piece.PartData(), piece.Length(), piece.Base(), piece.PartKind());
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
    return strings_internal::DecToIntAny(s.PartData(), s.Length(), s.Base(), s.PartKind());
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

