// Numbered windows, the event fetch and the window procedure on real Win32;
// main() of the toolkit's Windows test program.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "toolkit/gadgets.h"
#include "toolkit/toolkit.h"
#include "toolkit/win_test_support.h"

namespace {

bool ClassExists(WindowNumber number) {
    WNDCLASSA info;
    return GetClassInfoA(ToolkitInstance(), ("WindowClass_" + std::to_string(number)).c_str(), &info);
}
bool Gone(WindowNumber number) { return !FindWindowRecord(number) && !ClassExists(number); }
HWND HandleOf(WindowNumber number) { return FindWindowRecord(number) ? FindWindowRecord(number)->window : nullptr; }
size_t HeapBlocks() { return HeapUsageOf(ProgramHeap()).blocks; }

// Counts its references: registering it as a drop target takes some,
// revoking the registration gives them back.
struct DropTarget : IDropTarget {
    LONG refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        *out = id == IID_IUnknown || id == IID_IDropTarget ? this : nullptr;
        return *out ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject*, DWORD, POINTL, DWORD*) override { return S_OK; }
    bool On(HWND window) { return RegisterDragDrop(window, this) == S_OK && SetPropA(window, "QV_DropAccept", HANDLE(1)); }
};

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
        EXPECT_EQ(result, number == ANY_NUMBER ? result : intptr_t(HandleOf(number)));
        return opened_.back();
    }
    std::vector<WindowNumber> opened_;
};

TEST_F(Windows, OpeningFollowsTheNumberAndTheFlagsAndTheLibraryEndClosesAll) {
    const DWORD boxes = WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    const struct { WindowNumber number; uint32_t flags; DWORD on, off; bool tool, visible, target; } rows[] = {
        {0, 0, WS_CAPTION | WS_VISIBLE, 0, false, true, true},
        {7, OPEN_HIDDEN, WS_CAPTION, WS_VISIBLE, false, false, true},
        {7, OPEN_CENTER_ON_SCREEN | OPEN_CENTER_ON_PARENT, WS_CAPTION, 0, false, true, true},  // closes the first 7
        {40, WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW, 0, false, true, true},                   // grows the table
        {ANY_NUMBER, OPEN_TOOL_WINDOW | WS_SYSMENU | boxes | WS_MAXIMIZE, WS_CAPTION, boxes | WS_MAXIMIZE, true, true, true},
        {9, WS_CAPTION | WS_THICKFRAME | OPEN_NO_GADGET_TARGET, WS_THICKFRAME, 0, false, true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.number << ", flags " << row.flags);
        HWND before = SelectGadgetWindow(nullptr), old = HandleOf(row.number);
        const WindowNumber n = Open(row.number, row.flags, 321, 203);
        HWND window = HandleOf(n);
        ASSERT_NE(window, nullptr);
        EXPECT_FALSE(old && IsWindow(old));
        EXPECT_TRUE(row.number != ANY_NUMBER || n < 0 || size_t(n) >= WindowTable()->capacity);
        EXPECT_EQ(GetPropA(window, "QV_WindowID"), HANDLE(n + 1));
        char name[64] = {};
        GetClassNameA(window, name, sizeof name);
        EXPECT_EQ(name, "WindowClass_" + std::to_string(n));
        RECT client = {};
        GetClientRect(window, &client);
        EXPECT_TRUE(client.right == 321 && client.bottom == 203) << client.right << "x" << client.bottom;
        EXPECT_EQ(GetWindowLongPtrA(window, GWL_STYLE) & (row.on | row.off | 7), LONG_PTR(row.on));
        EXPECT_EQ(GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, row.tool ? WS_EX_TOOLWINDOW : 0);
        EXPECT_EQ(IsWindowVisible(window) != FALSE, row.visible);
        EXPECT_EQ(SelectGadgetWindow(nullptr), row.target ? window : before);
    }
    std::vector<HWND> windows;
    for (WindowNumber number : opened_) windows.push_back(HandleOf(number));
    DestroyWindow(HandleOf(9));  // its class goes at the library's end
    WindowLibraryEnd();
    for (HWND window : windows) EXPECT_FALSE(IsWindow(window));
    for (WindowNumber number : opened_) EXPECT_TRUE(Gone(number)) << number;
    opened_.clear();
    EXPECT_NE(HandleOf(Open(1)), nullptr);  // the library goes on serving windows
}

TEST_F(Windows, Placement) {
    const RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    auto centredIn = [](RECT r, RECT area) {
        return r.left == area.left + (area.right - area.left - (r.right - r.left)) / 2 &&
               r.top == area.top + (area.bottom - area.top - (r.bottom - r.top)) / 2;
    };
    EXPECT_TRUE(centredIn(WindowRect(HandleOf(Open(1, OPEN_CENTER_ON_SCREEN, 300, 200))), screen));
    RECT r = WindowRect(HandleOf(Open(2, OPEN_CENTER_ON_SCREEN, screen.right + 900, screen.bottom + 700)));
    EXPECT_TRUE(EqualRect(&r, &screen));  // no larger than the screen
    HWND parent = HandleOf(Open(3, 0, 400, 300, nullptr, 200, 150));
    EXPECT_TRUE(centredIn(WindowRect(HandleOf(Open(4, OPEN_CENTER_ON_PARENT, 200, 100, parent))), WindowRect(parent)));
    r = WindowRect(HandleOf(Open(5, OPEN_CENTER_ON_PARENT, 900, 700, parent)));
    EXPECT_TRUE(r.left == 0 && r.top == 0) << r.left << "," << r.top;  // not negative
    // POSITION_DEFAULT lets the platform place a window with nothing to centre on.
    SetActiveWindow(nullptr);
    ASSERT_EQ(GetActiveWindow(), nullptr);
    const int anywhere = POSITION_DEFAULT;
    r = WindowRect(HandleOf(Open(6, OPEN_CENTER_ON_PARENT | OPEN_HIDDEN, 100, 60, nullptr, anywhere, anywhere)));
    EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.left < screen.right) << r.left << "," << r.top;
}

// A point inside the close box on the title bar's middle line, by hit-testing.
POINT CloseBox(HWND window) {
    const RECT r = WindowRect(window);
    const LONG y = r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
    LONG x = r.right - 1;
    while (x > r.right - 80 && SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) != HTCLOSE) x--;
    return {x - 4, y};
}

// Window events: queued ones, and raw messages that share an event's code
// (which must never arrive); moves, repaints and activations (which may come
// with any action) only where the row asks for them.
std::vector<Event> WindowEvents(const std::vector<Event>& seen, const std::vector<Event>& expected) {
    std::vector<Event> kept;
    for (const Event& e : seen) {
        bool asked = std::count_if(expected.begin(), expected.end(), [&](const Event& x) { return x.code == e.code; });
        bool shared = e.code == WM_MOVE || e.code == WM_SIZE || e.code == WM_CLOSE;
        if ((e.queued || shared) && (asked || (e.code != WM_MOVE && e.code != WM_PAINT && e.code != 13104))) {
            kept.push_back(e);
        }
    }
    return kept;
}

TEST_F(Windows, EachWindowActionQueuesItsEvents) {
    for (WindowNumber asked : {WindowNumber(9), ANY_NUMBER}) {
        const WindowNumber n = Open(asked, WS_OVERLAPPEDWINDOW, 300, 200, nullptr, 100, 100);
        HWND window = HandleOf(n);
        Drain();
        auto show = [window](int how) { return [window, how] { ShowWindow(window, how); }; };
        const struct { const char* what; std::function<void()> act; std::vector<Event> expected; } rows[] = {
            {"move", [&] { SetWindowPos(window, nullptr, 120, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER); }, {{3, n, n, 0}}},
            {"size", [&] { SetWindowPos(window, nullptr, 0, 0, 380, 260, SWP_NOMOVE | SWP_NOZORDER); }, {{5, 0, n, 0}}},
            {"repaint", [&] { RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ERASENOW); },
             {{15, 0, n, 0}}},
            {"minimize", show(SW_MINIMIZE), {{13107, 0, n, 0}}},
            {"restore", show(SW_RESTORE), {{13109, 0, n, 0}, {5, 0, n, 0}}},
            {"maximize", show(SW_MAXIMIZE), {{13108, 0, n, 0}, {5, 0, n, 0}}},
            {"restore", show(SW_RESTORE), {{13109, 0, n, 0}, {5, 0, n, 0}}},
            {"WM_CLOSE", [&] { PostMessageA(window, WM_CLOSE, 0, 0); }, {{16, n, n, 0}}},
            {"close box", [&] {  // a real click
                SendInputs({MoveInput(CloseBox(window)), MouseInput(MOUSEEVENTF_LEFTDOWN), MouseInput(MOUSEEVENTF_LEFTUP)});
            }, {{16, n, n, 0}}},
        };
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.what) + (asked == ANY_NUMBER ? " (ANY_NUMBER)" : ""));
            std::vector<Event> seen;
            row.act();
            PumpUntil([&] { return WindowEvents(seen, row.expected).size() >= row.expected.size(); }, 3000, &seen);
            for (const Event& e : Drain()) seen.push_back(e);
            EXPECT_EQ(WindowEvents(seen, row.expected), row.expected);
        }
        EXPECT_TRUE(IsWindowVisible(window));  // closing is the program's choice
    }
}

TEST_F(Windows, TheFetchDeliversQueuedFormedAndRawEventsAndFreesPayloads) {
    HWND window = HandleOf(Open(14));
    CreateEditGadget(1, 10, 10, 120, 24, "");  // the first control, not the one to get the focus back
    HWND edit = reinterpret_cast<HWND>(CreateEditGadget(2, 10, 50, 120, 24, ""));
    SetFocus(edit);
    Drain();
    PostMessageA(window, WM_USER + 5, 11, 22);
    const Event raw = CurrentEvent(NextEvent(0));
    EXPECT_EQ(raw, (Event{WM_USER + 5, raw.gadget, 14, -1, false}));
    EXPECT_TRUE(TheEventState()->currentWParam == 11 && TheEventState()->currentLParam == 22);
    QueueEvent(13100, 42, 3, 0);
    EXPECT_TRUE(NextEvent(0) == 13100 && NextEvent(0) == 0);  // nothing: the current event stays
    EXPECT_EQ(CurrentEvent(13100), (Event{13100, 42, 3, 0}));
    // A notification formed while no fetch dispatches is dropped; during a
    // dispatch it is delivered.
    SetWindowTextA(edit, "from the program");
    EXPECT_EQ(TheEventState()->pendingCode, 13100);
    for (const Event& e : Drain()) EXPECT_NE(e.code, 13100);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(2, EN_CHANGE), reinterpret_cast<LPARAM>(edit));
    EXPECT_EQ(CurrentEvent(NextEvent(1000)), (Event{13100, 2, 14, EN_CHANGE, false}));
    // A payload comes with its event and goes at the next fetch; one posted
    // by someone else is neither taken nor freed.
    const size_t blocks = HeapBlocks();
    void* inner = HeapTake(ProgramHeap(), 40);
    ASSERT_TRUE(PostWindowPayload(window, inner) && PostGadgetPayload(window, 7, HeapTake(ProgramHeap(), 8)));
    EXPECT_TRUE(NextEvent(1000) == 13105 && CurrentEventPayload() == inner && CurrentEventType() == -1);
    EXPECT_EQ(CurrentEvent(NextEvent(1000)), (Event{13106, 7, 14, -1, false}));
    EXPECT_EQ(NextEvent(0), 0);
    EXPECT_EQ(HeapBlocks(), blocks);
    PostMessageA(window, 13105, 0, reinterpret_cast<LPARAM>(&blocks));
    EXPECT_TRUE(NextEvent(1000) == 13105 && CurrentEventPayload() == nullptr);
    // Activated again, the window gives the focus back and says so.
    Open(15, 0, 200, 100, nullptr, 400, 300);
    ASSERT_NE(GetFocus(), edit);
    Drain();
    SetActiveWindow(window);
    const std::vector<Event> seen = Drain();
    EXPECT_TRUE(GetFocus() == edit && std::count(seen.begin(), seen.end(), Event{13104, 0, 14, 0}) == 1);
    ASSERT_TRUE(PostWindowPayload(window, HeapTake(ProgramHeap(), 8)));  // never fetched: freed by the library
}

// A callback that opens or closes windows moves or frees window records; the
// timer event is formed from what holds after the callback.
WindowNumber gOpens, gCloses;
intptr_t TimerCallback(void*, uint32_t message, uintptr_t, intptr_t) {
    if (message == WM_TIMER && gOpens) OpenToolkitWindow(gOpens, 0, 0, 50, 50, "", OPEN_HIDDEN);
    if (message == WM_TIMER && gCloses) CloseToolkitWindow(gCloses);
    return PASS_ON;
}

TEST_F(Windows, TimerEventsAfterACallbackThatOpensOrClosesWindows) {
    const struct { WindowNumber opens, closes; Event expected; } rows[] = {
        {WindowNumber(WindowTable()->capacity + 5), 0, {13110, 9, 21, -1, false}},  // the slots move
        {0, 21, {WM_TIMER, 0, 21, -1, false}},                                        // no window, no timer event
    };
    for (const auto& row : rows) {
        HWND window = HandleOf(Open(21));
        opened_.push_back(row.opens);
        SetWindowCallback(21, TimerCallback);
        gOpens = row.opens, gCloses = row.closes;
        Drain();
        PostMessageA(window, WM_TIMER, 9, 0);
        Event seen = CurrentEvent(NextEvent(1000));
        gOpens = gCloses = 0;
        if (seen.code == WM_TIMER) seen.gadget = 0;  // a raw message's gadget field is no one's
        EXPECT_EQ(seen, row.expected);
    }
}

TEST_F(Windows, WindowsDestroyedWithoutCloseGiveEverythingBack) {
    Drain();
    const size_t blocks = HeapBlocks();
    DropTarget target;
    HWND owner = HandleOf(Open(11, OPEN_NO_GADGET_TARGET));
    const WindowNumber owned[] = {Open(12, OPEN_NO_GADGET_TARGET, 100, 60, owner),
                                  Open(ANY_NUMBER, OPEN_NO_GADGET_TARGET, 100, 60, owner)};
    SelectGadgetWindow(HandleOf(owned[0]));
    HWND gadget = reinterpret_cast<HWND>(CreateLabelGadget(70, 0, 0, 50, 20, "dropped on"));
    ASSERT_TRUE(target.On(HandleOf(owned[0])) && target.On(HandleOf(owned[1])) && target.On(gadget));
    CloseToolkitWindow(11);  // the owned windows go with their owner
    Drain();
    for (WindowNumber number : {WindowNumber(11), owned[0], owned[1]}) EXPECT_TRUE(Gone(number)) << number;
    EXPECT_TRUE(target.refs == 1 && !FindGadgetRecord(70)) << target.refs << " references left";
    EXPECT_EQ(HeapBlocks(), blocks);
    DestroyWindow(HandleOf(Open(13, OPEN_NO_GADGET_TARGET)));
    EXPECT_EQ(FindWindowRecord(13), nullptr);
    Open(14, OPEN_NO_GADGET_TARGET);  // the class goes at the next open
    EXPECT_FALSE(ClassExists(13));
    // A failed creation leaves nothing behind either.
    EXPECT_EQ(OpenToolkitWindow(30, 10, 10, 100, 60, "x", 0, HWND(intptr_t(0x7FFF1234))), 0);
    EXPECT_TRUE(Gone(30));
}

}  // namespace

int main(int argc, char** argv) {
    StartWatchdog(150000, "toolkit_win_tests");
    StartTestRuntime();
    OleInitialize(nullptr);
    ToolkitInit();
    const size_t blocks = HeapBlocks();
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    ToolkitEnd();  // closes what is still open and frees what is still held
    if (HeapBlocks() != blocks) fprintf(stderr, "%d program-heap blocks more after ToolkitEnd\n", int(HeapBlocks() - blocks));
    return HeapBlocks() == blocks ? result : 1;
}
