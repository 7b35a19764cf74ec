// The toolkit on real Win32, one test program: windows and the event fetch, gadgets and Tab, live sizing.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>

#include "toolkit/gadget_target.h"
#include "toolkit/gadgets.h"
#include "toolkit/names.h"
#include "toolkit/sizing.h"
#include "toolkit/toolkit.h"
#include "toolkit/win_test_support.h"

namespace {

// The main window's style: a caption, a close box and a sizing frame.
constexpr uint32_t kMainStyle = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;

void ExpectGone(WindowNumber number) {  // the entry and the class
    WNDCLASSA info;
    EXPECT_EQ(FindWindowRecord(number), nullptr) << "window " << number;
    EXPECT_FALSE(GetClassInfoA(ToolkitInstance(), ("WindowClass_" + std::to_string(number)).c_str(), &info))
        << "window " << number;
}
HWND HandleOf(WindowNumber number) { return FindWindowRecord(number) ? FindWindowRecord(number)->window : nullptr; }
size_t HeapBlocks() { return HeapUsageOf(ProgramHeap()).blocks; }

class Windows : public ::testing::Test {
protected:
    void TearDown() override {
        for (WindowNumber number : opened_) CloseToolkitWindow(number);
        Drain();
    }
    // Returns the number: the chosen one for ANY_NUMBER.
    WindowNumber Open(WindowNumber number, uint32_t flags = 0, int width = 320, int height = 200,
                      HWND parent = nullptr, int x = 100, int y = 80) {
        intptr_t result = OpenToolkitWindow(number, x, y, width, height, "Test", flags, parent);
        opened_.push_back(number == ANY_NUMBER ? result : number);
        return opened_.back();
    }
    std::vector<WindowNumber> opened_;
};

TEST_F(Windows, OpeningFollowsTheNumberAndTheFlagsAndTheLibraryEndClosesAll) {
    const DWORD boxes = WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    const DWORD on = WS_CAPTION | WS_VISIBLE;
    const struct { WindowNumber number; uint32_t flags; DWORD on, off; bool tool, target; } rows[] = {
        {0, 0, on, 0, false, true},
        {7, OPEN_HIDDEN, WS_CAPTION, WS_VISIBLE, false, true},
        {7, OPEN_CENTER_ON_SCREEN | OPEN_CENTER_ON_PARENT, on, 0, false, true},  // closes the first 7
        {40, WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, false, true},  // grows the table
        {ANY_NUMBER, OPEN_TOOL_WINDOW | WS_SYSMENU | boxes | WS_MAXIMIZE, on, boxes | WS_MAXIMIZE, true, true},
        {9, WS_CAPTION | WS_THICKFRAME | OPEN_NO_GADGET_TARGET, WS_THICKFRAME | WS_VISIBLE, 0, false, false},
    };
    const uint32_t toolkitBits = OPEN_CENTER_ON_SCREEN | OPEN_CENTER_ON_PARENT | OPEN_TOOL_WINDOW;  // never styles
    for (const auto& row : rows) {
        HWND before = SelectGadgetWindow(nullptr), old = HandleOf(row.number);
        const WindowNumber n = Open(row.number, row.flags, 321, 203);
        HWND window = HandleOf(n);
        EXPECT_FALSE(IsWindow(old)) << n;
        EXPECT_EQ(ClientRect(window), (RECT{0, 0, 321, 203})) << n;
        EXPECT_EQ(GetWindowLongPtrA(window, GWL_STYLE) & (row.on | row.off | toolkitBits), LONG_PTR(row.on)) << n;
        EXPECT_EQ(GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, row.tool ? WS_EX_TOOLWINDOW : 0);
        EXPECT_EQ(SelectGadgetWindow(nullptr), row.target ? window : before) << n;
    }
    DestroyWindow(HandleOf(9));  // its class goes at the library's end
    WindowLibraryEnd();
    for (WindowNumber number : opened_) ExpectGone(number);
    opened_.clear();
}

// Window events: queued ones and raw ones sharing an event's code (never wanted); moves, repaints, activations if asked.
std::vector<Event> WindowEvents(const std::vector<Event>& seen, const std::vector<Event>& expected) {
    std::vector<Event> kept;
    for (const Event& e : seen) {
        bool asked = std::count_if(expected.begin(), expected.end(), [&](const Event& x) { return x.code == e.code; });
        bool shared = e.code == WM_MOVE || e.code == WM_SIZE || e.code == WM_CLOSE;
        bool incidental = e.code == WM_MOVE || e.code == WM_PAINT || e.code == EVENT_ACTIVATE_WINDOW;
        if ((e.queued || shared) && (asked || !incidental)) kept.push_back(e);
    }
    return kept;
}

TEST_F(Windows, EachWindowActionQueuesItsEvents) {
    for (WindowNumber asked : {WindowNumber(9), ANY_NUMBER}) {
        const WindowNumber n = Open(asked, WS_OVERLAPPEDWINDOW, 300, 200, nullptr, 100, 100);
        HWND window = HandleOf(n);
        Drain();
        const Event moved{EVENT_MOVE_WINDOW, n, n, 0}, sized{EVENT_SIZE_WINDOW, 0, n, 0}, closed{EVENT_CLOSE_WINDOW, n, n, 0};
        const struct { std::function<void()> act; std::vector<Event> expected; } rows[] = {
            {[&] { SetWindowPos(window, nullptr, 120, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER); }, {moved}},
            {[&] { SetWindowPos(window, nullptr, 0, 0, 380, 260, SWP_NOMOVE | SWP_NOZORDER); }, {sized}},
            {[&] { RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ERASENOW); },
             {{EVENT_REPAINT, 0, n, 0}}},
            {[&] { PostMessageA(window, WM_CLOSE, 0, 0); }, {closed}},  // the end-to-end test clicks the close box
        };
        for (const auto& row : rows) {
            std::vector<Event> seen;
            row.act();
            PumpUntil([&] { return WindowEvents(seen, row.expected).size() >= row.expected.size(); }, 3000, &seen);
            for (const Event& e : Drain()) seen.push_back(e);
            EXPECT_EQ(WindowEvents(seen, row.expected), row.expected) << "window " << asked;
        }
        EXPECT_TRUE(IsWindowVisible(window));  // closing is the program's choice
    }
}

// Window 14 with two edit fields, the second focused.
class Fetch : public Windows {
protected:
    void SetUp() override {
        window_ = HandleOf(Open(14));
        CreateEditGadget(1, 10, 10, 120, 24, "");  // the first control, not the one to get the focus back
        edit_ = reinterpret_cast<HWND>(CreateEditGadget(2, 10, 50, 120, 24, ""));
        SetFocus(edit_);
        Drain();
    }
    HWND window_ = nullptr, edit_ = nullptr;
};

// Formed while no fetch runs, a notification is dropped; sent from a thread to a waiting fetch, delivered.
TEST_F(Fetch, ANotificationIsDeliveredOnlyByAFetchThatHandlesIt) {
    SetWindowTextA(edit_, "from the program");
    for (const Event& e : Drain()) EXPECT_NE(e.code, EVENT_GADGET);
    std::thread sender([&] { SendMessageA(window_, WM_COMMAND, MAKEWPARAM(2, EN_CHANGE), LPARAM(edit_)); });
    EXPECT_EQ(CurrentEvent(NextEvent(-1)), (Event{EVENT_GADGET, 2, 14, EN_CHANGE, false}));
    sender.join();
}

TEST_F(Fetch, AnActivatedWindowGivesTheFocusBackAndSaysSo) {
    Open(15, 0, 200, 100, nullptr, 400, 300);
    ASSERT_NE(GetFocus(), edit_);
    Drain();
    SetActiveWindow(window_);
    const std::vector<Event> seen = Drain();
    EXPECT_EQ(GetFocus(), edit_);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), Event{EVENT_ACTIVATE_WINDOW, 0, 14, 0}), 1);
}

TEST_F(Windows, WindowsDestroyedWithoutCloseGiveEverythingBack) {
    Drain();
    const size_t blocks = HeapBlocks();
    HWND owner = HandleOf(Open(11, OPEN_NO_GADGET_TARGET));
    const WindowNumber owned[] = {Open(12, OPEN_NO_GADGET_TARGET, 100, 60, owner),
                                  Open(ANY_NUMBER, OPEN_NO_GADGET_TARGET, 100, 60, owner)};
    SelectGadgetWindow(HandleOf(owned[0]));
    CreateLabelGadget(70, 0, 0, 50, 20, "owned window's");
    CloseToolkitWindow(11);  // the owned windows go with their owner
    Drain();
    for (WindowNumber number : {WindowNumber(11), owned[0], owned[1]}) ExpectGone(number);
    EXPECT_EQ(FindGadgetRecord(70), nullptr);
    EXPECT_EQ(HeapBlocks(), blocks);
    DestroyWindow(HandleOf(Open(13, OPEN_NO_GADGET_TARGET)));
    Open(14, OPEN_NO_GADGET_TARGET);  // the class goes at the next open
    ExpectGone(13);
}

// However a window goes, its Tab and shift-Tab accelerator table goes with it.
TEST_F(Windows, AWindowsAcceleratorTableGoesWithIt) {
    const struct { const char* how; void (*end)(WindowNumber); } rows[] = {
        {"closed", CloseToolkitWindow},
        {"destroyed", [](WindowNumber n) { DestroyWindow(HandleOf(n)); }},
    };
    for (const auto& row : rows) {
        HACCEL table = FindWindowRecord(Open(16))->acceleratorTable;
        ASSERT_EQ(CopyAcceleratorTableA(table, nullptr, 0), 2) << row.how;
        row.end(16);
        EXPECT_EQ(CopyAcceleratorTableA(table, nullptr, 0), 0) << row.how;
    }
}

HWND Control(GadgetNumber number) { return FindGadgetRecord(number) ? FindGadgetRecord(number)->control : nullptr; }

// Window 0 laid out like the converter's main window, in the foreground.
class Gadgets : public Windows {
protected:
    void SetUp() override {
        main_ = HandleOf(Open(0, kMainStyle, 600, 300, nullptr, 287, 33));
        CreateLabelGadget(0, 30, 20, 60, 20, "SMS Text");
        CreateEditGadget(1, 30, 40, 230, 30, "Hallo, ich bins!");
        CreateEditGadget(3, 30, 100, 230, 30, "");
        CreateEditGadget(5, 30, 160, 230, 30, nullptr);
        CreateButtonGadget(6, 290, 100, 160, 30, "Text to PDU");
        CreateButtonGadget(7, 290, 160, 160, 30, "PDU to Text");
        SetForegroundWindow(main_);
        Drain();
    }
    HWND main_ = nullptr;
};

// Their classes, texts and fixed numbers are the end-to-end test's layout.
TEST_F(Gadgets, CreatedControlsCarryStyleNumberAndFont) {
    using Create = intptr_t (*)(GadgetNumber, int, int, int, int, const char*, uint32_t);
    const LONG_PTR child = WS_CHILD | WS_VISIBLE | WS_GROUP, label = child | SS_LEFT;
    const LONG_PTR edit = child | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, button = child | WS_TABSTOP | BS_PUSHBUTTON;
    const uint32_t border = GADGET_BORDER_SWITCH;
    const struct { Create create; GadgetNumber number; uint32_t flags; LONG_PTR style, edge; } rows[] = {
        {CreateLabelGadget, 20, 0, label, 0},
        {CreateLabelGadget, ANY_NUMBER, border, label, WS_EX_CLIENTEDGE},
        {CreateLabelGadget, 21, SS_CENTER, label | SS_CENTER, 0},
        {CreateEditGadget, ANY_NUMBER, 0, edit, WS_EX_CLIENTEDGE},
        {CreateEditGadget, 22, border, edit, 0},
        {CreateButtonGadget, ANY_NUMBER, 0, button, 0},
        {CreateButtonGadget, 23, BS_CHECKBOX | border, button | BS_CHECKBOX, 0},
        {CreateButtonGadget, 7, 0, button, 0},  // replaces the button of that number
    };
    const size_t blocks = HeapBlocks();
    std::vector<GadgetNumber> chosen;  // label, edit field, button
    for (const auto& row : rows) {
        HWND old = Control(row.number);
        const intptr_t result = row.create(row.number, 11, 12, 130, 24, "text", row.flags);
        const GadgetNumber number = row.number == ANY_NUMBER ? result : row.number;
        HWND control = Control(number);
        if (row.number != ANY_NUMBER) { EXPECT_EQ(result, intptr_t(control)) << number; }
        EXPECT_FALSE(IsWindow(old)) << number;
        EXPECT_EQ(GetWindowLongPtrA(control, GWL_STYLE), row.style) << number;
        EXPECT_EQ(GetWindowLongPtrA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, row.edge) << number;
        EXPECT_EQ(intptr_t(GetPropA(control, PROP_GADGET_ID)), number);
        EXPECT_EQ(HGDIOBJ(SendMessageA(control, WM_GETFONT, 0, 0)), GetStockObject(DEFAULT_GUI_FONT)) << number;
        if (row.style == edit) { EXPECT_GT(SendMessageA(control, EM_GETLIMITTEXT, 0, 0), 1000000) << number; }
        if (row.number == ANY_NUMBER) chosen.push_back(number);
    }
    // Gadgets of chosen numbers report under them, and go.
    std::vector<Event> seen;
    const Event click = {EVENT_GADGET, chosen[2], 0, BN_CLICKED, false}, focus = {EVENT_GADGET, chosen[1], 0, EVENT_TYPE_FOCUS};
    PostMessageA(Control(chosen[2]), BM_CLICK, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return std::count(seen.begin(), seen.end(), click) == 1; }, 3000, &seen));
    SetFocus(Control(chosen[1]));
    seen = Drain();
    EXPECT_EQ(std::count(seen.begin(), seen.end(), focus), 1);
    for (GadgetNumber number : chosen) DestroyGadget(number);
    for (GadgetNumber n : chosen) EXPECT_EQ(FindGadgetRecord(n), nullptr) << n;
    for (GadgetNumber n : chosen) EXPECT_EQ(ReadGadgetText(n, 1), 0u) << n;  // no end
    EXPECT_EQ(HeapBlocks(), blocks);
}

// Real Tab and shift-Tab (from -1: the window): NextEvent delivers the key-down itself, edit fields report
// losing and gaining the focus; the label (0) is never reached, a disabled (off > 0) or hidden (off < 0) one skipped.
TEST_F(Gadgets, TabOrder) {
    const struct { GadgetNumber from; bool shift; GadgetNumber to, off = 0; } rows[] = {
        {1, false, 3}, {5, false, 6}, {6, false, 7}, {7, false, 1}, {1, true, 7}, {3, true, 1}, {-1, false, 1},
        {-1, true, 7}, {1, false, 5, 3}, {5, true, 1, 3}, {3, false, 6, -5}, {6, true, 3, -5},
    };
    auto isEdit = [](GadgetNumber g) { return g == 1 || g == 3 || g == 5; };
    for (const auto& row : rows) {
        if (row.off) row.off > 0 ? EnableWindow(Control(row.off), FALSE) : ShowWindow(Control(-row.off), SW_HIDE);
        SetFocus(row.from == -1 ? main_ : Control(row.from));
        std::vector<Event> expected(row.shift ? 2 : 1, {WM_KEYDOWN, 0, 0, 0, false}), seen, kept;
        if (isEdit(row.from)) expected.push_back({EVENT_GADGET, row.from, 0, EVENT_TYPE_LOST_FOCUS});
        if (isEdit(row.to)) expected.push_back({EVENT_GADGET, row.to, 0, EVENT_TYPE_FOCUS});
        expected.insert(expected.end(), row.shift ? 2 : 1, {WM_KEYUP, 0, 0, 0, false});
        Drain();
        PressKey(VK_TAB, row.shift);
        const WPARAM up = row.shift ? VK_SHIFT : VK_TAB;  // the last key-up; kept: gadget events, raw key-downs, -ups
        PumpUntil([&] { return !seen.empty() && seen.back().code == WM_KEYUP && TheEventState()->currentWParam == up; },
                  3000, &seen);
        for (const Event& e : seen) {
            if (e.code == EVENT_GADGET) kept.push_back(e);
            if ((e.code == WM_KEYDOWN || e.code == WM_KEYUP) && !e.queued) kept.push_back({e.code, 0, 0, 0, false});
        }
        EXPECT_EQ(kept, expected) << row.from << (row.shift ? " back" : " on");
        EXPECT_EQ(GetFocus(), Control(row.to)) << row.from << (row.shift ? " back" : " on");
        if (row.off) row.off > 0 ? EnableWindow(Control(row.off), TRUE) : ShowWindow(Control(-row.off), SW_SHOW);
    }
}

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
HCURSOR Shape(LPCSTR id) { return HCURSOR(LoadImageA(nullptr, id, IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE)); }

// The sizing window (caption, sizing frame) back at its place and size, in front, full-window dragging on.
HWND SizingWindow() {
    if (!FindWindowRecord(3)) {
        HWND made = reinterpret_cast<HWND>(OpenToolkitWindow(3, 100, 100, 400, 300, "Sizing", kMainStyle));
        gToolkitProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(made, GWLP_WNDPROC, LONG_PTR(Recorder)));
    }
    HWND window = FindWindowRecord(3)->window;
    SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, 0);
    SetWindowPos(window, nullptr, 100, 100, 420, 340, SWP_NOZORDER);
    SetForegroundWindow(window);
    PumpUntil([&] { return GetForegroundWindow() == window && GetFocus() == window; });
    Drain();
    gProposals.clear();
    gFrames.clear();
    return window;
}
// The sizing command as the system sends it from the frame or the menu.
void Start(HWND target, int edge) {
    SendMessageA(target, WM_SYSCOMMAND, SC_SIZE | edge, 0);
    ASSERT_TRUE(TheSizingState()->active) << "no live sizing started";
    ASSERT_EQ(GetCapture(), target) << "the sizing has no capture";
}
void Key(HWND window, WORD key) { SendMessageA(window, WM_KEYDOWN, key, 0); }

TEST(LiveSizing, EachEdgeFollowsThePointerWithinTheLimits) {
    HWND window = SizingWindow();
    const RECT r = WindowRect(window);
    const LONG w = r.right - r.left, h = r.bottom - r.top, cx = r.left + w / 2, cy = r.top + h / 2;
    // The pointer sits on a left or top side, two pixels inside a right or bottom side (and the top-left corner).
    const struct { int edge; POINT at; RECT expected; LONG forcedHeight = 0; } rows[] = {
        {WMSZ_RIGHT, {r.right + 20, cy}, {r.left, r.top, r.right + 22, r.top + h - 40}, h - 40},  // the window's change
        {WMSZ_LEFT, {r.left + 300, cy}, {r.right - (w - 100), r.top, r.right, r.bottom}},
        {WMSZ_TOP, {cx, r.top + 300}, {r.left, r.bottom - (h - 80), r.right, r.bottom}},
        {WMSZ_BOTTOM, {cx, r.top}, {r.left, r.top, r.right, r.top + h - 80}},
        {WMSZ_TOPLEFT, {r.left + 30, r.top + 20}, {r.left + 28, r.top + 18, r.right, r.bottom}},
        {WMSZ_TOPLEFT, {r.left - 300, r.top - 300}, {r.right - (w + 100), r.bottom - (h + 80), r.right, r.bottom}},
        {WMSZ_TOPRIGHT, {r.right + 30, r.top + 20}, {r.left, r.top + 20, r.right + 32, r.bottom}},
        {WMSZ_BOTTOMLEFT, {r.left + 30, r.bottom + 20}, {r.left + 30, r.top, r.right, r.bottom + 22}},
        {WMSZ_BOTTOMRIGHT, {r.right + 300, r.bottom + 300}, {r.left, r.top, r.left + w + 100, r.top + h + 80}},
    };
    SetWindowSizeLimits(3, w - 100, h - 80, w + 100, h + 80);
    for (const auto& row : rows) {
        SizingWindow();
        gForcedHeight = row.forcedHeight;
        Start(window, row.edge);
        // A second sizing command and another window's release leave the sizing alone.
        EXPECT_EQ(LiveSizingHandler(window, WM_SYSCOMMAND, SC_SIZE | (row.edge % 8 + 1), 0), 0);
        EXPECT_EQ(LiveSizingHandler(GetDesktopWindow(), WM_LBUTTONUP, 0, 0), NOT_HANDLED);
        MoveTo(window, row.at);
        Key(window, VK_ESCAPE);  // ends the sizing at the size reached
        Drain();
        EXPECT_EQ(gProposals, (std::vector<std::pair<WPARAM, RECT>>{{row.edge, row.expected}})) << row.edge;
        EXPECT_EQ(WindowRect(window), row.expected) << row.edge;
        EXPECT_EQ(gFrames, (std::vector<UINT>{WM_ENTERSIZEMOVE, WM_EXITSIZEMOVE}));
    }
}

TEST(LiveSizing, ArrowKeysChooseAnEdgeThenStepIt) {
    HWND window = SizingWindow();
    const RECT r = WindowRect(window);
    const POINT c = {r.left + 150, r.top + 120};  // the pointer when the sizing starts
    const int menu = 0;  // no edge yet: the sizing began from the window menu
    const LPCSTR we = IDC_SIZEWE, ns = IDC_SIZENS, nwse = IDC_SIZENWSE, nesw = IDC_SIZENESW;
    const struct { int edge; WORD key; int chosen; LPCSTR shape; POINT cursor; RECT stepped; } rows[] = {
        {menu, VK_LEFT, WMSZ_LEFT, we, {r.left, c.y}, {r.left - 10, r.top, r.right, r.bottom}},
        {menu, VK_UP, WMSZ_TOP, ns, {c.x, r.top}, {r.left, r.top - 10, r.right, r.bottom}},
        {menu, VK_RIGHT, WMSZ_RIGHT, we, {r.right - 2, c.y}, {r.left, r.top, r.right + 10, r.bottom}},
        {menu, VK_DOWN, WMSZ_BOTTOM, ns, {c.x, r.bottom - 2}, {r.left, r.top, r.right, r.bottom + 10}},
        {WMSZ_LEFT, VK_UP, WMSZ_TOPLEFT, nwse, {r.left + 2, r.top + 2}, {r.left, r.top - 10, r.right, r.bottom}},
        {WMSZ_LEFT, VK_DOWN, WMSZ_BOTTOMLEFT, nesw, {r.left, r.bottom - 2}, {r.left, r.top, r.right, r.bottom + 10}},
        {WMSZ_RIGHT, VK_UP, WMSZ_TOPRIGHT, nesw, {r.right - 2, r.top}, {r.left, r.top - 10, r.right, r.bottom}},
        {WMSZ_RIGHT, VK_DOWN, WMSZ_BOTTOMRIGHT, nwse, {r.right - 2, r.bottom - 2}, {r.left, r.top, r.right, r.bottom + 10}},
        {WMSZ_TOP, VK_LEFT, WMSZ_TOPLEFT, nwse, {r.left + 2, r.top + 2}, {r.left - 10, r.top, r.right, r.bottom}},
        {WMSZ_TOP, VK_RIGHT, WMSZ_TOPRIGHT, nesw, {r.right - 2, r.top}, {r.left, r.top, r.right + 10, r.bottom}},
        {WMSZ_BOTTOM, VK_LEFT, WMSZ_BOTTOMLEFT, nesw, {r.left, r.bottom - 2}, {r.left - 10, r.top, r.right, r.bottom}},
        {WMSZ_BOTTOM, VK_RIGHT, WMSZ_BOTTOMRIGHT, nwse, {r.right - 2, r.bottom - 2}, {r.left, r.top, r.right + 10, r.bottom}},
    };
    for (const auto& row : rows) {
        SizingWindow();
        SetCursorPos(c.x, c.y);
        Start(window, row.edge);
        if (row.edge == menu) { EXPECT_EQ(GetCursor(), Shape(IDC_SIZEALL)); }
        Key(window, row.key);
        EXPECT_EQ(TheSizingState()->edge, row.chosen) << row.edge << " " << row.key;
        EXPECT_EQ(CursorPos(), row.cursor) << row.edge << " " << row.key;
        EXPECT_EQ(GetCursor(), Shape(row.shape)) << row.edge << " " << row.key;
        Key(window, row.key);
        EXPECT_EQ(WindowRect(window), row.stepped) << row.edge << " " << row.key;
        Key(window, VK_RETURN);
        EXPECT_FALSE(TheSizingState()->active) << row.edge << " " << row.key;
        // A sizing begun from the keyboard, with no mouse move, puts the pointer back where it was.
        if (row.edge == menu) { EXPECT_EQ(CursorPos(), c) << row.key; }
    }
}

TEST(LiveSizing, NoSizingWithoutTheCaptureOrFullWindowDragging) {
    HWND window = SizingWindow();
    // A thread that does not own the window gets no capture, so no sizing (its messages need our fetch).
    std::atomic<LRESULT> fromThread{1};
    std::thread other([&] { fromThread = LiveSizingHandler(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0); });
    PumpUntil([&] { return fromThread != 1; });
    other.join();
    EXPECT_EQ(fromThread, NOT_HANDLED);
    EXPECT_FALSE(TheSizingState()->active);
    // With full-window dragging off the system sizes the window its own way.
    ASSERT_TRUE(SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, FALSE, nullptr, 0));
    EXPECT_EQ(LiveSizingHandler(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0), NOT_HANDLED);
}

}  // namespace

int main(int argc, char** argv) {
    StartWatchdog(150000, "toolkit_win_tests");
    RuntimeInit();
    OleInitialize(nullptr);
    ToolkitInit();
    const size_t blocks = HeapBlocks();
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    ToolkitEnd();  // closes what is still open and frees what is still held
    if (HeapBlocks() != blocks) fprintf(stderr, "%d program-heap blocks more after ToolkitEnd\n", int(HeapBlocks() - blocks));
    return HeapBlocks() == blocks ? result : 1;
}
