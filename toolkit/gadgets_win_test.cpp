// Gadgets and keyboard navigation on real Win32 controls: creation and
// replacement, text through the temporary string buffer, focus events,
// colours and the shared brush cache, button state, and Tab / shift-Tab
// driven by real key input through NextEvent.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "toolkit/events.h"
#include "toolkit/focus.h"
#include "toolkit/gadgets.h"
#include "toolkit/toolkit.h"
#include "toolkit/win_test_support.h"
#include "toolkit/window.h"
#include "toolkit/window_proc.h"

namespace {

const COLORREF kNone = static_cast<COLORREF>(-1);
const char kSample[] = "Hallo, ich bins!";

// --- Helpers -------------------------------------------------------------------

HWND Control(GadgetNumber number) {
    GadgetRecord* record = FindGadgetRecord(number);
    return record ? record->control : nullptr;
}

// The gadget's text as ReadGadgetText leaves it in the temporary buffer; the
// buffer's end is put back afterwards.
std::string ReadText(GadgetNumber number) {
    size_t start = TempEnd();
    size_t end = ReadGadgetText(number, start);
    if (!FindGadgetRecord(number)) return end == 0 ? "<no gadget>" : "<no gadget, yet a result>";
    std::string text(StrArg(TempSpan(start, end)).Ptr(), end - start);
    TempSetEnd(start);
    return text;
}

std::string WindowText(HWND window) {
    char buffer[256] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

struct Seen {
    int32_t code;
    intptr_t gadget;
    intptr_t window;
    int32_t type;
    bool operator==(const Seen& o) const {
        return code == o.code && gadget == o.gadget && window == o.window && type == o.type;
    }
};

std::ostream& operator<<(std::ostream& out, const Seen& s) {
    return out << "{" << s.code << ", gadget " << s.gadget << ", window " << s.window << ", type " << s.type << "}";
}

// Delivers everything waiting; returns the gadget focus events among it.
std::vector<Seen> Drain() {
    std::vector<Seen> focusEvents;
    for (int i = 0; i < 2000; i++) {
        int32_t code = NextEvent(0);
        if (code == 0) break;
        EventState* state = TheEventState();
        if (code == EVENT_GADGET &&
            (state->currentType == EVENT_TYPE_FOCUS || state->currentType == EVENT_TYPE_LOST_FOCUS)) {
            focusEvents.push_back({code, state->currentGadget, state->currentWindow, state->currentType});
        }
    }
    return focusEvents;
}

// A real Tab (or shift-Tab) press, pumped through NextEvent until its last
// key-up has been delivered. Returns the focus events it produced; `arrived`
// tells whether the key-up was seen at all.
std::vector<Seen> PressTab(bool shift, bool* arrived = nullptr) {
    std::vector<Seen> focusEvents = Drain();
    focusEvents.clear();
    PressKey(VK_TAB, shift);
    WPARAM last = shift ? VK_SHIFT : VK_TAB;
    bool seen = false;
    DWORD deadline = GetTickCount() + 3000;
    while (!seen && static_cast<LONG>(GetTickCount() - deadline) < 0) {
        int32_t code = NextEvent(50);
        EventState* state = TheEventState();
        if (code == EVENT_GADGET &&
            (state->currentType == EVENT_TYPE_FOCUS || state->currentType == EVENT_TYPE_LOST_FOCUS)) {
            focusEvents.push_back({code, state->currentGadget, state->currentWindow, state->currentType});
        }
        if (code == WM_KEYUP && state->currentWParam == last) seen = true;
    }
    std::vector<Seen> rest = Drain();
    focusEvents.insert(focusEvents.end(), rest.begin(), rest.end());
    if (arrived) *arrived = seen;
    return focusEvents;
}

// The gadget number of the focused control, -100 for a focused window that
// is no gadget, -200 for no focus at all.
intptr_t FocusedGadget() {
    HWND focus = GetFocus();
    if (!focus) return -200;
    if (!GetPropA(focus, "QV_ID")) return -100;
    return GetWindowLongPtrA(focus, GWLP_ID);
}

BOOL CALLBACK CountOne(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int CountChildren(HWND window) {
    int count = 0;
    EnumChildWindows(window, CountOne, reinterpret_cast<LPARAM>(&count));
    return count;
}

// Window 0 laid out like the converter's main window. The window is kept
// open from test to test (closing a visible window costs Wine seconds
// without a window manager); its gadgets are made anew for every test.
HWND OpenMainLayout() {
    WindowRecord* open = FindWindowRecord(0);
    HWND window = open ? open->window : nullptr;
    if (!window) {
        window = reinterpret_cast<HWND>(OpenToolkitWindow(0, 287, 33, 600, 300, "SMS (Korvanel)", 0xCC0000));
        if (!window) return nullptr;
    }
    SelectGadgetWindow(window);
    StartObjectWalk(GadgetTable());
    GadgetNumber number = 0;
    while (NextObject(GadgetTable(), &number)) DestroyGadget(number);
    CreateLabelGadget(0, 30, 20, 60, 20, "SMS Text");
    CreateEditGadget(1, 30, 40, 230, 30, kSample);
    CreateLabelGadget(2, 30, 80, 60, 20, "Text to PDU");
    CreateEditGadget(3, 30, 100, 230, 30, "");
    CreateLabelGadget(4, 30, 140, 60, 20, "PDU to Text");
    CreateEditGadget(5, 30, 160, 230, 30, nullptr);
    CreateButtonGadget(6, 290, 100, 160, 30, "Text to PDU");
    CreateButtonGadget(7, 290, 160, 160, 30, "PDU to Text");
    SetForegroundWindow(window);
    SetFocus(window);
    Drain();
    return window;
}

class Gadgets : public testing::Test {
protected:
    void SetUp() override {
        main_ = OpenMainLayout();
        ASSERT_NE(main_, nullptr);
        ASSERT_EQ(GetActiveWindow(), main_);
    }
    void TearDown() override {
        CloseToolkitWindow(1);
        Drain();
    }
    HWND main_ = nullptr;
};

// --- Creation ------------------------------------------------------------------

TEST_F(Gadgets, CreatedControlsCarryClassStyleNumberAndFont) {
    struct Case {
        const char* what;
        intptr_t (*create)(GadgetNumber, int, int, int, int, const char*, uint32_t);
        uint32_t flags;
        const char* className;
        LONG_PTR style;
        LONG_PTR exStyle;
    } cases[] = {
        {"label", CreateLabelGadget, 0, "Static", 0x50020000, 0},
        {"label, border switch", CreateLabelGadget, 0x20000, "Static", 0x50020000, WS_EX_CLIENTEDGE},
        {"label, centred", CreateLabelGadget, SS_CENTER, "Static", 0x50020000 | SS_CENTER, 0},
        {"edit", CreateEditGadget, 0, "Edit", 0x50030080, WS_EX_CLIENTEDGE},
        {"edit, border switch", CreateEditGadget, 0x20000, "Edit", 0x50030080, 0},
        {"button", CreateButtonGadget, 0, "Button", 0x50030000, 0},
        {"button, border switch", CreateButtonGadget, 0x20000, "Button", 0x50030000, 0},
    };
    HFONT guiFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    GadgetNumber number = 20;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        intptr_t result = c.create(number, 11, 12, 130, 24, "text", c.flags);
        HWND control = Control(number);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(result, reinterpret_cast<intptr_t>(control));
        char className[32] = {};
        GetClassNameA(control, className, sizeof className);
        EXPECT_STREQ(className, c.className);
        EXPECT_EQ(GetWindowLongPtrA(control, GWL_STYLE), c.style);
        EXPECT_EQ(GetWindowLongPtrA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, c.exStyle);
        EXPECT_EQ(GetWindowLongPtrA(control, GWLP_ID), number);
        EXPECT_EQ(reinterpret_cast<intptr_t>(GetPropA(control, "QV_ID")), number);
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)), guiFont);
        EXPECT_EQ(GetParent(control), main_);
        RECT rect;
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_EQ(rect.left, 11);
        EXPECT_EQ(rect.top, 12);
        EXPECT_EQ(rect.right - rect.left, 130);
        EXPECT_EQ(WindowText(control), "text");
        EXPECT_TRUE(IsWindowVisible(control));
        number++;
    }
    // The main layout's gadgets too, with the font on every one.
    for (GadgetNumber n = 0; n <= 7; n++) {
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(Control(n), WM_GETFONT, 0, 0)), guiFont) << n;
    }
    EXPECT_EQ(ReadText(5), "");  // a null text is the empty text
}

TEST_F(Gadgets, AnyNumberGadgetIsNamedByItsIdentity) {
    intptr_t a = CreateEditGadget(ANY_NUMBER, 300, 20, 100, 20, "first");
    intptr_t b = CreateEditGadget(ANY_NUMBER, 300, 50, 100, 20, "second");
    ASSERT_NE(a, 0);
    ASSERT_NE(b, 0);
    EXPECT_NE(a, b);
    HWND control = Control(a);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(GetWindowLongPtrA(control, GWLP_ID), a);
    EXPECT_EQ(reinterpret_cast<intptr_t>(GetPropA(control, "QV_ID")), a);
    EXPECT_EQ(ReadText(a), "first");
    EXPECT_EQ(ReadText(b), "second");

    // Its focus events carry the identity as gadget number.
    SetFocus(control);
    std::vector<Seen> events = Drain();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), (Seen{EVENT_GADGET, a, 0, EVENT_TYPE_FOCUS}));

    DestroyGadget(a);
    EXPECT_FALSE(IsWindow(control));
    EXPECT_EQ(FindGadgetRecord(a), nullptr);
    EXPECT_EQ(ReadText(b), "second");
}

TEST_F(Gadgets, CreatingUnderAUsedNumberReplacesTheGadget) {
    HWND old = Control(3);
    WriteGadgetText(3, "old text");
    int children = CountChildren(main_);

    intptr_t result = CreateEditGadget(3, 30, 100, 230, 30, "new text");
    HWND fresh = Control(3);
    EXPECT_EQ(result, reinterpret_cast<intptr_t>(fresh));
    EXPECT_NE(fresh, old);
    EXPECT_FALSE(IsWindow(old));
    EXPECT_TRUE(IsWindowVisible(fresh));
    EXPECT_EQ(ReadText(3), "new text");
    EXPECT_EQ(CountChildren(main_), children);

    // Another kind under the same number.
    CreateButtonGadget(3, 30, 100, 230, 30, "now a button");
    EXPECT_FALSE(IsWindow(fresh));
    EXPECT_EQ(FindGadgetRecord(3)->kind->kindCode, KIND_BUTTON);
    EXPECT_EQ(ReadText(3), "now a button");
}

TEST_F(Gadgets, FailedCreationLeavesTheOldGadget) {
    WriteGadgetText(3, "keep me");
    HWND old = Control(3);
    // The second window becomes the target and then goes away, leaving no
    // window that a control could be created in.
    ASSERT_NE(OpenToolkitWindow(1, 100, 400, 200, 100, "second", OPEN_HIDDEN), 0);
    CloseToolkitWindow(1);
    EXPECT_EQ(SelectGadgetWindow(nullptr), nullptr);

    EXPECT_EQ(CreateEditGadget(3, 0, 0, 50, 20, "replacement"), 0);
    EXPECT_EQ(CreateLabelGadget(3, 0, 0, 50, 20, "replacement"), 0);
    EXPECT_EQ(CreateButtonGadget(3, 0, 0, 50, 20, "replacement"), 0);
    EXPECT_EQ(Control(3), old);
    EXPECT_TRUE(IsWindow(old));
    EXPECT_EQ(ReadText(3), "keep me");

    // Selecting the first window again restores it as the target.
    EXPECT_EQ(SelectGadgetWindow(main_), nullptr);
    EXPECT_EQ(SelectGadgetWindow(nullptr), main_);
    EXPECT_NE(CreateEditGadget(3, 30, 100, 230, 30, "replacement"), 0);
    EXPECT_EQ(ReadText(3), "replacement");
}

TEST_F(Gadgets, NumbersOutsideTheTableCreateNothing) {
    int children = CountChildren(main_);
    for (GadgetNumber bad : {static_cast<GadgetNumber>(-2), static_cast<GadgetNumber>(-5000),
                             static_cast<GadgetNumber>(0x1000000)}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(CreateEditGadget(bad, 0, 0, 50, 20, "x"), 0);
        EXPECT_EQ(CreateLabelGadget(bad, 0, 0, 50, 20, "x"), 0);
        EXPECT_EQ(CreateButtonGadget(bad, 0, 0, 50, 20, "x"), 0);
        EXPECT_EQ(ReadGadgetText(bad, TempEnd()), 0u);
        WriteGadgetText(bad, "x");
        DestroyGadget(bad);
        SetGadgetColor(bad, COLOR_BACK, RGB(1, 2, 3));
        EXPECT_EQ(GetGadgetColor(bad, COLOR_BACK), kNone);
        SetGadgetState(bad, 1);
        EXPECT_EQ(GetGadgetState(bad), 0);
    }
    EXPECT_EQ(CountChildren(main_), children);  // the made controls were destroyed again
    EXPECT_EQ(ReadText(1), kSample);
}

TEST_F(Gadgets, GadgetTargetFollowsTheSelectedWindow) {
    HWND second = reinterpret_cast<HWND>(OpenToolkitWindow(1, 100, 400, 200, 100, "second", OPEN_HIDDEN));
    ASSERT_NE(second, nullptr);
    char name[64];
    std::snprintf(name, sizeof name, "QV_GadgetStack_%lld",
                  static_cast<long long>(reinterpret_cast<intptr_t>(GetModuleHandleA(nullptr))));
    EXPECT_NE(GetPropA(main_, name), nullptr);
    EXPECT_NE(GetPropA(second, name), nullptr);

    CreateEditGadget(30, 5, 5, 100, 20, "in second");
    EXPECT_EQ(GetParent(Control(30)), second);
    EXPECT_EQ(SelectGadgetWindow(main_), second);
    CreateEditGadget(31, 300, 5, 100, 20, "in main");
    EXPECT_EQ(GetParent(Control(31)), main_);
    EXPECT_EQ(SelectGadgetWindow(second), main_);
    CreateEditGadget(32, 5, 40, 100, 20, "in second again");
    EXPECT_EQ(GetParent(Control(32)), second);

    // Gadget events name the window that owns the gadget.
    PostGadgetEvent(Control(30), EVENT_TYPE_LOST_FOCUS);
    PostGadgetEvent(Control(31), EVENT_TYPE_FOCUS);
    std::vector<Seen> expected = {{EVENT_GADGET, 30, 1, EVENT_TYPE_LOST_FOCUS}, {EVENT_GADGET, 31, 0, EVENT_TYPE_FOCUS}};
    EXPECT_EQ(Drain(), expected);

    // Closing the target window takes its gadgets and leaves no target.
    CloseToolkitWindow(1);
    EXPECT_EQ(FindGadgetRecord(30), nullptr);
    EXPECT_EQ(FindGadgetRecord(32), nullptr);
    EXPECT_NE(FindGadgetRecord(31), nullptr);
    EXPECT_EQ(SelectGadgetWindow(nullptr), nullptr);
    SelectGadgetWindow(main_);
}

TEST_F(Gadgets, GadgetInsideAContainerReportsItsToolkitWindow) {
    HWND box = CreateWindowExA(0, "Static", "", WS_CHILD | WS_VISIBLE, 300, 200, 250, 80, main_, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(SelectGadgetWindow(box), main_);
    CreateEditGadget(40, 5, 5, 100, 20, "inner");
    HWND inner = Control(40);
    EXPECT_EQ(GetParent(inner), box);
    EXPECT_EQ(FindOwnerWindow(inner), main_);
    SetFocus(inner);
    std::vector<Seen> events = Drain();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), (Seen{EVENT_GADGET, 40, 0, EVENT_TYPE_FOCUS}));
    SelectGadgetWindow(main_);
    DestroyWindow(box);
    EXPECT_EQ(FindGadgetRecord(40), nullptr);
}

// --- Text ----------------------------------------------------------------------

TEST_F(Gadgets, ReadGadgetTextWritesAtThePositionGiven) {
    size_t base = TempEnd();
    // Something of the caller's already in the buffer.
    char* prefix = TempReserve(5, base);
    std::memcpy(prefix, "ABCDE", 5);
    size_t position = base + 5;

    size_t end = ReadGadgetText(1, position);
    EXPECT_EQ(end, position + 16);
    EXPECT_EQ(TempEnd(), position + 16);
    const char* data = StrArg(TempSpan(base, end)).Ptr();
    EXPECT_EQ(std::string(data, 5), "ABCDE");
    EXPECT_EQ(std::string(data + 5, 16), kSample);
    EXPECT_EQ(data[21], '\0');

    // An empty field: only the terminating zero, the end unchanged.
    end = ReadGadgetText(3, position);
    EXPECT_EQ(end, position);
    data = StrArg(TempSpan(base, position)).Ptr();
    EXPECT_EQ(data[5], '\0');
    EXPECT_EQ(std::string(data, 5), "ABCDE");

    // No gadget: 0, nothing written, the end kept.
    char* place = TempReserve(3, position);
    std::memcpy(place, "xyz", 3);
    EXPECT_EQ(ReadGadgetText(42, position), 0u);
    EXPECT_EQ(TempEnd(), position + 3);
    data = StrArg(TempSpan(base, position + 3)).Ptr();
    EXPECT_EQ(std::string(data, 8), "ABCDExyz");
    TempSetEnd(base);
}

TEST_F(Gadgets, ReadGadgetTextGrowsTheBufferForLongText) {
    std::string longText(6000, 'q');
    for (size_t i = 0; i < longText.size(); i += 7) longText[i] = static_cast<char>('a' + i % 26);
    WriteGadgetText(5, longText.c_str());
    EXPECT_EQ(ReadText(5), longText);
    EXPECT_GT(TempCapacity(), 6000u);
    EXPECT_EQ(ReadText(0), "SMS Text");    // labels
    EXPECT_EQ(ReadText(6), "Text to PDU"); // buttons
}

TEST_F(Gadgets, WriteGadgetTextSetsAndEmpties) {
    WriteGadgetText(3, "4F2A");
    EXPECT_EQ(ReadText(3), "4F2A");
    EXPECT_EQ(WindowText(Control(3)), "4F2A");
    WriteGadgetText(3, nullptr);
    EXPECT_EQ(ReadText(3), "");
    WriteGadgetText(2, "Relabelled");
    EXPECT_EQ(WindowText(Control(2)), "Relabelled");
    WriteGadgetText(77, "nobody");  // no gadget: nothing happens
    EXPECT_EQ(FindGadgetRecord(77), nullptr);
}

TEST_F(Gadgets, DestroyGadgetEmptiesTheEntry) {
    HWND control = Control(5);
    DestroyGadget(5);
    EXPECT_FALSE(IsWindow(control));
    EXPECT_EQ(FindGadgetRecord(5), nullptr);
    EXPECT_EQ(FindObject(GadgetTable(), 5), nullptr);
    EXPECT_EQ(ReadGadgetText(5, TempEnd()), 0u);
    DestroyGadget(5);     // again: nothing
    DestroyGadget(-1);
    DestroyGadget(4000);
    EXPECT_EQ(ReadText(3), "");
}

TEST_F(Gadgets, ClosingTheWindowEmptiesTheTable) {
    intptr_t chosen = CreateLabelGadget(ANY_NUMBER, 300, 5, 100, 20, "chosen");
    ASSERT_NE(chosen, 0);
    CreateEditGadget(60, 300, 40, 100, 20, "grown");  // beyond the first 50 slots
    size_t brushes = BrushCacheEntries();
    SetGadgetColor(1, COLOR_BACK, RGB(12, 34, 56));
    EXPECT_EQ(BrushCacheEntries(), brushes + 1);

    CloseToolkitWindow(0);
    for (GadgetNumber n : {GadgetNumber(0), GadgetNumber(1), GadgetNumber(3), GadgetNumber(7),
                           GadgetNumber(60), chosen}) {
        EXPECT_EQ(FindObject(GadgetTable(), n), nullptr) << n;
    }
    StartObjectWalk(GadgetTable());
    GadgetNumber number = 0;
    EXPECT_EQ(NextObject(GadgetTable(), &number), nullptr);
    EXPECT_EQ(BrushCacheEntries(), brushes);
}

// --- Focus events ----------------------------------------------------------------

TEST_F(Gadgets, TabFromFieldOneToFieldThreeQueuesLostThenGainedFocus) {
    SetFocus(Control(1));
    Drain();
    ASSERT_EQ(FocusedGadget(), 1);
    bool arrived = false;
    std::vector<Seen> events = PressTab(false, &arrived);
    ASSERT_TRUE(arrived);
    EXPECT_EQ(FocusedGadget(), 3);
    std::vector<Seen> expected = {{EVENT_GADGET, 1, 0, EVENT_TYPE_LOST_FOCUS}, {EVENT_GADGET, 3, 0, EVENT_TYPE_FOCUS}};
    EXPECT_EQ(events, expected);
}

TEST_F(Gadgets, FocusEventsAreQueuedOutsideNextEvent) {
    SetFocus(Control(5));
    Drain();
    SetFocus(Control(3));   // not inside NextEvent: the events must still arrive
    SetFocus(Control(6));   // a button reports no focus events
    std::vector<Seen> expected = {{EVENT_GADGET, 5, 0, EVENT_TYPE_LOST_FOCUS},
                                  {EVENT_GADGET, 3, 0, EVENT_TYPE_FOCUS},
                                  {EVENT_GADGET, 3, 0, EVENT_TYPE_LOST_FOCUS}};
    EXPECT_EQ(Drain(), expected);
}

// --- Colours -------------------------------------------------------------------

TEST_F(Gadgets, LabelWithoutColourGetsDefaultColouring) {
    HDC dc = GetDC(Control(0));
    GadgetRecord* label = FindGadgetRecord(0);
    EXPECT_EQ(label->kind->OnParentMessage(label, main_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                           reinterpret_cast<LPARAM>(Control(0))),
              NOT_HANDLED);
    LRESULT viaWindow = SendMessageA(main_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(Control(0)));
    LRESULT byDefault = DefWindowProcA(main_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(Control(0)));
    EXPECT_EQ(viaWindow, byDefault);
    ReleaseDC(Control(0), dc);
}

TEST_F(Gadgets, EditWithFrontColourOnlyPaintsOnButtonHighlight) {
    const COLORREF red = RGB(200, 10, 20);
    SetGadgetColor(1, COLOR_FRONT, red);
    EXPECT_EQ(GetGadgetColor(1, COLOR_FRONT), red);
    EXPECT_EQ(GetGadgetColor(1, COLOR_BACK), kNone);
    HWND edit = Control(1);
    HDC dc = GetDC(edit);
    SetTextColor(dc, RGB(1, 1, 1));
    SetBkColor(dc, RGB(2, 2, 2));
    LRESULT result = SendMessageA(main_, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(result), GetSysColorBrush(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(GetTextColor(dc), red);
    EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_BTNHIGHLIGHT));
    ReleaseDC(edit, dc);
}

TEST_F(Gadgets, BackColourAnswersWithTheRecordsBrush) {
    const COLORREF blue = RGB(0, 40, 220);
    const COLORREF white = RGB(250, 250, 250);
    SetGadgetColor(0, COLOR_BACK, blue);
    SetGadgetColor(0, COLOR_FRONT, white);
    SetGadgetColor(1, COLOR_BACK, blue);
    GadgetRecord* label = FindGadgetRecord(0);
    ASSERT_NE(label->backBrush, nullptr);
    LOGBRUSH logBrush = {};
    ASSERT_EQ(GetObjectA(label->backBrush, sizeof logBrush, &logBrush), static_cast<int>(sizeof logBrush));
    EXPECT_EQ(logBrush.lbColor, blue);

    HDC dc = GetDC(main_);
    LRESULT result = SendMessageA(main_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                  reinterpret_cast<LPARAM>(Control(0)));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(result), label->backBrush);
    EXPECT_EQ(GetBkColor(dc), blue);
    EXPECT_EQ(GetTextColor(dc), white);

    // A label ignores the edit colour message; an edit field takes the static
    // one only while it is enabled.
    GadgetRecord* edit = FindGadgetRecord(1);
    EXPECT_EQ(label->kind->OnParentMessage(label, main_, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), 0),
              NOT_HANDLED);
    EXPECT_EQ(edit->kind->OnParentMessage(edit, main_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), 0),
              reinterpret_cast<LRESULT>(edit->backBrush));
    EnableWindow(edit->control, FALSE);
    EXPECT_EQ(edit->kind->OnParentMessage(edit, main_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), 0),
              NOT_HANDLED);
    EXPECT_EQ(edit->kind->OnParentMessage(edit, main_, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), 0),
              reinterpret_cast<LRESULT>(edit->backBrush));
    EXPECT_EQ(edit->kind->OnParentMessage(edit, main_, WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc), 0),
              NOT_HANDLED);
    ReleaseDC(main_, dc);

    // The label is really painted in its colour.
    HWND control = Control(0);
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC controlDc = GetDC(control);
    RECT rect;
    GetClientRect(control, &rect);
    COLORREF painted = GetPixel(controlDc, rect.right - 2, rect.bottom - 2);
    ReleaseDC(control, controlDc);
    EXPECT_EQ(painted, blue);

    // Buttons keep no colours; other `which` values read as none.
    SetGadgetColor(6, COLOR_BACK, blue);
    EXPECT_EQ(GetGadgetColor(6, COLOR_BACK), kNone);
    EXPECT_EQ(FindGadgetRecord(6)->backBrush, nullptr);
    EXPECT_EQ(GetGadgetColor(0, 3), kNone);
    SetGadgetColor(0, 3, RGB(9, 9, 9));
    EXPECT_EQ(GetGadgetColor(0, COLOR_BACK), blue);
    EXPECT_EQ(GetGadgetColor(0, COLOR_FRONT), white);
}

TEST_F(Gadgets, GadgetsWithOneBackColourShareOneBrush) {
    const COLORREF green = RGB(10, 160, 30);
    size_t before = BrushCacheEntries();
    SetGadgetColor(0, COLOR_BACK, green);
    SetGadgetColor(3, COLOR_BACK, green);
    EXPECT_EQ(BrushCacheEntries(), before + 1);
    HBRUSH brush = FindGadgetRecord(0)->backBrush;
    EXPECT_EQ(FindGadgetRecord(3)->backBrush, brush);
    EXPECT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));

    DestroyGadget(0);
    EXPECT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
    EXPECT_EQ(BrushCacheEntries(), before + 1);
    DestroyGadget(3);
    EXPECT_EQ(GetObjectType(brush), 0u);
    EXPECT_EQ(BrushCacheEntries(), before);

    // Changing the colour gives the old brush back; -1 holds none.
    SetGadgetColor(2, COLOR_BACK, green);
    HBRUSH first = FindGadgetRecord(2)->backBrush;
    SetGadgetColor(2, COLOR_BACK, RGB(1, 2, 3));
    EXPECT_EQ(GetObjectType(first), 0u);
    EXPECT_EQ(BrushCacheEntries(), before + 1);
    SetGadgetColor(2, COLOR_BACK, kNone);
    EXPECT_EQ(FindGadgetRecord(2)->backBrush, nullptr);
    EXPECT_EQ(GetGadgetColor(2, COLOR_BACK), kNone);
    EXPECT_EQ(BrushCacheEntries(), before);
}

TEST(BrushCache, CountsReferencesPerColour) {
    size_t before = BrushCacheEntries();
    HBRUSH a = AcquireColorBrush(RGB(7, 7, 7));
    HBRUSH b = AcquireColorBrush(RGB(7, 7, 7));
    HBRUSH c = AcquireColorBrush(RGB(8, 8, 8));
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    EXPECT_EQ(BrushCacheEntries(), before + 2);
    ReleaseColorBrush(nullptr);
    HBRUSH stranger = CreateSolidBrush(RGB(7, 7, 7));
    ReleaseColorBrush(stranger);  // not the cache's: untouched
    EXPECT_EQ(GetObjectType(stranger), static_cast<DWORD>(OBJ_BRUSH));
    DeleteObject(stranger);
    ReleaseColorBrush(a);
    EXPECT_EQ(GetObjectType(a), static_cast<DWORD>(OBJ_BRUSH));
    ReleaseColorBrush(b);
    EXPECT_EQ(GetObjectType(a), 0u);
    ReleaseColorBrush(c);
    EXPECT_EQ(BrushCacheEntries(), before);
}

// --- Button state ----------------------------------------------------------------

TEST_F(Gadgets, ButtonStateIsTheCheckMark) {
    CreateButtonGadget(50, 300, 220, 120, 20, "check", BS_AUTOCHECKBOX);
    HWND box = Control(50);
    EXPECT_EQ(GetGadgetState(50), 0);
    SetGadgetState(50, 1);
    EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(GetGadgetState(50), 1);
    SetGadgetState(50, 0);
    EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    SetGadgetState(50, 7);  // any non-zero value checks
    EXPECT_EQ(GetGadgetState(50), 1);
    SendMessageA(box, BM_CLICK, 0, 0);  // the user's click toggles it
    EXPECT_EQ(GetGadgetState(50), 0);

    // An indeterminate three-state box reads as not checked.
    CreateButtonGadget(51, 300, 245, 120, 20, "three", BS_AUTO3STATE);
    SendMessageA(Control(51), BM_SETCHECK, BST_INDETERMINATE, 0);
    EXPECT_EQ(GetGadgetState(51), 0);

    // Push buttons hold no check; labels and edit fields have no state.
    SetGadgetState(6, 1);
    EXPECT_EQ(GetGadgetState(6), 0);
    SetGadgetState(1, 1);
    EXPECT_EQ(GetGadgetState(1), 0);
    EXPECT_EQ(ReadText(1), kSample);
}

// --- Keyboard navigation -------------------------------------------------------

TEST_F(Gadgets, TabCyclesThroughFieldsAndButtons) {
    SetFocus(Control(1));
    std::vector<intptr_t> forward;
    for (int i = 0; i < 5; i++) {
        PressTab(false);
        forward.push_back(FocusedGadget());
    }
    EXPECT_EQ(forward, (std::vector<intptr_t>{3, 5, 6, 7, 1}));
    std::vector<intptr_t> backward;
    for (int i = 0; i < 5; i++) {
        PressTab(true);
        backward.push_back(FocusedGadget());
    }
    EXPECT_EQ(backward, (std::vector<intptr_t>{7, 6, 5, 3, 1}));
}

TEST_F(Gadgets, TabFromTheWindowItselfGoesToTheEnds) {
    SetFocus(main_);
    Drain();
    ASSERT_EQ(GetFocus(), main_);
    PressTab(false);
    EXPECT_EQ(FocusedGadget(), 1);
    SetFocus(main_);
    PressTab(true);
    EXPECT_EQ(FocusedGadget(), 7);
}

TEST_F(Gadgets, DisabledAndHiddenFieldsAreSkipped) {
    EnableWindow(Control(3), FALSE);
    SetFocus(Control(1));
    PressTab(false);
    EXPECT_EQ(FocusedGadget(), 5);
    PressTab(true);
    EXPECT_EQ(FocusedGadget(), 1);
    EnableWindow(Control(3), TRUE);

    ShowWindow(Control(5), SW_HIDE);
    SetFocus(Control(3));
    PressTab(false);
    EXPECT_EQ(FocusedGadget(), 6);
    PressTab(true);
    EXPECT_EQ(FocusedGadget(), 3);
}

TEST_F(Gadgets, NoEligibleControlLeavesTheFocus) {
    for (GadgetNumber n : {1, 3, 5, 6, 7}) EnableWindow(Control(n), FALSE);
    SetFocus(main_);
    PressTab(false);
    EXPECT_EQ(GetFocus(), main_);
    PressTab(true);
    EXPECT_EQ(GetFocus(), main_);
}

TEST_F(Gadgets, FocusComesBackAfterDeactivation) {
    HWND second = reinterpret_cast<HWND>(OpenToolkitWindow(1, 700, 400, 200, 100, "second", 0));
    ASSERT_NE(second, nullptr);
    CreateEditGadget(30, 5, 5, 100, 20, "other");
    SetForegroundWindow(main_);
    SetFocus(Control(3));
    Drain();
    ASSERT_EQ(FocusedGadget(), 3);

    SetForegroundWindow(second);
    Drain();
    EXPECT_EQ(GetActiveWindow(), second);
    SetFocus(Control(30));
    Drain();
    EXPECT_EQ(FocusedGadget(), 30);

    SetForegroundWindow(main_);
    Drain();
    EXPECT_EQ(GetActiveWindow(), main_);
    EXPECT_EQ(FocusedGadget(), 3);
}

TEST_F(Gadgets, AcceleratorsBelongToTheActiveToolkitWindow) {
    WindowRecord* record = FindWindowRecord(0);
    ASSERT_NE(record, nullptr);
    SetFocus(Control(1));
    EXPECT_EQ(PickAccelerators(main_), record->acceleratorTable);
    EXPECT_EQ(PickAccelerators(nullptr), nullptr);
    HWND plain = CreateWindowExA(0, "Static", "plain", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(PickAccelerators(plain), nullptr);  // not a toolkit window
    DestroyWindow(plain);
    SetPropA(Control(1), "QV_Hotkey", reinterpret_cast<HANDLE>(1));
    EXPECT_EQ(PickAccelerators(main_), nullptr);
    RemovePropA(Control(1), "QV_Hotkey");
}

TEST_F(Gadgets, HotkeyControlReceivesTabAsInput) {
    CreateEditGadget(40, 300, 220, 200, 60, "", ES_MULTILINE);
    HWND keys = Control(40);
    SetPropA(keys, "QV_Hotkey", reinterpret_cast<HANDLE>(1));
    SetFocus(keys);
    bool arrived = false;
    PressTab(false, &arrived);
    ASSERT_TRUE(arrived);
    EXPECT_EQ(FocusedGadget(), 40);
    PressTab(true);
    EXPECT_EQ(FocusedGadget(), 40);
    EXPECT_EQ(WindowText(keys), "\t\t");

    RemovePropA(keys, "QV_Hotkey");
    PressTab(false);
    EXPECT_EQ(FocusedGadget(), 1);  // the last control: wraps to the first
    EXPECT_EQ(WindowText(keys), "\t\t");
}

TEST_F(Gadgets, RichEditTakesTabUnlessReadOnly) {
    ASSERT_NE(LoadLibraryA("riched20.dll"), nullptr);
    HWND rich = CreateWindowExA(0, "RichEdit20A", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE,
                                300, 220, 200, 60, main_, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(rich, nullptr);
    SetFocus(rich);
    bool arrived = false;
    PressTab(false, &arrived);
    ASSERT_TRUE(arrived);
    EXPECT_EQ(GetFocus(), rich);
    EXPECT_EQ(WindowText(rich), "\t");

    // Shift-Tab moves on even from a writable one: to the control before it.
    PressTab(true);
    EXPECT_EQ(FocusedGadget(), 7);

    SendMessageA(rich, EM_SETOPTIONS, ECOOP_OR, ECO_READONLY);
    ASSERT_TRUE(SendMessageA(rich, EM_GETOPTIONS, 0, 0) & ECO_READONLY);
    SetFocus(rich);
    PressTab(false);
    EXPECT_EQ(FocusedGadget(), 1);  // wrapped past the end
    EXPECT_EQ(WindowText(rich), "\t");
    SetFocus(rich);
    PressTab(true);
    EXPECT_EQ(FocusedGadget(), 7);
    DestroyWindow(rich);
}

}  // namespace

int main(int argc, char** argv) {
    // A hang must fail the run, not block the suite.
    StartWatchdog(90000, "gadgets_win_tests");
    StartTestRuntime();
    ToolkitInit();
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    ToolkitEnd();
    return result;
}
