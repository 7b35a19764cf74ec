// End-to-end tests of sms-pdu.exe (its path is the first argument): the real
// program, driven with real mouse and key input from this process and checked
// against known conversions. Every wait is bounded, and a watchdog ends a run
// that hangs. For scripts/run, "--demo" converts the running program's text
// both ways and prints it, and "--close" closes it and returns its exit code.
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

std::string Repeat(const std::string& piece, size_t times) {
    std::string whole;
    while (times--) whole += piece;
    return whole;
}

// Forty characters of the map pack into exactly 35 octets, so the phrase
// repeated packs into its octets repeated, then '00' for every 8 characters.
const std::string kPhrase = "Hallo, ich bins! $@_ \xE4\xF6\xFC\xC4\xD6\xDC\xDF\xA8 09 AZaz?%.";
const std::string kPacked = "C8309BFD6681D26334489C76CF4320010008DAF3FD5BAED70306C172A0A036ACFF955C";

std::string Pdu(size_t phrases) { return Repeat(kPacked, phrases) + Repeat("00", phrases * 5); }

::testing::AssertionResult Same(const std::string& got, const std::string& want) {
    if (got == want) return ::testing::AssertionSuccess();
    size_t at = std::mismatch(got.begin(), got.begin() + std::min(got.size(), want.size()), want.begin()).first -
                got.begin();
    return ::testing::AssertionFailure() << got.size() << " characters for " << want.size() << ", first difference at "
                                         << at << ": \"" << got.substr(at, 24) << "\" for \"" << want.substr(at, 24) << "\"";
}

// --- The program's process ---------------------------------------------------------

PROCESS_INFORMATION gProcess = {};
HWND gWindow = nullptr;
std::string gUnixPid;

bool Launch(PROCESS_INFORMATION* process) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    std::string commandLine = "\"" + gExePath + "\"";
    return CreateProcessA(gExePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          process) != 0;
}

bool Running() { return gProcess.hProcess && WaitForSingleObject(gProcess.hProcess, 0) == WAIT_TIMEOUT; }

DWORD ExitCode(HANDLE process = gProcess.hProcess) {
    DWORD code = 12345;
    GetExitCodeProcess(process, &code);
    return code;
}

void Kill(PROCESS_INFORMATION* process = &gProcess) {
    if (process->hProcess && TerminateProcess(process->hProcess, 99)) WaitForSingleObject(process->hProcess, 5000);
    CloseHandle(process->hProcess);
    CloseHandle(process->hThread);
    *process = {};
}

GUITHREADINFO ThreadInfo() {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(gProcess.dwThreadId, &info);
    return info;
}

HWND G(int gadget) { return GetDlgItem(gWindow, gadget); }

// Processor time in ms, read from Linux's /proc on Wine's Z: drive:
// GetProcessTimes of another process answers only a fraction under Wine 8.
std::string ReadFile(const std::string& path) {
    std::ostringstream contents;
    contents << std::ifstream(path, std::ios::binary).rdbuf();
    return contents.str();
}

long long CpuMs() {
    std::string stat = ReadFile("Z:\\proc\\" + gUnixPid + "\\stat");
    std::istringstream fields(stat.substr(stat.find(") ") == std::string::npos ? stat.size() : stat.find(") ") + 2));
    std::string field;
    long long ticks = 0;   // user and system time, fields 14 and 15, in 1/100 s
    for (int number = 3; number <= 15 && fields >> field; number++) ticks += number >= 14 ? std::stoll(field) : 0;
    return ticks * 10;
}

// The sms-pdu.exe of this Wine prefix (the one started: Start ends others).
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
        PROCESS_INFORMATION old = {OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id), nullptr, 0, 0};
        Kill(&old);
    }
    if (!Launch(&gProcess)) return false;
    WaitFor([] { return IsMainWindowUp(gWindow = FindWindowA(nullptr, kTitle)) || !Running(); }, 30000);
    gUnixPid = FindUnixProcess();
    return IsMainWindowUp(gWindow) && Running();
}

// --- Talking to the program ------------------------------------------------------------

bool Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0, DWORD_PTR* result = nullptr) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, 15000, result ? result : &ignored);
}

// A window's text, read again when it changed between the two questions.
std::string TextOf(HWND window) {
    for (int attempt = 0; attempt < 10; attempt++) {
        DWORD_PTR length = 0, copied = 0;
        std::string text;
        if (!Send(window, WM_GETTEXTLENGTH, 0, 0, &length)) return "<no answer>";
        text.resize(length + 2);
        if (!Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), &copied)) return "<no answer>";
        if (copied == length) return text.substr(0, copied);
    }
    return "<unsteady>";
}

bool SetText(HWND window, const std::string& text) { return Send(window, WM_SETTEXT, 0, (LPARAM)text.c_str()); }

POINT CentreOf(HWND window) {
    RECT r = WindowRect(window);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

bool Click(POINT at) { return SendInputs({MoveInput(at), MouseInput(MOUSEEVENTF_LEFTDOWN), MouseInput(MOUSEEVENTF_LEFTUP)}); }

// Why input changed nothing: the program gone; its window not answering, and
// whether its process was busy or blocked meanwhile; or the input not taking
// effect (a button takes the focus when a click reaches it).
std::string WhyNothingChanged() {
    if (!Running()) return "the program has ended, exit code " + std::to_string(ExitCode());
    long long before = CpuMs();
    if (!Send(gWindow, WM_NULL))
        return "the program's window does not answer in 15 s; its process used " + std::to_string(CpuMs() - before) +
               " ms of processor meanwhile";
    POINT at = {};
    GetCursorPos(&at);
    return "the program answers; the pointer is at " + std::to_string(at.x) + "," + std::to_string(at.y) +
           " over gadget " + std::to_string(GetDlgCtrlID(WindowFromPoint(at))) + ", the focus on gadget " +
           std::to_string(GetDlgCtrlID(ThreadInfo().hwndFocus));
}

// Clicks button 6 ("Text to PDU", into field 3) or 7 ("PDU to Text", into
// field 5) with real input; the result field's text once it changes from a
// sentinel. The other fields keep their texts. A click that changes nothing
// ends the program, so that the tests after it skip.
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
protected:
    void SetUp() override {
        if (!Running()) GTEST_SKIP() << "the program is not running (see the first failure)";
    }
    void TearDown() override {
        if (GetAsyncKeyState(VK_LBUTTON) & 0x8000) SendMouse(MOUSEEVENTF_LEFTUP);
    }
};

// --- Tests, in order: the program is started once and closed at the end -----------

const struct Layout {
    const char* kind;
    int x, y, width, height;
    const char* text;
    LONG style;
    int tab;   // the gadget Tab goes to from here
} kLayout[] = {
    {"Static", 30, 20, 60, 20, "SMS Text", 0x50020000, -1},
    {"Edit", 30, 40, 230, 30, "Hallo, ich bins!", 0x50030080, 3},
    {"Static", 30, 80, 60, 20, "Text to PDU", 0x50020000, -1},
    {"Edit", 30, 100, 230, 30, "", 0x50030080, 5},
    {"Static", 30, 140, 60, 20, "PDU to Text", 0x50020000, -1},
    {"Edit", 30, 160, 230, 30, "", 0x50030080, 6},
    {"Button", 290, 100, 160, 30, "Text to PDU", 0x50030000, 7},
    {"Button", 290, 160, 160, 30, "PDU to Text", 0x50030000, 1},
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
        EXPECT_STRCASEEQ(name, row.kind) << gadget;
        RECT r = WindowRect(G(gadget));
        MapWindowPoints(nullptr, gWindow, reinterpret_cast<POINT*>(&r), 2);
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
    // The initial text, unedited, pressed twice.
    EXPECT_EQ(Press(6), conversions[0].pdu);
    for (const auto& c : conversions) {
        SCOPED_TRACE(std::to_string(c.text.size()) + " characters: \"" + c.text.substr(0, 24) + "\"");
        ASSERT_TRUE(&c == conversions || SetText(G(1), c.text));
        EXPECT_TRUE(Same(Press(6), c.pdu));
        EXPECT_TRUE(Same(Press(7), c.back));
    }
    // Upper or lower case; white space between octets skipped, any other
    // character read as a 0 digit; an odd digit ignored.
    for (const auto& pair : {std::make_pair("c8:34 ff-0", "H <$"), std::make_pair("", "")}) {
        ASSERT_TRUE(SetText(G(3), pair.first));
        EXPECT_EQ(Press(7), pair.second);
    }
}

TEST_F(MainWindow, TypingTabMovingAndSizingConvertNothing) {
    ASSERT_TRUE(SetText(G(1), "") && SetText(G(3), kSentinel) && SetText(G(5), kSentinel));
    ASSERT_TRUE(Click(CentreOf(G(1))) && PressKey('T') && PressKey('E') && PressKey('S'));
    ASSERT_TRUE(WaitFor([] { return ThreadInfo().hwndFocus == G(1); }, 5000));
    for (int press = 0, at = 1; press < 10; press++) {
        int next = kLayout[at].tab;
        for (int gadget = 0; gadget < 8; gadget++) next = press >= 5 && kLayout[gadget].tab == at ? gadget : next;
        ASSERT_TRUE(PressKey(VK_TAB, press >= 5));
        EXPECT_TRUE(WaitFor([&] { return ThreadInfo().hwndFocus == G(next); }, 5000))
            << (press >= 5 ? "shift-" : "") << "Tab from gadget " << at << " went to gadget "
            << GetDlgCtrlID(ThreadInfo().hwndFocus) << ", not " << next;
        at = next;
    }
    const RECT r = WindowRect(gWindow);
    EXPECT_TRUE(SetWindowPos(gWindow, nullptr, 100, 120, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE));
    EXPECT_TRUE(SetWindowPos(gWindow, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                             SWP_NOZORDER | SWP_NOACTIVATE));
    // The last key comes after all that input: once field 1 shows it, the
    // program has handled the rest, and answers a sent message only after
    // what the key itself set off.
    ASSERT_TRUE(PressKey(VK_END) && PressKey('T'));
    EXPECT_TRUE(WaitFor([] { return TextOf(G(1)) == "test"; }, 5000)) << TextOf(G(1));
    EXPECT_TRUE(Send(gWindow, WM_NULL));
    EXPECT_EQ(TextOf(G(3)), kSentinel);
    EXPECT_EQ(TextOf(G(5)), kSentinel);
    EXPECT_EQ(Press(6), "F4F29C0E");
}

TEST_F(MainWindow, ClicksFromAnotherProgramAndBurstsConvertInOrder) {
    // BM_CLICK from another process, as a screen reader sends it, has
    // converted by the time the program answers the next message.
    ASSERT_TRUE(SetText(G(1), "Hi") && SetText(G(3), kSentinel) && Send(G(6), BM_CLICK));
    EXPECT_EQ(TextOf(G(3)), "C834");
    for (int i = 0; i < 100; i++) {
        ASSERT_TRUE(SetText(G(5), kSentinel) && Send(G(7), BM_CLICK));
        ASSERT_EQ(TextOf(G(5)), "Hi") << "BM_CLICK " << i;
    }
    // Fifty real clicks on "Text to PDU" in one burst, then one on "PDU to
    // Text": field 5 shows the decoded PDU only if they came in order.
    ASSERT_TRUE(SetText(G(1), "test") && SetText(G(3), kSentinel) && SetText(G(5), kSentinel));
    std::vector<INPUT> burst{MoveInput(CentreOf(G(6)))};
    for (int i = 0; i <= 50; i++) {
        if (i == 50) burst.push_back(MoveInput(CentreOf(G(7))));
        burst.push_back(MouseInput(MOUSEEVENTF_LEFTDOWN));
        burst.push_back(MouseInput(MOUSEEVENTF_LEFTUP));
    }
    ASSERT_TRUE(SendInputs(burst));
    EXPECT_TRUE(WaitFor([] { return TextOf(G(5)) != kSentinel; }, 30000)) << WhyNothingChanged();
    EXPECT_EQ(TextOf(G(5)), "test");
    EXPECT_EQ(TextOf(G(3)), "F4F29C0E");
}

TEST_F(MainWindow, IdleProgramUsesNoProcessor) {
    ASSERT_FALSE(gUnixPid.empty()) << "no sms-pdu.exe of this prefix in /proc";
    // The counter sees work: a conversion of 4,000 characters shows in it.
    ASSERT_TRUE(SetText(G(1), Repeat(kPhrase, 100)));
    const long long before = CpuMs();
    EXPECT_TRUE(Same(Press(6), Pdu(100)));
    const long long busy = CpuMs() - before;
    EXPECT_GT(busy, 0);
    // Under Wine, a pointer resting on a push button keeps a tracking timer of
    // Wine's running, which Windows does not have: the pointer leaves.
    SetCursorPos(WindowRect(gWindow).right + 200, 10);
    EXPECT_TRUE(Send(gWindow, WM_NULL));
    // Up to three spans of 3 s, the first of which may still see the tail of
    // the repaint. A program that polls uses far more than 1% in every one.
    double percent = 100.0;
    for (int span = 0; span < 3 && percent >= 1.0; span++) {
        const long long start = CpuMs();
        Sleep(3000);
        percent = (CpuMs() - start) / 30.0;
        printf("  4,000 characters converted in %lld ms of processor; idle: %.2f%% of a core\n", busy, percent);
    }
    EXPECT_LT(percent, 1.0);
}

// --- Live sizing of the main window by its right edge ------------------------------

LONG RightSide() { return WindowRect(gWindow).right; }

// The button goes down (real input) inside the client area by the border,
// then the sizing command comes as the system sends it for a press on the
// border (a press on the border itself becomes a sizing under Wine without a
// window manager only in some prefixes). The command, a posted message, may
// overtake queued input: a conversion by a real click comes just before, so
// that the click's release, which would end the sizing, has been handled.
bool StartSizing() {
    if (Press(6) != "C834" || GetForegroundWindow() != gWindow) return false;
    RECT client = {};
    GetClientRect(gWindow, &client);
    POINT press = {client.right - 3, client.bottom / 2};   // no gadget there
    ClientToScreen(gWindow, &press);
    if (!SendInputs({MoveInput(press), MouseInput(MOUSEEVENTF_LEFTDOWN)})) return false;
    PostMessageA(gWindow, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, MAKELPARAM(press.x, press.y));
    return WaitFor([] { return ThreadInfo().hwndCapture == gWindow; }, 5000);
}

// Moves the pointer to screen x; the right side follows, two pixels out.
bool DragTo(LONG x) {
    return SendInputs({MoveInput(POINT{x, CentreOf(gWindow).y})}) && WaitFor([&] { return RightSide() == x + 2; }, 5000);
}

// The program's loop runs on during a sizing: a click reported then converts
// at once, and the sizing goes on to the release. BM_CLICK with the button
// still held ends it, as the button takes the capture. After either end the
// window no longer follows: the click that converts comes after the move.
TEST_F(MainWindow, LiveSizingFollowsThePointerWhileClicksConvert) {
    const RECT before = WindowRect(gWindow);
    ASSERT_TRUE(SetText(G(1), "Hi"));
    ASSERT_TRUE(StartSizing()) << "no sizing started";
    EXPECT_TRUE(DragTo(before.right + 40)) << "right side at " << RightSide();
    const RECT during = WindowRect(gWindow);
    EXPECT_EQ(std::vector<LONG>({during.left, during.top, during.bottom}),
              std::vector<LONG>({before.left, before.top, before.bottom}));
    ASSERT_TRUE(SetText(G(3), kSentinel) && Send(gWindow, WM_COMMAND, MAKEWPARAM(6, BN_CLICKED), (LPARAM)G(6)));
    EXPECT_EQ(TextOf(G(3)), "C834");
    EXPECT_EQ(ThreadInfo().hwndCapture, gWindow) << "the sizing ended before the release";
    EXPECT_TRUE(DragTo(before.right + 90)) << "right side at " << RightSide();
    ASSERT_TRUE(SendMouse(MOUSEEVENTF_LEFTUP));
    EXPECT_TRUE(WaitFor([] { return ThreadInfo().hwndCapture != gWindow; }, 5000)) << "the release did not end it";

    ASSERT_TRUE(StartSizing()) << "no second sizing started";
    EXPECT_TRUE(DragTo(before.right - 60)) << "right side at " << RightSide();
    ASSERT_TRUE(SetText(G(5), kSentinel) && Send(G(7), BM_CLICK));
    EXPECT_EQ(TextOf(G(5)), "Hi");
    EXPECT_NE(ThreadInfo().hwndCapture, gWindow);
    ASSERT_TRUE(SendMouse(MOUSEEVENTF_LEFTUP));
    EXPECT_EQ(Press(6), "C834");
    EXPECT_EQ(RightSide(), before.right - 58) << "the window followed the pointer after the capture went";
}

TEST_F(MainWindow, CloseBoxEndsTheProgramWithExitCodeZero) {
    // The middle of the points on the caption row that the window reports
    // as its close box.
    RECT r = WindowRect(gWindow);
    const int y = r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
    std::vector<int> box;
    for (int x = r.right - 80; x < r.right; x++) {
        DWORD_PTR hit = 0;
        if (Send(gWindow, WM_NCHITTEST, 0, MAKELPARAM(x, y), &hit) && hit == HTCLOSE) box.push_back(x);
    }
    ASSERT_FALSE(box.empty()) << "no close box on the caption row y = " << y;
    ASSERT_TRUE(Click(POINT{(box.front() + box.back()) / 2, y}));
    ASSERT_EQ(WaitForSingleObject(gProcess.hProcess, 15000), WAIT_OBJECT_0) << WhyNothingChanged();
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_FALSE(IsWindow(gWindow));
}

// A global hook (e2e_refuse_hook.dll, next to the program) refuses the
// program its main window: it must end by itself with exit code 1 rather
// than wait for a close that can never come.
TEST(NoWindow, ProgramEndsWithExitCodeOne) {
    HMODULE hooks = LoadLibraryA((gExePath.substr(0, gExePath.rfind('\\') + 1) + "e2e_refuse_hook.dll").c_str());
    ASSERT_NE(hooks, nullptr);
    auto refuse = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(hooks, "RefuseMainWindow")));
    ASSERT_NE(refuse, nullptr);
    HHOOK hook = SetWindowsHookExA(WH_CBT, refuse, hooks, 0);
    ASSERT_NE(hook, nullptr);
    PROCESS_INFORMATION program = {};
    const bool started = Launch(&program);
    const DWORD waited = started ? WaitForSingleObject(program.hProcess, 20000) : WAIT_FAILED;
    const DWORD code = started ? ExitCode(program.hProcess) : 12345;
    const bool windowSeen = FindWindowA(nullptr, kTitle) != nullptr;
    Kill(&program);
    UnhookWindowsHookEx(hook);
    FreeLibrary(hooks);
    ASSERT_TRUE(started);
    EXPECT_EQ(waited, WAIT_OBJECT_0) << "the program did not end by itself";
    EXPECT_EQ(code, 1u);
    EXPECT_FALSE(windowSeen);
}

int Drive(bool demo) {
    WaitFor([] { return IsMainWindowUp(gWindow = FindWindowA(nullptr, kTitle)); }, demo ? 30000 : 0);
    DWORD id = 0;
    gProcess.dwThreadId = GetWindowThreadProcessId(gWindow, &id);
    gProcess.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, id);
    if (!IsMainWindowUp(gWindow) || !gProcess.hProcess) return fprintf(stderr, "no window \"%s\"\n", kTitle), 1;
    if (!demo)
        return PostMessageA(gWindow, WM_CLOSE, 0, 0) && !WaitForSingleObject(gProcess.hProcess, 15000)
                   ? static_cast<int>(ExitCode())
                   : 1;
    const std::string text = TextOf(G(1)), pdu = Press(6), back = Press(7);
    printf("Text to PDU: \"%s\" -> %s\nPDU to Text: %s -> \"%s\"\n", text.c_str(), pdu.c_str(), pdu.c_str(),
           back.c_str());
    return pdu == kSentinel || back == kSentinel;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (strcmp(argv[1], "--demo") == 0 || strcmp(argv[1], "--close") == 0))
        return Drive(strcmp(argv[1], "--demo") == 0);
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
