// Dynamic arrays of 16-bit integers and of strings, one- or two-dimensional.
//
// Dimensioning with the upper bound N gives N + 1 zero-filled elements (0, or
// an unset string). Header and elements are one block in the program heap:
// a header of six pointer-sized fields, then the elements. A two-dimensional
// variable keeps one stride per dimension, counted in elements.
#pragma once
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "runtime/heap.h"
#include "runtime/strings.h"

enum ArrayTypeCode : intptr_t { ARRAY_TYPE_INT16 = 3, ARRAY_TYPE_STRING = 8 };

struct ArrayHeader {
    intptr_t dimensions;
    intptr_t elementSize;
    const intptr_t* managedFields;  // byte offsets of owned strings, ended by -1
    void** owner;                   // the array variable that holds the array
    intptr_t count;                 // all elements, the product of the sizes
    intptr_t typeCode;
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
// Releasing a string array looks at every element for a block to free,
// which for a long array means reading all its memory once more. The typed
// string arrays are watched instead, a few at a time, on 64-bit: their
// elements are assigned through StrElement, which reports each element that
// takes a block, and an array none of whose elements did is released
// without the look. On 32-bit, where texts of four characters take blocks,
// every array is looked through, and so where the compiler is not told to
// inline (64-bit MinGW): the report would cost a call at every assignment.
#if UINTPTR_MAX > 0xFFFFFFFFu && SMS_FORCED_INLINING
constexpr bool kWatchStrings = true;
#else
constexpr bool kWatchStrings = false;
#endif
void Watch(const Str* elements, size_t count);
// The watched array holding `element`, if any, may hold blocks.
void NoteBlock(const Str* element);
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
// and assigned like the string itself, and reports the element taking a
// block to the array's watch (see arrays_internal::Watch).
class StrElement {
public:
    explicit StrElement(Str& s) : s_(&s) {}
    SMS_FORCE StrElement& operator=(StrArg value) {
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
        if (arrays_internal::kWatchStrings && s_->HoldsBlock()) arrays_internal::NoteBlock(s_);
    }
    Str* s_;
};

template <class T> struct ArrayElement;
template <> struct ArrayElement<int16_t> {
    static constexpr intptr_t kType = ARRAY_TYPE_INT16;
    static const intptr_t* Fields() { return nullptr; }
    using Ref = int16_t&;
    static Ref At(int16_t* element) { return *element; }
    static void Watch(int16_t*, size_t) {}
    static void Expose(int16_t*) {}
};
template <> struct ArrayElement<Str> {
    static constexpr intptr_t kType = ARRAY_TYPE_STRING;
    static const intptr_t* Fields() { return kStringElementFields; }
    using Ref = StrElement;
    static Ref At(Str* element) { return StrElement(*element); }
    static void Watch(Str* elements, size_t count) {
        if (arrays_internal::kWatchStrings) arrays_internal::Watch(elements, count);
    }
    // Elements handed out bare may take blocks unseen.
    static void Expose(Str* elements) {
        if (arrays_internal::kWatchStrings && elements) arrays_internal::NoteBlock(elements);
    }
};

// Index checks run in debug builds only: the converters compute every index
// from the bounds they dimensioned with.
// A typed array's block goes back here: its owner is its own variable, and
// an element type that holds no strings has no fields to release.
template <class T> SMS_INLINE void ReleaseTyped(T*& elements) {
    if (!elements) return;
    ArrayHeader* header = reinterpret_cast<ArrayHeader*>(elements) - 1;
    if (ArrayElement<T>::Fields()) arrays_internal::ReleaseFields(header);
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
    ~Array() { ReleaseTyped(elements_); }

    void Dim(size_t upperBound) {
        DimArray(sizeof(T), upperBound + 1, ArrayElement<T>::kType, ArrayElement<T>::Fields(),
                 reinterpret_cast<void**>(&elements_));
        ArrayElement<T>::Watch(elements_, upperBound + 1);
    }
    void Release() { ReleaseTyped(elements_); }
    bool Holds() const { return elements_ != nullptr; }
    size_t Count() const { return elements_ ? static_cast<size_t>(ArrayHeaderOf(elements_)->count) : 0; }
    typename ArrayElement<T>::Ref operator[](size_t i) {
        assert(elements_ && i < Count());
        return ArrayElement<T>::At(elements_ + i);
    }
    T* Elements() {
        ArrayElement<T>::Expose(elements_);
        return elements_;
    }

private:
    T* elements_ = nullptr;
};

template <class T>
class Array2 {
public:
    Array2() = default;
    Array2(size_t upper1, size_t upper2) { Dim(upper1, upper2); }
    Array2(const Array2&) = delete;
    Array2& operator=(const Array2&) = delete;
    ~Array2() { ReleaseTyped(elements_); }

    void Dim(size_t upper1, size_t upper2) {
        stride_[0] = static_cast<intptr_t>(upper1 + 1);
        stride_[1] = static_cast<intptr_t>(upper2 + 1);
        DimArrayMulti(2, sizeof(T), ArrayElement<T>::kType, ArrayElement<T>::Fields(),
                      reinterpret_cast<void**>(&elements_), stride_);
        ArrayElement<T>::Watch(elements_, Count());
    }
    void Release() { ReleaseTyped(elements_); }
    bool Holds() const { return elements_ != nullptr; }
    size_t Count() const { return elements_ ? static_cast<size_t>(ArrayHeaderOf(elements_)->count) : 0; }
    intptr_t Stride(int d) const { return stride_[d]; }
    typename ArrayElement<T>::Ref operator()(size_t i, size_t j) {
        size_t at = i * static_cast<size_t>(stride_[0]) + j;  // the last dimension's stride is 1
        assert(elements_ && j < static_cast<size_t>(stride_[0]) && at < Count());
        return ArrayElement<T>::At(elements_ + at);
    }
    T* Elements() {
        ArrayElement<T>::Expose(elements_);
        return elements_;
    }

private:
    T* elements_ = nullptr;
    intptr_t stride_[2] = {0, 0};
};
