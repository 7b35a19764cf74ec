// Live sizing of the real program's main window, end to end: starts
// sms-pdu.exe (its path is the first argument), sizes the main window by its
// right edge with real mouse input, asks for a conversion while the sizing
// runs, and closes the program. Every wait is bounded; a program that hangs
// or is left running is killed.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/e2e_support.h"

namespace {

const DWORD kMessageTimeout = 10000;
const DWORD kStepWait = 5000;
const DWORD kWatchdog = 60000;

std::string gExePath;
std::string gHowStarted;   // how the sizing was started, for the log
BOOL gOriginalDragFull = FALSE;

bool MoveTo(POINT at) { return SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, at); }

Program gApp;

LONG RightSide() { return WindowRect(gApp.window).right; }

POINT RightBorderPoint() {
    RECT r = WindowRect(gApp.window);
    return POINT{r.right - 2, (r.top + r.bottom) / 2};
}

// Starts a sizing of the main window's right edge with the button held:
// the button goes down (real input) inside the client area by the border and
// the sizing command comes as the system sends it for a press on the border.
// A press on the border itself is not used: with no window manager, whether
// Wine turns it into a sizing depends on the prefix, and when it does, the
// pointer moves after a conversion were not always followed (once in several
// runs), which a test must not depend on.
bool StartRightEdgeSizing() {
    RECT client;
    GetClientRect(gApp.window, &client);
    POINT press = {client.right - 3, client.bottom / 2};   // no gadget there
    ClientToScreen(gApp.window, &press);
    MoveTo(press);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    SendMouse(MOUSEEVENTF_LEFTUP);
    if (!WaitFor([] { return GetForegroundWindow() == gApp.window; }, kStepWait)) return false;
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    gApp.Settle(100);
    PostMessageA(gApp.window, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, MAKELPARAM(press.x, press.y));
    gHowStarted = "the button pressed inside the client area by the border, then a posted SC_SIZE|WMSZ_RIGHT";
    return WaitFor([] { return gApp.Capture() == gApp.window; }, kStepWait);
}

// Moves the pointer (real input) to screen x and waits for the right side
// to follow: the pointer sits two pixels inside it.
bool DragTo(LONG x) {
    POINT at = {x, RightBorderPoint().y};
    return MoveTo(at) && WaitFor([&] { return RightSide() == x + 2; }, kStepWait);
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
    ASSERT_TRUE(WaitFor([] { return GetForegroundWindow() == gApp.window; }, kStepWait));
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
    EXPECT_TRUE(WaitFor([&] { return TextOf(pdu) == expected; }, kStepWait)) << TextOf(pdu);
    EXPECT_EQ(gApp.Capture(), gApp.window) << "the sizing ended before the release";
    EXPECT_TRUE(DragTo(before.right + 130)) << "right side at " << RightSide();

    ASSERT_TRUE(SendMouse(MOUSEEVENTF_LEFTUP));
    EXPECT_TRUE(WaitFor([] { return gApp.Capture() != gApp.window; }, kStepWait)) << "the release did not end the sizing";
    const LONG reached = RightSide();
    EXPECT_EQ(reached, before.right + 132);
    MoveTo(POINT{reached + 100, RightBorderPoint().y});
    gApp.Settle(100);
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
    EXPECT_TRUE(WaitFor([&] { return TextOf(pdu) == Encode("Sizing"); }, kStepWait)) << TextOf(pdu);
    EXPECT_TRUE(GetAsyncKeyState(VK_LBUTTON) & 0x8000) << "converted before the release";
    EXPECT_NE(gApp.Capture(), gApp.window);

    const LONG reached = RightSide();
    EXPECT_EQ(reached, before.right - 58);
    MoveTo(POINT{reached + 80, RightBorderPoint().y});
    gApp.Settle(100);
    EXPECT_EQ(RightSide(), reached) << "the window still follows the pointer after the click";
    ASSERT_TRUE(SendMouse(MOUSEEVENTF_LEFTUP));
    gApp.Settle(100);
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

void KillTheProgram() { gApp.Kill(); }

}  // namespace

int main(int argc, char** argv) {
    StartTestRuntime();
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: sizing_e2e_win_test PATH\\sms-pdu.exe\n");
        return 2;
    }
    gExePath = WindowsPath(argv[1]);
    gMessageTimeout = kMessageTimeout;
    SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &gOriginalDragFull, 0);
    StartWatchdog(kWatchdog, "sizing_e2e_win_test", KillTheProgram);
    int result = RUN_ALL_TESTS();
    gApp.Kill();   // only when a test left it running
    SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, gOriginalDragFull == TRUE, nullptr, SPIF_UPDATEINIFILE);
    return result;
}
