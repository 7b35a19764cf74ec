// End-to-end tests of sms-pdu.exe (its path is the first argument): the real
// program, driven with real input and checked against known conversions.
// Every wait is bounded; a watchdog ends a run that hangs. For scripts/run,
// "--demo" converts the running program's text both ways and prints it, and
// "--close" closes the program and returns its exit code.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "toolkit/win_test_support.h"

namespace {

constexpr char kTitle[] = "SMS (Korvanel)";
constexpr char kSentinel[] = "(untouched)";
std::string gExePath;
PROCESS_INFORMATION gProcess = {};
HWND gWindow = nullptr;
std::string gUnixPid;

std::string Repeat(const std::string& piece, size_t times) {
    std::string whole;
    while (times--) whole += piece;
    return whole;
}

// Forty characters of the map pack into exactly 35 octets, so the phrase
// repeated packs into its octets repeated, then '00' for every 8 characters.
const std::string kPhrase = "Hallo, ich bins! $@_ \xE4\xF6\xFC\xC4\xD6\xDC\xDF\xA8 09 AZaz?%.";
std::string Pdu(size_t phrases) {
    return Repeat("C8309BFD6681D26334489C76CF4320010008DAF3FD5BAED70306C172A0A036ACFF955C", phrases) +
           Repeat("00", phrases * 5);
}

::testing::AssertionResult Same(const std::string& got, const std::string& want) {
    size_t at = 0;
    while (at < got.size() && at < want.size() && got[at] == want[at]) at++;
    if (got == want) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << got.size() << " characters for " << want.size() << ", from " << at << ": \""
                                         << got.substr(at, 24) << "\" for \"" << want.substr(at, 24) << '"';
}

bool Launch() {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    std::string line = "\"" + gExePath + "\"";
    return CreateProcessA(gExePath.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &gProcess);
}

bool Running() { return gProcess.hProcess && WaitForSingleObject(gProcess.hProcess, 0) == WAIT_TIMEOUT; }

DWORD ExitCode() {
    DWORD code = 12345;
    GetExitCodeProcess(gProcess.hProcess, &code);
    return code;
}

void Kill() {
    if (gProcess.hProcess && TerminateProcess(gProcess.hProcess, 99)) WaitForSingleObject(gProcess.hProcess, 5000);
    CloseHandle(gProcess.hProcess);
    CloseHandle(gProcess.hThread);
    gProcess = {};
}

GUITHREADINFO ThreadInfo() {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(gProcess.dwThreadId, &info);
    return info;
}

HWND G(int gadget) { return GetDlgItem(gWindow, gadget); }

// Processor time in ms, from Linux's /proc on Wine's Z: drive (under Wine 8,
// GetProcessTimes of another process answers a fraction of it).
std::string ReadFile(const std::string& path) {
    std::ostringstream contents;
    contents << std::ifstream(path, std::ios::binary).rdbuf();
    return contents.str();
}

long long CpuMs() {
    std::string stat = ReadFile("Z:\\proc\\" + gUnixPid + "\\stat");
    std::istringstream fields(stat.substr(std::min(stat.size(), stat.find(") ") + 2)));
    std::string field;
    long long ticks = 0;   // user and system time: fields 14 and 15, in 1/100 s
    for (int number = 3; number <= 15 && fields >> field; number++) ticks += number >= 14 ? std::stoll(field) : 0;
    return ticks * 10;
}

// The sms-pdu.exe of this Wine prefix (Start ends any other).
std::string FindUnixProcess() {
    char prefix[MAX_PATH] = {};
    GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH);
    WIN32_FIND_DATAA found;
    HANDLE walk = FindFirstFileA("Z:\\proc\\*", &found);
    std::string pid;
    for (bool more = walk != INVALID_HANDLE_VALUE; more; more = FindNextFileA(walk, &found)) {
        std::string dir = std::string("Z:\\proc\\") + found.cFileName;
        if (ReadFile(dir + "\\stat").find("(sms-pdu.exe)") != std::string::npos &&
            ReadFile(dir + "\\environ").find(std::string("WINEPREFIX=") + prefix + '\0') != std::string::npos)
            pid = found.cFileName;
    }
    FindClose(walk);
    return pid;
}

bool IsMainWindowUp(HWND window) { return window && IsWindowVisible(window) && GetDlgItem(window, 7); }

bool Start() {
    if (HWND stale = FindWindowA(nullptr, kTitle)) {   // left over from an earlier run
        DWORD id = 0;
        GetWindowThreadProcessId(stale, &id);
        gProcess.hProcess = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        Kill();
    }
    if (!Launch()) return false;
    WaitFor([] { return IsMainWindowUp(gWindow = FindWindowA(nullptr, kTitle)) || !Running(); }, 30000);
    gUnixPid = FindUnixProcess();
    return IsMainWindowUp(gWindow) && Running();
}

bool Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0, DWORD_PTR* result = nullptr) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, 15000, result ? result : &ignored);
}

std::string TextOf(HWND window) {
    std::string text(200000, '\0');
    DWORD_PTR copied = 0;
    if (!Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), &copied)) return "<no answer>";
    return text.substr(0, copied);
}

bool SetText(HWND window, const std::string& text) { return Send(window, WM_SETTEXT, 0, (LPARAM)text.c_str()); }

POINT CentreOf(HWND window) {
    RECT r = WindowRect(window);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

bool Click(POINT at) {
    return SendInputs({MoveInput(at), MouseInput(MOUSEEVENTF_LEFTDOWN), MouseInput(MOUSEEVENTF_LEFTUP)});
}

// Why input changed nothing: the program gone; its window not answering, and
// whether its process was busy or blocked meanwhile; or the input not taking
// effect (a button takes the focus when a click reaches it).
std::string WhyNothingChanged() {
    if (!Running()) return "the program has ended, exit code " + std::to_string(ExitCode());
    const long long before = CpuMs();
    if (!Send(gWindow, WM_NULL))
        return "its window does not answer in 15 s, its process using " + std::to_string(CpuMs() - before) + " ms";
    POINT at = {};
    GetCursorPos(&at);
    return "it answers; pointer at " + std::to_string(at.x) + "," + std::to_string(at.y) + " over gadget " +
           std::to_string(GetDlgCtrlID(WindowFromPoint(at))) + ", focus on " +
           std::to_string(GetDlgCtrlID(ThreadInfo().hwndFocus)) + ", capture on " +
           std::to_string(GetDlgCtrlID(ThreadInfo().hwndCapture)) + (ThreadInfo().hwndCapture ? "" : " (none)");
}

// Clicks button 6 ("Text to PDU", into field 3) or 7 ("PDU to Text", into
// field 5) with real input; the result once its field changes from a
// sentinel. The other fields keep their texts. A click that changes nothing
// ends the program, and the tests after it skip.
std::string Press(int button) {
    const int target = button == 6 ? 3 : 5;
    std::vector<std::string> kept(6);
    for (int field : {1, 3, 5}) kept[field] = TextOf(G(field));
    if (!Running() || !SetText(G(target), kSentinel) || !Click(CentreOf(G(button)))) return "<not running>";
    if (!WaitFor([&] { return TextOf(G(target)) != kSentinel; }, 30000)) {
        ADD_FAILURE() << "a click on button " << button << " changed nothing in 30 s: " << WhyNothingChanged();
        Kill();
        return kSentinel;
    }
    for (int field : {1, 3, 5})
        EXPECT_TRUE(field == target || TextOf(G(field)) == kept[field]) << "field " << field << " changed";
    return TextOf(G(target));
}

class MainWindow : public ::testing::Test {
    void SetUp() override {
        if (!Running()) GTEST_SKIP() << "the program is not running (see the first failure)";
    }
};

const struct Layout {
    const char* kind;
    int x, y, width, height;
    const char* text;
    LONG style;
    int tab, shiftTab;   // the gadgets that Tab and shift-Tab go to from here
} kLayout[] = {
    {"Static", 30, 20, 60, 20, "SMS Text", 0x50020000, -1, -1},
    {"Edit", 30, 40, 230, 30, "Hallo, ich bins!", 0x50030080, 3, 7},
    {"Static", 30, 80, 60, 20, "Text to PDU", 0x50020000, -1, -1},
    {"Edit", 30, 100, 230, 30, "", 0x50030080, 5, 1},
    {"Static", 30, 140, 60, 20, "PDU to Text", 0x50020000, -1, -1},
    {"Edit", 30, 160, 230, 30, "", 0x50030080, 6, 3},
    {"Button", 290, 100, 160, 30, "Text to PDU", 0x50030000, 7, 5},
    {"Button", 290, 160, 160, 30, "PDU to Text", 0x50030000, 1, 6},
};

TEST(Program, StartsWithItsWindowLaidOut) {
    ASSERT_TRUE(Start()) << "could not start " << gExePath << " or find its window";
    RECT outer = WindowRect(gWindow), client = {};
    GetClientRect(gWindow, &client);
    EXPECT_EQ(std::vector<LONG>({outer.left, outer.top, client.right, client.bottom}),
              std::vector<LONG>({287, 33, 600, 300}));
    EXPECT_EQ(GetWindowLongA(gWindow, GWL_STYLE) & (WS_OVERLAPPEDWINDOW | WS_VISIBLE),
              WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_VISIBLE);
    char name[64] = {};
    GetClassNameA(gWindow, name, sizeof(name));
    EXPECT_STREQ(name, "WindowClass_0");
    EXPECT_EQ(TextOf(gWindow), kTitle);
    for (int gadget = 0; gadget < 8; gadget++) {
        const Layout& row = kLayout[gadget];
        ASSERT_NE(G(gadget), nullptr) << gadget;
        GetClassNameA(G(gadget), name, sizeof(name));
        RECT r = WindowRect(G(gadget));
        MapWindowPoints(nullptr, gWindow, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_STRCASEEQ(name, row.kind) << gadget;
        EXPECT_EQ(std::vector<LONG>({r.left, r.top, r.right - r.left, r.bottom - r.top}),
                  std::vector<LONG>({row.x, row.y, row.width, row.height})) << gadget;
        EXPECT_EQ(TextOf(G(gadget)), row.text);
        EXPECT_EQ(GetWindowLongA(G(gadget), GWL_STYLE) & row.style, row.style) << gadget;
    }
}

TEST_F(MainWindow, ConversionsMatchTheReference) {
    const struct {
        std::string text, pdu, back;
    } conversions[] = {
        {"Hallo, ich bins!", "C8309BFD6681D26334489C76CF430000", "Hallo, ich bins!"},
        {"x{y}\xE9|\xA3~", "78401E0000000000", "x@y@@@@@"},
        {kPhrase, Pdu(1), kPhrase},
        {Repeat(kPhrase, 25), Pdu(25), Repeat(kPhrase, 25)},
        {Repeat(kPhrase, 1000), Pdu(1000), Repeat(kPhrase, 1000)},
    };
    EXPECT_EQ(Press(6), conversions[0].pdu);   // the initial text, unedited, pressed twice
    for (const auto& c : conversions) {
        SCOPED_TRACE(std::to_string(c.text.size()) + " characters: \"" + c.text.substr(0, 24) + "\"");
        ASSERT_TRUE(&c == conversions || SetText(G(1), c.text));
        EXPECT_TRUE(Same(Press(6), c.pdu));
        EXPECT_TRUE(Same(Press(7), c.back));
    }
    // Either case; white space between octets skipped, any other character
    // read as a 0 digit; an odd digit ignored.
    for (const auto& pair : {std::make_pair("c8:34 ff-0", "H <$"), std::make_pair("", "")}) {
        ASSERT_TRUE(SetText(G(3), pair.first));
        EXPECT_EQ(Press(7), pair.second);
    }
}

TEST_F(MainWindow, TypingTabMovingAndSizingConvertNothing) {
    ASSERT_TRUE(SetText(G(1), "") && SetText(G(3), kSentinel) && SetText(G(5), kSentinel));
    ASSERT_TRUE(Click(CentreOf(G(1))) && PressKey('T') && PressKey('E') && PressKey('S'));
    for (int press = 0, at = 1; press < 10; press++) {
        const int next = press < 5 ? kLayout[at].tab : kLayout[at].shiftTab;
        ASSERT_TRUE(PressKey(VK_TAB, press >= 5));
        EXPECT_TRUE(WaitFor([&] { return ThreadInfo().hwndFocus == G(next); }, 5000))
            << (press >= 5 ? "shift-" : "") << "Tab from gadget " << at << " went to "
            << GetDlgCtrlID(ThreadInfo().hwndFocus) << ", not " << next;
        at = next;
    }
    const RECT r = WindowRect(gWindow);
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    EXPECT_TRUE(SetWindowPos(gWindow, nullptr, 100, 120, 300, 200, flags));
    EXPECT_TRUE(SetWindowPos(gWindow, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, flags));
    // Once field 1 shows the last key, the program has handled all input
    // before it, and it answers a sent message after what the key set off.
    ASSERT_TRUE(PressKey(VK_END) && PressKey('T'));
    EXPECT_TRUE(WaitFor([] { return TextOf(G(1)) == "test"; }, 5000)) << TextOf(G(1));
    EXPECT_TRUE(Send(gWindow, WM_NULL));
    EXPECT_EQ(TextOf(G(3)), kSentinel);
    EXPECT_EQ(TextOf(G(5)), kSentinel);
    // BM_CLICK from another process, as a screen reader sends it, converts.
    ASSERT_TRUE(Send(G(6), BM_CLICK));
    EXPECT_TRUE(WaitFor([] { return TextOf(G(3)) == "F4F29C0E"; }, 5000)) << TextOf(G(3));
}

TEST_F(MainWindow, IdleProgramUsesNoProcessor) {
    ASSERT_FALSE(gUnixPid.empty()) << "no sms-pdu.exe of this prefix in /proc";
    ASSERT_TRUE(SetText(G(1), Repeat(kPhrase, 250)));
    const long long before = CpuMs();
    EXPECT_TRUE(Same(Press(6), Pdu(250)));
    const long long busy = CpuMs() - before;
    EXPECT_GT(busy, 0) << "the counter does not see a conversion";
    // Under Wine, a pointer resting on a push button keeps a tracking timer
    // running, which Windows does not have.
    SetCursorPos(WindowRect(gWindow).right + 200, 10);
    EXPECT_TRUE(Send(gWindow, WM_NULL));
    // Three spans of 3 s at most; the first may still see the repaint. A
    // program that polls uses far more than 1% in every one.
    double percent = 100.0;
    for (int span = 0; span < 3 && percent >= 1.0; span++) {
        const long long start = CpuMs();
        Sleep(3000);
        percent = (CpuMs() - start) / 30.0;
        printf("  10,000 characters converted in %lld ms of processor; idle: %.2f%% of a core\n", busy, percent);
    }
    EXPECT_LT(percent, 1.0);
}

LONG RightSide() { return WindowRect(gWindow).right; }

// The button goes down (real input) on button 6, where the conversion by a
// real click just before left the pointer and its release, which would end
// the sizing, has been handled. Once the button shows itself pushed, the
// program has the press, and the command comes that the system sends for a
// press on the border (which sizes under Wine without a window manager only
// in some prefixes).
bool StartSizing() {
    if (Press(6) != "C834" || GetForegroundWindow() != gWindow) return false;
    DWORD_PTR state = 0;
    if (!SendMouse(MOUSEEVENTF_LEFTDOWN) ||
        !WaitFor([&] { return Send(G(6), BM_GETSTATE, 0, 0, &state) && (state & BST_PUSHED); }, 5000))
        return false;
    PostMessageA(gWindow, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0);
    return WaitFor([] { return ThreadInfo().hwndCapture == gWindow; }, 5000);
}

// The pointer moves to screen x, the right side follows two pixels out. The
// moves are posted: real pointer moves from this process were not always
// followed under Wine (GetCursorPos at the point, the window not), in about
// a third of the runs.
std::string DragTo(LONG x) {
    POINT to = {x, CentreOf(gWindow).y};
    ScreenToClient(gWindow, &to);
    if (PostMessageA(gWindow, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y)) &&
        WaitFor([&] { return RightSide() == x + 2; }, 5000))
        return "";
    return "right side at " + std::to_string(RightSide()) + " for " + std::to_string(x);
}

// The program's loop runs on during a sizing: a click reported then converts
// at once and the sizing goes on to the release. BM_CLICK with the button
// held ends it, as the button takes the capture.
TEST_F(MainWindow, LiveSizingFollowsThePointerWhileClicksConvert) {
    const RECT before = WindowRect(gWindow);
    ASSERT_TRUE(SetText(G(1), "Hi"));
    ASSERT_TRUE(StartSizing()) << "no sizing started";
    EXPECT_EQ(DragTo(before.right + 40), "");
    const RECT during = WindowRect(gWindow);
    EXPECT_EQ(std::vector<LONG>({during.left, during.top, during.bottom}),
              std::vector<LONG>({before.left, before.top, before.bottom}));
    ASSERT_TRUE(SetText(G(3), kSentinel) && Send(gWindow, WM_COMMAND, MAKEWPARAM(6, BN_CLICKED), (LPARAM)G(6)));
    EXPECT_TRUE(WaitFor([] { return TextOf(G(3)) == "C834"; }, 5000)) << TextOf(G(3));
    EXPECT_EQ(ThreadInfo().hwndCapture, gWindow) << "the sizing ended before the release";
    EXPECT_EQ(DragTo(before.right + 90), "");
    ASSERT_TRUE(SendMouse(MOUSEEVENTF_LEFTUP));
    EXPECT_TRUE(WaitFor([] { return ThreadInfo().hwndCapture != gWindow; }, 5000)) << "the release did not end it";

    ASSERT_TRUE(StartSizing()) << "no second sizing started";
    EXPECT_EQ(DragTo(before.right - 60), "");
    ASSERT_TRUE(SetText(G(5), kSentinel) && Send(G(7), BM_CLICK));
    EXPECT_TRUE(WaitFor([] { return TextOf(G(5)) == "Hi"; }, 5000)) << TextOf(G(5));
    EXPECT_NE(ThreadInfo().hwndCapture, gWindow);
    ASSERT_TRUE(SendMouse(MOUSEEVENTF_LEFTUP));
    EXPECT_EQ(Press(6), "C834");
    EXPECT_EQ(RightSide(), before.right - 58) << "the window followed the move to the button";
}

TEST_F(MainWindow, CloseBoxEndsTheProgramWithExitCodeZero) {
    RECT r = WindowRect(gWindow);
    POINT box = {r.right - GetSystemMetrics(SM_CXFRAME) - GetSystemMetrics(SM_CXSIZE) / 2,
                 r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2};
    DWORD_PTR hit = 0;
    ASSERT_TRUE(Send(gWindow, WM_NCHITTEST, 0, MAKELPARAM(box.x, box.y), &hit) && hit == HTCLOSE) << hit;
    ASSERT_TRUE(Click(box));
    ASSERT_EQ(WaitForSingleObject(gProcess.hProcess, 15000), WAIT_OBJECT_0) << WhyNothingChanged();
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_FALSE(IsWindow(gWindow));
}

// A global hook (e2e_refuse_hook.dll, by the program) refuses the program its
// main window: it must then end by itself, with exit code 1.
TEST(NoWindow, ProgramEndsWithExitCodeOne) {
    HMODULE hooks = LoadLibraryA((gExePath.substr(0, gExePath.rfind('\\') + 1) + "e2e_refuse_hook.dll").c_str());
    auto refuse = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(hooks, "RefuseMainWindow")));
    HHOOK hook = refuse ? SetWindowsHookExA(WH_CBT, refuse, hooks, 0) : nullptr;
    ASSERT_NE(hook, nullptr) << "no hook RefuseMainWindow in e2e_refuse_hook.dll";
    ASSERT_TRUE(Launch());
    EXPECT_EQ(WaitForSingleObject(gProcess.hProcess, 20000), WAIT_OBJECT_0) << "the program did not end by itself";
    EXPECT_EQ(ExitCode(), 1u);
    EXPECT_EQ(FindWindowA(nullptr, kTitle), nullptr);
    Kill();
    UnhookWindowsHookEx(hook);
}

int Drive(bool demo) {
    WaitFor([] { return IsMainWindowUp(gWindow = FindWindowA(nullptr, kTitle)); }, demo ? 30000 : 0);
    DWORD id = 0;
    gProcess.dwThreadId = GetWindowThreadProcessId(gWindow, &id);
    gProcess.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, id);
    if (!IsMainWindowUp(gWindow) || !gProcess.hProcess) return fprintf(stderr, "no window \"%s\"\n", kTitle), 1;
    if (!demo)
        return PostMessageA(gWindow, WM_CLOSE, 0, 0) && !WaitForSingleObject(gProcess.hProcess, 15000) ? ExitCode() : 1;
    const std::string text = TextOf(G(1)), pdu = Press(6), back = Press(7);
    printf("Text to PDU: \"%s\" -> %s\nPDU to Text: %s -> \"%s\"\n", text.c_str(), pdu.c_str(), pdu.c_str(),
           back.c_str());
    return pdu == kSentinel || back == kSentinel;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (!strcmp(argv[1], "--demo") || !strcmp(argv[1], "--close")))
        return Drive(!strcmp(argv[1], "--demo"));
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) return fprintf(stderr, "usage: e2e_win_test PATH\\sms-pdu.exe\n"), 2;
    gExePath = (argv[1][0] == '/' ? "Z:" : "") + std::string(argv[1]);
    std::replace(gExePath.begin(), gExePath.end(), '/', '\\');
    // Live sizing needs full-window dragging, kept where the program reads it.
    BOOL dragFull = FALSE;
    SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &dragFull, 0);
    SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
    StartWatchdog(150000, "e2e_win_test", [] {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        fprintf(stderr, "the watchdog ends the run in %s\n", test ? test->name() : "no test");
        Kill();
    });
    const int result = RUN_ALL_TESTS();
    if (Running()) Kill();
    SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, dragFull, nullptr, SPIF_UPDATEINIFILE);
    return result;
}
