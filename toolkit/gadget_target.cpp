#include "toolkit/gadget_target.h"

#include <cstdio>

#include "runtime/heap.h"
#include "toolkit/names.h"
#include "toolkit/window.h"

namespace {

const size_t kStackStart = 10;

// Attached to every window that has been a gadget target; holds that
// window's target state while another window is the target.
struct GadgetTargetRecord {
    HWND window;
    HWND savedTarget;
    HWND* savedStack;
    size_t savedDepth;
    size_t savedCapacity;
    WNDPROC previousProcedure;
};

HWND* NewStack() { return static_cast<HWND*>(HeapTakeZeroed(ProgramHeap(), kStackStart * sizeof(HWND))); }

void TargetPropertyName(char* name, size_t size) {
    std::snprintf(name, size, PROP_GADGET_STACK_FORMAT,
                  static_cast<long long>(reinterpret_cast<intptr_t>(ToolkitInstance())));
}

GadgetTargetRecord* TargetRecordOf(HWND window) {
    char name[48];
    TargetPropertyName(name, sizeof name);
    return static_cast<GadgetTargetRecord*>(GetPropA(window, name));
}

HWND CurrentTarget(const GadgetLibraryState* state) {
    if (state->depth != 0) return state->stack[0];
    return state->targetWindow;
}

}  // namespace

void InitGadgetTarget(GadgetLibraryState* state) {
    state->capacity = kStackStart;
    state->stack = NewStack();
}

HWND SelectGadgetWindow(HWND window) {
    GadgetLibraryState* state = TheGadgetLibraryState();
    if (!state) return nullptr;
    HWND previous = CurrentTarget(state);
    if (!window) return previous;

    if (previous) {
        if (GadgetTargetRecord* saved = TargetRecordOf(previous)) {
            saved->savedTarget = state->targetWindow;
            saved->savedStack = state->stack;
            saved->savedDepth = state->depth;
            saved->savedCapacity = state->capacity;
            state->stack = nullptr;
        }
    }
    GadgetTargetRecord* record = TargetRecordOf(window);
    if (record) {
        HeapGive(ProgramHeap(), state->stack);
        state->targetWindow = record->savedTarget ? record->savedTarget : window;
        state->stack = record->savedStack;
        state->depth = record->savedDepth;
        state->capacity = record->savedCapacity;
        record->savedStack = nullptr;
        if (!state->stack) {  // a record that never saved a stack
            InitGadgetTarget(state);
            state->depth = 0;
        }
    } else {
        if (!state->stack) InitGadgetTarget(state);
        state->depth = 0;
        state->targetWindow = window;
        record = static_cast<GadgetTargetRecord*>(HeapTakeZeroed(ProgramHeap(), sizeof(GadgetTargetRecord)));
        record->window = window;
        char name[48];
        TargetPropertyName(name, sizeof name);
        SetPropA(window, name, record);
        record->previousProcedure = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GadgetStackWindowProc)));
    }
    return previous;
}

LRESULT CALLBACK GadgetStackWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    GadgetTargetRecord* record = TargetRecordOf(window);
    if (!record) return DefWindowProcA(window, message, wParam, lParam);
    WNDPROC previous = record->previousProcedure;
    if (message == WM_NCDESTROY) {
        GadgetLibraryState* state = TheGadgetLibraryState();
        if (state && CurrentTarget(state) == window) {
            state->targetWindow = nullptr;
            state->depth = 0;
        }
        HeapGive(ProgramHeap(), record->savedStack);
        HeapGive(ProgramHeap(), record);
        char name[48];
        TargetPropertyName(name, sizeof name);
        RemovePropA(window, name);
    }
    if (previous) return CallWindowProcA(previous, window, message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}
