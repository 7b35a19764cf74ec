#include "runtime/arrays.h"

#include <cstring>

#include "runtime/heap.h"

const intptr_t kStringElementFields[] = {0, -1};

namespace {
// Operations a managed-field list entry for a nested container would use:
// registered at start-up as the array design has it; no list of this
// program has such an entry, so nothing reads them.
struct ContainerOps {
    void (*dim)(size_t, size_t, intptr_t, const intptr_t*, void**);
    void (*release)(void*);
};
ContainerOps gContainerOps;

ArrayHeader* HeaderOf(void* elements) { return static_cast<ArrayHeader*>(elements) - 1; }
}  // namespace


void* arrays_internal::TakeLarge(size_t elementSize, size_t count) {
    if (elementSize && count > (SIZE_MAX - sizeof(ArrayHeader)) / elementSize) OutOfMemory();
    return HeapTakeZeroed(ProgramHeap(), sizeof(ArrayHeader) + elementSize * count);
}

void DimArrayMulti(int dimensions, size_t elementSize, intptr_t typeCode,
                   const intptr_t* managedFields, void** variable, intptr_t* sizes) {
    size_t count = 1;
    for (int d = 0; d < dimensions; ++d) {
        size_t size = sizes[d] > 0 ? static_cast<size_t>(sizes[d]) : 0;
        if (size && count > SIZE_MAX / size) OutOfMemory();
        count *= size;
    }
    intptr_t stride = 1;
    for (int d = dimensions - 1; d >= 0; --d) {
        intptr_t size = sizes[d];
        sizes[d] = stride;
        stride *= size;
    }
    DimArray(elementSize, count, typeCode, managedFields, variable);
    HeaderOf(*variable)->dimensions = dimensions;
}

void ArrayRuntimeInit() { gContainerOps = ContainerOps{DimArray, ReleaseArray}; }

// Releases every string the managed-field list names in every element.
void arrays_internal::ReleaseFields(ArrayHeader* header) {
    void* elements = header + 1;
    if (header->managedFields == kStringElementFields) {
        Str::ReleaseAll(static_cast<Str*>(elements), static_cast<size_t>(header->count));
        return;
    }
    char* element = static_cast<char*>(elements);
    for (intptr_t i = 0; i < header->count; ++i, element += header->elementSize) {
        for (const intptr_t* f = header->managedFields; *f >= 0; ++f) reinterpret_cast<Str*>(element + *f)->Release();
    }
}

bool arrays_internal::NoneHoldsABlock(const ArrayHeader* header) {
    const Str* elements = reinterpret_cast<const Str*>(header + 1);
    for (intptr_t i = 0; i < header->count; ++i)
        if (elements[i].HoldsBlock()) return false;
    return true;
}
