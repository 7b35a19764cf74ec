// The gadget table, creation and the subclass procedure every gadget control
// runs through, and a gadget's text.
#include "toolkit/gadgets.h"

#include <commctrl.h>
#include <ole2.h>

#include "runtime/strings.h"
#include "toolkit/brush_cache.h"
#include "toolkit/events.h"
#include "toolkit/gadget_target.h"
#include "toolkit/names.h"
#include "toolkit/window.h"

namespace {

ObjectTable* gTable;
GadgetLibraryState* gGadgetLibrary;
HFONT gFont;

// The control identifier a control has until it becomes a gadget, and again
// once it is none.
constexpr GadgetNumber kNoGadget = -1;

void InitGadgetLibrary(GadgetLibraryState* state) {
    InitGadgetTarget(state);
    state->font = gFont;
}

GadgetRecord* RecordOfControl(HWND control, GadgetNumber number) {
    GadgetRecord* record = FindGadgetRecord(number);
    return record && record->control == control ? record : nullptr;
}

LRESULT CALLBACK GadgetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    GadgetNumber number = GetWindowLongPtrA(window, GWLP_ID);
    if (number == kNoGadget) return DefWindowProcA(window, message, wParam, lParam);
    GadgetRecord* record = RecordOfControl(window, number);
    if (!record) return DefWindowProcA(window, message, wParam, lParam);

    LRESULT result = CallWindowProcA(record->baseProcedure, window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // The base procedure may have created gadgets and so moved the slots.
        record = RecordOfControl(window, number);
        if (record) {
            if (record->kind && record->kind->OnFree) record->kind->OnFree(record);
            RemovePropA(window, PROP_GADGET_ID);
            if (RemovePropA(window, PROP_DROP_ACCEPT)) RevokeDragDrop(window);
            SetWindowLongPtrA(window, GWLP_ID, kNoGadget);
            ClearObjectSlot(gTable, number);
        }
    }
    return result;
}

intptr_t RegisterGadget(GadgetNumber number, GadgetRecord* record, HWND control, const GadgetKind* kind) {
    bool chosen = number == ANY_NUMBER;
    if (chosen) number = reinterpret_cast<intptr_t>(record);
    record->control = control;
    record->kind = kind;
    record->baseProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GadgetProc)));
    SetWindowLongPtrA(control, GWLP_ID, number);
    SetPropA(control, PROP_GADGET_ID, reinterpret_cast<HANDLE>(number));
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(gGadgetLibrary->font), TRUE);
    return chosen ? number : reinterpret_cast<intptr_t>(control);
}

}  // namespace

// --- Library ---------------------------------------------------------------

void GadgetLibraryInit() {
    BrushCacheInit();
    gFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    gTable = NewObjectTable(sizeof(GadgetRecord), 50, DestroyGadget);
    gGadgetLibrary = NewLibraryState<GadgetLibraryState>(InitGadgetLibrary);
    // The classes of the common controls a general toolkit offers; this
    // program uses only the standard ones.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TAB_CLASSES | ICC_HOTKEY_CLASS | ICC_DATE_CLASSES |
                                                          ICC_USEREX_CLASSES | ICC_INTERNET_CLASSES};
    InitCommonControlsEx(&controls);
}

void GadgetLibraryEnd() {
    if (gGadgetLibrary && gGadgetLibrary->auxiliaryWindow) {
        DestroyWindow(gGadgetLibrary->auxiliaryWindow);
        gGadgetLibrary->auxiliaryWindow = nullptr;
    }
}

ObjectTable* GadgetTable() { return gTable; }
GadgetLibraryState* TheGadgetLibraryState() { return gGadgetLibrary; }

GadgetRecord* FindGadgetRecord(GadgetNumber number) {
    if (!gTable) return nullptr;
    return static_cast<GadgetRecord*>(FindObject(gTable, number));
}

// --- Creation ----------------------------------------------------------------

intptr_t CreateGadget(const GadgetKind& kind, GadgetNumber number, int x, int y, int width, int height,
                      const char* text, uint32_t flags) {
    if (!gTable) return 0;
    const DWORD exStyle = (flags & GADGET_BORDER_SWITCH) ? kind.exStyleSwitched : kind.exStyle;
    if (!text) text = "";
    HWND control = CreateWindowExA(exStyle, kind.className, text, flags | kind.style, x, y, width, height,
                                   gGadgetLibrary->targetWindow, reinterpret_cast<HMENU>(kNoGadget),
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
    if (kind.AfterCreate) kind.AfterCreate(record, control);
    return RegisterGadget(number, record, control, &kind);
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
    return NO_COLOR;
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

// --- Events ------------------------------------------------------------------

void PostGadgetEvent(HWND control, int32_t eventType) {
    const WindowNumber window = FindOwnerWindow(control).number;
    GadgetNumber gadget = GetWindowLongPtrA(control, GWLP_ID);
    QueueEvent(EVENT_GADGET, gadget, window, eventType);
}
