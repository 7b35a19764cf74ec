// Numbered windows, the event fetch and the window procedure on real Win32:
// geometry and styles of opened windows, the events that closing, moving,
// sizing, activating and control notifications produce, raw messages,
// events formed while the fetch handles messages sent from other threads,
// the per-window hooks, images, and bad numbers.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "toolkit/events.h"
#include "toolkit/toolkit.h"
#include "toolkit/win_test_support.h"
#include "toolkit/window.h"
#include "toolkit/window_proc.h"

namespace {

struct Seen {
    int32_t result;
    intptr_t gadget;
    intptr_t window;
    int32_t type;
    bool queued;  // delivered from the queue (not formed in dispatch, not raw)
};

// Everything NextEvent delivers until the thread has been quiet for a while.
std::vector<Seen> Drain() {
    std::vector<Seen> seen;
    for (int i = 0; i < 500; i++) {
        int32_t result = NextEvent(25);
        if (!result) break;
        seen.push_back({result, CurrentEventGadget(), CurrentEventWindow(), CurrentEventType(),
                        TheEventState()->currentCode != 0});
    }
    return seen;
}

bool IsSizeFamily(int32_t code) {
    return code == EVENT_SIZE_WINDOW || code == EVENT_MINIMIZE_WINDOW || code == EVENT_MAXIMIZE_WINDOW ||
           code == EVENT_RESTORE_WINDOW;
}

// The queued size, minimize, maximize and restore events of one window.
std::vector<int32_t> SizeEvents(const std::vector<Seen>& seen, WindowNumber number) {
    std::vector<int32_t> codes;
    for (const Seen& s : seen) {
        if (s.queued && s.window == number && IsSizeFamily(s.result)) {
            EXPECT_EQ(s.gadget, 0);
            codes.push_back(s.result);
        }
    }
    return codes;
}

int Count(const std::vector<Seen>& seen, int32_t code, bool queued) {
    int n = 0;
    for (const Seen& s : seen) n += s.result == code && s.queued == queued;
    return n;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

SIZE ClientSize(HWND window) {
    RECT r = {};
    GetClientRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int ThreadWindowCount() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

// A plain control that the window procedure takes as gadget `number`.
HWND PlainControl(HWND parent, const char* className, intptr_t number, DWORD style = 0) {
    HWND control = CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE | style, 10, 10, 120, 24, parent,
                                   reinterpret_cast<HMENU>(number), ToolkitInstance(), nullptr);
    SetPropA(control, "QV_ID", reinterpret_cast<HANDLE>(number));
    return control;
}

// Runs `body` on a thread of its own and waits for it (bounded).
DWORD WINAPI RunBody(LPVOID body) {
    (*static_cast<std::function<void()>*>(body))();
    return 0;
}

void OnOtherThread(std::function<void()> body) {
    HANDLE thread = CreateThread(nullptr, 0, RunBody, &body, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
}

class Windows : public ::testing::Test {
protected:
    void SetUp() override { Drain(); }
    void TearDown() override {
        for (WindowNumber number : opened_) CloseToolkitWindow(number);
        SetGlobalCallback(nullptr);
        Drain();
    }
    HWND Open(WindowNumber number, int width = 320, int height = 200, uint32_t flags = 0, HWND parent = nullptr,
              int x = 100, int y = 80) {
        intptr_t result = OpenToolkitWindow(number, x, y, width, height, "Test", flags, parent);
        opened_.push_back(number);
        return reinterpret_cast<HWND>(result);
    }
    std::vector<WindowNumber> opened_;
};

// --- Opening -------------------------------------------------------------------------

TEST_F(Windows, ClientAreaHasTheRequestedSizeForEveryStyle) {
    const uint32_t cases[] = {0,
                              OPEN_HIDDEN,
                              OPEN_CENTER_ON_SCREEN,
                              WS_OVERLAPPEDWINDOW,
                              OPEN_TOOL_WINDOW | WS_SYSMENU,
                              WS_POPUP | WS_BORDER,
                              WS_CAPTION | WS_THICKFRAME | OPEN_NO_GADGET_TARGET};
    int number = 1;
    for (uint32_t flags : cases) {
        SCOPED_TRACE(flags);
        HWND window = Open(number++, 321, 203, flags);
        ASSERT_NE(window, nullptr);
        SIZE size = ClientSize(window);
        EXPECT_EQ(size.cx, 321);
        EXPECT_EQ(size.cy, 203);
    }
}

TEST_F(Windows, StylesFollowTheFlags) {
    HWND plain = Open(1);
    LONG_PTR style = GetWindowLongPtrA(plain, GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(IsWindowVisible(plain));
    EXPECT_EQ(GetClassLongPtrA(plain, GCL_STYLE) & CS_DBLCLKS, static_cast<ULONG_PTR>(CS_DBLCLKS));

    HWND hidden = Open(2, 200, 100, OPEN_HIDDEN);
    EXPECT_FALSE(IsWindowVisible(hidden));
    EXPECT_EQ(GetWindowLongPtrA(hidden, GWL_STYLE) & WS_CAPTION, WS_CAPTION);

    // Any style bit of the caller's own switches the automatic title bar off.
    HWND popup = Open(3, 200, 100, WS_POPUP);
    EXPECT_EQ(GetWindowLongPtrA(popup, GWL_STYLE) & WS_CAPTION, 0);

    HWND tool = Open(4, 200, 100, OPEN_TOOL_WINDOW | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_MAXIMIZE);
    style = GetWindowLongPtrA(tool, GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    EXPECT_FALSE(IsZoomed(tool));
    EXPECT_EQ(GetWindowLongPtrA(tool, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, WS_EX_TOOLWINDOW);
    MINMAXINFO limits = {};
    limits.ptMinTrackSize = {100, 30};
    SendMessageA(tool, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMinTrackSize.x, 1);  // a tool window may be made very narrow

    HWND maximized = Open(5, 200, 100, WS_OVERLAPPEDWINDOW | WS_MAXIMIZE);
    EXPECT_TRUE(IsZoomed(maximized));
    HWND minimized = Open(6, 200, 100, WS_OVERLAPPEDWINDOW | WS_MINIMIZE);
    EXPECT_TRUE(IsIconic(minimized));
    Drain();
    // Opened minimized, so restoring reports the restore.
    ShowWindow(minimized, SW_RESTORE);
    std::vector<int32_t> expected = {EVENT_RESTORE_WINDOW, EVENT_SIZE_WINDOW};
    EXPECT_EQ(SizeEvents(Drain(), 6), expected);
}

TEST_F(Windows, NumberAndClassNameAreOnTheWindow) {
    HWND zero = Open(0);
    ASSERT_NE(zero, nullptr);
    EXPECT_EQ(GetPropA(zero, "QV_WindowID"), reinterpret_cast<HANDLE>(1));
    EXPECT_EQ(ClassOf(zero), "WindowClass_0");
    HWND seven = Open(7);
    EXPECT_EQ(GetPropA(seven, "QV_WindowID"), reinterpret_cast<HANDLE>(8));
    EXPECT_EQ(ClassOf(seven), "WindowClass_7");
    WindowRecord* record = FindWindowRecord(7);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->window, seven);
    EXPECT_EQ(record->acceleratorCount, 2);
    ASSERT_NE(record->acceleratorEntries, nullptr);
    EXPECT_EQ(record->acceleratorEntries[0].cmd, CMD_NEXT_CONTROL);
    EXPECT_EQ(record->acceleratorEntries[1].fVirt, FVIRTKEY | FNOINVERT | FSHIFT);
    EXPECT_NE(record->acceleratorTable, nullptr);
    // A number above the table's first 16 slots grows it.
    HWND forty = Open(40);
    EXPECT_EQ(ClassOf(forty), "WindowClass_40");
    EXPECT_EQ(FindWindowRecord(40)->window, forty);
}

TEST_F(Windows, OpeningAnOpenNumberClosesTheOldWindowFirst) {
    HWND first = Open(2);
    ASSERT_TRUE(IsWindow(first));
    HWND second = Open(2, 200, 150);
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_TRUE(IsWindow(second));
    EXPECT_EQ(ClassOf(second), "WindowClass_2");
    EXPECT_EQ(FindWindowRecord(2)->window, second);
}

TEST_F(Windows, AnyNumberWindowsGetIdentitiesOfTheirOwn) {
    intptr_t a = OpenToolkitWindow(ANY_NUMBER, 50, 50, 200, 100, "A", 0);
    intptr_t b = OpenToolkitWindow(ANY_NUMBER, 80, 80, 200, 100, nullptr, 0);
    opened_.push_back(a);
    opened_.push_back(b);
    ASSERT_NE(a, 0);
    ASSERT_NE(b, 0);
    EXPECT_NE(a, b);
    HWND windowA = FindWindowRecord(a)->window;
    HWND windowB = FindWindowRecord(b)->window;
    EXPECT_EQ(GetPropA(windowA, "QV_WindowID"), reinterpret_cast<HANDLE>(a + 1));
    char expected[64];
    snprintf(expected, sizeof expected, "WindowClass_%lld", static_cast<long long>(b));
    EXPECT_EQ(ClassOf(windowB), expected);
    EXPECT_EQ(GetWindowTextLengthA(windowB), 0);

    Drain();
    PostMessageA(windowB, WM_CLOSE, 0, 0);
    bool found = false;
    for (const Seen& s : Drain()) {
        if (s.result == EVENT_CLOSE_WINDOW) {
            found = true;
            EXPECT_EQ(s.gadget, b);
            EXPECT_EQ(s.window, b);
        }
    }
    EXPECT_TRUE(found);
    CloseToolkitWindow(a);
    EXPECT_FALSE(IsWindow(windowA));
    EXPECT_EQ(FindWindowRecord(a), nullptr);
    EXPECT_NE(FindWindowRecord(b), nullptr);
}

TEST_F(Windows, CentringOnTheScreen) {
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    HWND window = Open(1, 300, 200, OPEN_CENTER_ON_SCREEN);
    RECT r = WindowRect(window);
    EXPECT_EQ(r.left, (screenWidth - (r.right - r.left)) / 2);
    EXPECT_EQ(r.top, (screenHeight - (r.bottom - r.top)) / 2);

    HWND huge = Open(2, screenWidth + 900, screenHeight + 700, OPEN_CENTER_ON_SCREEN);
    r = WindowRect(huge);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right - r.left, screenWidth);
    EXPECT_EQ(r.bottom - r.top, screenHeight);
}

TEST_F(Windows, CentringOnTheParentOrTheActiveWindow) {
    HWND parent = Open(1, 500, 400, 0, nullptr, 200, 150);
    RECT p = WindowRect(parent);
    HWND child = Open(2, 200, 100, OPEN_CENTER_ON_PARENT | OPEN_NO_GADGET_TARGET, parent);
    RECT c = WindowRect(child);
    EXPECT_EQ(c.left, p.left + (p.right - p.left - (c.right - c.left)) / 2);
    EXPECT_EQ(c.top, p.top + (p.bottom - p.top - (c.bottom - c.top)) / 2);
    EXPECT_EQ(GetWindow(child, GW_OWNER), parent);

    SetActiveWindow(parent);
    ASSERT_EQ(GetActiveWindow(), parent);
    HWND centred = Open(3, 180, 90, OPEN_CENTER_ON_PARENT);
    c = WindowRect(centred);
    EXPECT_EQ(c.left, p.left + (p.right - p.left - (c.right - c.left)) / 2);
    EXPECT_EQ(c.top, p.top + (p.bottom - p.top - (c.bottom - c.top)) / 2);

    // A parent near the top-left corner: the centred window stays on screen.
    HWND corner = Open(4, 100, 60, 0, nullptr, 0, 0);
    HWND wide = Open(5, 600, 500, OPEN_CENTER_ON_PARENT, corner);
    c = WindowRect(wide);
    EXPECT_EQ(c.left, 0);
    EXPECT_EQ(c.top, 0);
}

TEST_F(Windows, CentringWithNothingToCentreOnKeepsThePosition) {
    // A fresh thread has no active window.
    RECT given = {}, defaulted = {};
    HWND seen = nullptr;
    OnOtherThread([&] {
        seen = GetActiveWindow();
        HWND window = reinterpret_cast<HWND>(
            OpenToolkitWindow(60, 123, 45, 200, 100, "lone", OPEN_CENTER_ON_PARENT | OPEN_NO_GADGET_TARGET));
        given = WindowRect(window);
        CloseToolkitWindow(60);
        window = reinterpret_cast<HWND>(OpenToolkitWindow(61, POSITION_DEFAULT, POSITION_DEFAULT, 200, 100, "lone",
                                                          OPEN_CENTER_ON_PARENT | OPEN_NO_GADGET_TARGET));
        defaulted = WindowRect(window);
        CloseToolkitWindow(61);
    });
    EXPECT_EQ(seen, nullptr);
    EXPECT_EQ(given.left, 123);
    EXPECT_EQ(given.top, 45);
    // POSITION_DEFAULT then leaves the place to the platform, on the screen.
    EXPECT_GE(defaulted.left, 0);
    EXPECT_GE(defaulted.top, 0);
    EXPECT_LT(defaulted.left, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_LT(defaulted.top, GetSystemMetrics(SM_CYSCREEN));
}

TEST_F(Windows, DefaultPositionIsChosenByThePlatform) {
    HWND window = Open(1, 200, 100, 0, nullptr, POSITION_DEFAULT, POSITION_DEFAULT);
    RECT r = WindowRect(window);
    EXPECT_NE(r.left, POSITION_DEFAULT);
    EXPECT_GE(r.left, 0);
    EXPECT_GE(r.top, 0);
    EXPECT_LT(r.left, GetSystemMetrics(SM_CXSCREEN));
    HWND half = Open(2, 200, 100, 0, nullptr, 300, POSITION_DEFAULT);
    r = WindowRect(half);
    EXPECT_GE(r.top, 0);
    SIZE size = ClientSize(half);
    EXPECT_EQ(size.cx, 200);
}

// --- Window events -----------------------------------------------------------------------

TEST_F(Windows, CloseQueuesOneCloseEventAndTheWindowStays) {
    HWND window = Open(3);
    Drain();
    PostMessageA(window, WM_CLOSE, 0, 0);
    std::vector<Seen> seen = Drain();
    int closes = 0;
    for (const Seen& s : seen) {
        if (s.result == EVENT_CLOSE_WINDOW) {
            closes++;
            EXPECT_EQ(s.gadget, 3);
            EXPECT_EQ(s.window, 3);
            EXPECT_EQ(s.type, 0);
        }
    }
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(IsWindowVisible(window));

    // The close box and Alt+F4 reach the window as this system command.
    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    seen = Drain();
    EXPECT_EQ(Count(seen, EVENT_CLOSE_WINDOW, true), 1);
    EXPECT_EQ(Count(seen, EVENT_CLOSE_WINDOW, false), 0);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(Windows, MinimizeRestoreMaximizeAndFrameSizing) {
    HWND window = Open(4, 300, 200, WS_OVERLAPPEDWINDOW);
    Drain();
    using Codes = std::vector<int32_t>;

    ShowWindow(window, SW_MINIMIZE);
    EXPECT_EQ(SizeEvents(Drain(), 4), Codes({EVENT_MINIMIZE_WINDOW}));
    ShowWindow(window, SW_RESTORE);
    EXPECT_EQ(SizeEvents(Drain(), 4), Codes({EVENT_RESTORE_WINDOW, EVENT_SIZE_WINDOW}));
    ShowWindow(window, SW_MAXIMIZE);
    EXPECT_EQ(SizeEvents(Drain(), 4), Codes({EVENT_MAXIMIZE_WINDOW, EVENT_SIZE_WINDOW}));
    ShowWindow(window, SW_RESTORE);
    EXPECT_EQ(SizeEvents(Drain(), 4), Codes({EVENT_RESTORE_WINDOW, EVENT_SIZE_WINDOW}));

    RECT r = WindowRect(window);
    SetWindowPos(window, nullptr, 0, 0, r.right - r.left + 40, r.bottom - r.top + 30, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(SizeEvents(Drain(), 4), Codes({EVENT_SIZE_WINDOW}));
    EXPECT_EQ(ClientSize(window).cx, 340);

    // A move alone: the move event carries the number as its gadget too.
    MoveWindow(window, r.left + 25, r.top + 15, r.right - r.left + 40, r.bottom - r.top + 30, TRUE);
    std::vector<Seen> seen = Drain();
    EXPECT_EQ(SizeEvents(seen, 4), Codes());
    bool moved = false;
    for (const Seen& s : seen) {
        if (s.result == EVENT_MOVE_WINDOW && s.queued) {
            moved = true;
            EXPECT_EQ(s.gadget, 4);
            EXPECT_EQ(s.window, 4);
        }
    }
    EXPECT_TRUE(moved);
}

TEST_F(Windows, ActivationGivesTheFocusBackAndReportsIt) {
    HWND first = Open(10);
    HWND edit1 = PlainControl(first, "Edit", 1);
    HWND edit2 = PlainControl(first, "Edit", 2);
    SetWindowPos(edit2, nullptr, 10, 50, 120, 24, SWP_NOZORDER);
    ASSERT_EQ(GetActiveWindow(), first);
    SetFocus(edit2);
    ASSERT_EQ(GetFocus(), edit2);

    HWND second = Open(11, 200, 100, 0, nullptr, 400, 300);
    ASSERT_EQ(GetActiveWindow(), second);
    EXPECT_EQ(GetPropA(first, "QV_Focus"), reinterpret_cast<HANDLE>(edit2));
    EXPECT_NE(GetFocus(), edit2);
    Drain();

    SetActiveWindow(first);
    EXPECT_EQ(GetActiveWindow(), first);
    EXPECT_EQ(GetFocus(), edit2);
    EXPECT_NE(GetFocus(), edit1);
    bool activated = false;
    for (const Seen& s : Drain()) {
        if (s.result == EVENT_ACTIVATE_WINDOW && s.window == 10) activated = true;
    }
    EXPECT_TRUE(activated);
}

TEST_F(Windows, ControlNotificationsAndMenuCommands) {
    HWND window = Open(12);
    HWND button = PlainControl(window, "Button", 6, BS_PUSHBUTTON);
    HWND reporter = PlainControl(window, "Static", -10000);
    Drain();
    struct Case {
        WPARAM wParam;
        HWND control;
        int32_t code;
        intptr_t gadget;
        int32_t type;
    } cases[] = {
        {MAKEWPARAM(6, BN_CLICKED), button, EVENT_GADGET, 6, 0},
        {MAKEWPARAM(6, BN_DOUBLECLICKED), button, EVENT_GADGET, 6, BN_DOUBLECLICKED},
        {MAKEWPARAM(42, 7), reporter, EVENT_MENU, 42, 7},
        {1234, nullptr, EVENT_MENU, 1234, -1},               // a menu command
        {MAKEWPARAM(77, 1), nullptr, EVENT_MENU, 77, -1},    // an accelerator command
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.gadget);
        PostMessageA(window, WM_COMMAND, c.wParam, reinterpret_cast<LPARAM>(c.control));
        EXPECT_EQ(NextEvent(1000), c.code);
        EXPECT_EQ(CurrentEventGadget(), c.gadget);
        EXPECT_EQ(CurrentEventWindow(), 12);
        EXPECT_EQ(CurrentEventType(), c.type);
    }
    // The Tab commands move the focus and form no event.
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(CMD_NEXT_CONTROL, 1), 0);
    EXPECT_EQ(NextEvent(1000), WM_COMMAND);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(CMD_PREVIOUS_CONTROL, 1), 0);
    EXPECT_EQ(NextEvent(1000), WM_COMMAND);
}

TEST_F(Windows, ItemMouseActionsAndTimers) {
    HWND window = Open(13);
    Drain();
    PostMessageA(window, MSG_ITEM_MOUSE, 9, WM_RBUTTONDBLCLK);
    PostMessageA(window, MSG_ITEM_MOUSE, 4, WM_MOUSEMOVE);  // no item event
    std::vector<Seen> seen = Drain();
    int clicks = 0;
    for (const Seen& s : seen) {
        if (s.result == EVENT_ITEM_CLICK) {
            clicks++;
            EXPECT_EQ(s.gadget, 9);
            EXPECT_EQ(s.type, 3);
            EXPECT_EQ(s.window, 13);
        }
    }
    EXPECT_EQ(clicks, 1);

    ASSERT_NE(SetTimer(window, 77, 10, nullptr), 0u);
    int32_t result = 0;
    for (int i = 0; i < 50 && result != EVENT_TIMER; i++) result = NextEvent(200);
    KillTimer(window, 77);
    EXPECT_EQ(result, EVENT_TIMER);
    EXPECT_EQ(CurrentEventGadget(), 77);
    EXPECT_EQ(CurrentEventType(), -1);
    EXPECT_EQ(CurrentEventWindow(), 13);
}

// --- The event fetch --------------------------------------------------------------------

TEST_F(Windows, RawMessagesReachTheCallerUnderTheirOwnNumber) {
    HWND window = Open(14);
    Drain();
    PostMessageA(window, WM_USER + 5, 11, 22);
    EXPECT_EQ(NextEvent(0), WM_USER + 5);
    EXPECT_EQ(TheEventState()->currentWParam, 11u);
    EXPECT_EQ(TheEventState()->currentLParam, 22);
    EXPECT_EQ(TheEventState()->currentCode, 0);
    EXPECT_EQ(CurrentEventWindow(), 14);

    // A timer message for no window: no record, so no timer event.
    PostThreadMessageA(GetCurrentThreadId(), WM_TIMER, 5, 0);
    EXPECT_EQ(NextEvent(0), WM_TIMER);
    EXPECT_EQ(TheEventState()->currentWParam, 5u);
    EXPECT_EQ(NextEvent(0), 0);
}

TEST_F(Windows, NothingPendingReturnsZeroAndKeepsTheCurrentEvent) {
    QueueEvent(EVENT_GADGET, 42, 3, 0);
    EXPECT_EQ(NextEvent(0), EVENT_GADGET);
    EXPECT_EQ(CurrentEventGadget(), 42);
    EXPECT_EQ(NextEvent(0), 0);
    EXPECT_EQ(NextEvent(30), 0);
    EXPECT_EQ(CurrentEventGadget(), 42);
    EXPECT_EQ(CurrentEventWindow(), 3);
}

TEST_F(Windows, EqualEventsBackToBackArriveOnce) {
    QueueEvent(EVENT_GADGET, 5, 1, 0);
    QueueEvent(EVENT_GADGET, 5, 1, 0);
    QueueEvent(EVENT_MENU, 8, 1, -1);
    QueueEvent(EVENT_GADGET, 5, 1, 0);
    std::vector<Seen> seen = Drain();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].result, EVENT_GADGET);
    EXPECT_EQ(seen[1].result, EVENT_MENU);
    EXPECT_EQ(seen[1].gadget, 8);
    EXPECT_EQ(seen[2].result, EVENT_GADGET);
    for (const Seen& s : seen) EXPECT_TRUE(s.queued);
}

TEST_F(Windows, QueuedEventsComeBeforePlatformMessages) {
    HWND window = Open(15);
    Drain();
    PostMessageA(window, WM_USER + 9, 0, 0);
    QueueEvent(EVENT_MENU, 3, 15, -1);
    EXPECT_EQ(NextEvent(0), EVENT_MENU);
    EXPECT_EQ(TheEventState()->currentWParam, 0u);
    EXPECT_EQ(NextEvent(0), WM_USER + 9);
}

// A click sent from another thread (assistive technology, UI automation) is
// handled inside the fetch, not inside the dispatch.
struct Sender {
    HWND target;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    HWND wake;                       // posted to when nothing else arrives
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    volatile LONG woke = 0;
    HANDLE thread = nullptr;

    static DWORD WINAPI Run(LPVOID p) {
        auto* s = static_cast<Sender*>(p);
        Sleep(50);
        SendMessageA(s->target, s->message, s->wParam, s->lParam);
        if (WaitForSingleObject(s->done, 3000) == WAIT_TIMEOUT) {
            InterlockedExchange(&s->woke, 1);
            PostMessageA(s->wake, WM_USER + 77, 0, 0);
        }
        return 0;
    }
    void Start() { thread = CreateThread(nullptr, 0, Run, this, 0, nullptr); }
    void Finish() {
        SetEvent(done);
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
        CloseHandle(done);
    }
};

TEST_F(Windows, AClickSentFromAnotherThreadEndsAWaitingNextEvent) {
    HWND window = Open(20);
    HWND button = PlainControl(window, "Button", 6, BS_PUSHBUTTON);
    Drain();
    Sender sender{button, BM_CLICK, 0, 0, window};
    sender.Start();
    int32_t result = 0;
    for (int i = 0; i < 100 && result != EVENT_GADGET && !sender.woke; i++) result = NextEvent(-1);
    sender.Finish();
    EXPECT_EQ(result, EVENT_GADGET);
    EXPECT_EQ(sender.woke, 0) << "the event waited for an unrelated message";
    EXPECT_EQ(CurrentEventGadget(), 6);
    EXPECT_EQ(CurrentEventWindow(), 20);
    EXPECT_EQ(CurrentEventType(), BN_CLICKED);
}

TEST_F(Windows, ACommandSentFromAnotherThreadEndsAWaitingNextEvent) {
    HWND window = Open(21);
    HWND button = PlainControl(window, "Button", 8, BS_PUSHBUTTON);
    Drain();
    Sender sender{window, WM_COMMAND, MAKEWPARAM(8, BN_CLICKED), reinterpret_cast<LPARAM>(button), window};
    sender.Start();
    int32_t result = NextEvent(-1);
    sender.Finish();
    EXPECT_EQ(result, EVENT_GADGET);
    EXPECT_EQ(sender.woke, 0);
    EXPECT_EQ(CurrentEventGadget(), 8);
    EXPECT_EQ(NextEvent(0), 0);  // delivered once
}

TEST_F(Windows, EventsSentFromAnotherThreadSurvivePolling) {
    HWND window = Open(22);
    HWND button = PlainControl(window, "Button", 6, BS_PUSHBUTTON);
    HWND edit = PlainControl(window, "Edit", 3);
    SetWindowPos(edit, nullptr, 10, 50, 120, 24, SWP_NOZORDER);
    Drain();
    struct Step {
        HWND target;
        UINT message;
        LPARAM lParam;
        intptr_t gadget;
        int32_t type;
    } steps[] = {{button, BM_CLICK, 0, 6, BN_CLICKED},
                 {edit, WM_SETTEXT, reinterpret_cast<LPARAM>("written"), 3, EN_CHANGE}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.gadget);
        Sender sender{step.target, step.message, 0, step.lParam, window};
        sender.Start();
        bool got = false;
        for (int i = 0; i < 3000 && !got && !sender.woke; i++) {
            int32_t result = PollEvent();
            if (result == EVENT_GADGET && CurrentEventGadget() == step.gadget && CurrentEventType() == step.type) {
                got = true;
            } else if (!result) {
                Sleep(1);
            }
        }
        sender.Finish();
        EXPECT_TRUE(got);
        Drain();
    }
    char text[32] = {};
    GetWindowTextA(edit, text, sizeof text);
    EXPECT_STREQ(text, "written");
}

TEST_F(Windows, AnEventFormedOutsideNextEventIsDropped) {
    HWND window = Open(23);
    HWND edit = PlainControl(window, "Edit", 5);
    Drain();
    SetWindowTextA(edit, "from the program");  // EN_CHANGE reaches the window now
    EXPECT_EQ(TheEventState()->pendingCode, EVENT_GADGET);  // formed, but nobody dispatching
    for (const Seen& s : Drain()) EXPECT_NE(s.result, EVENT_GADGET);

    // The same notification during a dispatch is delivered.
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(5, EN_CHANGE), reinterpret_cast<LPARAM>(edit));
    EXPECT_EQ(NextEvent(1000), EVENT_GADGET);
    EXPECT_EQ(CurrentEventType(), EN_CHANGE);
}

// --- Hooks ---------------------------------------------------------------------------

int gCallbackCalls = 0;
intptr_t SwallowClose(void*, uint32_t message, uintptr_t, intptr_t) {
    gCallbackCalls++;
    return message == WM_CLOSE ? 0 : PASS_ON;
}

TEST_F(Windows, WindowAndGlobalCallbacksSeeMessagesFirst) {
    HWND window = Open(24);
    Drain();
    SetWindowCallback(24, SwallowClose);
    PostMessageA(window, WM_CLOSE, 0, 0);
    std::vector<Seen> seen = Drain();
    EXPECT_EQ(Count(seen, EVENT_CLOSE_WINDOW, true), 0);
    EXPECT_GT(gCallbackCalls, 0);

    SetWindowCallback(24, nullptr);
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(Count(Drain(), EVENT_CLOSE_WINDOW, true), 1);

    gCallbackCalls = 0;
    SetGlobalCallback(SwallowClose);
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(Count(Drain(), EVENT_CLOSE_WINDOW, true), 0);
    EXPECT_GT(gCallbackCalls, 0);
    SetGlobalCallback(nullptr);
}

TEST_F(Windows, BackgroundBrushAndSizeLimits) {
    HWND window = Open(25, 200, 100, WS_OVERLAPPEDWINDOW);
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 200, 100);
    HGDIOBJ old = SelectObject(memory, bitmap);
    Drain();

    SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0);
    EXPECT_EQ(GetPixel(memory, 5, 5), GetSysColor(COLOR_BTNFACE));
    SetWindowBackground(25, RGB(10, 200, 30));
    EXPECT_EQ(SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0), 1);
    EXPECT_EQ(GetPixel(memory, 5, 5), RGB(10, 200, 30));
    bool repaint = false;
    for (const Seen& s : Drain()) repaint |= s.result == EVENT_REPAINT && s.queued && s.window == 25;
    EXPECT_TRUE(repaint);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);

    SetWindowSizeLimits(25, 250, 180, 600, 450);
    MINMAXINFO limits = {};
    limits.ptMinTrackSize = {100, 30};
    limits.ptMaxTrackSize = {2000, 2000};
    EXPECT_EQ(SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits)), 0);
    EXPECT_EQ(limits.ptMinTrackSize.x, 250);
    EXPECT_EQ(limits.ptMinTrackSize.y, 180);
    EXPECT_EQ(limits.ptMaxTrackSize.x, 600);
    EXPECT_EQ(limits.ptMaxTrackSize.y, 450);
    // The platform applies them when the window is sized.
    MoveWindow(window, 50, 50, 100, 60, TRUE);
    RECT r = WindowRect(window);
    EXPECT_EQ(r.right - r.left, 250);
    EXPECT_EQ(r.bottom - r.top, 180);
}

TEST_F(Windows, PayloadsArePassedOnAndFreed) {
    HWND window = Open(26);
    Drain();
    HeapUsage before = HeapUsageOf(ProgramHeap());
    void* inner = HeapTake(ProgramHeap(), 40);
    ASSERT_TRUE(PostWindowPayload(window, inner));
    EXPECT_EQ(NextEvent(1000), EVENT_WINDOW_PAYLOAD);
    EXPECT_EQ(CurrentEventPayload(), inner);
    EXPECT_EQ(CurrentEventType(), -1);

    void* second = HeapTake(ProgramHeap(), 16);
    ASSERT_TRUE(PostGadgetPayload(window, 9, second));
    EXPECT_EQ(NextEvent(1000), EVENT_GADGET_PAYLOAD);  // the first payload is freed here
    EXPECT_EQ(CurrentEventPayload(), second);
    EXPECT_EQ(CurrentEventGadget(), 9);
    EXPECT_EQ(NextEvent(0), 0);
    EXPECT_EQ(HeapUsageOf(ProgramHeap()).blocks, before.blocks);

    // A message of the same number that the toolkit did not post forms no
    // event and frees nothing.
    PostMessageA(window, MSG_WINDOW_PAYLOAD, 0, 0x12345678);
    EXPECT_EQ(NextEvent(1000), static_cast<int32_t>(MSG_WINDOW_PAYLOAD));
    EXPECT_EQ(CurrentEventPayload(), nullptr);
    EXPECT_EQ(HeapUsageOf(ProgramHeap()).blocks, before.blocks);
}

// --- Closing and bad numbers -----------------------------------------------------------

TEST_F(Windows, BadNumbersTouchNothing) {
    HWND window = Open(27);
    const int windows = ThreadWindowCount();
    EXPECT_EQ(OpenToolkitWindow(-2, 10, 10, 100, 100, "x", 0), 0);
    EXPECT_EQ(OpenToolkitWindow(-100000, 10, 10, 100, 100, "x", 0), 0);
    EXPECT_EQ(OpenToolkitWindow(MAX_FIXED_NUMBER + 1, 10, 10, 100, 100, "x", 0), 0);
    EXPECT_EQ(ThreadWindowCount(), windows);
    for (WindowNumber number : {WindowNumber(-5), WindowNumber(-1), WindowNumber(999), WindowNumber(12345678),
                                static_cast<WindowNumber>(reinterpret_cast<intptr_t>(&windows))}) {
        CloseToolkitWindow(number);
        EXPECT_EQ(FindWindowRecord(number), nullptr);
    }
    SetWindowCallback(-7, SwallowClose);
    SetWindowSizeLimits(999, 1, 1, 1, 1);
    SetWindowBackground(-3, RGB(1, 2, 3));
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(ThreadWindowCount(), windows);

    CloseToolkitWindow(27);
    EXPECT_FALSE(IsWindow(window));
    CloseToolkitWindow(27);  // twice: nothing happens
    WNDCLASSA info;
    EXPECT_FALSE(GetClassInfoA(ToolkitInstance(), "WindowClass_27", &info));
}

TEST_F(Windows, AWindowThatCannotBeCreatedLeavesNothingBehind) {
    HWND bogusParent = reinterpret_cast<HWND>(static_cast<intptr_t>(0x7FFF1234));
    ASSERT_FALSE(IsWindow(bogusParent));
    const int windows = ThreadWindowCount();
    EXPECT_EQ(OpenToolkitWindow(30, 10, 10, 100, 60, "x", 0, bogusParent), 0);
    EXPECT_EQ(FindWindowRecord(30), nullptr);
    WNDCLASSA info;
    EXPECT_FALSE(GetClassInfoA(ToolkitInstance(), "WindowClass_30", &info));
    EXPECT_EQ(OpenToolkitWindow(ANY_NUMBER, 10, 10, 100, 60, "x", 0, bogusParent), 0);
    EXPECT_EQ(ThreadWindowCount(), windows);
    // No entry was left in the table: a walk finds none.
    StartObjectWalk(WindowTable());
    WindowNumber number;
    EXPECT_EQ(NextObject(WindowTable(), &number), nullptr);
}

TEST_F(Windows, AWindowDestroyedBehindTheToolkitsBackGivesUpItsEntry) {
    HWND window = Open(28);
    DestroyWindow(window);
    EXPECT_EQ(FindWindowRecord(28), nullptr);
    CloseToolkitWindow(28);
    HWND again = Open(28);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(ClassOf(again), "WindowClass_28");

    // An owned window goes with its owner.
    HWND owned = Open(29, 100, 60, 0, again);
    ASSERT_EQ(GetWindow(owned, GW_OWNER), again);
    CloseToolkitWindow(28);
    EXPECT_FALSE(IsWindow(owned));
    EXPECT_EQ(FindWindowRecord(29), nullptr);
}

TEST_F(Windows, WindowLibraryEndClosesEveryWindow) {
    HWND a = Open(1);
    HWND b = Open(33);
    intptr_t any = OpenToolkitWindow(ANY_NUMBER, 10, 10, 100, 60, "any", 0);
    ASSERT_NE(any, 0);
    HWND c = FindWindowRecord(any)->window;
    WindowLibraryEnd();
    for (HWND window : {a, b, c}) EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(FindWindowRecord(1), nullptr);
    EXPECT_EQ(FindWindowRecord(33), nullptr);
    EXPECT_EQ(FindWindowRecord(any), nullptr);
    WNDCLASSA info;
    EXPECT_FALSE(GetClassInfoA(ToolkitInstance(), "WindowClass_33", &info));
    // The library goes on serving windows afterwards.
    HWND later = Open(1);
    EXPECT_TRUE(IsWindow(later));
}

// --- Images ---------------------------------------------------------------------------------

TEST(Images, TheTableOwnsAndReleasesImages) {
    HBITMAP first = CreateBitmap(4, 4, 1, 32, nullptr);
    HBITMAP second = CreateBitmap(4, 4, 1, 32, nullptr);
    EXPECT_EQ(AdoptImage(3, first), reinterpret_cast<intptr_t>(first));
    EXPECT_EQ(AdoptImage(3, second), reinterpret_cast<intptr_t>(second));  // releases the first
    EXPECT_EQ(GetObjectType(first), 0u);
    EXPECT_EQ(GetObjectType(second), static_cast<DWORD>(OBJ_BITMAP));
    FreeImageObject(3);
    EXPECT_EQ(GetObjectType(second), 0u);
    EXPECT_EQ(FindObject(ImageTable(), 3), nullptr);
    FreeImageObject(3);  // nothing left: nothing happens
    FreeImageObject(ANY_NUMBER);
    EXPECT_EQ(AdoptImage(-4, CreateBitmap(1, 1, 1, 32, nullptr)) , 0);
    EXPECT_EQ(AdoptImage(5, nullptr), 0);

    HICON icon = CopyIcon(LoadIconA(nullptr, MAKEINTRESOURCEA(32512)));
    ASSERT_NE(icon, nullptr);
    intptr_t chosen = AdoptImage(ANY_NUMBER, icon);
    ASSERT_NE(chosen, 0);
    HBITMAP kept = CreateBitmap(2, 2, 1, 32, nullptr);
    AdoptImage(20, kept);
    ImageLibraryEnd();
    ICONINFO info;
    EXPECT_FALSE(GetIconInfo(icon, &info));
    EXPECT_EQ(GetObjectType(kept), 0u);
    EXPECT_EQ(FindObject(ImageTable(), chosen), nullptr);
}

// Under Wine on a display without a window manager, showing a window that
// Wine would leave to the manager waits two seconds for it. Wine reads at
// process start whether to leave windows to a manager, so the first run in a
// prefix records "handle the windows yourself" for this program and runs it
// again; window geometry, activation and focus are Wine's own either way.
// Returns true, with the exit code, when the program ran again.
bool RanWithoutWindowManagerWaits(int* exitCode) {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (!ntdll || !GetProcAddress(ntdll, "wine_get_version")) return false;  // real Windows
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    const char* name = strrchr(path, '\\');
    name = name ? name + 1 : path;
    std::string key = std::string("Software\\Wine\\AppDefaults\\") + name + "\\X11 Driver";
    HKEY handle;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    char value[8] = {};
    DWORD size = sizeof value - 1;
    bool inEffect = RegQueryValueExA(handle, "Managed", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) ==
                        ERROR_SUCCESS &&
                    value[0] == 'N';
    if (!inEffect) RegSetValueExA(handle, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
    RegCloseKey(handle);
    if (inEffect) return false;

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, GetCommandLineA(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return false;  // run here, only slower
    }
    DWORD code = 3;
    if (WaitForSingleObject(process.hProcess, 150000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 3);
    } else {
        GetExitCodeProcess(process.hProcess, &code);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    *exitCode = static_cast<int>(code);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int exitCode;
    if (RanWithoutWindowManagerWaits(&exitCode)) return exitCode;
    // A hang must fail the test program, not block the suite.
    StartWatchdog(120000, "window_win_tests");
    StartTestRuntime();
    ToolkitInit();
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();

    // ToolkitEnd closes what is still open.
    HWND left = reinterpret_cast<HWND>(OpenToolkitWindow(0, 10, 10, 100, 60, "left open", 0));
    intptr_t any = OpenToolkitWindow(ANY_NUMBER, 10, 10, 100, 60, "left open", 0);
    HWND leftAny = any ? FindWindowRecord(any)->window : nullptr;
    ToolkitEnd();
    if (!left || !leftAny || IsWindow(left) || IsWindow(leftAny)) {
        fprintf(stderr, "ToolkitEnd left a window open\n");
        result = 1;
    } else {
        printf("ToolkitEnd closed the windows left open\n");
    }
    return result;
}
