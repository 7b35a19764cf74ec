// End-to-end tests of sms-pdu.exe, beside this program: the real program driven with real input, checked
// against the independent reference. Messages are sent without a time limit; one watchdog ends a hang.
#include <gtest/gtest.h>

#include "codec/codec_test_support.h"
#include "toolkit/win_test_support.h"

PROCESS_INFORMATION gProcess = {};
HWND gWindow = nullptr;

DWORD ExitCode(DWORD ms = 0) {   // once the program has ended, waiting at most `ms`; STILL_ACTIVE before
    DWORD code = 12345;
    WaitForSingleObject(gProcess.hProcess, ms);
    GetExitCodeProcess(gProcess.hProcess, &code);
    return code;
}

void Kill() {
    TerminateProcess(gProcess.hProcess, 99);
    WaitForSingleObject(gProcess.hProcess, 5000);
}

bool MainWindowUp() { return (gWindow = FindWindowA(nullptr, "SMS (Korvanel)")) && GetDlgItem(gWindow, 7); }

// Whether the program's own main window came up (not one left over from a run), waiting at most 30 s.
bool Start() {
    Kill();   // one program at a time
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    char command[] = "sms-pdu.exe";
    CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &gProcess);
    WaitFor([] { return MainWindowUp() || ExitCode() != STILL_ACTIVE; }, 30000);
    return MainWindowUp() && GetWindowThreadProcessId(gWindow, nullptr) == gProcess.dwThreadId;
}

// Processor time of the program's thread, which runs its loop, in ms (under Wine as Linux counts it).
long long CpuMs() {
    FILETIME created, ended, kernel, user;
    auto ms = [](FILETIME t) { return (static_cast<long long>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 10000; };
    return GetThreadTimes(gProcess.hThread, &created, &ended, &kernel, &user) ? ms(kernel) + ms(user) : -1;
}

HWND G(int gadget) { return GetDlgItem(gWindow, gadget); }

std::string TextOf(HWND window) {
    std::string text(200000, '\0');
    return text.substr(0, SendMessageA(window, WM_GETTEXT, text.size(), LPARAM(&text[0])));
}

bool SetText(HWND window, const std::string& text) { return SendMessageA(window, WM_SETTEXT, 0, LPARAM(text.c_str())); }

// Clicks button 6 or 7: field 3 or 5 once changed from a sentinel. A lost click ends the program.
std::string Press(int button) {
    const HWND target = G(button == 6 ? 3 : 5);
    const RECT r = WindowRect(G(button));
    if (!SetText(target, "(untouched)") || !ClickAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2})) return "<none>";
    if (!WaitFor([&] { return TextOf(target) != "(untouched)"; }, 30000)) {
        const POINT at = CursorPos();   // where the input went
        ADD_FAILURE() << "button " << button << " clicked, nothing changed in 30 s; pointer at " << at.x << "," << at.y
                      << " over gadget " << GetDlgCtrlID(WindowFromPoint(at)) << " (0: none)";
        Kill();
    }
    return TextOf(target);
}

// Number, class, place (a gadget's in the client area; the main window's on the screen), size (the main
// window's client area), the style bits looked at, text.
std::string Line(int id, const char* name, RECT r, DWORD style, const std::string& text) {
    char line[400] = {};
    snprintf(line, sizeof(line), "%d %s %ld,%ld %ldx%ld style %lx \"%s\"", id, name, r.left, r.top, r.right, r.bottom,
             static_cast<unsigned long>(style), text.c_str());
    return line;
}
std::string Describe(HWND window) {
    const DWORD looked = WS_OVERLAPPEDWINDOW | WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | ES_AUTOHSCROLL;
    char name[16] = {};
    GetClassNameA(window, name, sizeof(name));
    RECT r = WindowRect(window), size = window == gWindow ? ClientRect(window) : r;
    if (window != gWindow) MapWindowPoints(nullptr, gWindow, reinterpret_cast<POINT*>(&r), 2);
    return Line(GetDlgCtrlID(window), name, {r.left, r.top, size.right - size.left, size.bottom - size.top},
                GetWindowLongA(window, GWL_STYLE) & looked, TextOf(window));
}

// The window, then its gadgets in their order on screen, which is also the Tab order.
TEST(Program, StartsWithItsWindowLaidOut) {
    ASSERT_TRUE(Start()) << "no window of sms-pdu.exe (or one left over from an earlier run)";
    const DWORD main = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, child = WS_CHILD | WS_VISIBLE | WS_GROUP;
    const DWORD field = child | WS_TABSTOP | ES_AUTOHSCROLL, button = child | WS_TABSTOP;
    const struct { int id; const char* name; RECT place; DWORD style; const char* text; } layout[] = {
        {0, "WindowClass_0", {287, 33, 600, 300}, main, "SMS (Korvanel)"},
        {0, "Static", {30, 20, 60, 20}, child, "SMS Text"},       {1, "Edit", {30, 40, 230, 30}, field, "Hallo, ich bins!"},
        {2, "Static", {30, 80, 60, 20}, child, "Text to PDU"},    {3, "Edit", {30, 100, 230, 30}, field, ""},
        {4, "Static", {30, 140, 60, 20}, child, "PDU to Text"},   {5, "Edit", {30, 160, 230, 30}, field, ""},
        {6, "Button", {290, 100, 160, 30}, button, "Text to PDU"}, {7, "Button", {290, 160, 160, 30}, button, "PDU to Text"},
    };
    std::vector<std::string> expected, seen = {Describe(gWindow)};
    for (const auto& row : layout) expected.push_back(Line(row.id, row.name, row.place, row.style, row.text));
    for (HWND child = GetWindow(gWindow, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        seen.push_back(Describe(child));
    EXPECT_EQ(seen, expected);
}

// The initial text pressed twice, characters outside the map, 40,000 across the map's rows, none; hand-edited
// hex. Then idle, the program waits: one that polls uses far more than 1% of a core in every span of 3 s.
TEST(Program, ConversionsMatchTheReferenceAndTheIdleProgramWaits) {
    std::string longText;
    while (longText.size() < 40000) longText += "Hallo, ich bins! $@_ \xE4\xF6\xFC\xC4\xD6\xDC\xDF\xA8 09 AZaz?%.";
    EXPECT_EQ(Press(6), ref::Encode("Hallo, ich bins!"));
    for (const std::string& text : {std::string("Hallo, ich bins!"), std::string("x{y}\xE9|\xA3~"), longText, {}}) {
        ASSERT_TRUE(SetText(G(1), text));
        EXPECT_EQ(Press(6), ref::Encode(text));
        EXPECT_EQ(Press(7), ref::Mapped(text));
    }
    ASSERT_TRUE(SetText(G(3), "c8:34 Ff-0"));   // either case, separators, an odd digit
    EXPECT_EQ(Press(7), ref::Decode("c8:34 Ff-0"));
    SetCursorPos(WindowRect(gWindow).right + 200, 10);   // Wine times a pointer resting on a push button
    long long start = CpuMs(), used = 30;   // ms in the last span; 30 are 1% of a core
    ASSERT_GT(start, 0) << "the counter does not see the conversions";
    for (int span = 0; span < 3 && used >= 30; span++, start += used) {
        Sleep(3000);   // the span measured, not a wait for a condition
        used = CpuMs() - start;
    }
    EXPECT_LT(used, 30) << "ms of processor time in 3 s while idle";
}

// Typing, Tab and shift-Tab, moving and sizing convert nothing: once field 1 shows the last key, the program
// has handled all of it when it answers a message. BM_CLICK (as a screen reader sends it) converts.
TEST(Program, TypingTabMovingAndSizingConvertNothing) {
    ASSERT_TRUE(SetText(G(1), "tes") && SetText(G(3), "(untouched)") && SetText(G(5), "(untouched)"));
    const RECT field = WindowRect(G(1)), r = WindowRect(gWindow);
    ASSERT_TRUE(ClickAt({field.right - 5, field.top + 5}) &&   // the caret to the end once the click is handled
                WaitFor([] { return SendMessageA(G(1), EM_GETSEL, 0, 0) == MAKELONG(3, 3); }, 5000));
    for (int press = 0; press < 10; press++)   // round to field 1 and back, an x typed in field 5
        ASSERT_TRUE(PressKey(VK_TAB, press >= 5) && (press != 1 || PressKey('X')));
    EXPECT_TRUE(MoveWindow(gWindow, r.left - 30, r.top + 20, r.right - r.left + 40, r.bottom - r.top + 10, TRUE));
    ASSERT_TRUE(PressKey(VK_END) && PressKey('T'));
    EXPECT_TRUE(WaitFor([] { return TextOf(G(1)) == "test"; }, 5000)) << TextOf(G(1));
    EXPECT_EQ(TextOf(G(3)) + "|" + TextOf(G(5)), "(untouched)|x(untouched)");
    SendMessageA(G(6), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([] { return TextOf(G(3)) == ref::Encode("test"); }, 5000)) << TextOf(G(3));
}

// Live sizing by the right edge while clicks convert: a real press (on button 6, shown pushed), the command
// and the moves sent as a press on the border and the capture bring them, and the real release that ends it.
TEST(Program, LiveSizingFollowsThePointerWhileClicksConvert) {
    const RECT before = WindowRect(gWindow);
    auto dragTo = [&](LONG x) {   // whether the right side follows, two pixels out
        MoveTo(gWindow, {x, (before.top + before.bottom) / 2});
        return WindowRect(gWindow) == RECT{before.left, before.top, x + 2, before.bottom};
    };
    ASSERT_TRUE(SetText(G(1), "Hi") && Press(6) == ref::Encode("Hi") && SetText(G(3), "(untouched)"));
    ASSERT_TRUE(GetForegroundWindow() == gWindow && SendInputs({MouseInput(MOUSEEVENTF_LEFTDOWN)}) &&
                WaitFor([] { return SendMessageA(G(6), BM_GETSTATE, 0, 0) & BST_PUSHED; }, 5000));
    SendMessageA(gWindow, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0);
    EXPECT_TRUE(dragTo(before.right + 40)) << WindowRect(gWindow).right;
    SendMessageA(gWindow, WM_COMMAND, MAKEWPARAM(6, BN_CLICKED), LPARAM(G(6)));
    EXPECT_TRUE(WaitFor([] { return TextOf(G(3)) == ref::Encode("Hi"); }, 5000)) << TextOf(G(3));
    EXPECT_TRUE(dragTo(before.right - 60)) << "the sizing did not go on after the click";
    ASSERT_TRUE(SendInputs({MouseInput(MOUSEEVENTF_LEFTUP)}));
    int moves = 0;   // to and fro by a pixel
    EXPECT_TRUE(WaitFor([&] { return !dragTo(before.right - 60 + ++moves % 2); }, 5000)) << "not ended by the release";
}

// A click on the close box ends the program with exit code 0. Refused its window by a global hook
// (e2e_refuse_hook.dll), it ends by itself with exit code 1 (259 is STILL_ACTIVE).
TEST(Program, ExitCodes) {
    ASSERT_TRUE(ClickAt(CloseBoxPoint(gWindow)));
    EXPECT_EQ(ExitCode(15000), 0u);
    HMODULE hooks = LoadLibraryA("e2e_refuse_hook.dll");   // beside this program
    auto refuse = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(hooks, "RefuseMainWindow")));
    HHOOK hook = SetWindowsHookExA(WH_CBT, refuse, hooks, 0);
    EXPECT_FALSE(Start());
    EXPECT_EQ(ExitCode(20000), 1u);
    UnhookWindowsHookEx(hook);
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Live sizing needs full-window dragging: set for this Wine session (not saved), the program's too.
    SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, SPIF_SENDCHANGE);
    StartWatchdog(150000, "e2e_win_test", Kill);   // the last "[ RUN ]" in the log names the test
    atexit(Kill);
    return RUN_ALL_TESTS();
}
