// Numbered windows, the event fetch and the window procedure on real Win32:
// geometry, identity, the events of closing, sizing and activating, raw and
// queued events, events formed while the fetch handles messages sent from
// other threads, and bad numbers.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
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

// The queued size, minimize, maximize and restore events of one window.
std::vector<int32_t> SizeEvents(const std::vector<Seen>& seen, WindowNumber number) {
    std::vector<int32_t> codes;
    for (const Seen& s : seen) {
        if (s.queued && s.window == number &&
            (s.result == EVENT_SIZE_WINDOW || s.result == EVENT_MINIMIZE_WINDOW ||
             s.result == EVENT_MAXIMIZE_WINDOW || s.result == EVENT_RESTORE_WINDOW)) {
            EXPECT_EQ(s.gadget, 0);
            codes.push_back(s.result);
        }
    }
    return codes;
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

class Windows : public ::testing::Test {
protected:
    void SetUp() override { Drain(); }
    void TearDown() override {
        for (WindowNumber number : opened_) CloseToolkitWindow(number);
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
    const uint32_t cases[] = {0, OPEN_HIDDEN, OPEN_CENTER_ON_SCREEN, WS_OVERLAPPEDWINDOW, OPEN_TOOL_WINDOW | WS_SYSMENU,
                              WS_POPUP | WS_BORDER, WS_CAPTION | WS_THICKFRAME | OPEN_NO_GADGET_TARGET};
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

TEST_F(Windows, NumberAndClassNameAndReopening) {
    for (WindowNumber number : {0, 7, 40}) {  // 40 grows the table past its first slots
        HWND window = Open(number);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(GetPropA(window, "QV_WindowID"), reinterpret_cast<HANDLE>(number + 1));
        EXPECT_EQ(ClassOf(window), "WindowClass_" + std::to_string(number));
        EXPECT_EQ(FindWindowRecord(number)->window, window);
    }
    HWND first = FindWindowRecord(7)->window;
    HWND second = Open(7, 200, 150);
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(ClassOf(second), "WindowClass_7");
    EXPECT_EQ(FindWindowRecord(7)->window, second);

    intptr_t any = OpenToolkitWindow(ANY_NUMBER, 50, 50, 200, 100, nullptr, 0);
    opened_.push_back(any);
    ASSERT_NE(any, 0);
    HWND window = FindWindowRecord(any)->window;
    EXPECT_EQ(GetPropA(window, "QV_WindowID"), reinterpret_cast<HANDLE>(any + 1));
    EXPECT_EQ(ClassOf(window), "WindowClass_" + std::to_string(any));
}

TEST_F(Windows, CentringOnTheScreen) {
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    RECT r = WindowRect(Open(1, 300, 200, OPEN_CENTER_ON_SCREEN));
    EXPECT_EQ(r.left, (screenWidth - (r.right - r.left)) / 2);
    EXPECT_EQ(r.top, (screenHeight - (r.bottom - r.top)) / 2);

    r = WindowRect(Open(2, screenWidth + 900, screenHeight + 700, OPEN_CENTER_ON_SCREEN));
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right - r.left, screenWidth);
    EXPECT_EQ(r.bottom - r.top, screenHeight);
}

// --- Window events -----------------------------------------------------------------------

TEST_F(Windows, CloseQueuesOneCloseEventAndTheWindowStays) {
    HWND window = Open(3);
    Drain();
    PostMessageA(window, WM_CLOSE, 0, 0);
    int closes = 0;
    for (const Seen& s : Drain()) {
        if (s.result == EVENT_CLOSE_WINDOW) {
            closes++;
            EXPECT_TRUE(s.queued);
            EXPECT_EQ(s.gadget, 3);
            EXPECT_EQ(s.window, 3);
            EXPECT_EQ(s.type, 0);
        }
    }
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(IsWindowVisible(window));
}

TEST_F(Windows, MinimizeRestoreMaximizeAndFrameSizing) {
    HWND window = Open(4, 300, 200, WS_OVERLAPPEDWINDOW);
    Drain();
    using Codes = std::vector<int32_t>;
    const struct { int show; Codes expected; } steps[] = {{SW_MINIMIZE, {EVENT_MINIMIZE_WINDOW}},
                 {SW_RESTORE, {EVENT_RESTORE_WINDOW, EVENT_SIZE_WINDOW}},
                 {SW_MAXIMIZE, {EVENT_MAXIMIZE_WINDOW, EVENT_SIZE_WINDOW}},
                 {SW_RESTORE, {EVENT_RESTORE_WINDOW, EVENT_SIZE_WINDOW}}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.show);
        ShowWindow(window, step.show);
        EXPECT_EQ(SizeEvents(Drain(), 4), step.expected);
    }
    RECT r = WindowRect(window);
    SetWindowPos(window, nullptr, 0, 0, r.right - r.left + 40, r.bottom - r.top + 30, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(SizeEvents(Drain(), 4), Codes({EVENT_SIZE_WINDOW}));
    EXPECT_EQ(ClientSize(window).cx, 340);
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
    for (const Seen& s : Drain()) activated |= s.result == EVENT_ACTIVATE_WINDOW && s.window == 10;
    EXPECT_TRUE(activated);
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
}

TEST_F(Windows, NothingPendingReturnsZeroAndKeepsTheCurrentEvent) {
    QueueEvent(EVENT_GADGET, 42, 3, 0);
    EXPECT_EQ(NextEvent(0), EVENT_GADGET);
    EXPECT_EQ(NextEvent(0), 0);
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
}

// A message sent from another thread (assistive technology, UI automation) is
// handled inside the fetch, not inside the dispatch. When no event ends the
// wait, the sender posts a wake-up after 3 s so the test fails, not hangs.
struct Sender {
    HWND target;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    HWND wake;
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

TEST_F(Windows, MessagesSentFromAnotherThreadEndAWaitingNextEvent) {
    HWND window = Open(20);
    HWND button = PlainControl(window, "Button", 6, BS_PUSHBUTTON);
    const struct {
        HWND target;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        int32_t type;
    } cases[] = {{button, BM_CLICK, 0, 0, BN_CLICKED},
                 {window, WM_COMMAND, MAKEWPARAM(6, BN_CLICKED), reinterpret_cast<LPARAM>(button), 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Drain();
        Sender sender{c.target, c.message, c.wParam, c.lParam, window};
        sender.Start();
        int32_t result = 0;
        for (int i = 0; i < 100 && result != EVENT_GADGET && !sender.woke; i++) result = NextEvent(-1);
        sender.Finish();
        EXPECT_EQ(result, EVENT_GADGET);
        EXPECT_EQ(sender.woke, 0) << "the event waited for an unrelated message";
        EXPECT_EQ(CurrentEventGadget(), 6);
        EXPECT_EQ(CurrentEventWindow(), 20);
        EXPECT_EQ(CurrentEventType(), c.type);
        EXPECT_EQ(NextEvent(0), 0);  // delivered once
    }
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

// --- Closing and bad numbers -----------------------------------------------------------

TEST_F(Windows, BadNumbersTouchNothing) {
    HWND window = Open(27);
    const int windows = ThreadWindowCount();
    for (WindowNumber number : {WindowNumber(-2), WindowNumber(-100000), WindowNumber(MAX_FIXED_NUMBER + 1)}) {
        EXPECT_EQ(OpenToolkitWindow(number, 10, 10, 100, 100, "x", 0), 0);
    }
    for (WindowNumber number : {WindowNumber(-5), WindowNumber(-1), WindowNumber(999), WindowNumber(12345678),
                                static_cast<WindowNumber>(reinterpret_cast<intptr_t>(&windows))}) {
        CloseToolkitWindow(number);
        EXPECT_EQ(FindWindowRecord(number), nullptr);
    }
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
    EXPECT_EQ(ThreadWindowCount(), windows);
}

TEST_F(Windows, WindowLibraryEndClosesEveryWindow) {
    HWND a = Open(1);
    HWND b = Open(33);
    intptr_t any = OpenToolkitWindow(ANY_NUMBER, 10, 10, 100, 60, "any", 0);
    ASSERT_NE(any, 0);
    HWND c = FindWindowRecord(any)->window;
    WindowLibraryEnd();
    for (HWND window : {a, b, c}) EXPECT_FALSE(IsWindow(window));
    for (WindowNumber number : {WindowNumber(1), WindowNumber(33), WindowNumber(any)}) {
        EXPECT_EQ(FindWindowRecord(number), nullptr);
    }
    WNDCLASSA info;
    EXPECT_FALSE(GetClassInfoA(ToolkitInstance(), "WindowClass_33", &info));
    EXPECT_TRUE(IsWindow(Open(1)));  // the library goes on serving windows
}

// Under Wine without a window manager, showing a managed window waits two
// seconds for the manager. Wine reads the setting at process start, so the
// first run records "unmanaged" for this program and runs it again (returns
// true with its exit code).
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
    bool inEffect = !RegQueryValueExA(handle, "Managed", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) &&
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
    }
    return result;
}
