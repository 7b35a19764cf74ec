// Numbered windows, the event fetch and the window procedure on real Win32.
// This file also holds main() of the toolkit's Windows test program.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <string>

#include "toolkit/gadgets.h"
#include "toolkit/toolkit.h"
#include "toolkit/win_test_support.h"

namespace {

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}
bool ClassExists(WindowNumber number) {
    WNDCLASSA info;
    return GetClassInfoA(ToolkitInstance(), ("WindowClass_" + std::to_string(number)).c_str(), &info);
}
HWND HandleOf(WindowNumber number) {
    WindowRecord* record = FindWindowRecord(number);
    return record ? record->window : nullptr;
}
size_t HeapBlocks() { return HeapUsageOf(ProgramHeap()).blocks; }

// A drop target that counts its references: registering it adds some,
// revoking gives them back.
struct DropTarget : IDropTarget {
    LONG refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        *out = id == IID_IUnknown || id == IID_IDropTarget ? this : nullptr;
        if (*out) AddRef();
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject*, DWORD, POINTL, DWORD*) override { return S_OK; }
    bool RegisterOn(HWND window) {
        return RegisterDragDrop(window, this) == S_OK && SetPropA(window, "QV_DropAccept", HANDLE(1));
    }
};

class Windows : public ::testing::Test {
protected:
    void TearDown() override {
        for (WindowNumber number : opened_) CloseToolkitWindow(number);
        Drain();
    }
    // The window handle for a fixed number, the chosen number for ANY_NUMBER.
    intptr_t Open(WindowNumber number, uint32_t flags = 0, int width = 320, int height = 200, HWND parent = nullptr,
                  int x = 100, int y = 80) {
        intptr_t result = OpenToolkitWindow(number, x, y, width, height, "Test", flags, parent);
        opened_.push_back(number == ANY_NUMBER ? result : number);
        return result;
    }
    HWND OpenHandle(WindowNumber number, uint32_t flags = 0, HWND parent = nullptr) {
        return reinterpret_cast<HWND>(Open(number, flags, 320, 200, parent));
    }
    std::vector<WindowNumber> opened_;
};

TEST_F(Windows, StylesClientSizeAndVisibilityFollowTheFlags) {
    const DWORD boxes = WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    const struct { uint32_t flags; DWORD on, off; bool tool, visible, target; } rows[] = {
        {0, WS_CAPTION | WS_VISIBLE, 0, false, true, true},
        {OPEN_HIDDEN, WS_CAPTION, WS_VISIBLE, false, false, true},
        {OPEN_CENTER_ON_SCREEN | OPEN_CENTER_ON_PARENT, WS_CAPTION, 0, false, true, true},
        {WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW, 0, false, true, true},
        {OPEN_TOOL_WINDOW | WS_SYSMENU | boxes | WS_MAXIMIZE, WS_CAPTION | WS_SYSMENU, boxes | WS_MAXIMIZE, true, true, true},
        {WS_POPUP | WS_BORDER, WS_BORDER, WS_DLGFRAME, false, true, true},
        {WS_CAPTION | WS_THICKFRAME | OPEN_NO_GADGET_TARGET, WS_THICKFRAME, 0, false, true, false},
    };
    WindowNumber number = 20;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.flags);
        HWND before = SelectGadgetWindow(nullptr);
        HWND window = reinterpret_cast<HWND>(Open(number++, row.flags, 321, 203));
        ASSERT_NE(window, nullptr);
        RECT client = {};
        GetClientRect(window, &client);
        EXPECT_EQ(client.right, 321);
        EXPECT_EQ(client.bottom, 203);
        const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
        EXPECT_EQ(style & (row.on | row.off | 7), LONG_PTR(row.on));
        EXPECT_EQ(GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, row.tool ? WS_EX_TOOLWINDOW : 0);
        EXPECT_EQ(IsWindowVisible(window) != FALSE, row.visible);
        EXPECT_EQ(SelectGadgetWindow(nullptr), row.target ? window : before);
    }
}

TEST_F(Windows, NumbersNameClassesAndReopeningClosesTheOld) {
    for (WindowNumber number : {0, 7, 40}) {  // 40 grows the table past its first slots
        HWND window = OpenHandle(number);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(GetPropA(window, "QV_WindowID"), reinterpret_cast<HANDLE>(number + 1));
        EXPECT_EQ(ClassOf(window), "WindowClass_" + std::to_string(number));
        EXPECT_EQ(HandleOf(number), window);
    }
    HWND first = HandleOf(7);
    HWND second = OpenHandle(7);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(ClassOf(second), "WindowClass_7");
    EXPECT_EQ(HandleOf(7), second);
    // ANY_NUMBER: an identity outside the slots, pointer-sized all the way.
    WindowNumber any = Open(ANY_NUMBER);
    ASSERT_NE(HandleOf(any), nullptr);
    EXPECT_TRUE(any < 0 || any >= 40);
    EXPECT_EQ(GetPropA(HandleOf(any), "QV_WindowID"), reinterpret_cast<HANDLE>(any + 1));
    EXPECT_EQ(ClassOf(HandleOf(any)), "WindowClass_" + std::to_string(any));
}

RECT placed;
DWORD WINAPI OpenCentredWithoutReference(LPVOID) {
    const uint32_t flags = OPEN_CENTER_ON_PARENT | OPEN_NO_GADGET_TARGET | OPEN_HIDDEN;
    placed = WindowRect(HWND(OpenToolkitWindow(8, POSITION_DEFAULT, POSITION_DEFAULT, 100, 60, "", flags)));
    CloseToolkitWindow(8);
    return 0;
}

TEST_F(Windows, Placement) {
    const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    RECT r = WindowRect(reinterpret_cast<HWND>(Open(1, OPEN_CENTER_ON_SCREEN, 300, 200)));
    EXPECT_EQ(r.left, (screenW - (r.right - r.left)) / 2);
    EXPECT_EQ(r.top, (screenH - (r.bottom - r.top)) / 2);
    r = WindowRect(reinterpret_cast<HWND>(Open(2, OPEN_CENTER_ON_SCREEN, screenW + 900, screenH + 700)));
    EXPECT_TRUE(r.left == 0 && r.top == 0 && r.right == screenW && r.bottom == screenH);

    HWND parent = reinterpret_cast<HWND>(Open(3, 0, 400, 300, nullptr, 200, 150));
    const RECT p = WindowRect(parent);
    r = WindowRect(reinterpret_cast<HWND>(Open(4, OPEN_CENTER_ON_PARENT, 200, 100, parent)));
    EXPECT_EQ(r.left, p.left + (p.right - p.left - (r.right - r.left)) / 2);
    EXPECT_EQ(r.top, p.top + (p.bottom - p.top - (r.bottom - r.top)) / 2);
    r = WindowRect(reinterpret_cast<HWND>(Open(5, OPEN_CENTER_ON_PARENT, 900, 700, parent)));
    EXPECT_TRUE(r.left == 0 && r.top == 0) << r.left << "," << r.top;  // would be negative
    r = WindowRect(reinterpret_cast<HWND>(Open(6, 0, 100, 60, nullptr, POSITION_DEFAULT, 40)));
    EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.left < screenW) << r.left << "," << r.top;

    // Centring on the parent with neither parent nor active window (a thread
    // of its own has none), from the default position: the platform places it.
    HANDLE thread = CreateThread(nullptr, 0, OpenCentredWithoutReference, nullptr, 0, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }));
    CloseHandle(thread);
    EXPECT_TRUE(placed.left >= 0 && placed.top >= 0 && placed.right > placed.left && placed.left < screenW)
        << placed.left << "," << placed.top;
}

// The close box's middle, found by hit-testing the title bar.
POINT CloseBox(HWND window) {
    const RECT r = WindowRect(window);
    LONG sumX = 0, sumY = 0, hits = 0;
    for (LONG y = r.top; y < r.top + 40; y++) {
        for (LONG x = r.right - 80; x < r.right; x++) {
            if (SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) sumX += x, sumY += y, hits++;
        }
    }
    return hits ? POINT{sumX / hits, sumY / hits} : POINT{-1, -1};
}

// Moves and repaints may come with any action; the rest must come exactly.
std::vector<Event> WindowEvents(const std::vector<Event>& seen, const std::vector<Event>& expected) {
    std::vector<Event> kept;
    for (const Event& e : seen) {
        bool always = e.code == WM_SIZE || e.code == WM_CLOSE || (e.code >= 13107 && e.code <= 13109);
        bool asked = false;
        for (const Event& x : expected) asked |= x.code == e.code;
        if (e.queued && (always || asked)) kept.push_back(e);
    }
    return kept;
}

TEST_F(Windows, EachWindowActionQueuesItsEvents) {
    for (WindowNumber asked : {WindowNumber(9), ANY_NUMBER}) {
        intptr_t opened = Open(asked, WS_OVERLAPPEDWINDOW, 300, 200, nullptr, 100, 100);
        const WindowNumber n = asked == ANY_NUMBER ? opened : asked;
        HWND window = HandleOf(n);
        ASSERT_NE(window, nullptr);
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
            {"close box", [&] {  // a real click; the window only reports it
                POINT box = CloseBox(window);
                ASSERT_GE(box.x, 0) << "no close box";
                SendInputs({MoveInput(box), MouseInput(MOUSEEVENTF_LEFTDOWN), MouseInput(MOUSEEVENTF_LEFTUP)});
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
        EXPECT_TRUE(IsWindowVisible(window));
    }
}

TEST_F(Windows, ActivationGivesTheFocusBackAndReportsIt) {
    HWND first = OpenHandle(10);
    CreateEditGadget(1, 10, 10, 120, 24, "");
    CreateEditGadget(2, 10, 50, 120, 24, "");
    HWND edit2 = FindGadgetRecord(2)->control;
    ASSERT_EQ(GetActiveWindow(), first);
    SetFocus(edit2);
    HWND second = reinterpret_cast<HWND>(Open(11, 0, 200, 100, nullptr, 400, 300));
    ASSERT_EQ(GetActiveWindow(), second);
    EXPECT_NE(GetFocus(), edit2);
    Drain();
    SetActiveWindow(first);
    EXPECT_EQ(GetFocus(), edit2);
    std::vector<Event> seen = Drain();
    EXPECT_NE(std::find(seen.begin(), seen.end(), Event{13104, 0, 10, 0}), seen.end());
}

TEST_F(Windows, TheFetchDeliversRawMessagesAndKeepsTheCurrentEvent) {
    HWND window = OpenHandle(14);
    Drain();
    PostMessageA(window, WM_USER + 5, 11, 22);
    EXPECT_EQ(NextEvent(0), WM_USER + 5);
    EXPECT_EQ(CurrentEvent(WM_USER + 5), (Event{WM_USER + 5, CurrentEventGadget(), 14, -1, false}));
    EXPECT_EQ(TheEventState()->currentWParam, 11u);
    EXPECT_EQ(TheEventState()->currentLParam, 22);
    QueueEvent(13100, 42, 3, 0);
    EXPECT_EQ(NextEvent(0), 13100);
    EXPECT_EQ(TheEventState()->currentWParam, 0u);
    EXPECT_EQ(NextEvent(0), 0);  // nothing: the current event stays
    EXPECT_EQ(CurrentEvent(13100), (Event{13100, 42, 3, 0}));
}

TEST_F(Windows, AnEventFormedOutsideTheFetchIsDropped) {
    OpenHandle(23);
    CreateEditGadget(5, 10, 10, 120, 24, "");
    HWND edit = FindGadgetRecord(5)->control;
    Drain();
    SetWindowTextA(edit, "from the program");  // EN_CHANGE reaches the window now
    EXPECT_EQ(TheEventState()->pendingCode, 13100);
    for (const Event& e : Drain()) EXPECT_NE(e.code, 13100);
    PostMessageA(HandleOf(23), WM_COMMAND, MAKEWPARAM(5, EN_CHANGE), reinterpret_cast<LPARAM>(edit));
    EXPECT_EQ(NextEvent(1000), 13100);
    EXPECT_EQ(CurrentEvent(13100), (Event{13100, 5, 23, EN_CHANGE, false}));
}

// Another thread (assistive technology, say) sends a message that forms an
// event: a waiting NextEvent must deliver it. Without it, the sender wakes
// the fetch after 3 s, so the test fails instead of hanging.
struct Sender {
    HWND target, wake;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    volatile LONG woke = 0;
    static DWORD WINAPI Run(LPVOID p) {
        auto* s = static_cast<Sender*>(p);
        SendMessageA(s->target, s->message, s->wParam, s->lParam);
        if (WaitForSingleObject(s->done, 3000) == WAIT_TIMEOUT) {
            InterlockedExchange(&s->woke, 1);
            PostMessageA(s->wake, WM_USER + 77, 0, 0);
        }
        return 0;
    }
};

TEST_F(Windows, AnEventSentFromAnotherThreadEndsAWaitingFetch) {
    HWND window = OpenHandle(20);
    HWND button = reinterpret_cast<HWND>(CreateButtonGadget(6, 10, 10, 100, 24, "b"));
    const LPARAM control = reinterpret_cast<LPARAM>(button);
    const Sender cases[] = {{button, window, BM_CLICK, 0, 0},
                            {window, window, WM_COMMAND, MAKEWPARAM(6, BN_CLICKED), control}};
    for (Sender sender : cases) {
        SCOPED_TRACE(sender.message);
        Drain();
        HANDLE thread = CreateThread(nullptr, 0, Sender::Run, &sender, 0, nullptr);
        int32_t result = 0;
        for (int i = 0; i < 100 && result != 13100 && !sender.woke; i++) result = NextEvent(-1);
        SetEvent(sender.done);
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
        CloseHandle(sender.done);
        EXPECT_EQ(sender.woke, 0) << "the event waited for an unrelated message";
        EXPECT_EQ(CurrentEvent(result), (Event{13100, 6, 20, BN_CLICKED, false}));
        EXPECT_EQ(NextEvent(0), 0);  // delivered once
    }
}

// A callback that opens or closes windows moves or frees window records; the
// timer event is formed from what holds after the callback.
WindowNumber gCallbackOpens, gCallbackCloses;
intptr_t TimerCallback(void*, uint32_t message, uintptr_t, intptr_t) {
    if (message == WM_TIMER && gCallbackOpens) OpenToolkitWindow(gCallbackOpens, 0, 0, 50, 50, "", OPEN_HIDDEN);
    if (message == WM_TIMER && gCallbackCloses) CloseToolkitWindow(gCallbackCloses);
    return PASS_ON;
}

TEST_F(Windows, TimerEventsAfterACallbackThatOpensOrClosesWindows) {
    const struct { WindowNumber opens, closes; Event expected; } rows[] = {
        {45, 0, {13110, 9, 21, -1, false}},            // the slots move
        {0, 21, {WM_TIMER, 0, 21, -1, false}},          // no window, no timer event
    };
    for (const auto& row : rows) {
        HWND window = OpenHandle(21);
        opened_.push_back(row.opens);
        SetWindowCallback(21, TimerCallback);
        gCallbackOpens = row.opens, gCallbackCloses = row.closes;
        Drain();
        PostMessageA(window, WM_TIMER, 9, 0);
        int32_t code = NextEvent(1000);
        gCallbackOpens = gCallbackCloses = 0;
        Event seen = CurrentEvent(code);
        if (code == WM_TIMER) seen.gadget = 0;  // a raw message's gadget field is no one's
        EXPECT_EQ(seen, row.expected);
    }
}

TEST_F(Windows, WindowsDestroyedWithTheirOwnerGiveEverythingBack) {
    Drain();
    const size_t blocks = HeapBlocks();
    DropTarget target;
    HWND owner = OpenHandle(11, OPEN_NO_GADGET_TARGET);
    HWND owned = OpenHandle(12, OPEN_NO_GADGET_TARGET, owner);
    WindowNumber any = Open(ANY_NUMBER, OPEN_NO_GADGET_TARGET, 100, 60, owner);
    ASSERT_TRUE(target.RegisterOn(owned) && target.RegisterOn(HandleOf(any)));
    EXPECT_GT(target.refs, 1);
    const HWND ownedAny = HandleOf(any);
    CloseToolkitWindow(11);
    Drain();
    for (HWND window : {owner, owned, ownedAny}) EXPECT_FALSE(IsWindow(window));
    for (WindowNumber number : {WindowNumber(11), WindowNumber(12), any}) {
        EXPECT_EQ(FindWindowRecord(number), nullptr) << number;
        EXPECT_FALSE(ClassExists(number)) << number;
    }
    EXPECT_EQ(target.refs, 1) << "a drop target was not revoked";
    EXPECT_EQ(HeapBlocks(), blocks);
    // Destroyed directly: the class goes at the next open.
    HWND window = OpenHandle(13, OPEN_NO_GADGET_TARGET);
    DestroyWindow(window);
    EXPECT_EQ(FindWindowRecord(13), nullptr);
    OpenHandle(14, OPEN_NO_GADGET_TARGET);
    EXPECT_FALSE(ClassExists(13));
}

TEST_F(Windows, PayloadsArriveWithTheirEventAndAreFreedAtTheNextFetch) {
    HWND window = OpenHandle(15);
    Drain();
    const size_t blocks = HeapBlocks();
    void* inner = HeapTake(ProgramHeap(), 40);
    ASSERT_TRUE(PostWindowPayload(window, inner));
    EXPECT_EQ(NextEvent(1000), 13105);
    EXPECT_EQ(CurrentEventType(), -1);
    EXPECT_EQ(CurrentEventPayload(), inner);
    ASSERT_TRUE(PostGadgetPayload(window, 7, HeapTake(ProgramHeap(), 8)));
    EXPECT_EQ(NextEvent(1000), 13106);
    EXPECT_EQ(CurrentEvent(13106), (Event{13106, 7, 15, -1, false}));
    EXPECT_EQ(NextEvent(0), 0);
    EXPECT_EQ(HeapBlocks(), blocks);
    // A foreign message with the payload's number: nothing taken, nothing freed.
    PostMessageA(window, 13105, 0, reinterpret_cast<LPARAM>(&blocks));
    EXPECT_EQ(NextEvent(1000), 13105);
    EXPECT_EQ(CurrentEventPayload(), nullptr);
    // Posted but never fetched: freed with the library (see the test below).
    ASSERT_TRUE(PostWindowPayload(window, HeapTake(ProgramHeap(), 8)));
    EXPECT_GT(HeapBlocks(), blocks);
}

TEST_F(Windows, BadNumbersAndFailedCreationsTouchNothing) {
    HWND window = OpenHandle(27);
    const size_t blocks = HeapBlocks();
    for (WindowNumber number : {WindowNumber(-2), WindowNumber(-100000), WindowNumber(MAX_FIXED_NUMBER + 1)}) {
        EXPECT_EQ(OpenToolkitWindow(number, 10, 10, 100, 100, "x", 0), 0);
    }
    for (WindowNumber number : {WindowNumber(-5), WindowNumber(-1), WindowNumber(999), WindowNumber(12345678)}) {
        CloseToolkitWindow(number);
        SetWindowSizeLimits(number, 1, 1, 1, 1);
        SetWindowBackground(number, RGB(1, 2, 3));
    }
    HWND bogusParent = reinterpret_cast<HWND>(static_cast<intptr_t>(0x7FFF1234));
    EXPECT_EQ(OpenToolkitWindow(30, 10, 10, 100, 60, "x", 0, bogusParent), 0);
    EXPECT_EQ(FindWindowRecord(30), nullptr);
    EXPECT_FALSE(ClassExists(30));
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(HeapBlocks(), blocks);
    CloseToolkitWindow(27);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(ClassExists(27));
}

TEST_F(Windows, WindowLibraryEndClosesEveryWindowAndFreesPayloads) {
    HWND a = OpenHandle(1), b = OpenHandle(33);
    WindowNumber any = Open(ANY_NUMBER);
    HWND c = HandleOf(any);
    HWND orphan = OpenHandle(34);
    DestroyWindow(orphan);
    WindowLibraryEnd();
    for (HWND window : {a, b, c}) EXPECT_FALSE(IsWindow(window));
    for (WindowNumber number : {WindowNumber(1), WindowNumber(33), any, WindowNumber(34)}) {
        EXPECT_EQ(FindWindowRecord(number), nullptr);
        EXPECT_FALSE(ClassExists(number));
    }
    opened_.clear();
    EXPECT_TRUE(IsWindow(OpenHandle(1)));  // the library goes on serving windows
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
    ToolkitEnd();
    if (HeapBlocks() > blocks) {
        fprintf(stderr, "%zu program-heap blocks left after ToolkitEnd\n", HeapBlocks() - blocks);
        result = 1;
    }
    return result;
}
