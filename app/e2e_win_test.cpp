// End-to-end tests of sms-pdu.exe: starts the real program, finds its window
// by title and its gadgets by number, drives it with real mouse and key input
// and checks what the user sees against known conversions. Every wait is
// bounded, and a watchdog ends this program (and the one it started) when a
// hang outlasts them all.
//
//   e2e_win_test PATH\sms-pdu.exe   the tests (a Unix path is taken as being
//                                   on Wine's Z: drive)
//   e2e_win_test --demo             drives the running program once: both
//                                   conversions of its text, printed
//   e2e_win_test --close            closes the running program; returns its
//                                   exit code
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
constexpr char kNoAnswer[] = "<no answer>";
constexpr DWORD kMessageTimeout = 15000;
std::string gExePath;

std::string Repeat(const std::string& piece, size_t times) {
    std::string whole;
    for (size_t i = 0; i < times; i++) whole += piece;
    return whole;
}

// Forty characters of the character map pack into exactly 35 octets, so a
// repeated phrase packs into repeated octets, followed by one '00' for every
// eight characters.
const std::string kPhrase = "Hallo, ich bins! $@_ \xE4\xF6\xFC\xC4\xD6\xDC\xDF\xA8 09 AZaz?%.";
const std::string kPacked = "C8309BFD6681D26334489C76CF4320010008DAF3FD5BAED70306C172A0A036ACFF955C";

struct Conversion {
    std::string text, pdu, back;
};

const std::vector<Conversion>& Conversions() {
    static const std::vector<Conversion> table = {
        {"Hallo, ich bins!", "C8309BFD6681D26334489C76CF430000", "Hallo, ich bins!"},
        {"x{y}\xE9|\xA3~", "78401E0000000000", "x@y@@@@@"},
        {kPhrase, kPacked + Repeat("00", 5), kPhrase},
        {Repeat(kPhrase, 25), Repeat(kPacked, 25) + Repeat("00", 125), Repeat(kPhrase, 25)},
        {Repeat(kPhrase, 1000), Repeat(kPacked, 1000) + Repeat("00", 5000), Repeat(kPhrase, 1000)},
    };
    return table;
}

::testing::AssertionResult Same(const std::string& got, const std::string& want) {
    if (got == want) return ::testing::AssertionSuccess();
    size_t at = std::mismatch(got.begin(), got.begin() + std::min(got.size(), want.size()), want.begin()).first -
                got.begin();
    return ::testing::AssertionFailure() << got.size() << " characters where " << want.size()
                                         << " were expected, first difference at " << at << ": \""
                                         << got.substr(at, 24) << "\" for \"" << want.substr(at, 24) << "\"";
}

// --- The program's process, as Linux sees it ----------------------------------

// Processor time of a Wine process is read from Linux's /proc (Wine's Z:
// drive): GetProcessTimes of another process answers only a fraction of it
// under Wine 8.
std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

// The fields of /proc/PID/stat after the command name: [11] and [12] are
// user and system time in 1/100 s, [19] the start time.
std::vector<std::string> StatOf(const std::string& pid) {
    std::string stat = ReadFile("Z:\\proc\\" + pid + "\\stat");
    size_t name = stat.rfind(')');
    std::istringstream rest(name == std::string::npos ? "" : stat.substr(name + 1));
    std::vector<std::string> fields;
    for (std::string field; rest >> field;) fields.push_back(field);
    return fields;
}

long long CpuMs(const std::string& pid) {
    std::vector<std::string> f = StatOf(pid);
    return f.size() > 19 ? (std::stoll(f[11]) + std::stoll(f[12])) * 10 : -1;
}

// The newest sms-pdu.exe of this Wine prefix.
std::string FindUnixProcess() {
    char prefix[MAX_PATH] = {};
    GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH);
    std::string best;
    long long newest = -1;
    WIN32_FIND_DATAA found;
    HANDLE walk = FindFirstFileA("Z:\\proc\\*", &found);
    if (walk == INVALID_HANDLE_VALUE) return best;
    do {
        std::string pid = found.cFileName;
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        if (ReadFile("Z:\\proc\\" + pid + "\\stat").find("(sms-pdu.exe)") == std::string::npos) continue;
        if (ReadFile("Z:\\proc\\" + pid + "\\environ").find(std::string("WINEPREFIX=") + prefix + '\0') ==
            std::string::npos)
            continue;
        std::vector<std::string> f = StatOf(pid);
        if (f.size() > 19 && std::stoll(f[19]) > newest) newest = std::stoll(f[19]), best = pid;
    } while (FindNextFileA(walk, &found));
    FindClose(walk);
    return best;
}

// --- The program and its gadgets -----------------------------------------------

bool Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0, DWORD_PTR* result = nullptr) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kMessageTimeout,
                               result ? result : &ignored) != 0;
}

// A window's text, read through the program. It may change between asking
// its length and reading it: then it is read again.
std::string TextOf(HWND window) {
    for (int attempt = 0; attempt < 10; attempt++) {
        DWORD_PTR length = 0, copied = 0;
        if (!Send(window, WM_GETTEXTLENGTH, 0, 0, &length)) return kNoAnswer;
        std::string text(length + 2, '\0');
        if (!Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), &copied)) return kNoAnswer;
        if (copied == length) return text.substr(0, copied);
    }
    return "<unsteady>";
}

bool SetText(HWND window, const std::string& text) {
    return Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool Click(POINT at) {
    return SendInputs({MoveInput(at), MouseInput(MOUSEEVENTF_LEFTDOWN), MouseInput(MOUSEEVENTF_LEFTUP)});
}

POINT CentreOf(HWND window) {
    RECT r = WindowRect(window);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

bool Type(const char* text) {
    for (; *text; text++) {
        SHORT key = VkKeyScanA(*text);
        if (key == -1 || !PressKey(LOBYTE(key), (HIBYTE(key) & 1) != 0)) return false;
    }
    return true;
}

bool IsMainWindowUp(HWND window) { return window && IsWindowVisible(window) && GetDlgItem(window, 7); }

struct Program {
    PROCESS_INFORMATION process = {};
    HWND window = nullptr;
    std::string unixPid;

    bool Running() const { return process.hProcess && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT; }
    DWORD ExitCode() const {
        DWORD code = 12345;
        GetExitCodeProcess(process.hProcess, &code);
        return code;
    }
    bool Launch(const std::string& path) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        std::string commandLine = "\"" + path + "\"";
        if (CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &process))
            return true;
        process = {};
        return false;
    }
    bool Start(const std::string& path) {
        // A program left over from an earlier run would be found instead.
        for (int i = 0; i < 5 && FindWindowA(nullptr, kTitle); i++) {
            DWORD id = 0;
            GetWindowThreadProcessId(FindWindowA(nullptr, kTitle), &id);
            HANDLE old = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
            if (old && TerminateProcess(old, 99)) WaitForSingleObject(old, 5000);
            if (old) CloseHandle(old);
        }
        if (!Launch(path)) return false;
        WaitFor([&] { return IsMainWindowUp(window = FindWindowA(nullptr, kTitle)) || !Running(); }, 30000);
        unixPid = FindUnixProcess();
        return IsMainWindowUp(window) && Running();
    }
    void Kill() {
        if (Running()) TerminateProcess(process.hProcess, 99);
        if (process.hProcess) {
            WaitForSingleObject(process.hProcess, 5000);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        process = {};
    }
    HWND Gadget(int number) const { return GetDlgItem(window, number); }
    GUITHREADINFO ThreadInfo() const {
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(process.dwThreadId, &info);
        return info;
    }
    HWND Focus() const { return ThreadInfo().hwndFocus; }
    HWND Capture() const { return ThreadInfo().hwndCapture; }
};

Program gApp;
HWND G(int number) { return gApp.Gadget(number); }

// Why a click changed nothing: the program's window not answering (and
// whether its process was busy or blocked meanwhile), or the window
// answering while the click did not convert (a button takes the focus when
// a click reaches it).
std::string WhyNothingChanged(int button) {
    if (!gApp.Running()) return "the program has ended with exit code " + std::to_string(gApp.ExitCode());
    long long before = CpuMs(gApp.unixPid);
    if (!Send(gApp.window, WM_NULL))
        return "the program's window does not answer a sent message within 15 s; its process used " +
               std::to_string(CpuMs(gApp.unixPid) - before) + " ms of processor meanwhile";
    POINT at = {};
    GetCursorPos(&at);
    return "the program answers, but the input did not convert: pointer at " + std::to_string(at.x) + "," +
           std::to_string(at.y) + " over gadget " + std::to_string(GetDlgCtrlID(WindowFromPoint(at))) +
           ", focus on gadget " + std::to_string(GetDlgCtrlID(gApp.Focus())) + ", button " + std::to_string(button);
}

// Clicks button 6 ("Text to PDU", result in field 3) or 7 ("PDU to Text",
// result in field 5) with real input and waits until the result field changes
// from a sentinel; its new text. The other two fields keep their texts. A
// click that changes nothing ends the program, so that the tests after it
// skip rather than each wait out its limit.
std::string Press(int button) {
    if (!gApp.Running()) return "<not running>";
    const int target = button == 6 ? 3 : 5;
    std::vector<std::string> kept(6);
    for (int field : {1, 3, 5})
        if (field != target) kept[field] = TextOf(G(field));
    if (!SetText(G(target), kSentinel) || !Click(CentreOf(G(button)))) return "<no click>";
    if (!WaitFor([&] { return TextOf(G(target)) != kSentinel; }, 30000)) {
        ADD_FAILURE() << "a click on button " << button << " changed nothing in 30 s: " << WhyNothingChanged(button);
        gApp.Kill();
        return kSentinel;
    }
    for (int field : {1, 3, 5})
        EXPECT_TRUE(field == target || TextOf(G(field)) == kept[field]) << "field " << field << " changed";
    return TextOf(G(target));
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!gApp.Running()) GTEST_SKIP() << "the program is not running (see the first failure)";
    }
    void TearDown() override {
        if (GetAsyncKeyState(VK_LBUTTON) & 0x8000) SendMouse(MOUSEEVENTF_LEFTUP);
    }
};

// --- Tests, in order: the program is started once and closed at the end -------

struct Layout {
    int number;
    const char* kind;
    int x, y, width, height;
    const char* text;
    LONG style;
    int tabNext;   // where Tab goes from here; -1: never focused by Tab
};

const Layout kLayout[] = {
    {0, "Static", 30, 20, 60, 20, "SMS Text", 0x50020000, -1},
    {1, "Edit", 30, 40, 230, 30, "Hallo, ich bins!", 0x50030080, 3},
    {2, "Static", 30, 80, 60, 20, "Text to PDU", 0x50020000, -1},
    {3, "Edit", 30, 100, 230, 30, "", 0x50030080, 5},
    {4, "Static", 30, 140, 60, 20, "PDU to Text", 0x50020000, -1},
    {5, "Edit", 30, 160, 230, 30, "", 0x50030080, 6},
    {6, "Button", 290, 100, 160, 30, "Text to PDU", 0x50030000, 7},
    {7, "Button", 290, 160, 160, 30, "PDU to Text", 0x50030000, 1},
};

TEST(Program, StartsWithItsWindowLaidOut) {
    ASSERT_TRUE(gApp.Start(gExePath)) << "could not start " << gExePath << " or find its window";
    RECT outer = WindowRect(gApp.window), client = {};
    GetClientRect(gApp.window, &client);
    EXPECT_EQ(outer.left, 287);
    EXPECT_EQ(outer.top, 33);
    EXPECT_EQ(client.right, 600);
    EXPECT_EQ(client.bottom, 300);
    LONG style = GetWindowLongA(gApp.window, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_VISIBLE | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
              WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_VISIBLE);
    char name[64] = {};
    GetClassNameA(gApp.window, name, sizeof(name));
    EXPECT_STREQ(name, "WindowClass_0");
    EXPECT_EQ(TextOf(gApp.window), kTitle);
    for (const Layout& row : kLayout) {
        SCOPED_TRACE("gadget " + std::to_string(row.number));
        HWND control = G(row.number);
        ASSERT_NE(control, nullptr);
        GetClassNameA(control, name, sizeof(name));
        EXPECT_STRCASEEQ(name, row.kind);
        RECT r = WindowRect(control);
        MapWindowPoints(nullptr, gApp.window, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, row.x);
        EXPECT_EQ(r.top, row.y);
        EXPECT_EQ(r.right - r.left, row.width);
        EXPECT_EQ(r.bottom - r.top, row.height);
        EXPECT_EQ(TextOf(control), row.text);
        EXPECT_EQ(GetWindowLongA(control, GWL_STYLE) & row.style, row.style);
    }
}

TEST_F(MainWindow, ConversionsMatchTheReference) {
    for (const Conversion& c : Conversions()) {
        SCOPED_TRACE(std::to_string(c.text.size()) + " characters: \"" + c.text.substr(0, 24) + "\"");
        // The first is the initial text, unedited, and pressed twice.
        if (&c == &Conversions()[0]) {
            EXPECT_EQ(Press(6), c.pdu);
        } else {
            ASSERT_TRUE(SetText(G(1), c.text));
        }
        EXPECT_TRUE(Same(Press(6), c.pdu));
        EXPECT_TRUE(Same(Press(7), c.back));
    }
    // What field 3 holds is what decodes: upper or lower case, white space
    // between octets skipped, any other character read as a 0 digit.
    const char* const decodes[][2] = {{"c8:34 ff-0", "H <$"}, {"", ""}};
    for (const auto& pair : decodes) {
        ASSERT_TRUE(SetText(G(3), pair[0]));
        EXPECT_EQ(Press(7), pair[1]);
    }
}

TEST_F(MainWindow, TypingTabMovingAndSizingConvertNothing) {
    ASSERT_TRUE(SetText(G(1), "") && SetText(G(3), kSentinel) && SetText(G(5), kSentinel));
    ASSERT_TRUE(Click(CentreOf(G(1))));
    ASSERT_TRUE(WaitFor([] { return gApp.Focus() == G(1); }, 5000));
    ASSERT_TRUE(Type("Tes"));
    int at = 1;
    for (int press = 0; press < 10; press++) {
        const bool back = press >= 5;
        int next = kLayout[at].tabNext;
        for (const Layout& row : kLayout)
            if (back && row.tabNext == at) next = row.number;
        ASSERT_TRUE(PressKey(VK_TAB, back));
        EXPECT_TRUE(WaitFor([&] { return gApp.Focus() == G(next); }, 5000))
            << (back ? "shift-" : "") << "Tab from gadget " << at << " went to gadget "
            << GetDlgCtrlID(gApp.Focus()) << ", not " << next;
        at = next;
    }
    const RECT r = WindowRect(gApp.window);
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    EXPECT_TRUE(SetWindowPos(gApp.window, nullptr, 100, 120, 0, 0, flags | SWP_NOSIZE));
    EXPECT_TRUE(SetWindowPos(gApp.window, nullptr, 0, 0, 300, 200, flags | SWP_NOMOVE));
    EXPECT_TRUE(SetWindowPos(gApp.window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, flags));
    // The last key comes after all the input above: once field 1 shows it,
    // the program has handled everything before it, and the answer to a sent
    // message comes after whatever the key itself set off.
    ASSERT_TRUE(PressKey(VK_END) && Type("t"));
    EXPECT_TRUE(WaitFor([] { return TextOf(G(1)) == "Test"; }, 5000)) << TextOf(G(1));
    EXPECT_TRUE(Send(gApp.window, WM_NULL));
    EXPECT_EQ(TextOf(G(3)), kSentinel);
    EXPECT_EQ(TextOf(G(5)), kSentinel);
    EXPECT_EQ(Press(6), "D4F29C0E");
}

TEST_F(MainWindow, ClicksFromAnotherProgramAndBurstsConvertInOrder) {
    // BM_CLICK sent from another process, as a screen reader does: each one
    // has converted by the time the program answers the next message.
    ASSERT_TRUE(SetText(G(1), "Hi") && SetText(G(3), kSentinel));
    ASSERT_TRUE(Send(G(6), BM_CLICK));
    EXPECT_EQ(TextOf(G(3)), "C834");
    for (int i = 0; i < 100; i++) {
        ASSERT_TRUE(SetText(G(5), kSentinel) && Send(G(7), BM_CLICK));
        ASSERT_EQ(TextOf(G(5)), "Hi") << "BM_CLICK " << i;
    }
    // Fifty real clicks on "Text to PDU" in one burst, then one on "PDU to
    // Text": field 5 shows the decoded PDU only if the clicks came in order.
    ASSERT_TRUE(SetText(G(1), "Test") && SetText(G(3), kSentinel) && SetText(G(5), kSentinel));
    std::vector<INPUT> burst{MoveInput(CentreOf(G(6)))};
    for (int i = 0; i < 51; i++) {
        if (i == 50) burst.push_back(MoveInput(CentreOf(G(7))));
        burst.push_back(MouseInput(MOUSEEVENTF_LEFTDOWN));
        burst.push_back(MouseInput(MOUSEEVENTF_LEFTUP));
    }
    ASSERT_TRUE(SendInputs(burst));
    EXPECT_TRUE(WaitFor([] { return TextOf(G(5)) != kSentinel; }, 30000)) << WhyNothingChanged(7);
    EXPECT_EQ(TextOf(G(5)), "Test");
    EXPECT_EQ(TextOf(G(3)), "D4F29C0E");
}

TEST_F(MainWindow, IdleProgramUsesNoProcessor) {
    ASSERT_FALSE(gApp.unixPid.empty()) << "no sms-pdu.exe of this prefix in /proc";
    // The counter sees work: a conversion of 4,000 characters shows in it.
    ASSERT_TRUE(SetText(G(1), Repeat(kPhrase, 100)));
    long long before = CpuMs(gApp.unixPid);
    EXPECT_TRUE(Same(Press(6), Repeat(kPacked, 100) + Repeat("00", 500)));
    const long long busy = CpuMs(gApp.unixPid) - before;
    EXPECT_GT(busy, 0);
    // The pointer leaves the window: under Wine, a pointer resting on a push
    // button keeps a mouse-tracking timer of Wine's running, which Windows
    // does not have.
    RECT frame = WindowRect(gApp.window);
    SetCursorPos(frame.right + 200, frame.bottom + 200);
    EXPECT_TRUE(Send(gApp.window, WM_NULL));
    // Up to three spans of 3 s, as the first may still see the tail of the
    // repaint on a loaded machine. A program that polls uses far more than
    // 1% of a core in every one of them.
    double percent = 100.0;
    for (int span = 0; span < 3 && percent >= 1.0; span++) {
        before = CpuMs(gApp.unixPid);
        DWORD start = GetTickCount();
        Sleep(3000);
        long long used = CpuMs(gApp.unixPid) - before;
        DWORD elapsed = GetTickCount() - start;
        percent = 100.0 * static_cast<double>(used) / elapsed;
        printf("  4,000 characters converted in %lld ms of processor; idle: %lld ms in %lu ms (%.2f%% of a core)\n",
               busy, used, static_cast<unsigned long>(elapsed), percent);
    }
    EXPECT_LT(percent, 1.0);
}

// --- Live sizing of the main window by its right edge ----------------------------

LONG RightSide() { return WindowRect(gApp.window).right; }

// The button goes down (real input) inside the client area by the border,
// and the sizing command comes as the system sends it for a press on the
// border: a press on the border itself becomes a sizing under Wine without a
// window manager only in some prefixes. The command, a posted message, may
// overtake the input still queued, so a conversion by a real click comes
// just before: once it shows, the click's release, which would end the
// sizing at once, has been handled, and the window is in front.
bool StartSizing() {
    if (GetForegroundWindow() != gApp.window) return false;
    RECT client = {};
    GetClientRect(gApp.window, &client);
    POINT press = {client.right - 3, client.bottom / 2};   // no gadget there
    ClientToScreen(gApp.window, &press);
    if (!SendInputs({MoveInput(press), MouseInput(MOUSEEVENTF_LEFTDOWN)})) return false;
    PostMessageA(gApp.window, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, MAKELPARAM(press.x, press.y));
    return WaitFor([] { return gApp.Capture() == gApp.window; }, 5000);
}

// Moves the pointer to screen x; the right side follows, two pixels out.
bool DragTo(LONG x) {
    RECT r = WindowRect(gApp.window);
    return SendInputs({MoveInput(POINT{x, (r.top + r.bottom) / 2})}) &&
           WaitFor([&] { return RightSide() == x + 2; }, 5000);
}

// The program's loop keeps running during a sizing: a click reported then
// converts at once, and the sizing goes on to the release. BM_CLICK with the
// button still held ends it, since the button takes the capture. After
// either end, moving the pointer sizes nothing: the click on "Text to PDU"
// that converts comes after the move to it.
TEST_F(MainWindow, LiveSizingFollowsThePointerWhileClicksConvert) {
    const RECT before = WindowRect(gApp.window);
    ASSERT_TRUE(SetText(G(1), "Hi"));
    EXPECT_EQ(Press(6), "C834");
    ASSERT_TRUE(StartSizing()) << "no sizing started";
    EXPECT_TRUE(DragTo(before.right + 40)) << "right side at " << RightSide();
    const RECT during = WindowRect(gApp.window);
    EXPECT_EQ(during.left, before.left);
    EXPECT_EQ(during.top, before.top);
    EXPECT_EQ(during.bottom, before.bottom);
    ASSERT_TRUE(SetText(G(3), kSentinel));
    EXPECT_TRUE(Send(gApp.window, WM_COMMAND, MAKEWPARAM(6, BN_CLICKED), reinterpret_cast<LPARAM>(G(6))));
    EXPECT_EQ(TextOf(G(3)), "C834");
    EXPECT_EQ(gApp.Capture(), gApp.window) << "the sizing ended before the release";
    EXPECT_TRUE(DragTo(before.right + 90)) << "right side at " << RightSide();
    ASSERT_TRUE(SendMouse(MOUSEEVENTF_LEFTUP));
    EXPECT_TRUE(WaitFor([] { return gApp.Capture() != gApp.window; }, 5000)) << "the release did not end it";

    EXPECT_EQ(Press(6), "C834");
    EXPECT_EQ(RightSide(), before.right + 92) << "the window followed the pointer after the release";
    ASSERT_TRUE(StartSizing()) << "no second sizing started";
    EXPECT_TRUE(DragTo(before.right - 60)) << "right side at " << RightSide();
    ASSERT_TRUE(SetText(G(5), kSentinel) && Send(G(7), BM_CLICK));
    EXPECT_EQ(TextOf(G(5)), "Hi");
    EXPECT_NE(gApp.Capture(), gApp.window);
    ASSERT_TRUE(SendMouse(MOUSEEVENTF_LEFTUP));
    EXPECT_EQ(Press(6), "C834");
    EXPECT_EQ(RightSide(), before.right - 58) << "the window followed the pointer after the capture went";
}

TEST_F(MainWindow, CloseBoxEndsTheProgramWithExitCodeZero) {
    // The close box: the middle of the points of the caption row that the
    // window itself reports as the close box.
    RECT r = WindowRect(gApp.window);
    const int y = r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
    std::vector<int> box;
    for (int x = r.right - 80; x < r.right; x++) {
        DWORD_PTR hit = 0;
        if (Send(gApp.window, WM_NCHITTEST, 0, MAKELPARAM(x, y), &hit) && hit == HTCLOSE) box.push_back(x);
    }
    ASSERT_FALSE(box.empty()) << "no close box on the caption row y = " << y;
    ASSERT_TRUE(Click(POINT{(box.front() + box.back()) / 2, y}));
    ASSERT_EQ(WaitForSingleObject(gApp.process.hProcess, 15000), WAIT_OBJECT_0) << WhyNothingChanged(0);
    EXPECT_EQ(gApp.ExitCode(), 0u);
    EXPECT_FALSE(IsWindow(gApp.window));
}

// A global hook (e2e_refuse_hook.dll, next to the program) refuses the
// program its main window: it must then end by itself with exit code 1
// rather than wait for a close that can never come.
TEST(NoWindow, ProgramEndsWithExitCodeOne) {
    std::string hookPath = gExePath.substr(0, gExePath.find_last_of("\\/") + 1) + "e2e_refuse_hook.dll";
    HMODULE library = LoadLibraryA(hookPath.c_str());
    ASSERT_NE(library, nullptr) << hookPath;
    auto refuse = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(library, "RefuseMainWindow")));
    ASSERT_NE(refuse, nullptr);
    HHOOK hook = SetWindowsHookExA(WH_CBT, refuse, library, 0);
    ASSERT_NE(hook, nullptr);
    Program program;
    bool started = program.Launch(gExePath);
    DWORD waited = started ? WaitForSingleObject(program.process.hProcess, 20000) : WAIT_FAILED;
    DWORD code = started ? program.ExitCode() : 12345;
    bool windowSeen = FindWindowA(nullptr, kTitle) != nullptr;
    program.Kill();
    UnhookWindowsHookEx(hook);
    FreeLibrary(library);
    ASSERT_TRUE(started);
    EXPECT_EQ(waited, WAIT_OBJECT_0) << "the program did not end by itself";
    EXPECT_EQ(code, 1u);
    EXPECT_FALSE(windowSeen);
}

// --- Driver modes for scripts/run ------------------------------------------------

// Takes hold of the program that shows the main window, started by someone else.
bool Attach(DWORD ms) {
    WaitFor([&] { return IsMainWindowUp(gApp.window = FindWindowA(nullptr, kTitle)); }, ms);
    if (!IsMainWindowUp(gApp.window)) return fprintf(stderr, "no window \"%s\" found\n", kTitle), false;
    DWORD id = 0;
    gApp.process.dwThreadId = GetWindowThreadProcessId(gApp.window, &id);
    gApp.process.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, id);
    return gApp.process.hProcess != nullptr;
}

int Demo() {
    if (!Attach(30000)) return 1;
    std::string text = TextOf(G(1)), pdu = Press(6), back = Press(7);
    printf("Text to PDU: \"%s\" -> %s\nPDU to Text: %s -> \"%s\"\n", text.c_str(), pdu.c_str(), pdu.c_str(),
           back.c_str());
    return pdu == kSentinel || back == kSentinel ? 1 : 0;
}

int CloseProgram() {
    if (!Attach(0)) return 1;
    PostMessageA(gApp.window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(gApp.process.hProcess, 15000) != WAIT_OBJECT_0) return 1;
    return static_cast<int>(gApp.ExitCode());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && strcmp(argv[1], "--demo") == 0) return Demo();
    if (argc >= 2 && strcmp(argv[1], "--close") == 0) return CloseProgram();
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) return fprintf(stderr, "usage: e2e_win_test PATH\\sms-pdu.exe\n"), 2;
    gExePath = argv[1];
    if (gExePath[0] == '/') gExePath = "Z:" + gExePath;
    std::replace(gExePath.begin(), gExePath.end(), '/', '\\');
    // The live sizing runs only with full-window dragging on; the setting is
    // kept where the program reads it.
    BOOL dragFull = FALSE;
    SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &dragFull, 0);
    SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
    StartWatchdog(150000, "e2e_win_test", [] {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        fprintf(stderr, "e2e_win_test: the watchdog ends the run during %s.%s\n", test ? test->test_suite_name() : "-",
                test ? test->name() : "-");
        gApp.Kill();
    });
    int result = RUN_ALL_TESTS();
    gApp.Kill();   // only when a test left it running
    SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, dragFull, nullptr, SPIF_UPDATEINIFILE);
    return result;
}
