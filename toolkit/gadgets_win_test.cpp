// Gadgets and keyboard navigation on real Win32 controls.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "toolkit/gadgets.h"
#include "toolkit/win_test_support.h"

namespace {

const COLORREF kNone = static_cast<COLORREF>(-1);

HWND Control(GadgetNumber number) { return FindGadgetRecord(number) ? FindGadgetRecord(number)->control : nullptr; }
std::string ReadText(GadgetNumber number) {
    const size_t start = TempEnd(), end = ReadGadgetText(number, start);
    std::string text = FindGadgetRecord(number) ? std::string(StrArg(TempSpan(start, end)).Ptr(), end - start) : "<none>";
    TempSetEnd(start);
    return text;
}

// A real Tab (or shift-Tab) through NextEvent, until its last key-up has been
// delivered. Returns the gadget events and the (raw) key-down and key-up.
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

// Window 0 laid out like the converter's main window, kept open from test
// to test; its gadgets are made anew for every test.
class Gadgets : public testing::Test {
protected:
    void SetUp() override {
        if (!FindWindowRecord(0)) OpenToolkitWindow(0, 287, 33, 600, 300, "SMS", 0xCC0000);
        SelectGadgetWindow(main_ = FindWindowRecord(0)->window);
        StartObjectWalk(GadgetTable());
        for (GadgetNumber number; NextObject(GadgetTable(), &number);) DestroyGadget(number);
        CreateLabelGadget(0, 30, 20, 60, 20, "SMS Text");
        CreateEditGadget(1, 30, 40, 230, 30, "Hallo, ich bins!");
        CreateEditGadget(3, 30, 100, 230, 30, "");
        CreateEditGadget(5, 30, 160, 230, 30, nullptr);
        CreateButtonGadget(6, 290, 100, 160, 30, "Text to PDU");
        CreateButtonGadget(7, 290, 160, 160, 30, "PDU to Text");
        SetForegroundWindow(main_);
        SetFocus(main_);
        Drain();
        ASSERT_EQ(GetActiveWindow(), main_);
    }
    void TearDown() override {
        CloseToolkitWindow(1);
        Drain();
    }
    HWND main_ = nullptr;
};

TEST_F(Gadgets, CreatedControlsCarryClassStyleNumberFontAndText) {
    using Create = intptr_t (*)(GadgetNumber, int, int, int, int, const char*, uint32_t);
    const struct { Create create; uint32_t flags; const char* className; LONG_PTR style, exStyle; bool any; } rows[] = {
        {CreateLabelGadget, 0, "Static", 0x50020000, 0, false},
        {CreateLabelGadget, 0x20000, "Static", 0x50020000, WS_EX_CLIENTEDGE, true},
        {CreateLabelGadget, SS_CENTER, "Static", 0x50020000 | SS_CENTER, 0, false},
        {CreateEditGadget, 0, "Edit", 0x50030080, WS_EX_CLIENTEDGE, true},
        {CreateEditGadget, 0x20000, "Edit", 0x50030080, 0, false},
        {CreateButtonGadget, 0, "Button", 0x50030000, 0, true},
        {CreateButtonGadget, BS_CHECKBOX | 0x20000, "Button", 0x50030000 | BS_CHECKBOX, 0, false},
        {CreateButtonGadget, 0, "Button", 0x50030000, 0, false},  // replaces the gadget before
    };
    const size_t blocks = HeapUsageOf(ProgramHeap()).blocks;
    std::vector<GadgetNumber> chosen;  // label, edit field, button
    GadgetNumber fixed = 20;
    for (const auto& row : rows) {
        HWND old = Control(fixed);
        const intptr_t result = row.create(row.any ? ANY_NUMBER : fixed, 11, 12, 130, 24, "text", row.flags);
        const GadgetNumber number = row.any ? result : fixed++;
        SCOPED_TRACE(number);
        HWND control = Control(number);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(result, row.any ? number : intptr_t(control));
        EXPECT_TRUE(row.any ? number < 0 || size_t(number) >= GadgetTable()->capacity : !IsWindow(old));
        char className[32] = {};
        GetClassNameA(control, className, sizeof className);
        EXPECT_TRUE(!strcmp(className, row.className) && GetParent(control) == main_) << className;
        EXPECT_EQ(GetWindowLongPtrA(control, GWL_STYLE), row.style);
        EXPECT_EQ(GetWindowLongPtrA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, row.exStyle);
        EXPECT_TRUE(GetWindowLongPtrA(control, GWLP_ID) == number && intptr_t(GetPropA(control, "QV_ID")) == number);
        EXPECT_EQ(HGDIOBJ(SendMessageA(control, WM_GETFONT, 0, 0)), GetStockObject(DEFAULT_GUI_FONT));
        EXPECT_EQ(ReadText(number), "text");
        EXPECT_TRUE(strcmp(row.className, "Edit") || SendMessageA(control, EM_GETLIMITTEXT, 0, 0) > 1000000);
        if (row.any) chosen.push_back(number);
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
    EXPECT_EQ(HeapUsageOf(ProgramHeap()).blocks, blocks);
}

TEST_F(Gadgets, SelectGadgetWindowSwitchesTheTarget) {
    HWND other = reinterpret_cast<HWND>(OpenToolkitWindow(1, 650, 40, 200, 120, "other", 0));
    EXPECT_EQ(SelectGadgetWindow(nullptr), other);  // asks only
    CreateLabelGadget(30, 5, 5, 50, 20, "");
    EXPECT_EQ(SelectGadgetWindow(main_), other);
    CreateLabelGadget(31, 5, 5, 50, 20, "");
    EXPECT_EQ(SelectGadgetWindow(other), main_);
    OpenToolkitWindow(2, 650, 200, 100, 50, "", OPEN_NO_GADGET_TARGET | OPEN_HIDDEN);
    CreateLabelGadget(32, 5, 30, 50, 20, "");
    CloseToolkitWindow(2);
    EXPECT_TRUE(GetParent(Control(30)) == other && GetParent(Control(31)) == main_ && GetParent(Control(32)) == other);
    // The target goes with its window: a creation then fails and leaves the
    // gadget of that number as it was.
    HWND old = Control(3);
    CloseToolkitWindow(1);
    EXPECT_TRUE(!FindGadgetRecord(30) && !FindGadgetRecord(32) && FindGadgetRecord(31));
    EXPECT_EQ(SelectGadgetWindow(nullptr), nullptr);
    EXPECT_EQ(CreateEditGadget(3, 0, 0, 50, 20, "replacement"), 0);
    EXPECT_TRUE(Control(3) == old && ReadText(3) == "");
}

TEST_F(Gadgets, ColoursAndTheSharedBrushes) {
    HDC dc = GetDC(main_);
    auto answer = [&](UINT message, GadgetNumber n, bool byDefault = false) {
        const WPARAM w = reinterpret_cast<WPARAM>(dc);
        const LPARAM l = reinterpret_cast<LPARAM>(Control(n));
        return byDefault ? DefWindowProcA(main_, message, w, l) : SendMessageA(main_, message, w, l);
    };
    auto sysBrush = [](int index) { return reinterpret_cast<LRESULT>(GetSysColorBrush(index)); };
    const COLORREF red = RGB(200, 10, 20), green = RGB(10, 160, 30), blue = RGB(0, 40, 220);
    const size_t entries = BrushCacheEntries();
    EXPECT_EQ(answer(WM_CTLCOLORSTATIC, 0), answer(WM_CTLCOLORSTATIC, 0, true));
    // A front colour alone: the text on the kind's own background colour.
    SetGadgetColor(1, COLOR_FRONT, red);
    SetGadgetColor(0, COLOR_FRONT, red);
    EXPECT_EQ(answer(WM_CTLCOLOREDIT, 1), sysBrush(COLOR_BTNHIGHLIGHT));
    EXPECT_TRUE(GetTextColor(dc) == red && GetBkColor(dc) == GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(answer(WM_CTLCOLORSTATIC, 0), sysBrush(COLOR_BTNFACE));
    EXPECT_EQ(answer(WM_CTLCOLORSTATIC, 1), sysBrush(COLOR_BTNHIGHLIGHT));  // a read-only field
    EnableWindow(Control(1), FALSE);
    EXPECT_EQ(answer(WM_CTLCOLORSTATIC, 1), answer(WM_CTLCOLORSTATIC, 1, true));  // a disabled one
    // One back colour, one brush, deleted with the last gadget using it.
    SetGadgetColor(0, COLOR_BACK, green);
    SetGadgetColor(3, COLOR_BACK, green);
    const HBRUSH brush = FindGadgetRecord(0)->backBrush;
    EXPECT_TRUE(FindGadgetRecord(3)->backBrush == brush && BrushCacheEntries() == entries + 1);
    LOGBRUSH logBrush = {};
    EXPECT_TRUE(GetObjectA(brush, sizeof logBrush, &logBrush) && logBrush.lbColor == green);
    EXPECT_TRUE(answer(WM_CTLCOLORSTATIC, 0) == reinterpret_cast<LRESULT>(brush) && GetBkColor(dc) == green);
    SetGadgetColor(0, COLOR_BACK, kNone);
    SetGadgetColor(0, COLOR_FRONT, kNone);
    EXPECT_EQ(answer(WM_CTLCOLORSTATIC, 0), answer(WM_CTLCOLORSTATIC, 0, true));
    EXPECT_EQ(GetObjectType(brush), DWORD(OBJ_BRUSH));
    DestroyGadget(3);
    EXPECT_TRUE(GetObjectType(brush) == 0 && BrushCacheEntries() == entries);
    // With every GDI handle taken no brush can be made: no entry is kept and
    // the gadget asks for the default colouring.
    std::vector<HBRUSH> taken;
    while (HBRUSH b = CreateSolidBrush(RGB(1, 2, 3))) taken.push_back(b);
    SetGadgetColor(0, COLOR_BACK, blue);
    const LRESULT answered = answer(WM_CTLCOLORSTATIC, 0), expected = answer(WM_CTLCOLORSTATIC, 0, true);
    const size_t entriesThen = BrushCacheEntries();
    for (HBRUSH b : taken) DeleteObject(b);
    EXPECT_TRUE(taken.size() > 1000 && entriesThen == entries && GetGadgetColor(0, COLOR_BACK) == blue);
    EXPECT_EQ(answered, expected) << "an answer without a brush";
    SetGadgetColor(0, COLOR_BACK, kNone);
    ReleaseDC(main_, dc);
}

// Real Tab and shift-Tab: NextEvent delivers the key-down (256) itself, and
// the edit fields report losing and gaining the focus. The label (0) is
// never reached; a disabled or hidden field is skipped.
TEST_F(Gadgets, TabOrder) {
    const GadgetNumber kWindow = -1;
    const struct { GadgetNumber from; bool shift; GadgetNumber to, disabled = 0, hidden = 0; } rows[] = {
        {1, false, 3}, {3, false, 5}, {5, false, 6}, {6, false, 7}, {7, false, 1},
        {1, true, 7}, {7, true, 6}, {6, true, 5}, {5, true, 3}, {3, true, 1},
        {kWindow, false, 1}, {kWindow, true, 7},
        {1, false, 5, 3}, {5, true, 1, 3}, {3, false, 6, 0, 5}, {6, true, 3, 0, 5},
    };
    auto isEdit = [](GadgetNumber g) { return g == 1 || g == 3 || g == 5; };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.from << (row.shift ? " back" : " on"));
        if (row.disabled) EnableWindow(Control(row.disabled), FALSE);
        if (row.hidden) ShowWindow(Control(row.hidden), SW_HIDE);
        SetFocus(row.from == kWindow ? main_ : Control(row.from));
        std::vector<Event> expected(row.shift ? 2 : 1, {WM_KEYDOWN, 0, 0, 0, false});
        if (isEdit(row.from)) expected.push_back({13100, row.from, 0, 14001});
        if (isEdit(row.to)) expected.push_back({13100, row.to, 0, 14000});
        expected.insert(expected.end(), row.shift ? 2 : 1, {WM_KEYUP, 0, 0, 0, false});
        EXPECT_EQ(PressTab(row.shift), expected);
        EXPECT_EQ(GetFocus(), Control(row.to));
        if (row.disabled) EnableWindow(Control(row.disabled), TRUE);
        if (row.hidden) ShowWindow(Control(row.hidden), SW_SHOW);
    }
}

}  // namespace
