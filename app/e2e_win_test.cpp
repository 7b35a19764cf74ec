// End-to-end tests of sms-pdu.exe (its path is the first argument): the real program driven with real
// input, checked against the independent reference. Every wait is bounded; a watchdog ends a hang.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

#include "codec/codec_test_support.h"
#include "toolkit/win_test_support.h"

namespace {

constexpr char kTitle[] = "SMS (Korvanel)";
constexpr char kSentinel[] = "(untouched)";
std::string gExePath;
PROCESS_INFORMATION gProcess = {};
HWND gWindow = nullptr;

bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b); }

DWORD ExitCode(DWORD ms = 0) {   // once the program has ended, waiting at most `ms`; STILL_ACTIVE before
    DWORD code = 12345;
    WaitForSingleObject(gProcess.hProcess, ms);
    GetExitCodeProcess(gProcess.hProcess, &code);
    return code;
}

bool Running() { return ExitCode() == STILL_ACTIVE; }

void Kill() {
    if (gProcess.hProcess && TerminateProcess(gProcess.hProcess, 99)) WaitForSingleObject(gProcess.hProcess, 5000);
    CloseHandle(gProcess.hProcess);
    CloseHandle(gProcess.hThread);
    gProcess = {};
}

bool IsMainWindowUp(HWND window) { return window && IsWindowVisible(window) && GetDlgItem(window, 7); }

bool Start() {   // whether the program's main window came up (its own, not one left over from a run)
    Kill();   // one program at a time
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    if (!CreateProcessA(gExePath.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &gProcess))
        return false;
    WaitFor([] { return IsMainWindowUp(gWindow = FindWindowA(nullptr, kTitle)) || !Running(); }, 30000);
    return IsMainWindowUp(gWindow) && GetWindowThreadProcessId(gWindow, nullptr) == gProcess.dwThreadId;
}

GUITHREADINFO ThreadInfo() {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(gProcess.dwThreadId, &info);
    return info;
}

// Processor time of the program's thread, which runs its loop, in ms (under Wine as Linux counts it).
long long CpuMs() {
    FILETIME created, ended, kernel, user;
    auto ms = [](FILETIME t) { return (static_cast<long long>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 10000; };
    return GetThreadTimes(gProcess.hThread, &created, &ended, &kernel, &user) ? ms(kernel) + ms(user) : -1;
}

HWND G(int gadget) { return GetDlgItem(gWindow, gadget); }

bool Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0, DWORD_PTR* result = nullptr) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, 15000, result ? result : &ignored);
}

std::string TextOf(HWND window) {
    std::string text(200000, '\0');
    DWORD_PTR copied = 0;
    return Send(window, WM_GETTEXT, text.size(), (LPARAM)&text[0], &copied) ? text.substr(0, copied) : "<no answer>";
}

bool SetText(HWND window, const std::string& text) { return Send(window, WM_SETTEXT, 0, (LPARAM)text.c_str()); }

bool Click(HWND window, POINT at = {-1, -1}) {
    const RECT r = WindowRect(window);
    if (at.x < 0) at = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    // Both events carry the point: a late pointer move (Wine's, for an earlier click) cannot misplace them.
    const DWORD there = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return SendInputs({MouseInput(there | MOUSEEVENTF_LEFTDOWN, at), MouseInput(there | MOUSEEVENTF_LEFTUP, at)});
}

std::string WhyNothingChanged() {
    if (!Running()) return "the program has ended, exit code " + std::to_string(ExitCode());
    if (!Send(gWindow, WM_NULL)) return "its window does not answer in 15 s";
    POINT at = {};
    GetCursorPos(&at);
    return "it answers; pointer at " + std::to_string(at.x) + "," + std::to_string(at.y) + " over gadget " +
           std::to_string(GetDlgCtrlID(WindowFromPoint(at))) + ", focus on " +
           std::to_string(GetDlgCtrlID(ThreadInfo().hwndFocus)) + ", capture on " +
           std::to_string(GetDlgCtrlID(ThreadInfo().hwndCapture));   // gadget numbers, 0 for none
}

// Clicks button 6 or 7: field 3 or 5 once changed from a sentinel; no change ends the program.
std::string Press(int button) {
    const HWND target = G(button == 6 ? 3 : 5);
    if (!SetText(target, kSentinel) || !Click(G(button))) return "<no window>";
    if (!WaitFor([&] { return TextOf(target) != kSentinel; }, 30000)) {
        ADD_FAILURE() << "a click on button " << button << " changed nothing in 30 s: " << WhyNothingChanged();
        Kill();
    }
    return TextOf(target);
}

struct MainWindow : ::testing::Test {
    void SetUp() override { if (!Running()) GTEST_SKIP() << "the program is not running (see above)"; }
};

// Class, place (a gadget's in the client area), size (the main window's client area), style bits, text.
std::string Describe(HWND window) {
    char name[16] = {};
    GetClassNameA(window, name, sizeof(name));
    RECT r = WindowRect(window), size = r;
    if (window == gWindow) GetClientRect(window, &size);
    else MapWindowPoints(nullptr, gWindow, reinterpret_cast<POINT*>(&r), 2);
    std::ostringstream line;
    line << name << ' ' << r.left << ',' << r.top << ' ' << size.right - size.left << 'x' << size.bottom - size.top
         << ' ' << std::hex << (GetWindowLongA(window, GWL_STYLE) & (WS_OVERLAPPEDWINDOW | 0x50030080)) << " \""
         << TextOf(window) << '"';
    return line.str();
}

TEST(Program, StartsWithItsWindowLaidOut) {
    ASSERT_TRUE(Start()) << "no window of " << gExePath << " (or one left over from an earlier run)";
    const char* layout[] = {
        "WindowClass_0 287,33 600x300 10cc0000 \"SMS (Korvanel)\"",
        "Static 30,20 60x20 50020000 \"SMS Text\"",     "Edit 30,40 230x30 50030080 \"Hallo, ich bins!\"",
        "Static 30,80 60x20 50020000 \"Text to PDU\"",  "Edit 30,100 230x30 50030080 \"\"",
        "Static 30,140 60x20 50020000 \"PDU to Text\"", "Edit 30,160 230x30 50030080 \"\"",
        "Button 290,100 160x30 50030000 \"Text to PDU\"", "Button 290,160 160x30 50030000 \"PDU to Text\"",
    };
    for (int gadget = -1; gadget < 8; gadget++)
        EXPECT_EQ(Describe(gadget < 0 ? gWindow : G(gadget)), layout[gadget + 1]) << gadget;
}

// The initial text pressed twice, characters outside the map, 40,000 across the map's rows, none; hand-edited
// hex. Then idle, the program waits: one that polls uses far more than 1% of a core in every span of 3 s.
TEST_F(MainWindow, ConversionsMatchTheReferenceAndTheIdleProgramWaits) {
    std::string longText;
    while (longText.size() < 40000) longText += "Hallo, ich bins! $@_ \xE4\xF6\xFC\xC4\xD6\xDC\xDF\xA8 09 AZaz?%.";
    EXPECT_EQ(Press(6), ref::Encode("Hallo, ich bins!"));
    const long long before = CpuMs();
    for (const std::string& text : {std::string("Hallo, ich bins!"), std::string("x{y}\xE9|\xA3~"), longText, {}}) {
        ASSERT_TRUE(SetText(G(1), text));
        EXPECT_EQ(Press(6), ref::Encode(text));
        EXPECT_EQ(Press(7), ref::Mapped(text));
    }
    ASSERT_TRUE(SetText(G(3), "c8:34 Ff-0"));   // either case, separators, an odd digit
    EXPECT_EQ(Press(7), ref::Decode("c8:34 Ff-0"));
    EXPECT_GT(CpuMs() - before, 0) << "the counter does not see the conversions";
    SetCursorPos(WindowRect(gWindow).right + 200, 10);   // Wine times a pointer resting on a push button
    double percent = 100.0;
    for (int span = 0; span < 3 && Send(gWindow, WM_NULL) && percent >= 1.0; span++) {
        const long long start = CpuMs();
        Sleep(3000);   // the span measured, not a wait for a condition
        percent = (CpuMs() - start) / 30.0;
    }
    EXPECT_LT(percent, 1.0) << "% of a core while idle";
}

// Typing, Tab and shift-Tab, moving and sizing convert nothing: once field 1 shows the last key and the
// program answers a sent message, it has handled all of it. BM_CLICK (as a screen reader sends it) converts.
TEST_F(MainWindow, TypingTabMovingAndSizingConvertNothing) {
    ASSERT_TRUE(SetText(G(1), "") && SetText(G(3), kSentinel) && SetText(G(5), kSentinel));
    ASSERT_TRUE(Click(G(1)) && PressKey('T') && PressKey('E') && PressKey('S'));
    const int tabOrder[] = {3, 5, 6, 7, 1, 7, 6, 5, 3, 1};   // five Tabs, then five shift-Tabs
    for (int press = 0; press < 10; press++) {
        ASSERT_TRUE(PressKey(VK_TAB, press >= 5));
        WaitFor([&] { return ThreadInfo().hwndFocus == G(tabOrder[press]); }, 5000);
        EXPECT_EQ(GetDlgCtrlID(ThreadInfo().hwndFocus), tabOrder[press]) << "after Tab " << press;
    }
    const RECT r = WindowRect(gWindow);
    EXPECT_TRUE(SetWindowPos(gWindow, nullptr, 100, 120, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE));
    EXPECT_TRUE(MoveWindow(gWindow, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE));
    ASSERT_TRUE(PressKey(VK_END) && PressKey('T'));
    EXPECT_TRUE(WaitFor([] { return TextOf(G(1)) == "test"; }, 5000)) << TextOf(G(1));
    EXPECT_TRUE(Send(gWindow, WM_NULL));
    EXPECT_EQ(TextOf(G(3)) + "|" + TextOf(G(5)), std::string(kSentinel) + "|" + kSentinel);
    ASSERT_TRUE(Send(G(6), BM_CLICK));
    EXPECT_TRUE(WaitFor([] { return TextOf(G(3)) == ref::Encode("test"); }, 5000)) << TextOf(G(3));
}

// Live sizing by the right edge while clicks convert: a real press (on button 6, shown pushed), then the
// command sent for one on the border; moves posted (real ones were not always followed under Wine).
TEST_F(MainWindow, LiveSizingFollowsThePointerWhileClicksConvert) {
    const RECT before = WindowRect(gWindow);
    auto dragTo = [&](LONG x) {
        POINT to = {x, (before.top + before.bottom) / 2};
        ScreenToClient(gWindow, &to);
        PostMessageA(gWindow, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
        const RECT want = {before.left, before.top, x + 2, before.bottom};   // the right side two pixels out
        return WaitFor([&] { return WindowRect(gWindow) == want; }, 5000);
    };
    DWORD_PTR state = 0;
    ASSERT_TRUE(SetText(G(1), "Hi") && Press(6) == ref::Encode("Hi") && GetForegroundWindow() == gWindow);
    ASSERT_TRUE(SendMouse(MOUSEEVENTF_LEFTDOWN) &&
                WaitFor([&] { return Send(G(6), BM_GETSTATE, 0, 0, &state) && (state & BST_PUSHED); }, 5000));
    PostMessageA(gWindow, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0);
    ASSERT_TRUE(WaitFor([] { return ThreadInfo().hwndCapture == gWindow; }, 5000)) << "no sizing started";
    EXPECT_TRUE(dragTo(before.right + 40)) << WindowRect(gWindow).right;
    ASSERT_TRUE(SetText(G(3), kSentinel) && Send(gWindow, WM_COMMAND, MAKEWPARAM(6, BN_CLICKED), (LPARAM)G(6)));
    EXPECT_TRUE(WaitFor([] { return TextOf(G(3)) == ref::Encode("Hi"); }, 5000)) << TextOf(G(3));
    EXPECT_TRUE(dragTo(before.right - 60)) << "the sizing did not go on after the click";
    ASSERT_TRUE(SendMouse(MOUSEEVENTF_LEFTUP));
    EXPECT_TRUE(WaitFor([] { return ThreadInfo().hwndCapture != gWindow; }, 5000)) << "the release did not end it";
}

TEST_F(MainWindow, CloseBoxEndsTheProgramWithExitCodeZero) {
    const RECT r = WindowRect(gWindow);
    const POINT box = {r.right - GetSystemMetrics(SM_CXFRAME) - GetSystemMetrics(SM_CXSIZE) / 2,
                       r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2};
    ASSERT_TRUE(Click(gWindow, box));
    EXPECT_EQ(ExitCode(15000), 0u) << WhyNothingChanged();
}

// A global hook (e2e_refuse_hook.dll) refuses the program its window: it ends by itself, exit code 1.
TEST(NoWindow, ProgramEndsWithExitCodeOne) {
    HMODULE hooks = LoadLibraryA("e2e_refuse_hook.dll");   // beside this program and sms-pdu.exe
    auto refuse = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(hooks, "RefuseMainWindow")));
    HHOOK hook = refuse ? SetWindowsHookExA(WH_CBT, refuse, hooks, 0) : nullptr;
    ASSERT_NE(hook, nullptr) << "no hook RefuseMainWindow in e2e_refuse_hook.dll";
    EXPECT_FALSE(Start());
    EXPECT_EQ(ExitCode(20000), 1u) << (Running() ? "the program did not end by itself" : "");
    Kill();
    UnhookWindowsHookEx(hook);
}

// For scripts/run: "--demo" converts the running program's text both ways and prints it; "--close" closes it.
int Drive(bool demo) {
    if (!WaitFor([] { return IsMainWindowUp(gWindow = FindWindowA(nullptr, kTitle)); }, 30000))
        return fprintf(stderr, "no window \"%s\"\n", kTitle), 1;
    gProcess.dwThreadId = GetWindowThreadProcessId(gWindow, &gProcess.dwProcessId);
    gProcess.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, gProcess.dwProcessId);
    if (!demo) return !PostMessageA(gWindow, WM_CLOSE, 0, 0);
    const std::string text = TextOf(G(1)), pdu = Press(6), back = Press(7);
    printf("Text to PDU: \"%s\" -> %s\nPDU to Text: -> \"%s\"\n", text.c_str(), pdu.c_str(), back.c_str());
    return pdu != ref::Encode(text) || back != ref::Mapped(text);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc >= 2 ? argv[1] : "";
    if (mode == "--demo" || mode == "--close") return Drive(mode == "--demo");
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) return fprintf(stderr, "usage: e2e_win_test PATH\\sms-pdu.exe\n"), 2;
    gExePath = (argv[1][0] == '/' ? "Z:" : "") + std::string(argv[1]);
    std::replace(gExePath.begin(), gExePath.end(), '/', '\\');
    // Live sizing needs full-window dragging: set for this Wine session (not saved), the program's too.
    SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, SPIF_SENDCHANGE);
    StartWatchdog(150000, "e2e_win_test", Kill);   // the last "[ RUN ]" in the log names the test
    const int result = RUN_ALL_TESTS();
    Kill();
    return result;
}
