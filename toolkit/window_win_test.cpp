// The toolkit on real Win32, one test program: windows and the event fetch, gadgets and Tab, live sizing.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "toolkit/brush_cache.h"
#include "toolkit/gadget_target.h"
#include "toolkit/gadgets.h"
#include "toolkit/payloads.h"
#include "toolkit/sizing.h"
#include "toolkit/toolkit.h"
#include "toolkit/win_test_support.h"

// Found by the checks' argument-dependent lookup, so outside the unnamed namespace.
static bool operator==(POINT a, POINT b) { return a.x == b.x && a.y == b.y; }
static bool operator==(RECT a, RECT b) { return EqualRect(&a, &b) != FALSE; }

namespace {

bool ClassExists(WindowNumber number) {
    WNDCLASSA info;
    return GetClassInfoA(ToolkitInstance(), ("WindowClass_" + std::to_string(number)).c_str(), &info);
}
bool Gone(WindowNumber number) { return !FindWindowRecord(number) && !ClassExists(number); }
HWND HandleOf(WindowNumber number) { return FindWindowRecord(number) ? FindWindowRecord(number)->window : nullptr; }
size_t HeapBlocks() { return HeapUsageOf(ProgramHeap()).blocks; }

// Counts its references: registering it as a drop target takes some, revoking the registration gives them back.
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
    for (const auto& row : rows) {
        HWND before = SelectGadgetWindow(nullptr), old = HandleOf(row.number);
        const WindowNumber n = Open(row.number, row.flags, 321, 203);
        HWND window = HandleOf(n);
        RECT client = {};
        GetClientRect(window, &client);
        EXPECT_TRUE(ClassExists(n) && !IsWindow(old) && client.right == 321 && client.bottom == 203) << n;
        EXPECT_EQ(GetWindowLongPtrA(window, GWL_STYLE) & (row.on | row.off | 7), LONG_PTR(row.on)) << n;
        EXPECT_EQ(GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, row.tool ? WS_EX_TOOLWINDOW : 0);
        EXPECT_EQ(SelectGadgetWindow(nullptr), row.target ? window : before) << n;
    }
    DestroyWindow(HandleOf(9));  // its class goes at the library's end
    WindowLibraryEnd();
    for (WindowNumber number : opened_) EXPECT_TRUE(Gone(number)) << number;
    opened_.clear();
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
    r = WindowRect(HandleOf(Open(6, OPEN_CENTER_ON_PARENT | OPEN_HIDDEN, 100, 60, nullptr, POSITION_DEFAULT, 0)));
    EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.left < screen.right) << r.left << "," << r.top;
}

// Window events: queued ones and raw ones sharing an event's code (never wanted); moves, repaints, activations if asked.
std::vector<Event> WindowEvents(const std::vector<Event>& seen, const std::vector<Event>& expected) {
    std::vector<Event> kept;
    for (const Event& e : seen) {
        bool asked = std::count_if(expected.begin(), expected.end(), [&](const Event& x) { return x.code == e.code; });
        bool shared = e.code == WM_MOVE || e.code == WM_SIZE || e.code == WM_CLOSE;
        bool incidental = e.code == WM_MOVE || e.code == WM_PAINT || e.code == 13104;
        if ((e.queued || shared) && (asked || !incidental)) kept.push_back(e);
    }
    return kept;
}

TEST_F(Windows, EachWindowActionQueuesItsEvents) {
    for (WindowNumber asked : {WindowNumber(9), ANY_NUMBER}) {
        const WindowNumber n = Open(asked, WS_OVERLAPPEDWINDOW, 300, 200, nullptr, 100, 100);
        HWND window = HandleOf(n);
        Drain();
        auto show = [window](int how) { return [window, how] { ShowWindow(window, how); }; };
        const struct { std::function<void()> act; std::vector<Event> expected; } rows[] = {
            {[&] { SetWindowPos(window, nullptr, 120, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER); }, {{3, n, n, 0}}},
            {[&] { SetWindowPos(window, nullptr, 0, 0, 380, 260, SWP_NOMOVE | SWP_NOZORDER); }, {{5, 0, n, 0}}},
            {[&] { RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ERASENOW); }, {{15, 0, n, 0}}},
            {show(SW_MINIMIZE), {{13107, 0, n, 0}}},
            {show(SW_RESTORE), {{13109, 0, n, 0}, {5, 0, n, 0}}},
            {show(SW_MAXIMIZE), {{13108, 0, n, 0}, {5, 0, n, 0}}},
            {show(SW_RESTORE), {{13109, 0, n, 0}, {5, 0, n, 0}}},
            {[&] { PostMessageA(window, WM_CLOSE, 0, 0); }, {{16, n, n, 0}}},
            {[&] { ClickAt(CloseBoxPoint(window)); }, {{16, n, n, 0}}},  // a real click on the close box
        };
        for (const auto& row : rows) {
            std::vector<Event> seen;
            row.act();
            PumpUntil([&] { return WindowEvents(seen, row.expected).size() >= row.expected.size(); }, 3000, &seen);
            for (const Event& e : Drain()) seen.push_back(e);
            EXPECT_EQ(WindowEvents(seen, row.expected), row.expected) << asked << ", event " << row.expected[0].code;
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
    // Formed while no fetch runs, a notification is dropped; sent from a thread to a waiting fetch, delivered.
    SetWindowTextA(edit, "from the program");
    EXPECT_EQ(TheEventState()->pendingCode, 13100);
    for (const Event& e : Drain()) EXPECT_NE(e.code, 13100);
    std::thread sender([&] { SendMessageA(window, WM_COMMAND, MAKEWPARAM(2, EN_CHANGE), LPARAM(edit)); });
    EXPECT_EQ(CurrentEvent(NextEvent(-1)), (Event{13100, 2, 14, EN_CHANGE, false}));
    sender.join();
    // A payload comes with its event and goes at the next fetch; a foreign one is neither taken nor freed.
    const size_t blocks = HeapBlocks();
    void* inner = HeapTake(ProgramHeap(), 40);
    ASSERT_TRUE(PostWindowPayload(window, inner) && PostGadgetPayload(window, 7, HeapTake(ProgramHeap(), 8)));
    EXPECT_TRUE(NextEvent(1000) == 13105 && CurrentEventPayload() == inner && CurrentEventType() == -1);
    EXPECT_EQ(CurrentEvent(NextEvent(1000)), (Event{13106, 7, 14, -1, false}));
    EXPECT_TRUE(NextEvent(0) == 0 && HeapBlocks() == blocks);
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

// A callback that closes its own window frees the record the timer event would be formed from.
intptr_t CloseOnTimer(void*, uint32_t message, uintptr_t, intptr_t) {
    if (message == WM_TIMER) CloseToolkitWindow(21);
    return PASS_ON;
}

TEST_F(Windows, TimerEventsAndACallbackThatClosesItsWindow) {
    HWND window = HandleOf(Open(21));
    Drain();
    PostMessageA(window, WM_TIMER, 9, 0);
    EXPECT_EQ(CurrentEvent(NextEvent(1000)), (Event{13110, 9, 21, -1, false}));
    SetWindowCallback(21, CloseOnTimer);
    PostMessageA(window, WM_TIMER, 9, 0);
    EXPECT_EQ(NextEvent(1000), WM_TIMER);  // no window, no timer event: the message comes raw
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
    Open(14, OPEN_NO_GADGET_TARGET);  // the class goes at the next open
    EXPECT_TRUE(Gone(13));
    // A failed creation leaves nothing behind either.
    EXPECT_EQ(OpenToolkitWindow(30, 10, 10, 100, 60, "x", 0, HWND(intptr_t(0x7FFF1234))), 0);
    EXPECT_TRUE(Gone(30));
}

HWND Control(GadgetNumber number) { return FindGadgetRecord(number) ? FindGadgetRecord(number)->control : nullptr; }
std::string ReadText(GadgetNumber number) {
    const size_t start = TempEnd(), end = ReadGadgetText(number, start);
    std::string text = FindGadgetRecord(number) ? std::string(StrArg(TempSpan(start, end)).Ptr(), end - start) : "<none>";
    TempSetEnd(start);
    return text;
}

// A real Tab (or shift-Tab) through NextEvent up to its last key-up: gadget events, raw key-downs and key-ups.
std::vector<Event> PressTab(bool shift) {
    Drain();
    std::vector<Event> seen, kept;
    PressKey(VK_TAB, shift);
    const WPARAM last = shift ? VK_SHIFT : VK_TAB;
    PumpUntil([&] { return !seen.empty() && seen.back().code == WM_KEYUP && TheEventState()->currentWParam == last; },
              3000, &seen);
    for (const Event& e : seen) {
        if (e.code == 13100) kept.push_back(e);
        if ((e.code == WM_KEYDOWN || e.code == WM_KEYUP) && !e.queued) kept.push_back({e.code, 0, 0, 0, false});
    }
    return kept;
}

// Window 0 laid out like the converter's main window, in the foreground.
class Gadgets : public Windows {
protected:
    void SetUp() override {
        main_ = HandleOf(Open(0, 0xCC0000, 600, 300, nullptr, 287, 33));
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

TEST_F(Gadgets, CreatedControlsCarryClassStyleNumberFontAndText) {
    using Create = intptr_t (*)(GadgetNumber, int, int, int, int, const char*, uint32_t);
    const struct { Create create; GadgetNumber number; uint32_t flags; const char* name; LONG_PTR style, edge; } rows[] = {
        {CreateLabelGadget, 20, 0, "Static", 0x50020000, 0},
        {CreateLabelGadget, ANY_NUMBER, 0x20000, "Static", 0x50020000, WS_EX_CLIENTEDGE},
        {CreateLabelGadget, 21, SS_CENTER, "Static", 0x50020000 | SS_CENTER, 0},
        {CreateEditGadget, ANY_NUMBER, 0, "Edit", 0x50030080, WS_EX_CLIENTEDGE},
        {CreateEditGadget, 22, 0x20000, "Edit", 0x50030080, 0},
        {CreateButtonGadget, ANY_NUMBER, 0, "Button", 0x50030000, 0},
        {CreateButtonGadget, 23, BS_CHECKBOX | 0x20000, "Button", 0x50030000 | BS_CHECKBOX, 0},
        {CreateButtonGadget, 7, 0, "Button", 0x50030000, 0},  // replaces the button of that number
    };
    const size_t blocks = HeapBlocks();
    std::vector<GadgetNumber> chosen;  // label, edit field, button
    for (const auto& row : rows) {
        HWND old = Control(row.number);
        const intptr_t result = row.create(row.number, 11, 12, 130, 24, "text", row.flags);
        const GadgetNumber number = row.number == ANY_NUMBER ? result : row.number;
        HWND control = Control(number);
        char name[32] = {};
        GetClassNameA(control, name, sizeof name);
        const bool replaced = row.number == ANY_NUMBER || (result == intptr_t(control) && !IsWindow(old));
        EXPECT_TRUE(!strcmp(name, row.name) && GetParent(control) == main_ && replaced) << number;
        EXPECT_EQ(GetWindowLongPtrA(control, GWL_STYLE), row.style) << number;
        EXPECT_EQ(GetWindowLongPtrA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, row.edge) << number;
        EXPECT_TRUE(GetWindowLongPtrA(control, GWLP_ID) == number && intptr_t(GetPropA(control, "QV_ID")) == number);
        const bool unlimited = strcmp(row.name, "Edit") || SendMessageA(control, EM_GETLIMITTEXT, 0, 0) > 1000000;
        EXPECT_TRUE(HGDIOBJ(SendMessageA(control, WM_GETFONT, 0, 0)) == GetStockObject(DEFAULT_GUI_FONT) && unlimited);
        EXPECT_EQ(ReadText(number), "text");
        if (row.number == ANY_NUMBER) chosen.push_back(number);
    }
    // Gadgets of chosen numbers report under them, and go.
    std::vector<Event> seen;
    const Event click = {13100, chosen[2], 0, BN_CLICKED, false}, focus = {13100, chosen[1], 0, 14000};
    PostMessageA(Control(chosen[2]), BM_CLICK, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return std::count(seen.begin(), seen.end(), click) == 1; }, 3000, &seen));
    SetFocus(Control(chosen[1]));
    seen = Drain();
    EXPECT_EQ(std::count(seen.begin(), seen.end(), focus), 1);
    for (GadgetNumber number : chosen) DestroyGadget(number);
    for (GadgetNumber n : chosen) EXPECT_TRUE(!FindGadgetRecord(n) && ReadGadgetText(n, 1) == 0) << n;  // no end
    EXPECT_EQ(HeapBlocks(), blocks);
}

TEST_F(Gadgets, SelectGadgetWindowSwitchesTheTarget) {
    HWND other = reinterpret_cast<HWND>(OpenToolkitWindow(1, 650, 40, 200, 120, "other", 0));
    CreateLabelGadget(30, 5, 5, 50, 20, "");
    EXPECT_EQ(SelectGadgetWindow(main_), other);
    CreateLabelGadget(31, 5, 5, 50, 20, "");
    EXPECT_EQ(SelectGadgetWindow(other), main_);
    EXPECT_TRUE(GetParent(Control(30)) == other && GetParent(Control(31)) == main_);
    // The target goes with its window: a creation then fails and leaves the gadget of that number as it was.
    HWND old = Control(3);
    CloseToolkitWindow(1);
    EXPECT_EQ(SelectGadgetWindow(nullptr), nullptr);
    EXPECT_EQ(CreateEditGadget(3, 0, 0, 50, 20, "replacement"), 0);
    EXPECT_TRUE(Control(3) == old && ReadText(3) == "");
}

TEST_F(Gadgets, ColoursAndTheSharedBrushes) {
    HDC dc = GetDC(main_);
    auto answer = [&](UINT message, GadgetNumber n, bool byDefault = false) {  // the window's, or the default
        return (byDefault ? DefWindowProcA : SendMessageA)(main_, message, WPARAM(dc), LPARAM(Control(n)));
    };
    auto sysBrush = [](int index) { return reinterpret_cast<LRESULT>(GetSysColorBrush(index)); };
    const COLORREF red = RGB(200, 10, 20), green = RGB(10, 160, 30), blue = RGB(0, 40, 220);
    const size_t entries = BrushCacheEntries();
    // A front colour alone: the text on the kind's own background colour; a read-only field asks as a label.
    SetGadgetColor(1, COLOR_FRONT, red);
    SetGadgetColor(0, COLOR_FRONT, red);
    EXPECT_TRUE(answer(WM_CTLCOLORSTATIC, 0) == sysBrush(COLOR_BTNFACE) && GetBkColor(dc) == GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(answer(WM_CTLCOLOREDIT, 1), sysBrush(COLOR_BTNHIGHLIGHT));
    EXPECT_TRUE(GetTextColor(dc) == red && GetBkColor(dc) == GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(answer(WM_CTLCOLORSTATIC, 1), sysBrush(COLOR_BTNHIGHLIGHT));
    EnableWindow(Control(1), FALSE);
    EXPECT_EQ(answer(WM_CTLCOLORSTATIC, 1), answer(WM_CTLCOLORSTATIC, 1, true));  // a disabled one
    // One back colour, one brush, deleted with the last gadget using it.
    SetGadgetColor(0, COLOR_BACK, green);
    SetGadgetColor(3, COLOR_BACK, green);
    const LRESULT brush = answer(WM_CTLCOLORSTATIC, 0);
    EXPECT_TRUE(answer(WM_CTLCOLOREDIT, 3) == brush && GetBkColor(dc) == green && BrushCacheEntries() == entries + 1);
    LOGBRUSH logBrush = {};
    EXPECT_TRUE(GetObjectA(HBRUSH(brush), sizeof logBrush, &logBrush) && logBrush.lbColor == green);
    SetGadgetColor(0, COLOR_BACK, CLR_INVALID);
    SetGadgetColor(0, COLOR_FRONT, CLR_INVALID);
    EXPECT_EQ(answer(WM_CTLCOLORSTATIC, 0), answer(WM_CTLCOLORSTATIC, 0, true));
    EXPECT_EQ(GetObjectType(HBRUSH(brush)), DWORD(OBJ_BRUSH));
    DestroyGadget(3);
    EXPECT_TRUE(GetObjectType(HBRUSH(brush)) == 0 && BrushCacheEntries() == entries);
    // With every GDI handle taken no brush can be made: no entry is kept, the gadget asks for the default colouring.
    std::vector<HBRUSH> taken;
    while (HBRUSH b = CreateSolidBrush(RGB(1, 2, 3))) taken.push_back(b);
    SetGadgetColor(0, COLOR_BACK, blue);
    const LRESULT answered = answer(WM_CTLCOLORSTATIC, 0), expected = answer(WM_CTLCOLORSTATIC, 0, true);
    const size_t entriesThen = BrushCacheEntries();
    for (HBRUSH b : taken) DeleteObject(b);
    EXPECT_TRUE(taken.size() > 1000 && entriesThen == entries && GetGadgetColor(0, COLOR_BACK) == blue);
    EXPECT_EQ(answered, expected);
    ReleaseDC(main_, dc);
}

// Real Tab and shift-Tab (from -1: the window): NextEvent delivers the key-down (256) itself, edit fields report
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
        std::vector<Event> expected(row.shift ? 2 : 1, {WM_KEYDOWN, 0, 0, 0, false});
        if (isEdit(row.from)) expected.push_back({13100, row.from, 0, 14001});
        if (isEdit(row.to)) expected.push_back({13100, row.to, 0, 14000});
        expected.insert(expected.end(), row.shift ? 2 : 1, {WM_KEYUP, 0, 0, 0, false});
        EXPECT_EQ(PressTab(row.shift), expected) << row.from << (row.shift ? " back" : " on");
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
bool SizingActive() { return TheSizingState()->active; }
POINT CursorPos() { POINT at = {-1, -1}; GetCursorPos(&at); return at; }
HCURSOR Shape(WORD id) { return HCURSOR(LoadImageA(nullptr, MAKEINTRESOURCEA(id), IMAGE_CURSOR, 0, 0, LR_SHARED | 0x40)); }

// The sizing window (caption, sizing frame) back at its place and size, in front, full-window dragging on.
HWND SizingWindow() {
    if (!FindWindowRecord(3)) {
        HWND made = reinterpret_cast<HWND>(OpenToolkitWindow(3, 100, 100, 400, 300, "Sizing", 0xCC0000));
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
    ASSERT_TRUE(SizingActive() && GetCapture() == target) << "no live sizing started";
}
// The pointer at a screen point, as the mouse move that the capture brings.
void MoveTo(HWND target, POINT at) {
    ScreenToClient(target, &at);
    SendMessageA(target, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(at.x, at.y));
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
        EXPECT_TRUE(!SizingActive() && WindowRect(window) == row.expected) << row.edge;
        EXPECT_EQ(gFrames, (std::vector<UINT>{WM_ENTERSIZEMOVE, WM_EXITSIZEMOVE}));
    }
}

TEST(LiveSizing, ArrowKeysChooseAnEdgeThenStepIt) {
    HWND window = SizingWindow();
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
        SizingWindow();
        SetCursorPos(c.x, c.y);
        Start(window, row.edge);
        EXPECT_TRUE(row.edge || GetCursor() == Shape(32646));  // IDC_SIZEALL
        Key(window, row.key);
        EXPECT_TRUE(TheSizingState()->edge == row.chosen && CursorPos() == row.cursor && GetCursor() == Shape(row.shape));
        Key(window, row.key);
        EXPECT_EQ(WindowRect(window), row.stepped) << row.edge << " " << row.key;
        Key(window, VK_RETURN);
        // A sizing begun from the keyboard, with no mouse move, puts the pointer back where it was.
        EXPECT_TRUE(!SizingActive() && (row.edge || CursorPos() == c));
    }
}

TEST(LiveSizing, NoSizingWithoutTheCaptureOrFullWindowDragging) {
    HWND window = SizingWindow();
    // A thread that does not own the window gets no capture, so no sizing (its messages need our fetch).
    std::atomic<LRESULT> fromThread{1};
    std::thread other([&] { fromThread = LiveSizingHandler(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0); });
    PumpUntil([&] { return fromThread != 1; });
    other.join();
    EXPECT_TRUE(fromThread == NOT_HANDLED && !SizingActive());
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
