#include "runtime/arrays.h"

#include <cstring>

#include "runtime/heap.h"

const intptr_t kStringElementFields[] = {0, -1};

namespace {
// Operations a managed-field list entry for a nested container would use.
struct ContainerOps {
    void (*dim)(size_t, size_t, intptr_t, const intptr_t*, void**);
    void (*release)(void*);
};
ContainerOps gContainerOps;

ArrayHeader* HeaderOf(void* elements) { return static_cast<ArrayHeader*>(elements) - 1; }
}  // namespace

void ArrayRuntimeInit() { gContainerOps = ContainerOps{DimArray, ReleaseArray}; }

const ArrayHeader* ArrayHeaderOf(const void* elements) {
    return static_cast<const ArrayHeader*>(elements) - 1;
}

void DimArray(size_t elementSize, size_t count, intptr_t typeCode, const intptr_t* managedFields,
              void** variable) {
    ReleaseArray(*variable);
    if (elementSize && count > (SIZE_MAX - sizeof(ArrayHeader)) / elementSize) OutOfMemory();
    size_t bytes = elementSize * count;
    // Small arrays (the converter's digit arrays) are taken plain and cleared
    // here; large ones come zeroed from the heap, which for fresh pages costs
    // no pass over the memory. Either way every element starts 0 or unset.
    auto* header = static_cast<ArrayHeader*>(bytes <= 4096 ? HeapTake(ProgramHeap(), sizeof(ArrayHeader) + bytes)
                                                           : HeapTakeZeroed(ProgramHeap(), sizeof(ArrayHeader) + bytes));
    header->dimensions = 1;
    header->elementSize = static_cast<intptr_t>(elementSize);
    header->managedFields = managedFields;
    header->owner = variable;
    header->count = static_cast<intptr_t>(count);
    header->typeCode = typeCode;
    if (bytes <= 4096) memset(header + 1, 0, bytes);
    *variable = header + 1;
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

void ReleaseArray(void* elements) {
    if (!elements) return;
    ArrayHeader* header = HeaderOf(elements);
    if (header->managedFields == kStringElementFields) {
        Str* strings = static_cast<Str*>(elements);
        for (intptr_t i = 0; i < header->count; ++i) strings[i].Release();
    } else if (header->managedFields) {
        char* element = static_cast<char*>(elements);
        for (intptr_t i = 0; i < header->count; ++i, element += header->elementSize) {
            for (const intptr_t* f = header->managedFields; *f >= 0; ++f)
                reinterpret_cast<Str*>(element + *f)->Release();
        }
    }
    *header->owner = nullptr;
    HeapGive(ProgramHeap(), header);
}
