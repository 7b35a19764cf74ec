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

template <class T> struct ArrayElement;
template <> struct ArrayElement<int16_t> {
    static constexpr intptr_t kType = ARRAY_TYPE_INT16;
    static const intptr_t* Fields() { return nullptr; }
};
template <> struct ArrayElement<Str> {
    static constexpr intptr_t kType = ARRAY_TYPE_STRING;
    static const intptr_t* Fields() { return kStringElementFields; }
};

// Index checks run in debug builds only: the converters compute every index
// from the bounds they dimensioned with.
template <class T>
class Array {
public:
    Array() = default;
    explicit Array(size_t upperBound) { Dim(upperBound); }
    Array(const Array&) = delete;
    Array& operator=(const Array&) = delete;
    ~Array() { ReleaseArray(elements_); }

    void Dim(size_t upperBound) {
        DimArray(sizeof(T), upperBound + 1, ArrayElement<T>::kType, ArrayElement<T>::Fields(),
                 reinterpret_cast<void**>(&elements_));
    }
    void Release() { ReleaseArray(elements_); }
    bool Holds() const { return elements_ != nullptr; }
    size_t Count() const { return elements_ ? static_cast<size_t>(ArrayHeaderOf(elements_)->count) : 0; }
    T& operator[](size_t i) {
        assert(elements_ && i < Count());
        return elements_[i];
    }
    T* Elements() { return elements_; }

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
    ~Array2() { ReleaseArray(elements_); }

    void Dim(size_t upper1, size_t upper2) {
        stride_[0] = static_cast<intptr_t>(upper1 + 1);
        stride_[1] = static_cast<intptr_t>(upper2 + 1);
        DimArrayMulti(2, sizeof(T), ArrayElement<T>::kType, ArrayElement<T>::Fields(),
                      reinterpret_cast<void**>(&elements_), stride_);
    }
    void Release() { ReleaseArray(elements_); }
    bool Holds() const { return elements_ != nullptr; }
    size_t Count() const { return elements_ ? static_cast<size_t>(ArrayHeaderOf(elements_)->count) : 0; }
    intptr_t Stride(int d) const { return stride_[d]; }
    T& operator()(size_t i, size_t j) {
        size_t at = i * static_cast<size_t>(stride_[0]) + j;  // the last dimension's stride is 1
        assert(elements_ && j < static_cast<size_t>(stride_[0]) && at < Count());
        return elements_[at];
    }
    T* Elements() { return elements_; }

private:
    T* elements_ = nullptr;
    intptr_t stride_[2] = {0, 0};
};
