// The main window and its gadgets, where the program puts them: one layout
// for the program and for the click benchmark (bench/click_road.cpp), which
// times the road of a click in this very window.
#pragma once
#include "toolkit/gadgets.h"
#include "toolkit/window.h"

constexpr WindowNumber MAIN_WINDOW = 0;
constexpr const char* MAIN_WINDOW_TITLE = "SMS (Korvanel)";

// Window 0 with a caption, a close box and a sizing frame, no minimize or
// maximize box; 0 when it cannot be opened.
inline intptr_t OpenMainWindow() {
    return OpenToolkitWindow(MAIN_WINDOW, 287, 33, 600, 300, MAIN_WINDOW_TITLE, WS_CAPTION | WS_SYSMENU | WS_THICKFRAME);
}

enum MainWindowGadget : GadgetNumber {
    LABEL_TEXT = 0,
    FIELD_TEXT = 1,      // the message
    LABEL_PDU = 2,
    FIELD_PDU = 3,       // its PDU hex
    LABEL_DECODED = 4,
    FIELD_DECODED = 5,   // the text decoded from field 3
    BUTTON_TO_PDU = 6,
    BUTTON_TO_TEXT = 7,
};

// Gadgets 0 to 7 in the current target window, fields 1 and 3 holding
// `text` and `pdu`.
inline void CreateMainWindowGadgets(const char* text, const char* pdu) {
    CreateLabelGadget(LABEL_TEXT, 30, 20, 60, 20, "SMS Text", 0);
    CreateEditGadget(FIELD_TEXT, 30, 40, 230, 30, text, 0);
    CreateLabelGadget(LABEL_PDU, 30, 80, 60, 20, "Text to PDU", 0);
    CreateEditGadget(FIELD_PDU, 30, 100, 230, 30, pdu, 0);
    CreateLabelGadget(LABEL_DECODED, 30, 140, 60, 20, "PDU to Text", 0);
    CreateEditGadget(FIELD_DECODED, 30, 160, 230, 30, "", 0);
    CreateButtonGadget(BUTTON_TO_PDU, 290, 100, 160, 30, "Text to PDU", 0);
    CreateButtonGadget(BUTTON_TO_TEXT, 290, 160, 160, 30, "PDU to Text", 0);
}
