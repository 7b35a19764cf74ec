// Live window sizing: the sizing command, the pointer and the arrow keys,
// within the window's tracking limits. A subclass records the proposals.
#include <windows.h>

#include <gtest/gtest.h>

#include "toolkit/sizing.h"
#include "toolkit/win_test_support.h"

// Found by the checks' argument-dependent lookup, so outside the unnamed namespace.
static bool operator==(POINT a, POINT b) { return a.x == b.x && a.y == b.y; }
static bool operator==(RECT a, RECT b) { return EqualRect(&a, &b) != FALSE; }
static std::ostream& operator<<(std::ostream& out, RECT r) {
    return out << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

namespace {

constexpr WindowNumber kWindow = 3, kChild = 4;
constexpr uint32_t kSizingBorder = 0xCC0000;  // title bar, border, sizing frame

std::vector<std::pair<WPARAM, RECT>> gProposals;  // WM_SIZING's edge and rectangle
std::vector<UINT> gFrames;                        // WM_ENTERSIZEMOVE and WM_EXITSIZEMOVE
WNDPROC gToolkitProc;
LONG gForcedHeight;  // when set, the window changes the proposal in WM_SIZING

LRESULT CALLBACK Recorder(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (auto* proposal = message == WM_SIZING ? reinterpret_cast<RECT*>(lParam) : nullptr) {
        if (gForcedHeight) proposal->bottom = proposal->top + gForcedHeight;
        gProposals.push_back({wParam, *proposal});
    }
    if (message == WM_ENTERSIZEMOVE || message == WM_EXITSIZEMOVE) gFrames.push_back(message);
    return CallWindowProcA(gToolkitProc, window, message, wParam, lParam);
}
bool SizingActive() { return TheSizingState()->active; }
POINT CursorPos() { POINT at = {-1, -1}; GetCursorPos(&at); return at; }
HCURSOR Shape(WORD id) { return HCURSOR(LoadImageA(nullptr, MAKEINTRESOURCEA(id), IMAGE_CURSOR, 0, 0, LR_SHARED | 0x40)); }

// One window serves every test; each starts it at the same place and size,
// in the foreground, without size limits, with full-window dragging on.
class LiveSizing : public ::testing::Test {
protected:
    static HWND window;
    static BOOL dragFull;
    static void SetUpTestSuite() {
        SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &dragFull, 0);
        window = reinterpret_cast<HWND>(OpenToolkitWindow(kWindow, 100, 100, 400, 300, "Sizing", kSizingBorder));
        gToolkitProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC, LONG_PTR(Recorder)));
    }
    static void TearDownTestSuite() {
        CloseToolkitWindow(kWindow);
        SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, dragFull, nullptr, 0);
    }
    void SetUp() override {
        ASSERT_TRUE(SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, 0));
        SetWindowSizeLimits(kWindow, 0, 0, 0, 0);
        Reset();
        SetForegroundWindow(window);
        ASSERT_TRUE(PumpUntil([] { return GetForegroundWindow() == window && GetFocus() == window; }));
        Drain();
    }
    void TearDown() override {
        if (GetCapture() == window) ReleaseCapture();
        Drain();
        EXPECT_FALSE(SizingActive()) << "a sizing outlived its test";
    }
    static void Reset() {
        RECT r = {0, 0, 400, 300};
        AdjustWindowRectEx(&r, kSizingBorder, FALSE, 0);
        SetWindowPos(window, nullptr, 100, 100, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
        gProposals.clear();
        gFrames.clear();
        gForcedHeight = 0;
    }
    // The sizing command as the system sends it from the frame or the menu.
    static void Start(HWND target, int edge) {
        SendMessageA(target, WM_SYSCOMMAND, SC_SIZE | edge, 0);
        ASSERT_TRUE(SizingActive() && GetCapture() == target) << "no live sizing started";
    }
    // The pointer at a screen point, as the mouse move that the capture brings.
    static void MoveTo(HWND target, POINT at) {
        ScreenToClient(target, &at);
        SendMessageA(target, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    }
    static void Key(WORD key) { SendMessageA(window, WM_KEYDOWN, key, 0); }
};
HWND LiveSizing::window;
BOOL LiveSizing::dragFull;

TEST_F(LiveSizing, EachEdgeFollowsThePointerWithinTheLimits) {
    const RECT r = WindowRect(window);
    const LONG w = r.right - r.left, h = r.bottom - r.top, cx = r.left + w / 2, cy = r.top + h / 2;
    SetWindowSizeLimits(kWindow, w - 100, h - 80, w + 100, h + 80);
    // The pointer sits on a left or top side, two pixels inside a right or
    // bottom side, and two pixels inside both at the top-left corner.
    const struct { int edge; POINT at; RECT expected; LONG forcedHeight = 0; } rows[] = {
        {WMSZ_LEFT, {r.left + 30, cy}, {r.left + 30, r.top, r.right, r.bottom}},
        {WMSZ_LEFT, {r.left + 300, cy}, {r.right - (w - 100), r.top, r.right, r.bottom}},
        {WMSZ_LEFT, {r.left - 300, cy}, {r.right - (w + 100), r.top, r.right, r.bottom}},
        {WMSZ_RIGHT, {r.right - 30, cy}, {r.left, r.top, r.right - 28, r.bottom}},
        {WMSZ_TOP, {cx, r.top + 20}, {r.left, r.top + 20, r.right, r.bottom}},
        {WMSZ_TOP, {cx, r.top + 300}, {r.left, r.bottom - (h - 80), r.right, r.bottom}},
        {WMSZ_TOP, {cx, r.top - 300}, {r.left, r.bottom - (h + 80), r.right, r.bottom}},
        {WMSZ_BOTTOM, {cx, r.top}, {r.left, r.top, r.right, r.top + h - 80}},
        {WMSZ_TOPLEFT, {r.left + 30, r.top + 20}, {r.left + 28, r.top + 18, r.right, r.bottom}},
        {WMSZ_TOPLEFT, {r.left - 300, r.top - 300}, {r.right - (w + 100), r.bottom - (h + 80), r.right, r.bottom}},
        {WMSZ_TOPRIGHT, {r.right + 30, r.top + 20}, {r.left, r.top + 20, r.right + 32, r.bottom}},
        {WMSZ_BOTTOMLEFT, {r.left + 30, r.bottom + 20}, {r.left + 30, r.top, r.right, r.bottom + 22}},
        {WMSZ_BOTTOMRIGHT, {r.right + 300, r.bottom + 300}, {r.left, r.top, r.left + w + 100, r.top + h + 80}},
        {WMSZ_RIGHT, {r.right + 20, cy}, {r.left, r.top, r.right + 22, r.top + h - 40}, h - 40},  // the window's change
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "edge " << row.edge << " to " << row.at.x << "," << row.at.y);
        gForcedHeight = row.forcedHeight;
        Start(window, row.edge);
        // A second sizing command and another window's release leave the sizing alone.
        EXPECT_EQ(LiveSizingHandler(window, WM_SYSCOMMAND, SC_SIZE | (row.edge % 8 + 1), 0), 0);
        EXPECT_EQ(LiveSizingHandler(GetDesktopWindow(), WM_LBUTTONUP, 0, 0), NOT_HANDLED);
        MoveTo(window, row.at);
        ASSERT_EQ(gProposals.size(), 1u);
        EXPECT_TRUE(gProposals[0].first == WPARAM(row.edge) && gProposals[0].second == row.expected)
            << "proposed " << gProposals[0].second;
        Key(VK_ESCAPE);  // ends the sizing at the size reached
        EXPECT_FALSE(SizingActive());
        EXPECT_EQ(WindowRect(window), row.expected);
        Drain();
        EXPECT_EQ(gFrames, (std::vector<UINT>{WM_ENTERSIZEMOVE, WM_EXITSIZEMOVE}));
        Reset();
    }
}

TEST_F(LiveSizing, ArrowKeysChooseAnEdgeThenStepIt) {
    const RECT r = WindowRect(window);
    const POINT c = {r.left + 150, r.top + 120};  // the pointer when the sizing starts
    const struct { int edge; WORD key; int chosen; WORD shape; POINT cursor; RECT stepped; } rows[] = {
        {0, VK_LEFT, 1, 32644, {r.left, c.y}, {r.left - 10, r.top, r.right, r.bottom}},
        {0, VK_UP, 3, 32645, {c.x, r.top}, {r.left, r.top - 10, r.right, r.bottom}},
        {0, VK_RIGHT, 2, 32644, {r.right - 2, c.y}, {r.left, r.top, r.right + 10, r.bottom}},
        {0, VK_DOWN, 6, 32645, {c.x, r.bottom - 2}, {r.left, r.top, r.right, r.bottom + 10}},
        {1, VK_UP, 4, 32642, {r.left + 2, r.top + 2}, {r.left, r.top - 10, r.right, r.bottom}},
        {1, VK_DOWN, 7, 32643, {r.left, r.bottom - 2}, {r.left, r.top, r.right, r.bottom + 10}},
        {2, VK_UP, 5, 32643, {r.right - 2, r.top}, {r.left, r.top - 10, r.right, r.bottom}},
        {2, VK_DOWN, 8, 32642, {r.right - 2, r.bottom - 2}, {r.left, r.top, r.right, r.bottom + 10}},
        {3, VK_LEFT, 4, 32642, {r.left + 2, r.top + 2}, {r.left - 10, r.top, r.right, r.bottom}},
        {3, VK_RIGHT, 5, 32643, {r.right - 2, r.top}, {r.left, r.top, r.right + 10, r.bottom}},
        {6, VK_LEFT, 7, 32643, {r.left, r.bottom - 2}, {r.left - 10, r.top, r.right, r.bottom}},
        {6, VK_RIGHT, 8, 32642, {r.right - 2, r.bottom - 2}, {r.left, r.top, r.right + 10, r.bottom}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "edge " << row.edge << " key " << row.key);
        SetCursorPos(c.x, c.y);
        Start(window, row.edge);
        EXPECT_TRUE(row.edge || GetCursor() == Shape(32646));  // IDC_SIZEALL
        Key(row.key);
        EXPECT_TRUE(TheSizingState()->edge == row.chosen && CursorPos() == row.cursor && GetCursor() == Shape(row.shape));
        MoveTo(window, row.cursor);  // the pointer is where the chosen sides are
        EXPECT_EQ(WindowRect(window), r);
        Key(row.key);
        EXPECT_EQ(WindowRect(window), row.stepped);
        Key(VK_RETURN);
        EXPECT_FALSE(SizingActive());
        Reset();
    }
    // Ended before any mouse move: the pointer goes back where it was.
    SetCursorPos(c.x, c.y);
    Start(window, 0);
    Key(VK_DOWN);
    Key(VK_RETURN);
    EXPECT_TRUE(CursorPos() == c && WindowRect(window) == r);
}

LRESULT gFromThread;
DWORD WINAPI SizeFromAnotherThread(LPVOID window) {
    gFromThread = LiveSizingHandler(static_cast<HWND>(window), WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0);
    return 0;
}

TEST_F(LiveSizing, NoSizingWithoutTheCaptureOrFullWindowDraggingAndAChildIsSizedInItsParent) {
    // A thread that does not own the window gets no capture, so no sizing.
    HANDLE thread = CreateThread(nullptr, 0, SizeFromAnotherThread, window, 0, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }));
    CloseHandle(thread);
    EXPECT_TRUE(gFromThread == NOT_HANDLED && !SizingActive());
    HWND child = reinterpret_cast<HWND>(
        OpenToolkitWindow(kChild, 30, 40, 200, 150, "Child", WS_CHILD | WS_THICKFRAME | OPEN_NO_GADGET_TARGET, window));
    const RECT before = WindowRect(child);
    Start(child, WMSZ_RIGHT);
    MoveTo(child, {before.right + 20, before.top + 10});
    EXPECT_EQ(WindowRect(child), (RECT{before.left, before.top, before.right + 22, before.bottom}));
    CloseToolkitWindow(kChild);  // ends the sizing
    EXPECT_TRUE(!SizingActive() && GetCapture() != child);
    // With full-window dragging off the system sizes the window its own way.
    ASSERT_TRUE(SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, FALSE, nullptr, 0));
    EXPECT_EQ(LiveSizingHandler(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0), NOT_HANDLED);
    EXPECT_TRUE(!SizingActive() && GetCapture() != window);
}

}  // namespace
