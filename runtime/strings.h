// The string runtime: string variables, temporaries in the process-wide
// temporary string buffer, and the string and number primitives.
//
// The model. A `Str` variable owns its text (8-bit characters; code 0 ends
// it when it is read as a C string) in the string heap; a variable never
// assigned is unset and reads as "". Every primitive that yields a string
// writes it at the current end of the one temporary string buffer and hands
// back a `Tmp`: a place in that buffer, not a pointer, because the buffer may
// grow and move while a later primitive of the same statement reserves room.
// A text of up to eight characters travels inside the `Tmp` as a value and
// leaves the buffer alone. Arguments are taken as `StrArg`, which a
// variable, a literal, a text with its length or a `Tmp` converts to.
//
// Rules a caller holds to (the sanitizer build asserts each where it can be
// seen):
// 1. A `Tmp` lives for the statement that made it: it is assigned to a
//    variable, passed to one primitive or procedure, or joined with `+`, and
//    then it is used up. Whoever consumes it sets the buffer's end back to
//    where the statement began (`Tmp::base`). Asserted: a temporary of the
//    buffer is read only while it lies below the buffer's end.
// 2. A primitive resolves a `Tmp` argument to an address only after it has
//    reserved room for its own result, so a move of the buffer never leaves
//    it reading freed memory.
// 3. A procedure hands its string result back as a temporary, through
//    `ReturnString` or a primitive's result, never pointing into its own
//    variables: every temporary is a value or lies in the buffer, so the
//    procedure's variables may go before its caller reads the result.
//    Asserted: a temporary handed back with `TempKeep` is a value or lies in
//    the buffer.
// 4. A procedure keeps its `StrArg` arguments for its whole run with
//    `Pinned()` and gives their temporaries back with its result
//    (`ReturnString(result, argument)` or `TempKeep`).
//
// Lengths, counts and starts are 64-bit, so nothing wraps for any text that
// fits in memory; 32-bit arguments widen without change. No primitive fails:
// counts and starts are clamped as each one says.
//
// The word a variable keeps its text in is described in runtime/str_word.h;
// the inline fast paths of everything declared here are in
// runtime/strings_inline.h, included at the end.
#pragma once
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "runtime/heap.h"
#include "runtime/str_word.h"

class Str;

namespace strings_internal {

// A short text as a value: up to eight characters, the first in the low
// byte, the bytes past the text zero.
constexpr size_t kShortMax = 8;
// The offset of a temporary that is held as a value, not in the buffer.
constexpr size_t kShortOff = SIZE_MAX;

// The low `k` bytes (k at most 8) set.
inline uint64_t Mask(size_t k);
// Reads exactly `k` (at most 8) bytes, never one past the text.
inline uint64_t Load(const char* p, size_t k);
// Writes exactly `k` (at most 8) bytes of `chars`.
inline void Store(char* p, uint64_t chars, size_t k);

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

// An argument's text as plain fields, the form the out-of-line slow paths
// take it in: built only where such a path is called, it leaves the
// argument itself free to stay in registers on the fast path.
struct StrParts {
    uint64_t data;  // see StrArg::Kind
    size_t len;
    size_t base;    // StrArg::Base()
    uint8_t kind;
};

class StrArg {
public:
    StrArg(const Str& var);          // NOLINT: implicit by design (defined below)
    SMS_FORCE StrArg(const char* literal) {  // NOLINT: null reads as an unset string
        if (!literal) kind_ = kUnset;
        else data_ = Bits(literal), len_ = strlen(literal);
    }
    SMS_FORCE StrArg(Tmp tmp) : len_(tmp.len), base_(tmp.base) {  // NOLINT
        if (tmp.off == strings_internal::kShortOff) {
            kind_ = kShort, data_ = tmp.chars;
        } else {
            // Rule 1: a temporary of the buffer not yet used up.
            assert(tmp.off + tmp.len <= strings_internal::gTemp.end && "a temporary read after its statement");
            kind_ = kBuffer, data_ = tmp.off;
        }
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

    // The argument as plain fields, and back (see StrParts).
    SMS_FORCE StrParts Parts() const { return StrParts{data_, len_, base_, kind_}; }
    SMS_FORCE explicit StrArg(const StrParts& p)
        : data_(p.data), len_(p.len), base_(p.base), kind_(static_cast<Kind>(p.kind)) {}
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

// A string variable: one pointer-sized word (runtime/str_word.h). Short
// texts are the common case in the converter (binary digits, hex digits,
// single characters, groups of eight digits on 64-bit), and they need no
// heap block. The word has no room for a short text's final code 0: `Text()`
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
    // For a variable that holds no block: a text of 1 to kInline characters
    // is written in the word without the old word being read, and the
    // argument consumed. False, the variable and the argument left as they
    // were, for any other text.
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
    // are, so the variables must not be used again.
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
    static uintptr_t AppendSlow(uintptr_t w, StrParts piece);
    static uintptr_t PrependSlow(uintptr_t w, StrParts piece);
    // Makes room for `front` more bytes before and `back` more after the
    // text, moving a text held in the word into a block.
    static Block* Reserve(uintptr_t w, size_t front, size_t back);
};
static_assert(sizeof(Str) == sizeof(void*), "a string element is one reference");

// Concatenation: the pieces one after the other (a value when together
// they are short). Both arguments are consumed.
inline Tmp operator+(StrArg a, StrArg b);

// A procedure's string result (rule 3): a temporary copy of `value`, which
// also keeps the temporary of `argument` (the procedure's own argument, if it
// was one) until the caller is done with the result.
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
// `t` made to keep `arg`'s temporary alive too (its base lowered to arg's):
// how a procedure hands back a primitive's result built from its argument.
SMS_INLINE Tmp TempKeep(Tmp t, const StrArg& arg) {
    // Rule 3: a value, or a temporary of the buffer.
    assert((t.off == strings_internal::kShortOff || t.off + t.len <= strings_internal::gTemp.end) &&
           "a procedure's result must be a value or lie in the buffer");
    if (arg.Base() < t.base) t.base = arg.Base();
    return t;
}

// --- Primitives ------------------------------------------------------------
//
// Each takes its string arguments as `StrArg` and consumes them: an argument
// that is a temporary is used up by the call (its buffer room is given back
// with the result's), a variable or literal is left as it was. A result is a
// new temporary (rule 1). Positions count from 1.

// The number of characters; an unset text has 0.
inline int64_t StrLen(StrArg s);
// The code of the first character, 0 to 255; 0 for "".
inline int StrAsc(StrArg s);
// The one character of code `code`'s low 8 bits; "" when they are 0 (so
// joining the result to a text leaves the text as it was).
inline Tmp StrChr(int64_t code);
// The first `n` characters. Clamps: n below 0 gives "", n past the end
// gives the whole text.
inline Tmp StrLeft(StrArg s, int64_t n);
// The last `n` characters, clamped as StrLeft.
inline Tmp StrRight(StrArg s, int64_t n);
// `count` characters from position `start`. Clamps: a start of 1 or less
// means the first character, a start past the end gives "", a count below 1
// gives "", a count past the end stops there. Reserves at most what can be
// copied, so a huge count on a short text reserves nothing extra.
inline Tmp StrMid(StrArg s, int64_t start, int64_t count);
// `s` fitted to exactly `length` characters: cut, or filled at the end with
// the first character of `fill` (a space when `fill` is unset or set but
// empty). A length of 0 or less gives "".
inline Tmp StrPad(StrArg s, int64_t length, StrArg fill);
// The characters of `s` in reverse order.
inline Tmp StrReverse(StrArg s);
// The decimal digits of `v`, '-' in front of a negative one; no padding.
inline Tmp IntToDec(int64_t v);
// The upper-case hex digits of `v`'s 64-bit two's-complement pattern, no
// leading zeros (0 gives '0'), no sign.
inline Tmp IntToHex(int64_t v);
// The number at the start of `s`: blanks and tabs skipped, one sign, '$'
// for hex or '%' for binary, then digits up to the first that is not one of
// the base's; wraps modulo 2^64. A text without digits gives 0.
inline int64_t DecToInt(StrArg s);
// base ** exponent, rounded to a float; exact for powers of two.
inline float PowF(float base, float exponent);
// `x` truncated toward zero. Outside the signed 32-bit range the result
// saturates to the nearest bound, and NaN gives 0.
inline int32_t TruncToInt(double x);
// `x` rounded to the nearest integer in the current rounding mode (ties to
// even by default), as storing a float in an integer variable rounds; for x
// within the signed 32-bit range.
inline int32_t RoundToInt(double x);
// What a 16-bit integer variable holds after the rounding store of `x`
// (wrapping outside its range, 0 for NaN), as a double: a sum built in
// steps that are each such a store stays a double between them.
inline double RoundedToInt16(double x);

// At the end: the inline fast paths of everything above.
#include "runtime/strings_inline.h"
