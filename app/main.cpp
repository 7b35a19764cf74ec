// sms-pdu: the window program. One window with the message text, its PDU
// hex and the text decoded back from that hex, and a loop that runs one
// conversion for each click on "Text to PDU" or "PDU to Text".
#include <windows.h>

#include "app/main_window.h"
#include "codec/codec.h"
#include "runtime/runtime.h"
#include "toolkit/event_fetch.h"
#include "toolkit/events.h"
#include "toolkit/gadgets.h"
#include "toolkit/toolkit.h"
#include "toolkit/window.h"

namespace {

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

    if (!OpenMainWindow()) {
        // Without its window the program could never be closed: end now,
        // and report the failure in the exit code.
        ToolkitEnd();
        ProgramHeapEnd();
        ExitProcess(1);
    }
    SmsText = "Hallo, ich bins!";
    CreateMainWindowGadgets(SmsText.Text(), PduText.Text());

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
