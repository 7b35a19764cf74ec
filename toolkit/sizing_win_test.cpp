// Live window sizing with real mouse and key input, pumping the toolkit's own
// event fetch; a subclass records the window's messages. Waits are bounded.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "toolkit/registry.h"
#include "toolkit/sizing.h"
#include "toolkit/toolkit.h"
#include "toolkit/win_test_support.h"
#include "toolkit/window.h"

namespace {

constexpr WindowNumber kWindow = 3, kChild = 4;
constexpr int kClientWidth = 400, kClientHeight = 300;
constexpr uint32_t kSizingBorder = 0xCC0000;   // title bar, border, sizing frame
constexpr DWORD kStepWait = 3000;               // one input step, in ms
constexpr DWORD kWatchdog = 45000;

struct Seen { UINT message; WPARAM wParam; LPARAM lParam; RECT rect; };  // rect: WM_SIZING's proposal
std::vector<Seen> gSeen;
WNDPROC gToolkitProc;

LRESULT CALLBACK Recorder(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    gSeen.push_back({message, wParam, lParam, message == WM_SIZING ? *reinterpret_cast<RECT*>(lParam) : RECT{}});
    return CallWindowProcA(gToolkitProc, window, message, wParam, lParam);
}

int IndexOf(UINT message, bool last = false) {
    int found = -1;
    for (size_t i = 0; i < gSeen.size(); i++)
        if (gSeen[i].message == message && (found < 0 || last)) found = static_cast<int>(i);
    return found;
}
int CountOf(UINT message) {
    int count = 0;
    for (const Seen& seen : gSeen) count += seen.message == message;
    return count;
}

bool gSizeEventDuringSizing;  // the toolkit's fetch delivered a size event mid-sizing

bool SizingActive() { return TheSizingState() && TheSizingState()->active; }

// Runs the toolkit's event fetch until `done` holds, at most `ms`.
bool PumpUntil(const std::function<bool()>& done, DWORD ms = kStepWait) {
    return WaitFor(done, ms, [] {
        if (NextEvent(10) == EVENT_SIZE_WINDOW && SizingActive()) gSizeEventDuringSizing = true;
    });
}

void PumpFor(DWORD ms) { PumpUntil([] { return false; }, ms); }

POINT CursorPos() { POINT at = {-1, -1}; GetCursorPos(&at); return at; }
bool SamePoint(POINT a, POINT b) { return a.x == b.x && a.y == b.y; }

// Moves the pointer with real input and waits until the cursor is there.
bool PointerTo(POINT at) {
    return SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, at) &&
           PumpUntil([&] { return SamePoint(CursorPos(), at); });
}

HCURSOR SystemCursor(WORD id) {
    return static_cast<HCURSOR>(LoadImageA(nullptr, MAKEINTRESOURCEA(id), IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE));
}
LONG WidthOf(HWND window) { return WindowRect(window).right - WindowRect(window).left; }
BOOL DragFullWindows() { BOOL on = -1; SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &on, 0); return on; }

// One window serves every test (closing one costs seconds without a window
// manager); each test starts it at the same place and size, in the
// foreground, without size limits.
class LiveSizing : public ::testing::Test {
protected:
    static HWND window;
    static void SetUpTestSuite() {
        window = reinterpret_cast<HWND>(
            OpenToolkitWindow(kWindow, 100, 100, kClientWidth, kClientHeight, "Sizing", kSizingBorder));
        if (window) gToolkitProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC, LONG_PTR(Recorder)));
    }

    static void TearDownTestSuite() { if (window) CloseToolkitWindow(kWindow); }
    void SetUp() override {
        ASSERT_NE(window, nullptr) << "the toolkit window did not open";
        ASSERT_TRUE(SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, 0) && DragFullWindows() == TRUE);
        SetWindowSizeLimits(kWindow, 0, 0, 0, 0);
        RECT outer = {0, 0, kClientWidth, kClientHeight};
        AdjustWindowRectEx(&outer, kSizingBorder, FALSE, 0);
        SetWindowPos(window, nullptr, 100, 100, outer.right - outer.left, outer.bottom - outer.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        if (GetForegroundWindow() != window) SetForegroundWindow(window);
        ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == window && GetFocus() == window; }))
            << "the window is not in the foreground";
        PumpFor(50);
        gSeen.clear();
        gSizeEventDuringSizing = false;
    }
    void TearDown() override {
        if (GetCapture() == window) ReleaseCapture();
        if (GetAsyncKeyState(VK_LBUTTON) & 0x8000) SendMouse(MOUSEEVENTF_LEFTUP);
        PumpFor(50);
        EXPECT_FALSE(SizingActive()) << "a sizing outlived its test";
    }

    LONG MiddleY() const { return (WindowRect(window).top + WindowRect(window).bottom) / 2; }

    // A press on the right border, as far as a display without a window
    // manager allows: the button goes down (real input) just inside the client
    // area by the border, then the sizing command comes as the system sends it.
    void StartRightEdgeSizing() {
        RECT client;
        GetClientRect(window, &client);
        POINT press = {client.right - 3, client.bottom / 2};
        ClientToScreen(window, &press);
        ASSERT_TRUE(PointerTo(press));
        ASSERT_TRUE(SendMouse(MOUSEEVENTF_LEFTDOWN));
        // A press soon after the one of the test before is a double-click.
        ASSERT_TRUE(PumpUntil([] { return IndexOf(WM_LBUTTONDOWN) >= 0 || IndexOf(WM_LBUTTONDBLCLK) >= 0; }));
        gSeen.clear();
        PostMessageA(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, MAKELPARAM(press.x, press.y));
        ASSERT_TRUE(PumpUntil([&] { return SizingActive() && GetCapture() == window; }))
            << "the sizing command did not start a live sizing";
        EXPECT_EQ(TheSizingState()->edge, WMSZ_RIGHT);
    }

    // A sizing from the window menu with the pointer at `start`: no edge yet.
    void StartMenuSizing(POINT start) {
        ASSERT_TRUE(PointerTo(start));
        PumpFor(50);
        PostMessageA(window, WM_SYSCOMMAND, SC_SIZE, 0);
        ASSERT_TRUE(PumpUntil([&] { return SizingActive() && GetCapture() == window; }));
    }

    // Pointer to screen x (same height); the right side must settle at expectRight.
    void DragTo(LONG x, LONG expectRight) {
        POINT at = {x, MiddleY()};
        ASSERT_TRUE(SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, at));
        EXPECT_TRUE(PumpUntil([&] { return WindowRect(window).right == expectRight; }))
            << "pointer at x " << x << ": right side " << WindowRect(window).right << ", expected " << expectRight;
    }
};

TEST_F(LiveSizing, RightEdgeFollowsThePointerWithinTheTrackingLimits) {
    const RECT before = WindowRect(window);
    const LONG minimum = GetSystemMetrics(SM_CXMINTRACK);
    const LONG maximum = (before.right - before.left) + 120;
    SetWindowSizeLimits(kWindow, 0, 0, maximum, 0);
    StartRightEdgeSizing();
    DragTo(before.right + 100, before.right + 102);  // the pointer sits two pixels inside the right side
    const RECT dragged = WindowRect(window);
    EXPECT_TRUE(dragged.left == before.left && dragged.top == before.top && dragged.bottom == before.bottom);
    // Beyond the window's own maximum (applied through WM_GETMINMAXINFO).
    DragTo(before.right + 400, before.left + maximum);
    int sizing = IndexOf(WM_SIZING, true);
    ASSERT_GE(sizing, 0);
    EXPECT_EQ(gSeen[sizing].wParam, static_cast<WPARAM>(WMSZ_RIGHT));
    EXPECT_EQ(gSeen[sizing].rect.right - gSeen[sizing].rect.left, maximum) << "proposed rectangle";
    // Past the left side: never below the minimum tracking width.
    DragTo(before.left - 50, before.left + minimum);
    sizing = IndexOf(WM_SIZING, true);
    EXPECT_EQ(gSeen[sizing].rect.left, before.left);
    EXPECT_EQ(gSeen[sizing].rect.right - gSeen[sizing].rect.left, minimum) << "proposed rectangle";
    DragTo(before.right + 20, before.right + 22);
    ASSERT_TRUE(SendMouse(MOUSEEVENTF_LEFTUP));
    ASSERT_TRUE(PumpUntil([] { return !SizingActive() && IndexOf(WM_EXITSIZEMOVE) >= 0; }))
        << "releasing the button did not end the sizing";
    EXPECT_NE(GetCapture(), window);
    // Enter first, then sizes, then the release and only then the exit.
    const int enter = IndexOf(WM_ENTERSIZEMOVE), exit = IndexOf(WM_EXITSIZEMOVE);
    ASSERT_GE(enter, 0);
    for (UINT message : {WM_SIZE, WM_SIZING}) EXPECT_LT(enter, IndexOf(message)) << message;
    for (int last : {IndexOf(WM_LBUTTONUP), IndexOf(WM_CAPTURECHANGED), IndexOf(WM_SIZE, true)}) EXPECT_LT(last, exit);
    EXPECT_EQ(CountOf(WM_ENTERSIZEMOVE), 1);
    EXPECT_EQ(CountOf(WM_EXITSIZEMOVE), 1);
    EXPECT_TRUE(gSizeEventDuringSizing) << "the program's own loop did not run during the sizing";
}

TEST_F(LiveSizing, EscapeEndsTheSizingAtTheSizeReached) {
    const RECT before = WindowRect(window);
    StartRightEdgeSizing();
    DragTo(before.right + 60, before.right + 62);
    ASSERT_TRUE(PressKey(VK_ESCAPE));  // real key press, button still held
    ASSERT_TRUE(PumpUntil([] { return !SizingActive(); })) << "Escape did not end the sizing";
    EXPECT_EQ(WindowRect(window).right, before.right + 62);
    ASSERT_TRUE(SendMouse(MOUSEEVENTF_LEFTUP));
    ASSERT_TRUE(PointerTo(POINT{before.right + 150, MiddleY()}));
    PumpFor(100);
    EXPECT_EQ(WindowRect(window).right, before.right + 62);
    EXPECT_EQ(CountOf(WM_EXITSIZEMOVE), 1);
}

TEST_F(LiveSizing, ArrowKeysChooseTheEdgeThenWidenInSteps) {
    const RECT before = WindowRect(window);
    const LONG width = before.right - before.left;
    const POINT start = {before.left + 150, before.top + 120};
    ASSERT_NO_FATAL_FAILURE(StartMenuSizing(start));
    EXPECT_EQ(TheSizingState()->edge, 0);
    EXPECT_EQ(GetCursor(), SystemCursor(32646)) << "IDC_SIZEALL";
    // Real key presses. Right chooses the right side: the cursor goes two
    // pixels inside it, the size stays.
    ASSERT_TRUE(PressKey(VK_RIGHT));
    EXPECT_TRUE(PumpUntil([&] { return SamePoint(CursorPos(), POINT{before.right - 2, start.y}); }));
    EXPECT_EQ(TheSizingState()->edge, WMSZ_RIGHT);
    EXPECT_EQ(GetCursor(), SystemCursor(32644)) << "IDC_SIZEWE";
    PumpFor(100);
    EXPECT_EQ(WidthOf(window), width);
    // Each further Right widens by ten pixels, the cursor going along.
    for (LONG step = 1; step <= 2; ++step) {
        ASSERT_TRUE(PressKey(VK_RIGHT));
        EXPECT_TRUE(PumpUntil([&] { return WidthOf(window) == width + 10 * step; })) << WidthOf(window);
        EXPECT_TRUE(PumpUntil([&] { return CursorPos().x == before.right - 2 + 10 * step; }));
    }
    ASSERT_TRUE(PressKey(VK_RETURN));
    ASSERT_TRUE(PumpUntil([] { return !SizingActive() && IndexOf(WM_EXITSIZEMOVE) >= 0; }))
        << "Enter did not end the sizing";
    EXPECT_EQ(WidthOf(window), width + 20);
}

TEST_F(LiveSizing, KeyboardSizingEndedBeforeAnyMouseMovePutsTheCursorBack) {
    const RECT before = WindowRect(window);
    const POINT start = {before.left + 120, before.top + 90};
    ASSERT_NO_FATAL_FAILURE(StartMenuSizing(start));
    // Sent straight to the window so that Enter comes before the mouse move
    // that the cursor jump queues.
    SendMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_TRUE(SamePoint(CursorPos(), POINT{start.x, before.bottom - 2}));
    EXPECT_EQ(TheSizingState()->edge, WMSZ_BOTTOM);
    EXPECT_EQ(SendMessageA(window, WM_KEYDOWN, VK_RETURN, 0), 0);
    EXPECT_FALSE(SizingActive());
    EXPECT_TRUE(SamePoint(CursorPos(), start)) << CursorPos().x << "," << CursorPos().y;
    PumpFor(150);
    EXPECT_TRUE(SamePoint(CursorPos(), start));
    RECT after = WindowRect(window);
    EXPECT_TRUE(EqualRect(&after, &before));
}

TEST_F(LiveSizing, WithFullWindowDraggingOffTheCommandPassesThrough) {
    ASSERT_TRUE(SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, FALSE, nullptr, 0));
    ASSERT_EQ(DragFullWindows(), FALSE);
    const RECT before = WindowRect(window);
    // Called directly: through the window procedure the system's own modal
    // sizing loop would start and wait for the user.
    EXPECT_EQ(LiveSizingHandler(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0), NOT_HANDLED);
    EXPECT_FALSE(SizingActive());
    EXPECT_NE(GetCapture(), window);
    PumpFor(100);
    EXPECT_EQ(IndexOf(WM_ENTERSIZEMOVE), -1);
    RECT after = WindowRect(window);
    EXPECT_TRUE(EqualRect(&after, &before));
}

TEST_F(LiveSizing, ClosingTheWindowBeingSizedEndsTheSizing) {
    HWND child = reinterpret_cast<HWND>(
        OpenToolkitWindow(kChild, 30, 40, 200, 150, "Child", WS_CHILD | WS_THICKFRAME | OPEN_NO_GADGET_TARGET, window));
    ASSERT_NE(child, nullptr);
    PostMessageA(child, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0);
    ASSERT_TRUE(PumpUntil([&] { return SizingActive() && GetCapture() == child; }));
    CloseToolkitWindow(kChild);
    EXPECT_FALSE(SizingActive());
    EXPECT_NE(GetCapture(), child);
}

}  // namespace

HWND LiveSizing::window;

int main(int argc, char** argv) {
    StartTestRuntime();
    ToolkitInit();
    StartWatchdog(kWatchdog, "sizing_win_tests");
    BOOL original = DragFullWindows();
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, original == TRUE, nullptr, 0);
    ToolkitEnd();
    return result;
}
