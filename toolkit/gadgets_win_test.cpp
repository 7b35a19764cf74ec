// Gadgets and keyboard navigation on real Win32 controls: creation and
// replacement, text through the temporary string buffer, focus events,
// colours and the shared brush cache, button state, and Tab / shift-Tab
// driven by real key input through NextEvent.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

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
    return out << "{" << s.code << ", " << s.gadget << ", " << s.window << ", " << s.type << "}";
}

void NoteFocusEvent(int32_t code, std::vector<Seen>* events) {
    EventState* state = TheEventState();
    if (code == EVENT_GADGET &&
        (state->currentType == EVENT_TYPE_FOCUS || state->currentType == EVENT_TYPE_LOST_FOCUS)) {
        events->push_back({code, state->currentGadget, state->currentWindow, state->currentType});
    }
}

// Delivers everything waiting; returns the gadget focus events among it.
std::vector<Seen> Drain() {
    std::vector<Seen> focusEvents;
    for (int i = 0; i < 2000; i++) {
        int32_t code = NextEvent(0);
        if (code == 0) break;
        NoteFocusEvent(code, &focusEvents);
    }
    return focusEvents;
}

// A real Tab (or shift-Tab) press, pumped through NextEvent until its last
// key-up has been delivered. Returns the focus events it produced; `arrived`
// tells whether the key-up was seen at all.
std::vector<Seen> PressTab(bool shift, bool* arrived = nullptr) {
    Drain();
    std::vector<Seen> focusEvents;
    PressKey(VK_TAB, shift);
    WPARAM last = shift ? VK_SHIFT : VK_TAB;
    bool seen = false;
    DWORD deadline = GetTickCount() + 3000;
    while (!seen && static_cast<LONG>(GetTickCount() - deadline) < 0) {
        int32_t code = NextEvent(50);
        NoteFocusEvent(code, &focusEvents);
        if (code == WM_KEYUP && TheEventState()->currentWParam == last) seen = true;
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

TEST_F(Gadgets, CreatedControlsCarryClassStyleNumberAndFont) {
    struct Case {
        intptr_t (*create)(GadgetNumber, int, int, int, int, const char*, uint32_t);
        uint32_t flags;
        const char* className;
        LONG_PTR style;
        LONG_PTR exStyle;
    } cases[] = {
        {CreateLabelGadget, 0, "Static", 0x50020000, 0},
        {CreateLabelGadget, 0x20000, "Static", 0x50020000, WS_EX_CLIENTEDGE},
        {CreateLabelGadget, SS_CENTER, "Static", 0x50020000 | SS_CENTER, 0},
        {CreateEditGadget, 0, "Edit", 0x50030080, WS_EX_CLIENTEDGE},
        {CreateEditGadget, 0x20000, "Edit", 0x50030080, 0},
        {CreateButtonGadget, 0, "Button", 0x50030000, 0},
        {CreateButtonGadget, 0x20000, "Button", 0x50030000, 0},
    };
    HFONT guiFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    GadgetNumber number = 20;
    for (const Case& c : cases) {
        SCOPED_TRACE(number);
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
        EXPECT_EQ(WindowText(control), "text");
        if (strcmp(c.className, "Edit") == 0) {  // a long paste is not cut at the default limit
            EXPECT_GT(SendMessageA(control, EM_GETLIMITTEXT, 0, 0), 1000000);
        }
        number++;
    }
}

TEST_F(Gadgets, CreatingUnderAUsedNumberReplacesTheGadget) {
    HWND old = Control(3);
    intptr_t result = CreateButtonGadget(3, 30, 100, 230, 30, "now a button");
    HWND fresh = Control(3);
    EXPECT_EQ(result, reinterpret_cast<intptr_t>(fresh));
    EXPECT_NE(fresh, old);
    EXPECT_FALSE(IsWindow(old));
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
    EXPECT_EQ(CreateEditGadget(3, 0, 0, 50, 20, "replacement"), 0);
    EXPECT_EQ(Control(3), old);
    EXPECT_TRUE(IsWindow(old));
    EXPECT_EQ(ReadText(3), "keep me");
    SelectGadgetWindow(main_);
}

TEST_F(Gadgets, ReadGadgetTextWritesAtThePositionGiven) {
    size_t base = TempEnd();
    std::memcpy(TempReserve(5, base), "ABCDE", 5);  // the caller's own text first
    size_t position = base + 5;

    size_t end = ReadGadgetText(1, position);
    EXPECT_EQ(end, position + 16);
    EXPECT_EQ(TempEnd(), position + 16);
    const char* data = StrArg(TempSpan(base, end)).Ptr();
    EXPECT_EQ(std::string(data, 5), "ABCDE");
    EXPECT_EQ(std::string(data + 5, 16), kSample);
    EXPECT_EQ(data[21], '\0');

    // An empty field: only the terminating zero, the end unchanged.
    EXPECT_EQ(ReadGadgetText(3, position), position);
    data = StrArg(TempSpan(base, position)).Ptr();
    EXPECT_EQ(data[5], '\0');
    EXPECT_EQ(std::string(data, 5), "ABCDE");

    // No gadget: 0, nothing written, the end kept.
    std::memcpy(TempReserve(3, position), "xyz", 3);
    EXPECT_EQ(ReadGadgetText(42, position), 0u);
    EXPECT_EQ(TempEnd(), position + 3);
    data = StrArg(TempSpan(base, position + 3)).Ptr();
    EXPECT_EQ(std::string(data, 8), "ABCDExyz");
    TempSetEnd(base);

    WriteGadgetText(1, nullptr);
    EXPECT_EQ(ReadText(1), "");
    EXPECT_EQ(WindowText(Control(1)), "");
}

TEST_F(Gadgets, TabFromFieldOneToFieldThreeQueuesLostThenGainedFocus) {
    SetFocus(Control(1));
    Drain();
    bool arrived = false;
    std::vector<Seen> events = PressTab(false, &arrived);
    ASSERT_TRUE(arrived);
    EXPECT_EQ(FocusedGadget(), 3);
    std::vector<Seen> expected = {{EVENT_GADGET, 1, 0, EVENT_TYPE_LOST_FOCUS}, {EVENT_GADGET, 3, 0, EVENT_TYPE_FOCUS}};
    EXPECT_EQ(events, expected);
}

TEST_F(Gadgets, ColourMessagesAnswerWithTheGadgetsColours) {
    // A label without colours gets the default colouring.
    HDC dc = GetDC(main_);
    WPARAM dcArg = reinterpret_cast<WPARAM>(dc);
    LPARAM label = reinterpret_cast<LPARAM>(Control(0));
    EXPECT_EQ(SendMessageA(main_, WM_CTLCOLORSTATIC, dcArg, label), DefWindowProcA(main_, WM_CTLCOLORSTATIC, dcArg, label));

    // An edit field with only a front colour paints on the button highlight.
    const COLORREF red = RGB(200, 10, 20);
    SetGadgetColor(1, COLOR_FRONT, red);
    EXPECT_EQ(GetGadgetColor(1, COLOR_BACK), kNone);
    LRESULT result = SendMessageA(main_, WM_CTLCOLOREDIT, dcArg, reinterpret_cast<LPARAM>(Control(1)));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(result), GetSysColorBrush(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(GetTextColor(dc), red);
    EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_BTNHIGHLIGHT));

    // A back colour answers with the record's brush.
    const COLORREF blue = RGB(0, 40, 220);
    SetGadgetColor(0, COLOR_BACK, blue);
    HBRUSH brush = FindGadgetRecord(0)->backBrush;
    LOGBRUSH logBrush = {};
    ASSERT_EQ(GetObjectA(brush, sizeof logBrush, &logBrush), static_cast<int>(sizeof logBrush));
    EXPECT_EQ(logBrush.lbColor, blue);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(SendMessageA(main_, WM_CTLCOLORSTATIC, dcArg, label)), brush);
    EXPECT_EQ(GetBkColor(dc), blue);
    ReleaseDC(main_, dc);
}

TEST_F(Gadgets, GadgetsWithOneBackColourShareOneBrush) {
    const COLORREF green = RGB(10, 160, 30);
    size_t before = BrushCacheEntries();
    SetGadgetColor(0, COLOR_BACK, green);
    SetGadgetColor(3, COLOR_BACK, green);
    EXPECT_EQ(BrushCacheEntries(), before + 1);
    HBRUSH brush = FindGadgetRecord(0)->backBrush;
    EXPECT_EQ(FindGadgetRecord(3)->backBrush, brush);
    DestroyGadget(0);
    EXPECT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
    DestroyGadget(3);
    EXPECT_EQ(GetObjectType(brush), 0u);
    EXPECT_EQ(BrushCacheEntries(), before);
}

TEST_F(Gadgets, ButtonStateIsTheCheckMark) {
    CreateButtonGadget(50, 300, 220, 120, 20, "check", BS_AUTOCHECKBOX);
    HWND box = Control(50);
    EXPECT_EQ(GetGadgetState(50), 0);
    SetGadgetState(50, 1);
    EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(GetGadgetState(50), 1);
    SetGadgetState(50, 0);
    EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    SendMessageA(box, BM_CLICK, 0, 0);  // the user's click toggles it
    EXPECT_EQ(GetGadgetState(50), 1);
}

TEST_F(Gadgets, ClosingTheWindowEmptiesTheTable) {
    CreateEditGadget(60, 300, 40, 100, 20, "grown");  // beyond the first 50 slots
    CloseToolkitWindow(0);
    StartObjectWalk(GadgetTable());
    GadgetNumber number = 0;
    EXPECT_EQ(NextObject(GadgetTable(), &number), nullptr);
    EXPECT_EQ(FindObject(GadgetTable(), 60), nullptr);
}

// Labels (0, 2, 4) are never stops; disabled or hidden controls are skipped.
TEST_F(Gadgets, TabCyclesThroughEligibleFieldsAndButtons) {
    struct Step {
        bool shift;
        intptr_t expected;
    };
    auto Walk = [&](GadgetNumber from, std::vector<Step> steps) {
        SetFocus(Control(from));
        for (const Step& step : steps) {
            PressTab(step.shift);
            EXPECT_EQ(FocusedGadget(), step.expected) << "from " << from << (step.shift ? " back" : "");
        }
    };
    Walk(1, {{false, 3}, {false, 5}, {false, 6}, {false, 7}, {false, 1},
             {true, 7}, {true, 6}, {true, 5}, {true, 3}, {true, 1}});
    EnableWindow(Control(3), FALSE);
    Walk(1, {{false, 5}, {true, 1}});
    EnableWindow(Control(3), TRUE);
    ShowWindow(Control(5), SW_HIDE);
    Walk(3, {{false, 6}, {true, 3}});
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
    PressTab(true);  // shift-Tab moves on even from a writable one
    EXPECT_EQ(FocusedGadget(), 7);

    SendMessageA(rich, EM_SETOPTIONS, ECOOP_OR, ECO_READONLY);
    SetFocus(rich);
    PressTab(false);
    EXPECT_EQ(FocusedGadget(), 1);
    EXPECT_EQ(WindowText(rich), "\t");
    DestroyWindow(rich);
}

}  // namespace

int main(int argc, char** argv) {
    StartWatchdog(90000, "gadgets_win_tests");  // a hang must fail the run
    StartTestRuntime();
    ToolkitInit();
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    ToolkitEnd();
    return result;
}
