#include "runtime/strings.h"

#include <cmath>
#include <cstring>

#include "runtime/heap.h"

using namespace strings_internal;

// --- Set-up and buffer ------------------------------------------------------

namespace strings_internal {
TempBuffer gTemp = {nullptr, 0, 0};
Heap* gStringHeap = nullptr;

char* GrowTemp(size_t amount, size_t position) {
    if (amount > SIZE_MAX / 4 || position > SIZE_MAX / 4) OutOfMemory();
    if (position + amount + 4 >= gTemp.capacity) {
        gTemp.capacity = position + amount + 16384;
        gTemp.data = static_cast<char*>(HeapResize(gStringHeap, gTemp.data, gTemp.capacity + 5));
    }
    gTemp.end = position + amount;
    return gTemp.data + position;
}
}  // namespace strings_internal

void StringRuntimeInit() {
    if (gStringHeap) return;
    gStringHeap = NewHeap(4096);
    gTemp.capacity = 16;
    gTemp.data = static_cast<char*>(HeapTake(gStringHeap, gTemp.capacity + 5));
    gTemp.data[0] = '\0';
    gTemp.end = 0;
}

Heap* StringHeap() { return gStringHeap; }

// --- Str --------------------------------------------------------------------

namespace {
// From this length on a text's block doubles when it grows.
constexpr size_t kDoubling = 64 * 1024;

Str::Block* NewBlock(size_t front, size_t len, size_t capacity) {
    auto* block = static_cast<Str::Block*>(HeapTake(gStringHeap, offsetof(Str::Block, data) + capacity));
    block->len = len;
    block->front = front;
    block->capacity = capacity;
    return block;
}
}  // namespace


uintptr_t Str::Unpacked(uintptr_t w) {
    size_t len = LengthOf(w);
    Block* block = NewBlock(0, len, len + 1);
    Store(block->data, CharsOf(w), len);
    block->data[len] = '\0';
    return reinterpret_cast<uintptr_t>(block);
}

Str::Block* Str::Reserve(uintptr_t w, size_t front, size_t back) {
    size_t len = LengthOf(w);
    Block* block = BlockOf(w);
    if (block && block->front >= front && block->capacity - block->front - len - 1 >= back) return block;
    if (len > SIZE_MAX / 4 || front > SIZE_MAX / 4 || back > SIZE_MAX / 4) OutOfMemory();
    // Grow by at least half again on the side that is asked for, and keep
    // the room the other side has: a string built piece by piece, at either
    // end or at both in turn, is then copied a logarithmic number of times.
    // A long text doubles: its copies are what building it costs most.
    size_t roomFront = block ? block->front : 0;
    size_t roomBack = block ? block->capacity - block->front - len - 1 : 0;
    size_t grow = len >= kDoubling ? len : len / 2;
    size_t growFront = front ? front + grow + 16 : roomFront;
    size_t growBack = back ? back + grow + 16 : roomBack;
    size_t capacity = growFront + len + 1;  // at most three quarters of the range
    if (capacity + growBack < capacity) OutOfMemory();
    Block* fresh = NewBlock(growFront, len, capacity + growBack);
    if (block) memcpy(fresh->data + growFront, block->data + block->front, len);
    else Store(fresh->data + growFront, CharsOf(w), len);
    fresh->data[growFront + len] = '\0';
    Free(w);
    return fresh;
}

// `text` may lie in the old text's own block.
uintptr_t Str::Assigned(uintptr_t old, const char* text, size_t len) {
    if (len <= kShortMax) return WithChars(old, Load(text, len), len);
    Block* block = BlockOf(old);
    if (block && text >= block->data && text < block->data + block->capacity) {
        memmove(block->data, text, len);  // a piece of the variable's own text
    } else if (!block || block->capacity <= len || block->capacity > 2 * len + 64) {
        Block* fresh = NewBlock(0, len, len + 1);
        memcpy(fresh->data, text, len);
        Free(old);
        block = fresh;
    } else {
        memcpy(block->data, text, len);
    }
    block->len = len;
    block->front = 0;
    block->data[len] = '\0';
    return reinterpret_cast<uintptr_t>(block);
}

namespace {
// Where `piece` lies within `block`'s text, or SIZE_MAX: growing the block
// moves it. (A text held in a word travels as a value.)
size_t OffsetIn(const Str::Block* block, const StrArg& piece) {
    if (!block) return SIZE_MAX;
    const char* own = block->data + block->front;
    return piece.Ptr() >= own && piece.Ptr() <= own + block->len ? static_cast<size_t>(piece.Ptr() - own) : SIZE_MAX;
}
}  // namespace

uintptr_t Str::AppendSlow(uintptr_t w, StrParts parts) {
    StrArg piece(parts);
    size_t add = piece.Length();
    size_t len = LengthOf(w);
    if (!add) return TempConsume(piece), w ? w : str_word::kEmpty;  // an unset variable becomes set
    size_t selfOff = OffsetIn(BlockOf(w), piece);
    Block* block = Reserve(w, 0, add);
    char* text = block->data + block->front;
    memmove(text + len, selfOff != SIZE_MAX ? text + selfOff : piece.Ptr(), add);
    block->len += add;
    text[block->len] = '\0';
    TempConsume(piece);
    return reinterpret_cast<uintptr_t>(block);
}

uintptr_t Str::PrependSlow(uintptr_t w, StrParts parts) {
    StrArg piece(parts);
    size_t add = piece.Length();
    if (!add) return TempConsume(piece), w ? w : str_word::kEmpty;
    size_t selfOff = OffsetIn(BlockOf(w), piece);
    Block* block = Reserve(w, add, 0);
    char* text = block->data + block->front;
    memmove(text - add, selfOff != SIZE_MAX ? text + selfOff : piece.Ptr(), add);
    block->front -= add;
    block->len += add;
    TempConsume(piece);
    return reinterpret_cast<uintptr_t>(block);
}

void Str::FreeBlock(uintptr_t w) { HeapGive(gStringHeap, reinterpret_cast<Block*>(w)); }

namespace {
// The give-back written out here: an array's strings may all have blocks.
SMS_INLINE void FreeInline(uintptr_t w) {
    if (str_word::IsBlock(w)) HeapGive(gStringHeap, reinterpret_cast<Str::Block*>(w));
}
}  // namespace

void Str::ReleaseAll(Str* strings, size_t count) {
    for (size_t i = 0; i < count; ++i) FreeInline(strings[i].word_);
}

Placed strings_internal::ConcatLong(StrParts aParts, StrParts bParts) {
    StrArg a(aParts), b(bParts);
    char* dst;
    // A left piece that already ends the buffer stays where it is.
    if (a.InBuffer() && a.Ptr() + a.Length() == gTemp.data + gTemp.end) {
        size_t aOff = static_cast<size_t>(a.Ptr() - gTemp.data);
        size_t start = ReserveAtEnd(b.Length(), &dst);
        memmove(dst, b.Ptr(), b.Length());
        gTemp.data[start + b.Length()] = '\0';
        return Placed{aOff, a.Length() + b.Length()};
    }
    size_t total = a.Length() + b.Length();
    size_t start = ReserveAtEnd(total, &dst);
    memmove(dst, a.Ptr(), a.Length());
    memmove(dst + a.Length(), b.Ptr(), b.Length());
    return Finish(start, total, total);
}

// --- Primitives -------------------------------------------------------------

Placed strings_internal::CopyLong(StrParts parts, size_t skip, size_t k) {
    StrArg s(parts);
    char* dst;
    size_t start = ReserveAtEnd(k, &dst);
    memcpy(dst, s.Ptr() + skip, k);
    return Finish(start, k, k);
}

Placed strings_internal::PadLong(StrParts parts, size_t want, char fill) {
    StrArg s(parts);
    size_t k = Min(s.Length(), want);
    char* dst;
    size_t at = ReserveAtEnd(want, &dst);
    memmove(dst, s.Ptr(), k);
    memset(dst + k, fill, want - k);
    return Finish(at, want, want);
}

Placed strings_internal::ReverseLong(StrParts parts) {
    StrArg s(parts);
    size_t len = s.Length();
    char* dst;
    size_t at = ReserveAtEnd(len, &dst);
    const char* src = s.Ptr();
    // Eight characters at a time, byte-swapped, from the end of the text.
    size_t i = 0;
    for (; i + 8 <= len; i += 8) {
        uint64_t chunk;
        memcpy(&chunk, src + len - i - 8, 8);
        chunk = __builtin_bswap64(chunk);
        memcpy(dst + i, &chunk, 8);
    }
    for (; i < len; ++i) dst[i] = src[len - 1 - i];
    return Finish(at, len, len);
}

Placed strings_internal::IntToDecAny(int64_t v) {
    bool small = v >= INT32_MIN && v <= INT32_MAX;
    size_t reserve = small ? 32 : 64;
    char* dst;
    size_t at = ReserveAtEnd(reserve, &dst);
    char digits[24];
    size_t n = 0;
    bool negative = v < 0;
    if (small) {
        // 32-bit arithmetic for the common range.
        uint32_t m = negative ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
        do { digits[n++] = static_cast<char>('0' + m % 10); m /= 10; } while (m);
    } else {
        uint64_t m = negative ? 0u - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
        do { digits[n++] = static_cast<char>('0' + m % 10); m /= 10; } while (m);
    }
    size_t w = 0;
    if (negative) dst[w++] = '-';
    while (n) dst[w++] = digits[--n];
    return Finish(at, reserve, w);
}

Placed strings_internal::IntToHexAny(int64_t v) {
    static const char kDigits[] = "0123456789ABCDEF";
    char* dst;
    size_t at = ReserveAtEnd(16, &dst);
    uint64_t bits = static_cast<uint64_t>(v);
    size_t w = 0;
    for (int shift = 60; shift >= 0; shift -= 4) {
        unsigned nibble = static_cast<unsigned>(bits >> shift) & 0xF;
        if (nibble || w || shift == 0) dst[w++] = kDigits[nibble];
    }
    return Finish(at, 16, w);
}

int64_t strings_internal::DecToIntAny(StrParts parts) {
    StrArg s(parts);
    const char* p = s.Ptr();
    const char* end = p + s.Length();
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    unsigned base = 10;
    if (p < end && *p == '$') { base = 16; ++p; }
    else if (p < end && *p == '%') { base = 2; ++p; }
    uint64_t value = 0;
    for (; p < end; ++p) {
        unsigned c = static_cast<unsigned char>(*p), d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else break;
        if (d >= base) break;
        value = value * base + d;  // wraps modulo 2^64
    }
    TempConsume(s);
    return static_cast<int64_t>(negative ? 0u - value : value);
}

// Powers of two of a whole exponent outside the float range of the inline
// path are still exact as an exponent shift of a long double.
float strings_internal::PowFAny(float base, float exponent) {
    long double b = base, e = exponent;
    if (std::isfinite(b) && b > 0 && std::isfinite(e) && e == std::trunc(e) &&
        std::fabs(e) <= 100000) {
        int be;
        long double m = std::frexp(b, &be);
        if (m == 0.5L) return static_cast<float>(std::ldexp(1.0L, (be - 1) * static_cast<int>(e)));
    }
    return static_cast<float>(std::pow(b, e));
}

