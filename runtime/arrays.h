// Dynamic arrays of 16-bit integers and of strings, one- or two-dimensional.
//
// Dimensioning with the upper bound N gives N + 1 zero-filled elements (0, or
// an unset string). Header and elements are one block in the program heap:
// a header of six pointer-sized fields, then the elements. A two-dimensional
// variable keeps one stride per dimension, counted in elements.
//
// Rules a caller holds to (the sanitizer build asserts the first):
// 1. A typed string array (Array<Str>, Array2<Str>) keeps a flag saying
//    whether any element may hold a block of the string heap; while it says
//    none, an element is written without its old word being read and the
//    array is released without looking at its elements. The flag is right
//    only while every write goes through the array: its element handle
//    (StrElement, from operator[] or operator()), or the bare elements after
//    Elements(), which sets the flag. Asserted: an array released with the
//    flag clear holds no block.
// 2. The flag is kept only on 64-bit builds whose compiler is told to
//    inline (SMS_FORCED_INLINING, runtime/heap.h): on 32-bit, four
//    characters already take a block, and where the element handle is left
//    a call its bookkeeping costs more than it saves. Elsewhere the flag
//    always says "may", and every array is looked through.
#pragma once
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "runtime/heap.h"
#include "runtime/strings.h"

enum ArrayTypeCode : intptr_t { ARRAY_TYPE_INT16 = 3, ARRAY_TYPE_STRING = 8 };

// The six fields the array design gives every array, in its order.
struct ArrayHeader {
    intptr_t dimensions;            // set, read by no code of the program
    intptr_t elementSize;
    const intptr_t* managedFields;  // byte offsets of owned strings, ended by -1
    void** owner;                   // the array variable that holds the array
    intptr_t count;                 // all elements, the product of the sizes
    intptr_t typeCode;              // ArrayTypeCode; set, read by no code of the program
};

// The managed-field list of a string element: one string at offset 0.
extern const intptr_t kStringElementFields[];

// Registers the operations through which managed-field lists would reach
// nested containers. No element type of this program has any.
void ArrayRuntimeInit();

// Releases what `*variable` holds, then gives it `count` zeroed elements.
inline void DimArray(size_t elementSize, size_t count, intptr_t typeCode, const intptr_t* managedFields,
                     void** variable);
// `sizes` holds one size (upper bound + 1) per dimension on entry and the
// strides on return; the elements are dimensioned as one block.
void DimArrayMulti(int dimensions, size_t elementSize, intptr_t typeCode,
                   const intptr_t* managedFields, void** variable, intptr_t* sizes);
// Releases the strings the elements own, clears the owning variable and
// frees the block. Null does nothing.
inline void ReleaseArray(void* elements);
inline const ArrayHeader* ArrayHeaderOf(const void* elements) {
    return static_cast<const ArrayHeader*>(elements) - 1;
}

// --- Inline paths: the converter dimensions and releases small arrays in
// every call of its helpers, so both cost a few instructions.

namespace arrays_internal {
void* TakeLarge(size_t elementSize, size_t count);
void ReleaseFields(ArrayHeader* header);
// Whether no element of a string array holds a block (for the assertion of
// rule 1).
bool NoneHoldsABlock(const ArrayHeader* header);
// Whether typed string arrays keep the block flag (rule 2 above): the look
// for blocks at release reads all of a long array's memory once more, and
// reading an element's old word before writing it waits on memory in a long
// array freshly zeroed.
#if UINTPTR_MAX > 0xFFFFFFFFu && SMS_FORCED_INLINING
constexpr bool kNoteBlocks = true;
#else
constexpr bool kNoteBlocks = false;
#endif
// Small arrays are taken plain and cleared here; large ones come zeroed from
// the heap, which for fresh pages costs no pass over the memory.
constexpr size_t kClearInPlace = 4096;
}  // namespace arrays_internal

SMS_INLINE void DimArray(size_t elementSize, size_t count, intptr_t typeCode, const intptr_t* managedFields,
                         void** variable) {
    ReleaseArray(*variable);
    size_t bytes = elementSize * count;
    ArrayHeader* header;
    if (elementSize <= arrays_internal::kClearInPlace && count <= arrays_internal::kClearInPlace &&
        bytes <= arrays_internal::kClearInPlace) {
        header = static_cast<ArrayHeader*>(HeapTake(ProgramHeap(), sizeof(ArrayHeader) + bytes));
        memset(header + 1, 0, bytes);
    } else {
        header = static_cast<ArrayHeader*>(arrays_internal::TakeLarge(elementSize, count));
    }
    header->dimensions = 1;
    header->elementSize = static_cast<intptr_t>(elementSize);
    header->managedFields = managedFields;
    header->owner = variable;
    header->count = static_cast<intptr_t>(count);
    header->typeCode = typeCode;
    *variable = header + 1;
}

SMS_INLINE void ReleaseArray(void* elements) {
    if (!elements) return;
    ArrayHeader* header = static_cast<ArrayHeader*>(elements) - 1;
    if (header->managedFields) arrays_internal::ReleaseFields(header);
    *header->owner = nullptr;
    HeapGive(ProgramHeap(), header);
}

// --- Typed array variables, released when they go out of scope ---------------

// An element of a typed string array as the array hands it out: it is read
// and assigned like the string itself, and notes in the array's `blocks`
// an element taking a block (see arrays_internal::kNoteBlocks).
class StrElement {
public:
    StrElement(Str& s, bool& blocks) : s_(&s), blocks_(&blocks) {}
    SMS_FORCE StrElement& operator=(StrArg value) {
        if (arrays_internal::kNoteBlocks && !*blocks_ && s_->WroteInWord(value)) return *this;
        *s_ = value;
        Noted();
        return *this;
    }
    StrElement& operator=(const StrElement& other) { return *this = StrArg(*other.s_); }
    SMS_FORCE operator StrArg() const { return StrArg(*s_); }  // NOLINT: reads like the string
    bool IsSet() const { return s_->IsSet(); }
    size_t Length() const { return s_->Length(); }
    // May move a short text to a block, as Str::Text does.
    const char* Text() const {
        const char* text = s_->Text();
        Noted();
        return text;
    }

private:
    SMS_FORCE void Noted() const {
        if (arrays_internal::kNoteBlocks && s_->HoldsBlock()) *blocks_ = true;
    }
    Str* s_;
    bool* blocks_;
};

template <class T> struct ArrayElement;
template <> struct ArrayElement<int16_t> {
    static constexpr intptr_t kType = ARRAY_TYPE_INT16;
    static const intptr_t* Fields() { return nullptr; }
    using Ref = int16_t&;
    static Ref At(int16_t* element, bool&) { return *element; }
};
template <> struct ArrayElement<Str> {
    static constexpr intptr_t kType = ARRAY_TYPE_STRING;
    static const intptr_t* Fields() { return kStringElementFields; }
    using Ref = StrElement;
    static Ref At(Str* element, bool& blocks) { return StrElement(*element, blocks); }
};

// Index checks run in debug builds only: the converters compute every index
// from the bounds they dimensioned with.
// A typed array's block goes back here: its owner is its own variable, and
// its elements are looked through only where one may hold a block.
template <class T> SMS_INLINE void ReleaseTyped(T*& elements, bool blocks) {
    if (!elements) return;
    ArrayHeader* header = reinterpret_cast<ArrayHeader*>(elements) - 1;
#ifndef NDEBUG
    // Rule 1: a flag that says no block is right.
    if (ArrayElement<T>::Fields() && !blocks) assert(arrays_internal::NoneHoldsABlock(header) && "a string array element written past its handle");
#endif
    if (ArrayElement<T>::Fields() && blocks) arrays_internal::ReleaseFields(header);
    elements = nullptr;
    HeapGive(ProgramHeap(), header);
}

template <class T>
class Array {
public:
    Array() = default;
    explicit Array(size_t upperBound) { Dim(upperBound); }
    Array(const Array&) = delete;
    Array& operator=(const Array&) = delete;
    ~Array() { ReleaseTyped(elements_, blocks_); }

    void Dim(size_t upperBound) {
        ReleaseTyped(elements_, blocks_);
        DimArray(sizeof(T), upperBound + 1, ArrayElement<T>::kType, ArrayElement<T>::Fields(),
                 reinterpret_cast<void**>(&elements_));
        blocks_ = !arrays_internal::kNoteBlocks;
    }
    void Release() { ReleaseTyped(elements_, blocks_); }
    bool Holds() const { return elements_ != nullptr; }
    size_t Count() const { return elements_ ? static_cast<size_t>(ArrayHeaderOf(elements_)->count) : 0; }
    typename ArrayElement<T>::Ref operator[](size_t i) {
        assert(elements_ && i < Count());
        return ArrayElement<T>::At(elements_ + i, blocks_);
    }
    // Elements handed out bare may take blocks unseen.
    T* Elements() {
        blocks_ = true;
        return elements_;
    }

private:
    T* elements_ = nullptr;
    bool blocks_ = !arrays_internal::kNoteBlocks;  // whether an element may hold a block
};

template <class T>
class Array2 {
public:
    Array2() = default;
    Array2(size_t upper1, size_t upper2) { Dim(upper1, upper2); }
    Array2(const Array2&) = delete;
    Array2& operator=(const Array2&) = delete;
    ~Array2() { ReleaseTyped(elements_, blocks_); }

    void Dim(size_t upper1, size_t upper2) {
        ReleaseTyped(elements_, blocks_);
        stride_[0] = static_cast<intptr_t>(upper1 + 1);
        stride_[1] = static_cast<intptr_t>(upper2 + 1);
        DimArrayMulti(2, sizeof(T), ArrayElement<T>::kType, ArrayElement<T>::Fields(),
                      reinterpret_cast<void**>(&elements_), stride_);
        blocks_ = !arrays_internal::kNoteBlocks;
    }
    void Release() { ReleaseTyped(elements_, blocks_); }
    bool Holds() const { return elements_ != nullptr; }
    size_t Count() const { return elements_ ? static_cast<size_t>(ArrayHeaderOf(elements_)->count) : 0; }
    intptr_t Stride(int d) const { return stride_[d]; }
    typename ArrayElement<T>::Ref operator()(size_t i, size_t j) {
        size_t at = i * static_cast<size_t>(stride_[0]) + j * static_cast<size_t>(stride_[1]);
        assert(elements_ && j < static_cast<size_t>(stride_[0]) && at < Count());
        return ArrayElement<T>::At(elements_ + at, blocks_);
    }
    // Elements handed out bare may take blocks unseen.
    T* Elements() {
        blocks_ = true;
        return elements_;
    }

private:
    T* elements_ = nullptr;
    intptr_t stride_[2] = {0, 0};
    bool blocks_ = !arrays_internal::kNoteBlocks;
};
