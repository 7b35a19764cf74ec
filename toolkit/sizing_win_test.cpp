// Live window sizing, driven under a real display: a toolkit window is sized
// by its right edge with real mouse input (SendInput) and from the keyboard
// (real key presses where the order of events allows it), while the test
// pumps the toolkit's own event fetch. A subclass installed over the
// toolkit's window procedure records the order of the messages of a sizing.
//
// Every wait is bounded, and a watchdog ends the program if anything (a
// modal loop of the system, say) blocks it for long.
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

constexpr WindowNumber kWindow = 3;
constexpr WindowNumber kChild = 4;
constexpr int kClientWidth = 400, kClientHeight = 300;
constexpr uint32_t kSizingBorder = 0xCC0000;   // title bar, border, sizing frame
constexpr DWORD kStepWait = 3000;               // one input step, in ms
constexpr DWORD kWatchdog = 45000;

// --- What the window sees ----------------------------------------------------

struct Seen {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    RECT rect;   // WM_SIZING: the proposed rectangle
};

std::vector<Seen> gSeen;
WNDPROC gToolkitProc;

LRESULT CALLBACK Recorder(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ENTERSIZEMOVE:
    case WM_EXITSIZEMOVE:
    case WM_SIZE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
    case WM_SIZING: {
        Seen seen = {message, wParam, lParam, {}};
        if (message == WM_SIZING) seen.rect = *reinterpret_cast<RECT*>(lParam);
        gSeen.push_back(seen);
        break;
    }
    }
    return CallWindowProcA(gToolkitProc, window, message, wParam, lParam);
}

int IndexOf(UINT message, size_t from = 0) {
    for (size_t i = from; i < gSeen.size(); i++)
        if (gSeen[i].message == message) return static_cast<int>(i);
    return -1;
}

int LastIndexOf(UINT message) {
    for (size_t i = gSeen.size(); i-- > 0;)
        if (gSeen[i].message == message) return static_cast<int>(i);
    return -1;
}

int CountOf(UINT message) {
    int count = 0;
    for (const Seen& seen : gSeen) count += seen.message == message;
    return count;
}

// Events the toolkit's fetch delivered, with whether a sizing was running.
struct Delivered {
    int32_t code;
    bool duringSizing;
};
std::vector<Delivered> gDelivered;

// --- Pumping and input -------------------------------------------------------

bool SizingActive() { return TheSizingState() && TheSizingState()->active; }

// Runs the toolkit's event fetch until `done` holds, at most `ms`.
bool PumpUntil(const std::function<bool()>& done, DWORD ms = kStepWait) {
    return WaitFor(done, ms, [] {
        int32_t code = NextEvent(10);
        if (code) gDelivered.push_back({code, SizingActive()});
    });
}

void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

POINT CursorPos() {
    POINT at = {-1, -1};
    GetCursorPos(&at);
    return at;
}

bool SamePoint(POINT a, POINT b) { return a.x == b.x && a.y == b.y; }

// Moves the pointer with real input and waits until the cursor is there.
bool PointerTo(POINT at) {
    return SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, at) &&
           PumpUntil([&] { return SamePoint(CursorPos(), at); });
}

HCURSOR SystemCursor(WORD id) {
    return static_cast<HCURSOR>(
        LoadImageA(nullptr, MAKEINTRESOURCEA(id), IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE));
}

LONG WidthOf(HWND window) {
    RECT r = WindowRect(window);
    return r.right - r.left;
}

BOOL DragFullWindows() {
    BOOL on = -1;
    SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &on, 0);
    return on;
}

// --- The window under test ---------------------------------------------------

// One window serves every test (closing a window costs seconds under a
// display without a window manager); each test starts it at the same place
// and size, in the foreground, without size limits.
class LiveSizing : public ::testing::Test {
protected:
    static HWND window;

    static void SetUpTestSuite() {
        window = reinterpret_cast<HWND>(
            OpenToolkitWindow(kWindow, 100, 100, kClientWidth, kClientHeight, "Sizing", kSizingBorder));
        if (!window) return;
        gToolkitProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Recorder)));
    }

    static void TearDownTestSuite() {
        if (window) CloseToolkitWindow(kWindow);
        window = nullptr;
    }

    void SetUp() override {
        ASSERT_NE(window, nullptr) << "the toolkit window did not open";
        ASSERT_TRUE(SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, 0));
        ASSERT_EQ(DragFullWindows(), TRUE) << "full-window dragging does not read back as on";
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
        gDelivered.clear();
    }

    void TearDown() override {
        if (GetCapture() == window) ReleaseCapture();
        if (GetAsyncKeyState(VK_LBUTTON) & 0x8000) SendMouse(MOUSEEVENTF_LEFTUP);
        PumpFor(50);
        EXPECT_FALSE(SizingActive()) << "a sizing outlived its test";
    }

    // The pointer on the right border's inner edge, half-way down.
    POINT RightBorderPoint() const {
        RECT r = WindowRect(window);
        return POINT{r.right - 2, (r.top + r.bottom) / 2};
    }

    // The way a press on the right border starts a sizing, with the parts a
    // display without a window manager cannot give: the button goes down
    // (real input) just inside the client area by the border, and the
    // sizing command then comes as the system would send it.
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

    // With the pointer at `start`, a sizing from the window menu: no edge
    // chosen yet.
    void StartMenuSizing(POINT start) {
        ASSERT_TRUE(PointerTo(start));
        PumpFor(50);
        PostMessageA(window, WM_SYSCOMMAND, SC_SIZE, 0);
        ASSERT_TRUE(PumpUntil([&] { return SizingActive() && GetCapture() == window; }));
    }

    // Moves the pointer to screen x (same height) and waits for the window's
    // right side to settle at `expectRight`.
    void DragTo(LONG x, LONG expectRight) {
        POINT at = {x, RightBorderPoint().y};
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
    EXPECT_EQ(IndexOf(WM_LBUTTONDOWN), -1) << "the button was down: no press is to be made up";

    // The pointer sits two pixels inside the right side.
    DragTo(before.right + 40, before.right + 42);
    DragTo(before.right + 100, before.right + 102);
    EXPECT_EQ(WindowRect(window).left, before.left);
    EXPECT_EQ(WindowRect(window).top, before.top);
    EXPECT_EQ(WindowRect(window).bottom, before.bottom);

    // Beyond the window's own maximum (applied through WM_GETMINMAXINFO).
    DragTo(before.right + 400, before.left + maximum);
    int sizing = LastIndexOf(WM_SIZING);
    ASSERT_GE(sizing, 0);
    EXPECT_EQ(gSeen[sizing].wParam, static_cast<WPARAM>(WMSZ_RIGHT));
    EXPECT_EQ(gSeen[sizing].rect.right - gSeen[sizing].rect.left, maximum) << "proposed rectangle";

    // Past the left side: never below the minimum tracking width.
    DragTo(before.left - 50, before.left + minimum);
    sizing = LastIndexOf(WM_SIZING);
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
    EXPECT_LT(enter, IndexOf(WM_SIZE));
    EXPECT_LT(enter, IndexOf(WM_SIZING));
    EXPECT_LT(IndexOf(WM_LBUTTONUP), exit);
    EXPECT_LT(IndexOf(WM_CAPTURECHANGED), exit);
    EXPECT_LT(LastIndexOf(WM_SIZE), exit);
    EXPECT_EQ(CountOf(WM_ENTERSIZEMOVE), 1);
    EXPECT_EQ(CountOf(WM_EXITSIZEMOVE), 1);

    // The program's own loop ran during the sizing: its size events came
    // through the toolkit's fetch while the sizing was still going on.
    bool sizeEventDuringSizing = false;
    for (const Delivered& d : gDelivered) sizeEventDuringSizing |= d.code == EVENT_SIZE_WINDOW && d.duringSizing;
    EXPECT_TRUE(sizeEventDuringSizing);

    // Once ended, the pointer no longer sizes the window.
    const RECT after = WindowRect(window);
    EXPECT_EQ(after.right, before.right + 22);
    ASSERT_TRUE(PointerTo(POINT{before.right + 200, RightBorderPoint().y}));
    PumpFor(100);
    EXPECT_EQ(WindowRect(window).right, after.right);
}

TEST_F(LiveSizing, EscapeEndsTheSizingAtTheSizeReached) {
    const RECT before = WindowRect(window);
    StartRightEdgeSizing();
    DragTo(before.right + 60, before.right + 62);
    ASSERT_TRUE(PressKey(VK_ESCAPE));   // real key press, button still held
    ASSERT_TRUE(PumpUntil([] { return !SizingActive(); })) << "Escape did not end the sizing";
    EXPECT_EQ(WindowRect(window).right, before.right + 62);
    ASSERT_TRUE(SendMouse(MOUSEEVENTF_LEFTUP));
    ASSERT_TRUE(PointerTo(POINT{before.right + 150, RightBorderPoint().y}));
    PumpFor(100);
    EXPECT_EQ(WindowRect(window).right, before.right + 62);
    EXPECT_EQ(CountOf(WM_EXITSIZEMOVE), 1);
}

TEST_F(LiveSizing, ArrowKeysChooseTheEdgeThenWidenInStepsUpToTheMaximum) {
    const RECT before = WindowRect(window);
    const LONG width = before.right - before.left;
    SetWindowSizeLimits(kWindow, 0, 0, width + 25, 0);
    const POINT start = {before.left + 150, before.top + 120};
    ASSERT_TRUE(PointerTo(start));
    PumpFor(50);
    gSeen.clear();

    // From the window menu: no edge yet, and the button is up.
    PostMessageA(window, WM_SYSCOMMAND, SC_SIZE, 0);
    ASSERT_TRUE(PumpUntil([&] { return SizingActive() && GetCapture() == window; }));
    EXPECT_EQ(TheSizingState()->edge, 0);
    EXPECT_EQ(GetCursor(), SystemCursor(32646)) << "IDC_SIZEALL";
    const int press = IndexOf(WM_LBUTTONDOWN);
    ASSERT_GE(press, 0) << "a press is made up when the button is up";
    EXPECT_EQ(gSeen[press].wParam, static_cast<WPARAM>(MK_LBUTTON));
    EXPECT_EQ(gSeen[press].lParam, 0);

    // Real key presses. Right chooses the right side: the cursor goes two
    // pixels inside it, the size stays.
    ASSERT_TRUE(PressKey(VK_RIGHT));
    const POINT onSide = {before.right - 2, start.y};
    EXPECT_TRUE(PumpUntil([&] { return SamePoint(CursorPos(), onSide); }))
        << "cursor at " << CursorPos().x << "," << CursorPos().y;
    EXPECT_EQ(TheSizingState()->edge, WMSZ_RIGHT);
    EXPECT_EQ(GetCursor(), SystemCursor(32644)) << "IDC_SIZEWE";
    PumpFor(100);
    EXPECT_EQ(WidthOf(window), width);

    // Each further Right widens by ten pixels, the cursor going along.
    ASSERT_TRUE(PressKey(VK_RIGHT));
    EXPECT_TRUE(PumpUntil([&] { return WidthOf(window) == width + 10; })) << WidthOf(window);
    EXPECT_TRUE(PumpUntil([&] { return SamePoint(CursorPos(), POINT{before.right + 8, start.y}); }));
    ASSERT_TRUE(PressKey(VK_RIGHT));
    EXPECT_TRUE(PumpUntil([&] { return WidthOf(window) == width + 20; })) << WidthOf(window);
    ASSERT_TRUE(PressKey(VK_RIGHT));   // would be +30: the maximum is +25
    EXPECT_TRUE(PumpUntil([&] { return WidthOf(window) == width + 25; })) << WidthOf(window);
    PumpFor(100);
    EXPECT_EQ(WidthOf(window), width + 25);

    ASSERT_TRUE(PressKey(VK_RETURN));
    ASSERT_TRUE(PumpUntil([] { return !SizingActive(); })) << "Enter did not end the sizing";
    EXPECT_TRUE(PumpUntil([] { return IndexOf(WM_EXITSIZEMOVE) >= 0; }));
    EXPECT_EQ(WidthOf(window), width + 25);
    // Mouse moves arrived (the cursor moves of the steps), so the cursor
    // stays where the sizing left it.
    PumpFor(100);
    EXPECT_EQ(CursorPos().x, before.right + 28);
}

TEST_F(LiveSizing, KeyboardSizingEndedBeforeAnyMouseMovePutsTheCursorBack) {
    const RECT before = WindowRect(window);
    const POINT start = {before.left + 120, before.top + 90};
    ASSERT_NO_FATAL_FAILURE(StartMenuSizing(start));

    // The keys are sent straight to the window so that Enter is handled
    // before the mouse move that the cursor jump queues.
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

TEST_F(LiveSizing, AMouseMoveDuringAKeyboardSizingLeavesTheCursorWhereItIs) {
    const RECT before = WindowRect(window);
    const POINT start = {before.left + 120, before.top + 90};
    ASSERT_NO_FATAL_FAILURE(StartMenuSizing(start));
    const POINT moved = {start.x + 30, start.y + 20};
    ASSERT_TRUE(PointerTo(moved));
    PumpFor(50);
    EXPECT_EQ(SendMessageA(window, WM_KEYDOWN, VK_RETURN, 0), 0);
    EXPECT_FALSE(SizingActive());
    EXPECT_TRUE(SamePoint(CursorPos(), moved));
    // With no edge chosen the move sized nothing.
    RECT after = WindowRect(window);
    EXPECT_TRUE(EqualRect(&after, &before));
}

TEST_F(LiveSizing, ASecondSizingCommandWhileOneRunsIsIgnored) {
    const RECT before = WindowRect(window);
    StartRightEdgeSizing();
    // The system's own modal loop must not start on top of this sizing.
    EXPECT_EQ(LiveSizingHandler(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_LEFT, 0), 0);
    EXPECT_TRUE(SizingActive());
    EXPECT_EQ(TheSizingState()->edge, WMSZ_RIGHT);
    DragTo(before.right + 30, before.right + 32);
    EXPECT_EQ(WindowRect(window).left, before.left);
    ASSERT_TRUE(SendMouse(MOUSEEVENTF_LEFTUP));
    ASSERT_TRUE(PumpUntil([] { return !SizingActive(); }));
}

TEST_F(LiveSizing, WithFullWindowDraggingOffTheCommandPassesThrough) {
    ASSERT_TRUE(SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, FALSE, nullptr, 0));
    ASSERT_EQ(DragFullWindows(), FALSE) << "full-window dragging does not read back as off";
    const RECT before = WindowRect(window);
    // Called directly: through the window procedure the system's own modal
    // sizing loop would start and wait for the user.
    EXPECT_EQ(LiveSizingHandler(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0), NOT_HANDLED);
    EXPECT_FALSE(SizingActive());
    EXPECT_NE(GetCapture(), window);
    PumpFor(100);
    EXPECT_EQ(IndexOf(WM_ENTERSIZEMOVE), -1);
    EXPECT_EQ(IndexOf(WM_LBUTTONDOWN), -1);
    RECT after = WindowRect(window);
    EXPECT_TRUE(EqualRect(&after, &before));
}

TEST_F(LiveSizing, MessagesOtherThanTheSizingCommandPassThrough) {
    for (UINT message : {UINT(WM_MOUSEMOVE), UINT(WM_KEYDOWN), UINT(WM_LBUTTONUP), UINT(WM_CAPTURECHANGED)})
        EXPECT_EQ(LiveSizingHandler(window, message, VK_RIGHT, 0), NOT_HANDLED) << message;
    EXPECT_EQ(LiveSizingHandler(window, WM_SYSCOMMAND, SC_MOVE | 2, 0), NOT_HANDLED);
    EXPECT_FALSE(SizingActive());
}

// A child window is placed in its parent's client coordinates.
TEST_F(LiveSizing, AChildWindowKeepsItsPlaceInsideItsParent) {
    HWND child = reinterpret_cast<HWND>(
        OpenToolkitWindow(kChild, 30, 40, 200, 150, "Child", WS_CHILD | WS_THICKFRAME | OPEN_NO_GADGET_TARGET, window));
    ASSERT_NE(child, nullptr);
    PumpFor(50);
    RECT inParent = WindowRect(child);
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&inParent), 2);
    ASSERT_EQ(inParent.left, 30);
    ASSERT_EQ(inParent.top, 40);
    const RECT before = WindowRect(child);

    PostMessageA(child, WM_SYSCOMMAND, SC_SIZE | WMSZ_BOTTOMRIGHT, 0);
    ASSERT_TRUE(PumpUntil([&] { return SizingActive() && GetCapture() == child; }));
    ASSERT_TRUE(SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, POINT{before.right + 38, before.bottom + 18}));
    EXPECT_TRUE(PumpUntil([&] { return WindowRect(child).right == before.right + 40; }));
    RECT after = WindowRect(child);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.right, before.right + 40);
    EXPECT_EQ(after.bottom, before.bottom + 20);
    // A mouse move of another window is none of the sizing's business.
    EXPECT_EQ(LiveSizingHandler(window, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5)), NOT_HANDLED);
    after = WindowRect(child);
    EXPECT_EQ(after.right, before.right + 40);
    EXPECT_EQ(after.bottom, before.bottom + 20);
    ASSERT_TRUE(SendMouse(MOUSEEVENTF_LEFTDOWN));
    ASSERT_TRUE(SendMouse(MOUSEEVENTF_LEFTUP));
    EXPECT_TRUE(PumpUntil([] { return !SizingActive(); }));
    CloseToolkitWindow(kChild);
}

TEST_F(LiveSizing, ClosingTheWindowBeingSizedEndsTheSizing) {
    HWND child = reinterpret_cast<HWND>(
        OpenToolkitWindow(kChild, 30, 40, 200, 150, "Child", WS_CHILD | WS_THICKFRAME | OPEN_NO_GADGET_TARGET, window));
    ASSERT_NE(child, nullptr);
    PostMessageA(child, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0);
    ASSERT_TRUE(PumpUntil([&] { return SizingActive() && GetCapture() == child; }));
    CloseToolkitWindow(kChild);
    EXPECT_FALSE(SizingActive());
    PumpFor(50);

    // The next sizing command, for another window, starts a sizing.
    PostMessageA(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0);
    EXPECT_TRUE(PumpUntil([&] { return SizingActive() && GetCapture() == window; }));
    EXPECT_EQ(SendMessageA(window, WM_KEYDOWN, VK_RETURN, 0), 0);
    EXPECT_FALSE(SizingActive());
}

// Without the capture nothing would ever end a sizing, so none starts. The
// capture is refused to a thread that does not own the window.
DWORD WINAPI StartSizingFromAnotherThread(LPVOID window) {
    return static_cast<DWORD>(
        LiveSizingHandler(static_cast<HWND>(window), WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0) == NOT_HANDLED);
}

TEST_F(LiveSizing, NoSizingStartsWithoutTheMouseCapture) {
    HANDLE thread = CreateThread(nullptr, 0, StartSizingFromAnotherThread, window, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    // The handler's sent messages are answered by this thread's pumping.
    ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }));
    DWORD passedOn = 0;
    GetExitCodeThread(thread, &passedOn);
    CloseHandle(thread);
    EXPECT_EQ(passedOn, 1u) << "the command is left to the system";
    EXPECT_FALSE(SizingActive());
    EXPECT_NE(GetCapture(), window);
    PumpFor(100);
    EXPECT_EQ(IndexOf(WM_ENTERSIZEMOVE), -1);
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
