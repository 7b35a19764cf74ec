// Gadgets: labels ("Static"), edit fields ("Edit") and push buttons
// ("Button") inside the current target window (Win32).
#pragma once
#include <windows.h>

#include "toolkit/registry.h"

enum GadgetKindCode : int32_t { KIND_BUTTON = 1, KIND_EDIT = 2, KIND_LABEL = 3 };
enum ColorWhich : int32_t { COLOR_FRONT = 1, COLOR_BACK = 2 };
constexpr uint32_t GADGET_BORDER_SWITCH = 0x20000;

struct GadgetKind;
struct GadgetRecord {
    HWND control;          // zero means the entry is empty
    const GadgetKind* kind;
    WNDPROC baseProcedure;
    COLORREF backColor;    // (COLORREF)-1: none
    COLORREF frontColor;   // (COLORREF)-1: none
    HBRUSH backBrush;
};

struct GadgetKind {
    int32_t kindCode;
    int32_t size;
    LRESULT (*OnParentMessage)(GadgetRecord* record, HWND parent, UINT message, WPARAM wParam, LPARAM lParam);
    void (*OnFree)(GadgetRecord* record);
    intptr_t (*GetState)(GadgetRecord* record);
    void (*SetState)(GadgetRecord* record, intptr_t value);
    size_t (*GetText)(GadgetRecord* record, size_t position);
    void (*SetText)(GadgetRecord* record, const char* text);
    void* reserved1[8];
    void (*SetColor)(GadgetRecord* record, int32_t which, COLORREF color);
    COLORREF (*GetColor)(GadgetRecord* record, int32_t which);
    void* reserved2[8];
};

void GadgetLibraryInit();
void GadgetLibraryEnd();
ObjectTable* GadgetTable();   // null before GadgetLibraryInit

// For a fixed number the control's handle, for ANY_NUMBER the chosen number;
// 0 when the control cannot be created.
intptr_t CreateLabelGadget(GadgetNumber number, int x, int y, int width, int height, const char* text, uint32_t flags = 0);
intptr_t CreateEditGadget(GadgetNumber number, int x, int y, int width, int height, const char* text, uint32_t flags = 0);
intptr_t CreateButtonGadget(GadgetNumber number, int x, int y, int width, int height, const char* text, uint32_t flags = 0);

// Writes the text at `position` of the temporary string buffer (the caller
// passes the buffer's current end) and returns the buffer's new end; 0 when
// no such gadget lives.
size_t ReadGadgetText(GadgetNumber number, size_t position);
void WriteGadgetText(GadgetNumber number, const char* text);
void DestroyGadget(GadgetNumber number);
HWND SelectGadgetWindow(HWND window);
LRESULT CALLBACK GadgetStackWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
GadgetRecord* FindGadgetRecord(GadgetNumber number);

// Colours and button state, reached through the kinds' slots.
void SetGadgetColor(GadgetNumber number, int32_t which, COLORREF color);
COLORREF GetGadgetColor(GadgetNumber number, int32_t which);  // (COLORREF)-1 when none
void SetGadgetState(GadgetNumber number, intptr_t value);
intptr_t GetGadgetState(GadgetNumber number);                   // 0 without a state slot

// Internal operations shared with the window procedure and the tests.
void PostGadgetEvent(HWND control, int32_t eventType);
HWND FindOwnerWindow(HWND control);
HBRUSH AcquireColorBrush(COLORREF color);
void ReleaseColorBrush(HBRUSH brush);
size_t BrushCacheEntries();   // live entries, for tests
