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
// Lengths, counts and starts are 64-bit, so nothing wraps for any text that
// fits in memory; 32-bit arguments widen without change.
#pragma once
#include <cstddef>
#include <cmath>
#include <cstdint>
#include <cstring>

class Str;
struct Heap;

// A temporary: `len` characters at offset `off` of the temporary string
// buffer. `base` is the buffer's end when the statement that made it began.
struct Tmp {
    size_t base;
    size_t off;
    size_t len;
};

namespace strings_internal {
struct TempBuffer {
    char* data;
    size_t capacity;
    size_t end;
};
extern TempBuffer gTemp;
char* GrowTemp(size_t amount, size_t position);
}  // namespace strings_internal

class StrArg {
public:
    StrArg(const Str& var);          // NOLINT: implicit by design (defined below)
    StrArg(const char* literal);     // NOLINT: null reads as an unset string
    StrArg(Tmp tmp) : ptr_(nullptr), len_(tmp.len), off_(tmp.off), base_(tmp.base), isTmp_(true) {}  // NOLINT
    StrArg(const char* text, size_t len) : ptr_(text), len_(len) {}

    size_t Length() const { return len_; }
    bool IsUnset() const { return unset_; }
    // The text's current address. For a temporary this is only valid until
    // the next reservation in the buffer.
    const char* Ptr() const { return isTmp_ ? strings_internal::gTemp.data + off_ : ptr_; }
    // The same text as an argument that does not own its temporary: used
    // by procedures, which keep their arguments for their whole run.
    StrArg Pinned() const;
    // Where the buffer's end goes back to when this argument is consumed;
    // kNoBase when it owns no temporary.
    size_t Base() const { return base_; }
    static constexpr size_t kNoBase = SIZE_MAX;

private:
    const char* ptr_ = "";
    size_t len_ = 0;
    size_t off_ = 0;
    size_t base_ = kNoBase;
    bool isTmp_ = false;
    bool unset_ = false;
};

// A string variable: one pointer-sized word, zero while unset (so a
// zero-filled `Str` is an unset one, which string arrays rely on). A text of
// up to kInline characters is kept in the word itself, its first byte holding
// a tag (bit 0 set) and the length; a longer one lives in a block of the
// string heap. Short texts are the common case in the converter (binary
// digits, hex digits, single characters), and they need no heap block.
class Str {
public:
    static constexpr size_t kInline = sizeof(void*) - 2;

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
    Str(Tmp value) : Str(StrArg(value)) {}                 // NOLINT
    Str(const char* value) : Str(StrArg(value)) {}         // NOLINT
    Str& operator=(const Str& other) { return this == &other ? *this : *this = StrArg(other); }
    Str& operator=(StrArg value);
    Str& operator=(Tmp value) { return *this = StrArg(value); }
    Str& operator=(const char* value) { return *this = StrArg(value); }
    ~Str() { Release(); }

    // Frees the text; the variable becomes unset.
    void Release() {
        if (word_ && !IsInline()) ReleaseBlock();
        word_ = 0;
    }
    // `s.Append(x)` is `s = s + x` and `s.Prepend(x)` is `s = x + s`, done in
    // the variable's own storage: the text is not copied on every call, so a
    // string built piece by piece costs time linear in its length.
    void Append(StrArg piece);
    void Prepend(StrArg piece);

    bool IsSet() const { return word_ != 0; }
    size_t Length() const {
        if (IsInline()) return (word_ >> 1) & 0x7F;
        return word_ ? reinterpret_cast<const Block*>(word_)->len : 0;
    }
    // "" when unset; valid until the next change.
    const char* Text() const {
        if (IsInline()) return reinterpret_cast<const char*>(&word_) + 1;
        if (!word_) return "";
        const Block* block = reinterpret_cast<const Block*>(word_);
        return block->data + block->front;
    }

private:
    uintptr_t word_ = 0;
    bool IsInline() const { return (word_ & 1) != 0; }
    Block* HeapBlock() const { return IsInline() ? nullptr : reinterpret_cast<Block*>(word_); }
    // The word of a short text: tag and length in the low byte, then the
    // characters, then zero bytes (the first of which ends the text).
    static uintptr_t ShortWord(const char* text, size_t len) {
        uintptr_t w = 0;
        for (size_t i = len; i-- > 0;) w = w << 8 | static_cast<unsigned char>(text[i]);
        return w << 8 | len << 1 | 1;
    }
    void ReleaseBlock();
    void Assign(const char* text, size_t len);
    void AppendSlow(StrArg piece);
    void PrependSlow(StrArg piece);
    void Reserve(size_t front, size_t back);
};
static_assert(sizeof(Str) == sizeof(void*), "a string element is one reference");
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "short strings keep their tag in the low byte of the word"
#endif

// Concatenation: the pieces are placed one after the other in the buffer.
Tmp operator+(StrArg a, StrArg b);

// A procedure hands its result back as a temporary, like a primitive: a copy
// of `value` in the buffer, which keeps the temporary of `argument` (the
// procedure's own argument, if it was one) alive until the caller is done.
inline Tmp ReturnString(StrArg value, const StrArg& argument = StrArg(nullptr, 0)) {
    Tmp t = StrArg("") + value;
    if (argument.Base() < t.base) t.base = argument.Base();
    return t;
}

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
inline char* TempReserve(size_t amount, size_t position) {
    strings_internal::TempBuffer& t = strings_internal::gTemp;
    // Written so that no sum can wrap: the end always lies more than 4 bytes
    // below the capacity.
    if (position >= t.capacity - 4 || amount >= t.capacity - position - 4)
        return strings_internal::GrowTemp(amount, position);
    t.end = position + amount;
    return t.data + position;
}
// Moves the end back by `amount` reserved but unused bytes; returns the end.
inline size_t TempGiveBack(size_t amount) {
    strings_internal::TempBuffer& t = strings_internal::gTemp;
    t.end -= amount < t.end ? amount : t.end;
    return t.end;
}
inline size_t TempEnd() { return strings_internal::gTemp.end; }
inline void TempSetEnd(size_t end) {
    strings_internal::TempBuffer& t = strings_internal::gTemp;
    if (end < t.end) t.end = end;
}
inline size_t TempCapacity() { return strings_internal::gTemp.capacity; }
// The temporary made of the buffer's bytes from `start` to `end`.
Tmp TempSpan(size_t start, size_t end);
// Consumes an argument: if it owns a temporary, the end goes back to its base.
inline void TempConsume(const StrArg& arg) {
    if (arg.Base() != StrArg::kNoBase) TempSetEnd(arg.Base());
}
// `t` made to keep `arg`'s temporary alive too (its base lowered to arg's).
Tmp TempKeep(Tmp t, const StrArg& arg);

// --- Primitives ------------------------------------------------------------

int64_t StrLen(StrArg s);
int StrAsc(StrArg s);                         // 0 to 255; 0 for ""
Tmp StrChr(int64_t code);                     // low 8 bits; "" when they are 0
inline Tmp StrLeft(StrArg s, int64_t n);
inline Tmp StrRight(StrArg s, int64_t n);
inline Tmp StrMid(StrArg s, int64_t start, int64_t count);
Tmp StrPad(StrArg s, int64_t length, StrArg fill);
Tmp StrReverse(StrArg s);
inline Tmp IntToDec(int64_t v);
Tmp IntToHex(int64_t v);
inline int64_t DecToInt(StrArg s);
inline float PowF(float base, float exponent);
inline int32_t TruncToInt(double x);


namespace strings_internal {

inline size_t Min(size_t a, size_t b) { return a < b ? a : b; }

// A count argument clamped to what a text of `len` characters can give.
inline size_t Clamp(int64_t n, size_t len) {
    if (n <= 0) return 0;
    return static_cast<uint64_t>(n) < len ? static_cast<size_t>(n) : len;
}

// Short copies are the common case (single characters, binary digits):
// a plain loop beats a call to the library.
inline void Copy(char* dst, const char* src, size_t n) {
    if (n <= 16) {
        for (size_t i = 0; i < n; ++i) dst[i] = src[i];
    } else {
        memmove(dst, src, n);
    }
}

// Reserves `amount` at the end; returns the start offset of the reservation.
inline size_t ReserveAtEnd(size_t amount, char** dst) {
    size_t start = gTemp.end;
    *dst = TempReserve(amount, start);
    return start;
}

// Finishes a result of `written` bytes reserved as `reserved` at `start`.
inline Tmp Finish(size_t start, size_t reserved, size_t written, size_t base) {
    gTemp.data[start + written] = '\0';
    TempGiveBack(reserved - written);
    return Tmp{Min(base, start), start, written};
}

}  // namespace strings_internal

inline Tmp StrLeft(StrArg s, int64_t n) {
    size_t k = strings_internal::Clamp(n, s.Length());
    char* dst;
    size_t start = strings_internal::ReserveAtEnd(k, &dst);
    strings_internal::Copy(dst, s.Ptr(), k);
    return strings_internal::Finish(start, k, k, s.Base());
}

inline Tmp StrRight(StrArg s, int64_t n) {
    size_t k = strings_internal::Clamp(n, s.Length());
    char* dst;
    size_t start = strings_internal::ReserveAtEnd(k, &dst);
    strings_internal::Copy(dst, s.Ptr() + s.Length() - k, k);
    return strings_internal::Finish(start, k, k, s.Base());
}

// A start of 1 or less means the first character; a start past the end gives
// "". The reservation is the most that can be copied, not the raw count, so a
// huge count on a short text reserves nothing extra.
inline Tmp StrMid(StrArg s, int64_t start, int64_t count) {
    size_t len = s.Length();
    size_t skip = start <= 1 ? 0 : strings_internal::Clamp(start - 1, len);
    size_t k = strings_internal::Clamp(count, len - skip);
    char* dst;
    size_t at = strings_internal::ReserveAtEnd(k, &dst);
    strings_internal::Copy(dst, s.Ptr() + skip, k);
    return strings_internal::Finish(at, k, k, s.Base());
}

// Truncation toward zero. Outside the signed 32-bit range the result
// saturates to the nearest bound, and NaN gives 0: the codec never passes
// such values, and saturating keeps every caller's arithmetic defined.
inline int32_t TruncToInt(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 2147483647.0) return INT32_MAX;
    if (x <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(x);
}

namespace strings_internal {
Tmp IntToDecAny(int64_t v);
}

inline Tmp IntToDec(int64_t v) {
    if (v < 0 || v > 9) return strings_internal::IntToDecAny(v);
    // One decimal digit, the common case of the converter's binary digits.
    char* dst;
    size_t at = strings_internal::ReserveAtEnd(32, &dst);
    dst[0] = static_cast<char>('0' + v);
    return strings_internal::Finish(at, 32, 1, at);
}

// --- Inline parts of the string model ----------------------------------------
// Short texts are the converter's daily bread; their assignments, appends and
// prepends work on the word alone.

inline StrArg::StrArg(const Str& var) : ptr_(var.Text()), len_(var.Length()), unset_(!var.IsSet()) {}

inline Str& Str::operator=(StrArg value) {
    size_t len = value.Length();
    if (len <= kInline && !value.IsUnset() && (word_ == 0 || IsInline())) {
        word_ = ShortWord(value.Ptr(), len);
    } else if (value.IsUnset()) {
        Release();
    } else {
        Assign(value.Ptr(), len);
    }
    TempConsume(value);
    return *this;
}

inline void Str::Append(StrArg piece) {
    size_t add = piece.Length(), len = Length();
    Block* block = HeapBlock();
    if (len + add <= kInline && (word_ == 0 || IsInline())) {
        uintptr_t chars = (ShortWord(piece.Ptr(), add) >> 8) << (8 * (len + 1));
        word_ = (word_ & ~static_cast<uintptr_t>(0xFF)) | chars | (len + add) << 1 | 1;
        TempConsume(piece);
    } else if (block && add <= 16 && block->capacity - block->front - len - 1 >= add) {
        // A short piece into room at the end. A piece taken from this text
        // itself lies wholly before the place it goes to.
        char* end = block->data + block->front + len;
        strings_internal::Copy(end, piece.Ptr(), add);
        end[add] = '\0';
        block->len = len + add;
        TempConsume(piece);
    } else {
        AppendSlow(piece);
    }
}

inline void Str::Prepend(StrArg piece) {
    size_t add = piece.Length(), len = Length();
    if (len + add <= kInline && (word_ == 0 || IsInline())) {
        uintptr_t old = (word_ >> 8) << (8 * (add + 1));
        word_ = old | (ShortWord(piece.Ptr(), add) & ~static_cast<uintptr_t>(0xFF)) | (len + add) << 1 | 1;
        TempConsume(piece);
    } else {
        PrependSlow(piece);
    }
}

namespace strings_internal {
int64_t DecToIntAny(const StrArg& s);
float PowFAny(float base, float exponent);
}  // namespace strings_internal

inline int64_t DecToInt(StrArg s) {
    if (s.Length() == 1 && s.Ptr()[0] >= '0' && s.Ptr()[0] <= '9') {  // a single digit
        int64_t digit = s.Ptr()[0] - '0';
        TempConsume(s);
        return digit;
    }
    return strings_internal::DecToIntAny(s);
}

// A power of two raised to a whole exponent is exact: it is built as the
// float's own exponent field. That is the converter's only use; every other
// case goes through the general power routine in extended precision.
inline float PowF(float base, float exponent) {
    if (base == 2.0f && exponent >= -126.0f && exponent <= 127.0f &&
        exponent == static_cast<float>(static_cast<int>(exponent))) {
        uint32_t bits = static_cast<uint32_t>(static_cast<int>(exponent) + 127) << 23;
        float result;
        memcpy(&result, &bits, sizeof result);
        return result;
    }
    return strings_internal::PowFAny(base, exponent);
}
