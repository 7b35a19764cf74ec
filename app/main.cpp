// sms-pdu: the window program. One window with the message text, its PDU
// hex and the text decoded back from that hex, and a loop that runs one
// conversion for each click on "Text to PDU" or "PDU to Text".
#include <windows.h>

#include "codec/codec.h"
#include "runtime/runtime.h"
#include "toolkit/event_fetch.h"
#include "toolkit/events.h"
#include "toolkit/gadgets.h"
#include "toolkit/toolkit.h"
#include "toolkit/window.h"

namespace {

constexpr WindowNumber MainWindow = 0;

enum Gadget : GadgetNumber {
    LABEL_TEXT = 0,
    FIELD_TEXT = 1,      // the message
    LABEL_PDU = 2,
    FIELD_PDU = 3,       // its PDU hex
    LABEL_DECODED = 4,
    FIELD_DECODED = 5,   // the text decoded from field 3
    BUTTON_TO_PDU = 6,
    BUTTON_TO_TEXT = 7,
};

// Process-wide values; the program heap itself is kept by runtime/heap.
HINSTANCE Instance;
Str SmsText;   // initial text of field 1, then the text last read from it
Str PduText;   // the text last read from field 3

// Reads a gadget's text into a variable. The text is read at the end of the
// temporary buffer, and assigning it gives that room back.
void ReadInto(Str& variable, GadgetNumber gadget) {
    size_t start = TempEnd();
    size_t end = ReadGadgetText(gadget, start);
    variable = TempSpan(start, end ? end : start);  // no such gadget: empty
}

// Shows a converter's result; the copy leaves the temporary buffer as it was.
void Show(GadgetNumber gadget, Tmp result) {
    WriteGadgetText(gadget, Str(result).Text());
}

void CreateGadgets() {
    CreateLabelGadget(LABEL_TEXT, 30, 20, 60, 20, "SMS Text", 0);
    CreateEditGadget(FIELD_TEXT, 30, 40, 230, 30, SmsText.Text(), 0);
    CreateLabelGadget(LABEL_PDU, 30, 80, 60, 20, "Text to PDU", 0);
    CreateEditGadget(FIELD_PDU, 30, 100, 230, 30, PduText.Text(), 0);
    CreateLabelGadget(LABEL_DECODED, 30, 140, 60, 20, "PDU to Text", 0);
    CreateEditGadget(FIELD_DECODED, 30, 160, 230, 30, "", 0);
    CreateButtonGadget(BUTTON_TO_PDU, 290, 100, 160, 30, "Text to PDU", 0);
    CreateButtonGadget(BUTTON_TO_TEXT, 290, 160, 160, 30, "PDU to Text", 0);
}

void RunConversion(intptr_t gadget) {
    if (gadget == BUTTON_TO_PDU) {
        ReadInto(SmsText, FIELD_TEXT);
        Show(FIELD_PDU, TextToPdu(SmsText));
    } else if (gadget == BUTTON_TO_TEXT) {
        ReadInto(PduText, FIELD_PDU);
        Show(FIELD_DECODED, PduToText(PduText));
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    Instance = nullptr;
    SmsText.Release();
    PduText.Release();

    Instance = GetModuleHandleA(nullptr);
    RuntimeInit();
    ToolkitInit();

    // A caption, a close box and a sizing frame, no minimize or maximize box.
    const uint32_t style = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
    if (!OpenToolkitWindow(MainWindow, 287, 33, 600, 300, "SMS (Korvanel)", style)) {
        // Without its window the program could never be closed: end now,
        // and report the failure in the exit code.
        ToolkitEnd();
        ProgramHeapEnd();
        ExitProcess(1);
    }
    SmsText = "Hallo, ich bins!";
    CreateGadgets();

    for (;;) {
        // An idle program waits for its next message instead of polling, and
        // so uses no processor time. Clicks made by assistive technology
        // (BM_CLICK sent from another process) arrive as events of the wait
        // itself and convert like mouse clicks.
        int32_t code = NextEvent(-1);
        if (code == EVENT_CLOSE_WINDOW) break;
        if (code == EVENT_GADGET) RunConversion(CurrentEventGadget());
    }

    ToolkitEnd();
    ProgramHeapEnd();
    ExitProcess(0);
}
