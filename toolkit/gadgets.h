// Gadgets: numbered controls inside the current target window (Win32). The
// kinds this program uses are labels ("Static"), edit fields ("Edit") and
// push buttons ("Button"), in gadget_kinds.cpp.
#pragma once
#include <windows.h>

#include "toolkit/registry.h"

enum GadgetKindCode : int32_t { KIND_BUTTON = 1, KIND_EDIT = 2, KIND_LABEL = 3 };
enum ColorWhich : int32_t { COLOR_FRONT = 1, COLOR_BACK = 2 };
constexpr COLORREF NO_COLOR = static_cast<COLORREF>(-1);
// A flag bit of the creation functions: gives a label a sunken edge and takes
// it away from an edit field. It is the platform's WS_GROUP bit, and the
// flags go on to the control's style whole: the bit is harmless there only
// because every kind's own style already holds WS_GROUP.
constexpr uint32_t GADGET_BORDER_SWITCH = WS_GROUP;

struct GadgetKind;
struct GadgetRecord {
    HWND control;          // zero means the entry is empty
    const GadgetKind* kind;
    WNDPROC baseProcedure;
    COLORREF backColor;    // NO_COLOR: the system's
    COLORREF frontColor;   // NO_COLOR: the system's
    HBRUSH backBrush;      // from the BrushCache while a back colour is set
};

// One record per kind of gadget, shared by every gadget of the kind: the
// control it is built on, then its handler slots (an empty slot means the
// default behaviour). A new kind is one record and one creation function.
struct GadgetKind {
    int32_t kindCode;  // KIND_*: part of the record's design; no code here reads it
    int32_t size;      // sizeof(GadgetKind), for a reader of the record; none here does
    const char* className;
    DWORD style;              // besides the caller's flags
    DWORD exStyle;            // without GADGET_BORDER_SWITCH in the flags
    DWORD exStyleSwitched;    // with it
    // Run on the new control before GadgetProc is installed over it.
    void (*AfterCreate)(GadgetRecord* record, HWND control);
    LRESULT (*OnParentMessage)(GadgetRecord* record, HWND parent, UINT message, WPARAM wParam, LPARAM lParam);
    void (*OnFree)(GadgetRecord* record);
    intptr_t (*GetState)(GadgetRecord* record);
    void (*SetState)(GadgetRecord* record, intptr_t value);
    size_t (*GetText)(GadgetRecord* record, size_t position);
    void (*SetText)(GadgetRecord* record, const char* text);
    void* reserved1[8];   // slots of kinds this program does not have (lists, menus): always empty here
    void (*SetColor)(GadgetRecord* record, int32_t which, COLORREF color);
    COLORREF (*GetColor)(GadgetRecord* record, int32_t which);
    void* reserved2[8];   // likewise
};

// The gadget library's state. The container stack serves containers that a
// general toolkit nests gadgets in; this program pushes none, so its depth
// stays 0. No part of this program makes the auxiliary window either.
struct GadgetLibraryState : LibraryState {
    HWND targetWindow;    // parent of new gadgets
    HFONT font;
    HWND* stack;
    size_t depth;
    size_t capacity;
    HWND auxiliaryWindow;
};

void GadgetLibraryInit();
void GadgetLibraryEnd();
ObjectTable* GadgetTable();                  // null before GadgetLibraryInit
GadgetLibraryState* TheGadgetLibraryState();  // likewise

// For a fixed number the control's handle, for ANY_NUMBER the chosen number;
// 0 when the control cannot be created.
intptr_t CreateLabelGadget(GadgetNumber number, int x, int y, int width, int height, const char* text, uint32_t flags = 0);
intptr_t CreateEditGadget(GadgetNumber number, int x, int y, int width, int height, const char* text, uint32_t flags = 0);
intptr_t CreateButtonGadget(GadgetNumber number, int x, int y, int width, int height, const char* text, uint32_t flags = 0);
// What each creation function does with its kind's record.
intptr_t CreateGadget(const GadgetKind& kind, GadgetNumber number, int x, int y, int width, int height,
                      const char* text, uint32_t flags);

// Writes the text at `position` of the temporary string buffer (the caller
// passes the buffer's current end) and returns the buffer's new end; 0 when
// no such gadget lives.
size_t ReadGadgetText(GadgetNumber number, size_t position);
void WriteGadgetText(GadgetNumber number, const char* text);
void DestroyGadget(GadgetNumber number);
GadgetRecord* FindGadgetRecord(GadgetNumber number);

// Colours and button state, reached through the kinds' slots.
void SetGadgetColor(GadgetNumber number, int32_t which, COLORREF color);
COLORREF GetGadgetColor(GadgetNumber number, int32_t which);  // NO_COLOR when none
void SetGadgetState(GadgetNumber number, intptr_t value);
intptr_t GetGadgetState(GadgetNumber number);                  // 0 without a state slot

// Queues EVENT_GADGET for the control with the event type, under its toolkit
// window's number.
void PostGadgetEvent(HWND control, int32_t eventType);
