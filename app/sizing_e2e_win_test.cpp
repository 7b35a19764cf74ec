// Live sizing of the real program's main window, end to end: starts
// sms-pdu.exe (its path is the first argument), sizes the main window by its
// right edge with real mouse input, asks for a conversion while the sizing
// runs, and closes the program. Every wait is bounded; a program that hangs
// or is left running is killed.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "codec/codec.h"
#include "runtime/arrays.h"
#include "runtime/heap.h"
#include "runtime/strings.h"

namespace {

const char kTitle[] = "SMS (Korvanel)";
const char kSentinel[] = "(untouched)";
const DWORD kMessageTimeout = 10000;
const DWORD kStepWait = 5000;
const DWORD kWatchdog = 60000;

std::string gExePath;
std::string gHowStarted;   // how the sizing was started, for the log
BOOL gOriginalDragFull = FALSE;

bool WaitFor(const std::function<bool()>& done, DWORD ms = kStepWait) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start > ms) return false;
        Sleep(10);
    }
}

std::string Encode(const std::string& text) {
    Str pdu = TextToPdu(StrArg(text.data(), text.size()));
    return std::string(pdu.Text(), pdu.Length());
}

std::string TextOf(HWND window) {
    char buffer[1024] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer),
                             SMTO_ABORTIFHUNG, kMessageTimeout, &copied))
        return "<no answer>";
    return std::string(buffer, strnlen(buffer, sizeof(buffer)));
}

bool SetText(HWND window, const char* text) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                               kMessageTimeout, &result) != 0;
}

bool SendMouse(DWORD flags, POINT at = {0, 0}) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        // Rounded up, so that the system's truncating conversion back lands
        // on the very pixel.
        int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
        input.mi.dx = static_cast<LONG>((at.x * 65536LL + width - 1) / width);
        input.mi.dy = static_cast<LONG>((at.y * 65536LL + height - 1) / height);
    }
    input.mi.dwFlags = flags;
    return SendInput(1, &input, sizeof(INPUT)) == 1;
}

bool MoveTo(POINT at) { return SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, at); }

RECT WindowRect(HWND window) {
    RECT r = {};
    GetWindowRect(window, &r);
    return r;
}

// --- The program under test --------------------------------------------------

struct Program {
    PROCESS_INFORMATION process = {};
    HWND window = nullptr;

    bool Running() const {
        return process.hProcess && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT;
    }
    HWND Gadget(int number) const { return GetDlgItem(window, number); }

    bool Start(const std::string& path) {
        for (int i = 0; i < 20 && FindWindowA(nullptr, kTitle); i++) {
            PostMessageA(FindWindowA(nullptr, kTitle), WM_CLOSE, 0, 0);   // left over from a run before
            Sleep(250);
        }
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        std::string commandLine = "\"" + path + "\"";
        if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process)) {
            process = {};
            return false;
        }
        bool found = WaitFor([&] {
            window = FindWindowA(nullptr, kTitle);
            return (window && IsWindowVisible(window) && GetDlgItem(window, 7)) || !Running();
        }, 30000);
        return found && Running();
    }

    void Kill() {
        if (Running()) TerminateProcess(process.hProcess, 99);
        if (process.hProcess) {
            WaitForSingleObject(process.hProcess, 5000);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        process = {};
        window = nullptr;
    }

    // The window holding the mouse capture in the program's thread: the
    // main window exactly while a live sizing of it runs.
    HWND Capture() const {
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        if (!GetGUIThreadInfo(process.dwThreadId, &info)) return nullptr;
        return info.hwndCapture;
    }

    bool Responsive() const {
        DWORD_PTR result = 0;
        return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeout, &result) != 0;
    }

    // Lets the input sent so far reach the program.
    void Settle() const {
        Responsive();
        Sleep(100);
        Responsive();
    }
};

Program gApp;

LONG RightSide() { return WindowRect(gApp.window).right; }

POINT RightBorderPoint() {
    RECT r = WindowRect(gApp.window);
    return POINT{r.right - 2, (r.top + r.bottom) / 2};
}

// Starts a sizing of the main window's right edge with the button held.
// First as a user would, pressing on the border. Under a display without a
// window manager Wine gives a top-level window only its client area, so the
// press lands on the desktop and no sizing starts; then the button goes
// down inside the client area by the border and the sizing command comes
// as the system would send it for a press on the border.
bool StartRightEdgeSizing() {
    const POINT border = RightBorderPoint();
    if (!MoveTo(border) || !WaitFor([&] {
            POINT at;
            return GetCursorPos(&at) && at.x == border.x && at.y == border.y;
        }))
        return false;
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    if (WaitFor([] { return gApp.Capture() == gApp.window; }, 1500)) {
        gHowStarted = "a press on the right border";
        return true;
    }
    SendMouse(MOUSEEVENTF_LEFTUP);
    gApp.Settle();

    // The press on the desktop took the foreground from the program.
    RECT client;
    GetClientRect(gApp.window, &client);
    POINT press = {client.right - 3, client.bottom / 2};   // no gadget there
    ClientToScreen(gApp.window, &press);
    MoveTo(press);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    SendMouse(MOUSEEVENTF_LEFTUP);
    if (!WaitFor([] { return GetForegroundWindow() == gApp.window; })) return false;
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    gApp.Settle();
    PostMessageA(gApp.window, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, MAKELPARAM(press.x, press.y));
    gHowStarted = "the button pressed inside the client area by the border, then a posted SC_SIZE|WMSZ_RIGHT";
    return WaitFor([] { return gApp.Capture() == gApp.window; });
}

// Moves the pointer (real input) to screen x and waits for the right side
// to follow: the pointer sits two pixels inside it.
bool DragTo(LONG x) {
    POINT at = {x, RightBorderPoint().y};
    return MoveTo(at) && WaitFor([&] { return RightSide() == x + 2; });
}

// One suite, so that the tests run in the order written.
class LiveSizingOfTheMainWindow : public ::testing::Test {
protected:
    void TearDown() override {
        if (GetAsyncKeyState(VK_LBUTTON) & 0x8000) SendMouse(MOUSEEVENTF_LEFTUP);
    }
};

// --- Tests, in order: the program is started once and closed at the end -----

TEST_F(LiveSizingOfTheMainWindow, ProgramStartsWithFullWindowDraggingOn) {
    // Kept in the user's settings, so that the program reads it too.
    ASSERT_TRUE(SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE));
    BOOL on = FALSE;
    SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &on, 0);
    ASSERT_EQ(on, TRUE);
    ASSERT_TRUE(gApp.Start(gExePath)) << "could not start " << gExePath << " or find its window";
    ASSERT_TRUE(WaitFor([] { return GetForegroundWindow() == gApp.window; }));
}

// The program's own loop keeps running during the sizing: a click of "Text
// to PDU" reported meanwhile (the notification the button sends its parent)
// converts at once, and the sizing goes on.
TEST_F(LiveSizingOfTheMainWindow, FollowsThePointerAndConvertsWhileSizing) {
    if (!gApp.Running()) GTEST_SKIP() << "the program is not running (see the first failure)";
    const RECT before = WindowRect(gApp.window);
    HWND pdu = gApp.Gadget(3);
    const std::string expected = Encode(TextOf(gApp.Gadget(1)));
    ASSERT_TRUE(SetText(pdu, kSentinel));

    ASSERT_TRUE(StartRightEdgeSizing()) << "no sizing started";
    printf("sizing started by %s\n", gHowStarted.c_str());

    EXPECT_TRUE(DragTo(before.right + 40)) << "right side at " << RightSide();
    EXPECT_TRUE(DragTo(before.right + 90)) << "right side at " << RightSide();
    RECT during = WindowRect(gApp.window);
    EXPECT_EQ(during.left, before.left);
    EXPECT_EQ(during.top, before.top);
    EXPECT_EQ(during.bottom, before.bottom);

    HWND button = gApp.Gadget(6);
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutA(gApp.window, WM_COMMAND, MAKEWPARAM(6, BN_CLICKED), reinterpret_cast<LPARAM>(button),
                                    SMTO_ABORTIFHUNG, kMessageTimeout, &result));
    EXPECT_TRUE(WaitFor([&] { return TextOf(pdu) == expected; })) << TextOf(pdu);
    EXPECT_EQ(gApp.Capture(), gApp.window) << "the sizing ended before the release";
    EXPECT_TRUE(DragTo(before.right + 130)) << "right side at " << RightSide();

    ASSERT_TRUE(SendMouse(MOUSEEVENTF_LEFTUP));
    EXPECT_TRUE(WaitFor([] { return gApp.Capture() != gApp.window; })) << "the release did not end the sizing";
    const LONG reached = RightSide();
    EXPECT_EQ(reached, before.right + 132);
    MoveTo(POINT{reached + 100, RightBorderPoint().y});
    gApp.Settle();
    EXPECT_EQ(RightSide(), reached) << "the window still follows the pointer after the release";
}

// BM_CLICK sent while the button is still held converts then, before the
// release. The button's press takes the mouse capture, as a button does,
// and a sizing ends whenever its window loses the capture.
TEST_F(LiveSizingOfTheMainWindow, AClickSentDuringTheSizingConvertsThenAndEndsIt) {
    if (!gApp.Running()) GTEST_SKIP() << "the program is not running (see the first failure)";
    const RECT before = WindowRect(gApp.window);
    HWND pdu = gApp.Gadget(3);
    ASSERT_TRUE(SetText(gApp.Gadget(1), "Sizing"));
    ASSERT_TRUE(SetText(pdu, kSentinel));

    ASSERT_TRUE(StartRightEdgeSizing()) << "no sizing started";
    EXPECT_TRUE(DragTo(before.right - 60)) << "right side at " << RightSide();

    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutA(gApp.Gadget(6), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeout, &result));
    EXPECT_TRUE(WaitFor([&] { return TextOf(pdu) == Encode("Sizing"); })) << TextOf(pdu);
    EXPECT_TRUE(GetAsyncKeyState(VK_LBUTTON) & 0x8000) << "converted before the release";
    EXPECT_NE(gApp.Capture(), gApp.window);

    const LONG reached = RightSide();
    EXPECT_EQ(reached, before.right - 58);
    MoveTo(POINT{reached + 80, RightBorderPoint().y});
    gApp.Settle();
    EXPECT_EQ(RightSide(), reached) << "the window still follows the pointer after the click";
    ASSERT_TRUE(SendMouse(MOUSEEVENTF_LEFTUP));
    gApp.Settle();
    EXPECT_EQ(RightSide(), reached);
}

TEST_F(LiveSizingOfTheMainWindow, ProgramClosesWithExitCodeZero) {
    if (!gApp.Running()) GTEST_SKIP() << "the program is not running";
    ASSERT_TRUE(PostMessageA(gApp.window, WM_CLOSE, 0, 0));
    ASSERT_EQ(WaitForSingleObject(gApp.process.hProcess, 15000), WAIT_OBJECT_0) << "the program did not end";
    DWORD code = 99;
    GetExitCodeProcess(gApp.process.hProcess, &code);
    EXPECT_EQ(code, 0u);
}

std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

DWORD WINAPI Watchdog(LPVOID) {
    Sleep(kWatchdog);
    fprintf(stderr, "sizing_e2e_win_test: still running after %lu ms, giving up\n", kWatchdog);
    fflush(stderr);
    gApp.Kill();
    TerminateProcess(GetCurrentProcess(), 3);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    ProgramHeapInit();
    StringRuntimeInit();
    ArrayRuntimeInit();
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: sizing_e2e_win_test PATH\\sms-pdu.exe\n");
        return 2;
    }
    gExePath = WindowsPath(argv[1]);
    SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &gOriginalDragFull, 0);
    CloseHandle(CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr));
    int result = RUN_ALL_TESTS();
    gApp.Kill();   // only when a test left it running
    SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, gOriginalDragFull == TRUE, nullptr, SPIF_UPDATEINIFILE);
    return result;
}
