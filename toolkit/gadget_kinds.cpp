// The kinds of gadget this program uses, one record each, with their slot
// handlers and creation functions: labels, edit fields and push buttons.
#include "toolkit/brush_cache.h"
#include "toolkit/events.h"
#include "toolkit/gadgets.h"

namespace {

WNDPROC gEditProcedure;   // the system "Edit" procedure below EditGadgetProc

// --- Colours of labels and edit fields ----------------------------------------

// Colours a label or edit field for WM_CTLCOLOR*: the front colour on the
// system colour `fallback` when only the text colour is set, the record's
// brush when a back colour is set, the default colouring otherwise.
LRESULT ApplyColors(GadgetRecord* record, HDC dc, int fallback) {
    LRESULT result = NOT_HANDLED;
    if (record->frontColor != NO_COLOR) {
        SetTextColor(dc, record->frontColor);
        if (record->backColor == NO_COLOR) {
            SetBkColor(dc, GetSysColor(fallback));
            result = reinterpret_cast<LRESULT>(GetSysColorBrush(fallback));
        }
    }
    if (record->backColor != NO_COLOR) {
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
        if (color != NO_COLOR) record->backBrush = AcquireColorBrush(color);
        record->backColor = color;
    }
    RedrawWindow(record->control, nullptr, nullptr, RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE | RDW_FRAME);
}

COLORREF GetColorSlot(GadgetRecord* record, int32_t which) {
    if (which == COLOR_FRONT) return record->frontColor;
    if (which == COLOR_BACK) return record->backColor;
    return NO_COLOR;
}

void ClearColors(GadgetRecord* record, HWND) {
    record->backColor = NO_COLOR;
    record->frontColor = NO_COLOR;
}

// --- Edit fields ------------------------------------------------------------------

LRESULT CALLBACK EditGadgetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETFOCUS) PostGadgetEvent(window, EVENT_TYPE_FOCUS);
    else if (message == WM_KILLFOCUS) PostGadgetEvent(window, EVENT_TYPE_LOST_FOCUS);
    return CallWindowProcA(gEditProcedure, window, message, wParam, lParam);
}

void PrepareEditField(GadgetRecord* record, HWND control) {
    ClearColors(record, control);
    gEditProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditGadgetProc)));
    // An edit control takes only about 30,000 typed or pasted characters
    // by default; a long text pasted in must arrive whole.
    SendMessageA(control, EM_SETLIMITTEXT, 0, 0);
}

// --- Buttons ------------------------------------------------------------------------

intptr_t ButtonGetState(GadgetRecord* record) {
    return SendMessageA(record->control, BM_GETCHECK, 0, 0) & BST_CHECKED;
}

void ButtonSetState(GadgetRecord* record, intptr_t value) {
    SendMessageA(record->control, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

// --- The kinds --------------------------------------------------------------------

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_GROUP;
static_assert((kChild & GADGET_BORDER_SWITCH) == GADGET_BORDER_SWITCH,
              "the border switch passed on in the flags adds no style bit a gadget lacks");

// What labels and edit fields share: colours, and a back brush to release.
constexpr GadgetKind ColoredKind(int32_t code, const char* className, DWORD style) {
    GadgetKind kind = {};
    kind.kindCode = code;
    kind.size = sizeof kind;
    kind.className = className;
    kind.style = style;
    kind.AfterCreate = ClearColors;
    kind.OnFree = ReleaseBackBrush;
    kind.SetColor = SetColorSlot;
    kind.GetColor = GetColorSlot;
    return kind;
}

constexpr GadgetKind kLabel = [] {
    GadgetKind kind = ColoredKind(KIND_LABEL, "Static", kChild | SS_LEFT);  // no tab stop: Tab passes labels by
    kind.exStyleSwitched = WS_EX_CLIENTEDGE;
    kind.OnParentMessage = LabelParentMessage;
    return kind;
}();

constexpr GadgetKind kEditField = [] {
    GadgetKind kind = ColoredKind(KIND_EDIT, "Edit", kChild | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL);
    kind.exStyle = WS_EX_CLIENTEDGE;
    kind.AfterCreate = PrepareEditField;
    kind.OnParentMessage = EditParentMessage;
    return kind;
}();

constexpr GadgetKind kButton = [] {
    GadgetKind kind = {};
    kind.kindCode = KIND_BUTTON;
    kind.size = sizeof kind;
    kind.className = "Button";
    kind.style = kChild | WS_TABSTOP | BS_PUSHBUTTON;
    kind.GetState = ButtonGetState;
    kind.SetState = ButtonSetState;
    return kind;
}();

}  // namespace

intptr_t CreateLabelGadget(GadgetNumber number, int x, int y, int width, int height, const char* text, uint32_t flags) {
    return CreateGadget(kLabel, number, x, y, width, height, text, flags);
}

intptr_t CreateEditGadget(GadgetNumber number, int x, int y, int width, int height, const char* text, uint32_t flags) {
    return CreateGadget(kEditField, number, x, y, width, height, text, flags);
}

intptr_t CreateButtonGadget(GadgetNumber number, int x, int y, int width, int height, const char* text, uint32_t flags) {
    return CreateGadget(kButton, number, x, y, width, height, text, flags);
}
