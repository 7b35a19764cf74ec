// sms-pdu-drive.exe: what scripts/run does to a running sms-pdu.exe when no
// one is there to click. "convert" presses both buttons of its main window
// and prints the message, its PDU and the text read back; "close" closes the
// window as its close box does. It is no test: it checks nothing the program
// computes, it only reports what the window shows. Exit code 1 when there is
// no window or a press changes nothing within 30 s.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/main_window.h"

namespace {

std::string TextOf(HWND field) {
    std::string text(SendMessageA(field, WM_GETTEXTLENGTH, 0, 0) + 1, '\0');
    text.resize(SendMessageA(field, WM_GETTEXT, text.size(), LPARAM(text.data())));
    return text;
}

template <typename Done>
bool WaitUpTo(DWORD ms, Done done) {
    for (const DWORD start = GetTickCount(); !done(); Sleep(50))
        if (GetTickCount() - start > ms) return false;
    return true;
}

// Presses `button` as a click does (BM_CLICK: the button's own press and
// release) and returns what `field` then shows, once it changed from a marker.
bool Press(HWND window, int button, int field, std::string& shown) {
    const HWND target = GetDlgItem(window, field);
    const char* marker = "(waiting for the program)";
    SendMessageA(target, WM_SETTEXT, 0, LPARAM(marker));
    SendMessageA(GetDlgItem(window, button), BM_CLICK, 0, 0);
    const bool changed = WaitUpTo(30000, [&] { return (shown = TextOf(target)) != marker; });
    if (!changed) fprintf(stderr, "sms-pdu-drive: gadget %d was pressed and gadget %d did not change in 30 s\n", button, field);
    return changed;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc == 2 ? argv[1] : "";
    if (what != "convert" && what != "close") {
        fprintf(stderr, "usage: sms-pdu-drive convert|close\n");
        return 2;
    }
    // The window is there before its gadgets: wait for the last one made.
    HWND window = nullptr;
    auto up = [&] { return (window = FindWindowA(nullptr, MAIN_WINDOW_TITLE)) && GetDlgItem(window, BUTTON_TO_TEXT); };
    if (!WaitUpTo(30000, up)) {
        fprintf(stderr, "sms-pdu-drive: no window \"%s\" with its buttons within 30 s\n", MAIN_WINDOW_TITLE);
        return 1;
    }
    if (what == "close") return PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 1;
    const std::string text = TextOf(GetDlgItem(window, FIELD_TEXT));
    std::string pdu, back;
    if (!Press(window, BUTTON_TO_PDU, FIELD_PDU, pdu) || !Press(window, BUTTON_TO_TEXT, FIELD_DECODED, back)) return 1;
    printf("Text to PDU: \"%s\" -> %s\nPDU to Text: -> \"%s\"\n", text.c_str(), pdu.c_str(), back.c_str());
    return 0;
}
