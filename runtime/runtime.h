// The runtime's start-up: the program heap, then the string heap with the
// temporary string buffer, then the array operations. Every program and test
// that uses strings or arrays calls it once before anything else.
#pragma once
#include "runtime/arrays.h"
#include "runtime/heap.h"
#include "runtime/strings.h"

inline void RuntimeInit() {
    ProgramHeapInit();
    StringRuntimeInit();
    ArrayRuntimeInit();
}
