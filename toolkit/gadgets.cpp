// Gadgets: numbered labels, edit fields and push buttons built on the
// standard "Static", "Edit" and "Button" controls, their shared subclass
// procedure, the per-window gadget target and the colour brush cache.
#include "toolkit/gadgets.h"

#include <commctrl.h>
#include <ole2.h>

#include <cstdio>
#include <cstring>

#include "runtime/heap.h"
#include "runtime/strings.h"
#include "toolkit/events.h"
#include "toolkit/window.h"

namespace {

const COLORREF kNoColor = static_cast<COLORREF>(-1);
const char kIdProperty[] = "QV_ID";
const char kDropProperty[] = "QV_DropAccept";
const char kWindowIdProperty[] = "QV_WindowID";
const size_t kStackStart = 10;

struct GadgetLibraryState {
    HWND targetWindow;    // parent of new gadgets
    HFONT font;
    HWND* stack;          // container stack
    size_t depth;
    size_t capacity;
    HWND auxiliaryWindow;
};

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

struct BrushEntry {
    BrushEntry* next;
    COLORREF color;
    HBRUSH brush;
    size_t references;
};

ObjectTable* gTable;
GadgetLibraryState* gState;
HFONT gFont;
WNDPROC gEditProcedure;   // the system "Edit" procedure below EditGadgetProc

CRITICAL_SECTION gBrushLock;
BrushEntry* gBrushes;     // newest first

GadgetKind gLabelKind, gEditKind, gButtonKind;

void InitGadgetState(void* record) {
    auto* state = static_cast<GadgetLibraryState*>(record);
    state->capacity = kStackStart;
    state->stack = static_cast<HWND*>(HeapTakeZeroed(ProgramHeap(), kStackStart * sizeof(HWND)));
    state->font = gFont;
}

// --- Kind handlers -----------------------------------------------------------

// Colours a label or edit field for WM_CTLCOLOR*: the front colour on the
// system colour `fallback` when only the text colour is set, the record's
// brush when a back colour is set, the default colouring otherwise.
LRESULT ApplyColors(GadgetRecord* record, HDC dc, int fallback) {
    LRESULT result = NOT_HANDLED;
    if (record->frontColor != kNoColor) {
        SetTextColor(dc, record->frontColor);
        if (record->backColor == kNoColor) {
            SetBkColor(dc, GetSysColor(fallback));
            result = reinterpret_cast<LRESULT>(GetSysColorBrush(fallback));
        }
    }
    if (record->backColor != kNoColor) {
        SetBkColor(dc, record->backColor);
        // Without a brush (it could not be made) the control keeps the
        // default background rather than painting with no brush at all.
        if (record->backBrush) result = reinterpret_cast<LRESULT>(record->backBrush);
    }
    return result;
}

LRESULT LabelParentMessage(GadgetRecord* record, HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_CTLCOLORSTATIC) return NOT_HANDLED;
    return ApplyColors(record, reinterpret_cast<HDC>(wParam), COLOR_BTNFACE);
}

LRESULT EditParentMessage(GadgetRecord* record, HWND, UINT message, WPARAM wParam, LPARAM) {
    // The field reports its focus changes itself (EditGadgetProc queues
    // them); the control's own focus notifications would form a second,
    // pending event that hides the key or click that moved the focus.
    if (message == WM_COMMAND) {
        return HIWORD(wParam) == EN_SETFOCUS || HIWORD(wParam) == EN_KILLFOCUS ? 0 : NOT_HANDLED;
    }
    // A read-only or disabled edit control asks with WM_CTLCOLORSTATIC; the
    // disabled one keeps the system's greyed look.
    bool accepted = message == WM_CTLCOLOREDIT ||
                    (message == WM_CTLCOLORSTATIC && IsWindowEnabled(record->control));
    if (!accepted) return NOT_HANDLED;
    return ApplyColors(record, reinterpret_cast<HDC>(wParam), COLOR_BTNHIGHLIGHT);
}

void ReleaseBackBrush(GadgetRecord* record) {
    if (record->backBrush) {
        ReleaseColorBrush(record->backBrush);
        record->backBrush = nullptr;
    }
}

void SetColorSlot(GadgetRecord* record, int32_t which, COLORREF color) {
    if (which == COLOR_FRONT) {
        record->frontColor = color;
    } else if (which == COLOR_BACK) {
        ReleaseBackBrush(record);
        if (color != kNoColor) record->backBrush = AcquireColorBrush(color);
        record->backColor = color;
    }
    RedrawWindow(record->control, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE | RDW_FRAME);
}

COLORREF GetColorSlot(GadgetRecord* record, int32_t which) {
    if (which == COLOR_FRONT) return record->frontColor;
    if (which == COLOR_BACK) return record->backColor;
    return kNoColor;
}

intptr_t ButtonGetState(GadgetRecord* record) {
    return SendMessageA(record->control, BM_GETCHECK, 0, 0) & 1;
}

void ButtonSetState(GadgetRecord* record, intptr_t value) {
    SendMessageA(record->control, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

void FillKind(GadgetKind* kind, int32_t code) {
    if (kind->kindCode) return;  // filled once, at the first gadget of the kind
    std::memset(kind, 0, sizeof *kind);
    kind->size = sizeof *kind;
    if (code == KIND_LABEL || code == KIND_EDIT) {
        kind->OnParentMessage = code == KIND_LABEL ? LabelParentMessage : EditParentMessage;
        kind->OnFree = ReleaseBackBrush;
        kind->SetColor = SetColorSlot;
        kind->GetColor = GetColorSlot;
    } else {
        kind->GetState = ButtonGetState;
        kind->SetState = ButtonSetState;
    }
    kind->kindCode = code;
}

// --- Subclass procedures -----------------------------------------------------

GadgetRecord* RecordOfControl(HWND control, GadgetNumber number) {
    GadgetRecord* record = FindGadgetRecord(number);
    return record && record->control == control ? record : nullptr;
}

LRESULT CALLBACK GadgetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    GadgetNumber number = GetWindowLongPtrA(window, GWLP_ID);
    if (number == ANY_NUMBER) return DefWindowProcA(window, message, wParam, lParam);
    GadgetRecord* record = RecordOfControl(window, number);
    if (!record) return DefWindowProcA(window, message, wParam, lParam);

    LRESULT result = CallWindowProcA(record->baseProcedure, window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // The base procedure may have created gadgets and so moved the slots.
        record = RecordOfControl(window, number);
        if (record) {
            if (record->kind && record->kind->OnFree) record->kind->OnFree(record);
            RemovePropA(window, kIdProperty);
            if (RemovePropA(window, kDropProperty)) RevokeDragDrop(window);
            SetWindowLongPtrA(window, GWLP_ID, ANY_NUMBER);
            ClearObjectSlot(gTable, number);
        }
    }
    return result;
}

LRESULT CALLBACK EditGadgetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETFOCUS) PostGadgetEvent(window, EVENT_TYPE_FOCUS);
    else if (message == WM_KILLFOCUS) PostGadgetEvent(window, EVENT_TYPE_LOST_FOCUS);
    return CallWindowProcA(gEditProcedure, window, message, wParam, lParam);
}

intptr_t RegisterGadget(GadgetNumber number, GadgetRecord* record, HWND control, const GadgetKind* kind) {
    bool chosen = number == ANY_NUMBER;
    if (chosen) number = reinterpret_cast<intptr_t>(record);
    record->control = control;
    record->kind = kind;
    record->baseProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GadgetProc)));
    SetWindowLongPtrA(control, GWLP_ID, number);
    SetPropA(control, kIdProperty, reinterpret_cast<HANDLE>(number));
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(gState->font), TRUE);
    return chosen ? number : reinterpret_cast<intptr_t>(control);
}

intptr_t CreateGadget(GadgetNumber number, GadgetKind* kind, int32_t code, const char* className,
                      DWORD style, DWORD exStyle, int x, int y, int width, int height, const char* text) {
    if (!gTable) return 0;
    HWND target = gState->targetWindow;
    FillKind(kind, code);
    if (!text) text = "";
    HWND control = CreateWindowExA(exStyle, className, text, style, x, y, width, height, target,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(-1)),
                                   ToolkitInstance(), nullptr);
    if (!control) return 0;
    // Releases a gadget that holds the number, after the new control exists.
    auto* record = static_cast<GadgetRecord*>(ObtainObjectSlot(gTable, number));
    if (!record) {  // a number the table cannot hold
        DestroyWindow(control);
        return 0;
    }
    record->baseProcedure = nullptr;
    record->backBrush = nullptr;
    if (code != KIND_BUTTON) {
        record->backColor = kNoColor;
        record->frontColor = kNoColor;
    }
    if (code == KIND_EDIT) {
        gEditProcedure = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditGadgetProc)));
        // An edit control takes only about 30,000 typed or pasted characters
        // by default; a long text pasted in must arrive whole.
        SendMessageA(control, EM_SETLIMITTEXT, 0, 0);
    }
    return RegisterGadget(number, record, control, kind);
}

void TargetPropertyName(char* name, size_t size) {
    std::snprintf(name, size, "QV_GadgetStack_%lld",
                  static_cast<long long>(reinterpret_cast<intptr_t>(ToolkitInstance())));
}

HWND CurrentTarget() {
    if (gState->depth != 0) return gState->stack[0];
    return gState->targetWindow;
}

}  // namespace

// --- Library ---------------------------------------------------------------

void GadgetLibraryInit() {
    InitializeCriticalSection(&gBrushLock);
    gFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    gTable = NewObjectTable(sizeof(GadgetRecord), 50, DestroyGadget);
    gState = static_cast<GadgetLibraryState*>(NewLibraryState(sizeof(GadgetLibraryState), InitGadgetState));
    INITCOMMONCONTROLSEX controls = {sizeof controls, 0xB48};
    InitCommonControlsEx(&controls);
}

void GadgetLibraryEnd() {
    if (gState && gState->auxiliaryWindow) {
        DestroyWindow(gState->auxiliaryWindow);
        gState->auxiliaryWindow = nullptr;
    }
}

ObjectTable* GadgetTable() { return gTable; }

GadgetRecord* FindGadgetRecord(GadgetNumber number) {
    if (!gTable) return nullptr;
    return static_cast<GadgetRecord*>(FindObject(gTable, number));
}

// --- Creation ----------------------------------------------------------------

intptr_t CreateLabelGadget(GadgetNumber number, int x, int y, int width, int height, const char* text, uint32_t flags) {
    DWORD exStyle = (flags & GADGET_BORDER_SWITCH) ? WS_EX_CLIENTEDGE : 0;
    return CreateGadget(number, &gLabelKind, KIND_LABEL, "Static", flags | 0x50020000u, exStyle,
                        x, y, width, height, text);
}

intptr_t CreateEditGadget(GadgetNumber number, int x, int y, int width, int height, const char* text, uint32_t flags) {
    DWORD exStyle = (flags & GADGET_BORDER_SWITCH) ? 0 : WS_EX_CLIENTEDGE;
    return CreateGadget(number, &gEditKind, KIND_EDIT, "Edit", flags | 0x50030080u, exStyle,
                        x, y, width, height, text);
}

intptr_t CreateButtonGadget(GadgetNumber number, int x, int y, int width, int height, const char* text, uint32_t flags) {
    return CreateGadget(number, &gButtonKind, KIND_BUTTON, "Button", flags | 0x50030000u, 0,
                        x, y, width, height, text);
}

// --- Text --------------------------------------------------------------------

size_t ReadGadgetText(GadgetNumber number, size_t position) {
    GadgetRecord* record = FindGadgetRecord(number);
    if (!record) return 0;
    if (record->kind->GetText) return record->kind->GetText(record, position);
    int reported = GetWindowTextLengthA(record->control);
    size_t length = reported > 0 ? static_cast<size_t>(reported) : 0;
    char* destination = TempReserve(length, position);
    destination[0] = '\0';
    int copied = GetWindowTextA(record->control, destination, static_cast<int>(length + 1));
    size_t used = copied > 0 ? static_cast<size_t>(copied) : 0;
    if (used > length) used = length;
    return TempGiveBack(length - used);
}

void WriteGadgetText(GadgetNumber number, const char* text) {
    if (!text) text = "";
    GadgetRecord* record = FindGadgetRecord(number);
    if (!record) return;
    if (record->kind->SetText) record->kind->SetText(record, text);
    else SetWindowTextA(record->control, text);
}

void DestroyGadget(GadgetNumber number) {
    GadgetRecord* record = FindGadgetRecord(number);
    if (record) DestroyWindow(record->control);  // GadgetProc empties the entry
}

// --- Colours and state ---------------------------------------------------------

void SetGadgetColor(GadgetNumber number, int32_t which, COLORREF color) {
    GadgetRecord* record = FindGadgetRecord(number);
    if (record && record->kind->SetColor) record->kind->SetColor(record, which, color);
}

COLORREF GetGadgetColor(GadgetNumber number, int32_t which) {
    GadgetRecord* record = FindGadgetRecord(number);
    if (record && record->kind->GetColor) return record->kind->GetColor(record, which);
    return kNoColor;
}

void SetGadgetState(GadgetNumber number, intptr_t value) {
    GadgetRecord* record = FindGadgetRecord(number);
    if (record && record->kind->SetState) record->kind->SetState(record, value);
}

intptr_t GetGadgetState(GadgetNumber number) {
    GadgetRecord* record = FindGadgetRecord(number);
    if (record && record->kind->GetState) return record->kind->GetState(record);
    return 0;
}

HBRUSH AcquireColorBrush(COLORREF color) {
    EnterCriticalSection(&gBrushLock);
    HBRUSH brush = nullptr;
    for (BrushEntry* entry = gBrushes; entry; entry = entry->next) {
        if (entry->color == color) {
            entry->references++;
            brush = entry->brush;
            break;
        }
    }
    if (!brush) {
        // Only entries that own a brush are kept, so a colour whose brush
        // cannot be made leaves no entry behind that nothing would release.
        brush = CreateSolidBrush(color);
        if (brush) {
            auto* entry = static_cast<BrushEntry*>(HeapTakeZeroed(ProgramHeap(), sizeof(BrushEntry)));
            entry->color = color;
            entry->brush = brush;
            entry->references = 1;
            entry->next = gBrushes;
            gBrushes = entry;
        }
    }
    LeaveCriticalSection(&gBrushLock);
    return brush;
}

void ReleaseColorBrush(HBRUSH brush) {
    if (!brush) return;
    EnterCriticalSection(&gBrushLock);
    for (BrushEntry** link = &gBrushes; *link; link = &(*link)->next) {
        BrushEntry* entry = *link;
        if (entry->brush != brush) continue;
        if (--entry->references == 0) {
            DeleteObject(entry->brush);
            *link = entry->next;
            HeapGive(ProgramHeap(), entry);
        }
        break;
    }
    LeaveCriticalSection(&gBrushLock);
}

size_t BrushCacheEntries() {
    if (!gTable) return 0;
    EnterCriticalSection(&gBrushLock);
    size_t count = 0;
    for (BrushEntry* entry = gBrushes; entry; entry = entry->next) count++;
    LeaveCriticalSection(&gBrushLock);
    return count;
}

// --- Events ------------------------------------------------------------------

HWND FindOwnerWindow(HWND control) {
    HWND current = control;
    while (current && !GetPropA(current, kWindowIdProperty)) {
        HWND parent = GetParent(current);
        if (!parent) break;
        current = parent;
    }
    return current;
}

void PostGadgetEvent(HWND control, int32_t eventType) {
    HWND owner = FindOwnerWindow(control);
    intptr_t window = reinterpret_cast<intptr_t>(GetPropA(owner, kWindowIdProperty)) - 1;
    GadgetNumber gadget = GetWindowLongPtrA(control, GWLP_ID);
    QueueEvent(EVENT_GADGET, gadget, window, eventType);
}

// --- Gadget target -------------------------------------------------------------

HWND SelectGadgetWindow(HWND window) {
    if (!gState) return nullptr;
    HWND previous = CurrentTarget();
    if (!window) return previous;

    char name[48];
    TargetPropertyName(name, sizeof name);
    if (previous) {
        auto* saved = static_cast<GadgetTargetRecord*>(GetPropA(previous, name));
        if (saved) {
            saved->savedTarget = gState->targetWindow;
            saved->savedStack = gState->stack;
            saved->savedDepth = gState->depth;
            saved->savedCapacity = gState->capacity;
            gState->stack = nullptr;
        }
    }
    auto* record = static_cast<GadgetTargetRecord*>(GetPropA(window, name));
    if (record) {
        HeapGive(ProgramHeap(), gState->stack);
        gState->targetWindow = record->savedTarget ? record->savedTarget : window;
        gState->stack = record->savedStack;
        gState->depth = record->savedDepth;
        gState->capacity = record->savedCapacity;
        record->savedStack = nullptr;
        if (!gState->stack) {  // a record that never saved a stack
            gState->stack = static_cast<HWND*>(HeapTakeZeroed(ProgramHeap(), kStackStart * sizeof(HWND)));
            gState->depth = 0;
            gState->capacity = kStackStart;
        }
    } else {
        if (!gState->stack) {
            gState->stack = static_cast<HWND*>(HeapTakeZeroed(ProgramHeap(), kStackStart * sizeof(HWND)));
            gState->capacity = kStackStart;
        }
        gState->depth = 0;
        gState->targetWindow = window;
        record = static_cast<GadgetTargetRecord*>(HeapTakeZeroed(ProgramHeap(), sizeof(GadgetTargetRecord)));
        record->window = window;
        SetPropA(window, name, record);
        record->previousProcedure = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GadgetStackWindowProc)));
    }
    return previous;
}

LRESULT CALLBACK GadgetStackWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    char name[48];
    TargetPropertyName(name, sizeof name);
    auto* record = static_cast<GadgetTargetRecord*>(GetPropA(window, name));
    if (!record) return DefWindowProcA(window, message, wParam, lParam);
    WNDPROC previous = record->previousProcedure;
    if (message == WM_NCDESTROY) {
        if (gState && CurrentTarget() == window) {
            gState->targetWindow = nullptr;
            gState->depth = 0;
        }
        HeapGive(ProgramHeap(), record->savedStack);
        HeapGive(ProgramHeap(), record);
        RemovePropA(window, name);
    }
    if (previous) return CallWindowProcA(previous, window, message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}
