// End-to-end tests of sms-pdu.exe: starts the real program, finds its window
// by title and its gadgets by number, and drives it as a user would (mouse
// clicks and key presses through SendInput), checking what the user sees
// against the codec linked into this test. Every wait is bounded: a hung or
// crashed program fails the test and is killed.
//
//   e2e_win_test [PATH\sms-pdu.exe]   the tests (default: sms-pdu.exe next to
//                                     this program; a Unix path is taken as
//                                     being on Wine's Z: drive)
//   e2e_win_test --demo [PATH]        drives a running program once (starting
//                                     PATH when none runs): both conversions
//                                     of its text, printed; the window stays
//   e2e_win_test --close              asks the running program to close and
//                                     returns its exit code
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/e2e_support.h"

namespace {

std::string gExePath;

// --- Helpers ---------------------------------------------------------------

// Types letters, digits and spaces with real key presses.
bool TypeText(const char* text) {
    for (const char* c = text; *c; c++) {
        SHORT code = VkKeyScanA(*c);
        if (code == -1 || !PressKey(LOBYTE(code), (HIBYTE(code) & 1) != 0)) return false;
    }
    return true;
}

// Processor time of a Wine process, read from Linux's /proc (Wine's Z:
// drive): GetProcessTimes of another process answers only a small fraction
// of the real figure under Wine 8.
std::string ReadWholeFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "";
    std::string contents;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) contents.append(buffer, got);
    CloseHandle(file);
    return contents;
}

// The fields of /proc/PID/stat after the command name.
std::vector<std::string> StatFields(const std::string& stat) {
    std::vector<std::string> fields;
    size_t at = stat.rfind(')');
    if (at == std::string::npos) return fields;
    std::string field;
    for (size_t i = at + 2; i < stat.size(); i++) {
        if (stat[i] == ' ' || stat[i] == '\n') {
            if (!field.empty()) fields.push_back(field);
            field.clear();
        } else {
            field += stat[i];
        }
    }
    return fields;
}

// The Linux process of the newest sms-pdu.exe of this Wine prefix, or "".
std::string FindUnixProcess() {
    char prefix[MAX_PATH] = {};
    GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH);
    std::string wanted = std::string("WINEPREFIX=") + prefix + '\0';
    std::string best;
    unsigned long long newest = 0;
    WIN32_FIND_DATAA found;
    HANDLE walk = FindFirstFileA("Z:\\proc\\*", &found);
    if (walk == INVALID_HANDLE_VALUE) return "";
    do {
        std::string pid = found.cFileName;
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string stat = ReadWholeFile("Z:\\proc\\" + pid + "\\stat");
        if (stat.find("(sms-pdu.exe)") == std::string::npos) continue;
        if (prefix[0] && ReadWholeFile("Z:\\proc\\" + pid + "\\environ").find(wanted) == std::string::npos) continue;
        std::vector<std::string> fields = StatFields(stat);
        unsigned long long started = fields.size() > 19 ? strtoull(fields[19].c_str(), nullptr, 10) : 0;
        if (best.empty() || started >= newest) {
            best = pid;
            newest = started;
        }
    } while (FindNextFileA(walk, &found));
    FindClose(walk);
    return best;
}

// User plus system time in milliseconds; -1 when it cannot be read.
long long UnixCpuMs(const std::string& pid) {
    std::vector<std::string> fields = StatFields(ReadWholeFile("Z:\\proc\\" + pid + "\\stat"));
    if (pid.empty() || fields.size() < 13) return -1;
    // utime and stime, fields 14 and 15 of the line, in ticks of 1/100 s.
    return (strtoll(fields[11].c_str(), nullptr, 10) + strtoll(fields[12].c_str(), nullptr, 10)) * 10;
}

Program gApp;

// Presses `button` with a real click and waits until field `target` changes
// from a sentinel text; the field's new text. A click that converts nothing
// within the limit fails the test and ends the program, so the tests that
// follow skip instead of each waiting out its own limit.
std::string PressAndRead(int button, int target) {
    if (!gApp.Running()) return "<not running>";
    HWND out = gApp.Gadget(target);
    SetText(out, kSentinel);
    if (!Click(gApp.Gadget(button))) return "<SendInput failed>";
    if (!WaitFor([&] { return TextOf(out) != kSentinel; }, 30000)) {
        ADD_FAILURE() << "a click on gadget " << button << " changed nothing in 30 s; ending the program";
        gApp.Kill();
        return kSentinel;
    }
    return TextOf(out);   // whole: the program writes it in one step
}

std::string TextToPduByClick(const std::string& text) {
    SetText(gApp.Gadget(1), text);
    return PressAndRead(6, 3);
}

std::string PduToTextByClick(const std::string& hex) {
    SetText(gApp.Gadget(3), hex);
    return PressAndRead(7, 5);
}

// Lets whatever input is still queued reach the program.
void Settle() { gApp.Settle(200); }

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (gApp.Running()) return;
        if (gApp.process.hProcess) {
            DWORD code = 0;
            GetExitCodeProcess(gApp.process.hProcess, &code);
            FAIL() << "the program ended by itself with exit code " << code;
        }
        GTEST_SKIP() << "the program is not running (see the first failure)";
    }
};

// --- Tests, in order: the program is started once and closed at the end -----

TEST(Program, StartsAndShowsItsWindow) {
    ASSERT_TRUE(gApp.Start(gExePath)) << "could not start " << gExePath << " or find its window";
}

TEST_F(MainWindow, InitialTexts) {
    EXPECT_EQ(TextOf(gApp.Gadget(1)), "Hallo, ich bins!");
    EXPECT_EQ(TextOf(gApp.Gadget(3)), "");
    EXPECT_EQ(TextOf(gApp.Gadget(5)), "");
    EXPECT_EQ(TextOf(gApp.window), kTitle);
}

TEST_F(MainWindow, WindowGeometryAndStyle) {
    RECT outer, client;
    ASSERT_TRUE(GetWindowRect(gApp.window, &outer));
    ASSERT_TRUE(GetClientRect(gApp.window, &client));
    EXPECT_EQ(outer.left, 287);
    EXPECT_EQ(outer.top, 33);
    EXPECT_EQ(client.right - client.left, 600);
    EXPECT_EQ(client.bottom - client.top, 300);

    LONG style = GetWindowLongA(gApp.window, GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & (WS_MINIMIZE | WS_MAXIMIZE));
    char className[64] = {};
    GetClassNameA(gApp.window, className, sizeof(className));
    EXPECT_STREQ(className, "WindowClass_0");

    // The outer size is the client area plus the frame of this style.
    RECT expected = {0, 0, 600, 300};
    AdjustWindowRectEx(&expected, style, FALSE, GetWindowLongA(gApp.window, GWL_EXSTYLE));
    EXPECT_EQ(outer.right - outer.left, expected.right - expected.left);
    EXPECT_EQ(outer.bottom - outer.top, expected.bottom - expected.top);
}

TEST_F(MainWindow, GadgetLayout) {
    struct Row {
        int number;
        const char* className;
        int x, y, width, height;
        const char* text;
        LONG style;
        bool clientEdge;
    };
    const Row layout[] = {
        {0, "Static", 30, 20, 60, 20, "SMS Text", 0x50020000, false},
        {1, "Edit", 30, 40, 230, 30, "Hallo, ich bins!", 0x50030080, true},
        {2, "Static", 30, 80, 60, 20, "Text to PDU", 0x50020000, false},
        {3, "Edit", 30, 100, 230, 30, "", 0x50030080, true},
        {4, "Static", 30, 140, 60, 20, "PDU to Text", 0x50020000, false},
        {5, "Edit", 30, 160, 230, 30, "", 0x50030080, true},
        {6, "Button", 290, 100, 160, 30, "Text to PDU", 0x50030000, false},
        {7, "Button", 290, 160, 160, 30, "PDU to Text", 0x50030000, false},
    };
    for (const Row& row : layout) {
        SCOPED_TRACE("gadget " + std::to_string(row.number));
        HWND control = gApp.Gadget(row.number);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(GetParent(control), gApp.window);
        char className[64] = {};
        GetClassNameA(control, className, sizeof(className));
        EXPECT_STRCASEEQ(className, row.className);
        RECT r;
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, gApp.window, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, row.x);
        EXPECT_EQ(r.top, row.y);
        EXPECT_EQ(r.right - r.left, row.width);
        EXPECT_EQ(r.bottom - r.top, row.height);
        EXPECT_EQ(TextOf(control), row.text);
        LONG style = GetWindowLongA(control, GWL_STYLE);
        EXPECT_EQ(style & row.style, row.style) << std::hex << style;
        // Only the fields and the buttons are tab stops.
        EXPECT_EQ((style & WS_TABSTOP) != 0, row.style == 0x50030080 || row.style == 0x50030000);
        EXPECT_EQ((GetWindowLongA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0, row.clientEdge);
        EXPECT_EQ(GetDlgCtrlID(control), row.number);
    }
}

TEST_F(MainWindow, KnownConversionsByClick) {
    // The initial text, unedited.
    EXPECT_EQ(PressAndRead(6, 3), "C8309BFD6681D26334489C76CF430000");
    EXPECT_EQ(PressAndRead(7, 5), "Hallo, ich bins!");
    EXPECT_EQ(TextOf(gApp.Gadget(1)), "Hallo, ich bins!");

    // Pressing again gives the same result and leaves field 5 alone.
    SetText(gApp.Gadget(5), "left alone");
    EXPECT_EQ(PressAndRead(6, 3), "C8309BFD6681D26334489C76CF430000");
    EXPECT_EQ(TextOf(gApp.Gadget(5)), "left alone");

    EXPECT_EQ(PduToTextByClick("C834"), "Hi");
    EXPECT_EQ(PduToTextByClick("c834"), "Hi");
    EXPECT_EQ(PduToTextByClick("C8 34"), "Hi");
    EXPECT_EQ(TextToPduByClick("Hi"), "C834");
}

TEST_F(MainWindow, ConversionsMatchTheCodec) {
    // No code page 1252 bytes 0x80 to 0x9F: Wine's edit control mishandles
    // some of them (the codec's own tests cover those).
    const std::vector<std::string> texts = {
        "",
        "A",
        "@",
        "1234567",
        "12345678",
        "123456789",
        "   ",
        "The quick brown fox jumps over the lazy dog",
        "Aa Zz 09 !\"#%&'()*+,-./:;<=>?",
        "\xA3\xA5\xE8\xE9\xF9\xEC\xF2\xC7\xD8\xF8\xC5\xE5\xC6\xE6\xDF\xC9",
        "\xC4\xD6\xD1\xDC\xA7\xBF\xE4\xF6\xF1\xFC\xE0\xA1",
        "{}[]~\\|^",
        "`\xFF\xA9\xAE\xB0\xBD",
        "$_ SMS $$ 100% _x_",
        "Hallo, ich bins! Wie geht's dir heute?",
        std::string(160, 'x'),
        std::string(161, 'y'),
        std::string(1000, 'z'),
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE("text \"" + text.substr(0, 40) + "\"");
        std::string pdu = TextToPduByClick(text);
        EXPECT_EQ(TextOf(gApp.Gadget(1)), text);
        EXPECT_EQ(pdu, Encode(text));
        EXPECT_EQ(pdu.size(), 2 * text.size());
        EXPECT_EQ(PressAndRead(7, 5), Decode(pdu));
    }
    const std::vector<std::string> pdus = {
        "41", "C834", "00", "FF", "7F", "0000000000", "D4F29C0E", "31D98C56B3DD70", "E8329BFD4697D9EC37",
        "ffffffffffffffff", "0123456789ABCDEF",
    };
    for (const std::string& hex : pdus) {
        SCOPED_TRACE("PDU " + hex);
        EXPECT_EQ(PduToTextByClick(hex), Decode(hex));
    }
}

TEST_F(MainWindow, JunkInThePduFieldConvertsWithoutComplaint) {
    const std::vector<std::string> junk = {
        "zz", "1", "123", "C8 34 ", " c8-34 ", "GARBAGE!!", "0x1F", "--", ":::", "G", "c8\t34",
        "12 34 56 78 9a bc de f0", "hello world", "#", std::string(999, '7'),
    };
    for (const std::string& hex : junk) {
        SCOPED_TRACE("PDU \"" + hex.substr(0, 30) + "\"");
        EXPECT_EQ(PduToTextByClick(hex), Decode(hex));
        ASSERT_TRUE(gApp.Running());
    }
}

TEST_F(MainWindow, EditedPduIsWhatDecodes) {
    // The last encoder result is "C834"; the user edits it to "C8341" and
    // then to "C8343A" by hand before pressing "PDU to Text".
    EXPECT_EQ(TextToPduByClick("Hi"), "C834");
    ASSERT_TRUE(Click(gApp.Gadget(3)));
    ASSERT_TRUE(WaitFor([] { return gApp.Focus() == gApp.Gadget(3); }, 5000));
    ASSERT_TRUE(PressKey(VK_END));
    ASSERT_TRUE(TypeText("3a"));
    ASSERT_TRUE(WaitFor([] { return TextOf(gApp.Gadget(3)) == "C8343a"; }, 5000))
        << TextOf(gApp.Gadget(3));
    EXPECT_EQ(PressAndRead(7, 5), Decode("C8343a"));
    EXPECT_NE(Decode("C8343a"), "Hi");
}

TEST_F(MainWindow, EmptyPduGivesEmptyText) {
    EXPECT_EQ(PduToTextByClick(""), "");
    EXPECT_EQ(Decode(""), "");
}

TEST_F(MainWindow, TabOrder) {
    HWND field1 = gApp.Gadget(1), field3 = gApp.Gadget(3), field5 = gApp.Gadget(5);
    HWND button6 = gApp.Gadget(6), button7 = gApp.Gadget(7);
    SetText(field3, "C834");
    SetText(field5, kSentinel);
    ASSERT_TRUE(Click(field1));
    ASSERT_TRUE(WaitFor([&] { return gApp.Focus() == field1; }, 5000));
    EXPECT_EQ(GetForegroundWindow(), gApp.window);

    const HWND forward[] = {field3, field5, button6, button7, field1, field3};
    for (HWND next : forward) {
        ASSERT_TRUE(PressKey(VK_TAB));
        EXPECT_TRUE(WaitFor([&] { return gApp.Focus() == next; }, 5000))
            << "Tab went to gadget " << GetDlgCtrlID(gApp.Focus()) << ", expected " << GetDlgCtrlID(next);
    }
    const HWND backward[] = {field1, button7, button6, field5, field3, field1};
    for (HWND next : backward) {
        ASSERT_TRUE(PressKey(VK_TAB, true));
        EXPECT_TRUE(WaitFor([&] { return gApp.Focus() == next; }, 5000))
            << "shift-Tab went to gadget " << GetDlgCtrlID(gApp.Focus()) << ", expected " << GetDlgCtrlID(next);
    }
    // Moving the focus onto a button converts nothing.
    Settle();
    EXPECT_EQ(TextOf(field5), kSentinel);
    EXPECT_EQ(TextOf(field3), "C834");
}

TEST_F(MainWindow, TypingConvertsNothing) {
    SetText(gApp.Gadget(1), "Hallo");
    SetText(gApp.Gadget(3), "C834");
    SetText(gApp.Gadget(5), kSentinel);
    ASSERT_TRUE(Click(gApp.Gadget(1)));
    ASSERT_TRUE(WaitFor([] { return gApp.Focus() == gApp.Gadget(1); }, 5000));
    ASSERT_TRUE(PressKey(VK_END));
    ASSERT_TRUE(TypeText(" Welt 42"));
    EXPECT_TRUE(WaitFor([] { return TextOf(gApp.Gadget(1)) == "Hallo Welt 42"; }, 5000))
        << TextOf(gApp.Gadget(1));
    Settle();
    EXPECT_EQ(TextOf(gApp.Gadget(3)), "C834");
    EXPECT_EQ(TextOf(gApp.Gadget(5)), kSentinel);
    // The typed text is what the next press converts.
    EXPECT_EQ(PressAndRead(6, 3), Encode("Hallo Welt 42"));
}

TEST_F(MainWindow, MovingAndResizingConvertNothing) {
    SetText(gApp.Gadget(3), "C834");
    SetText(gApp.Gadget(5), kSentinel);
    std::string field1 = TextOf(gApp.Gadget(1));
    RECT before;
    GetWindowRect(gApp.window, &before);
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    EXPECT_TRUE(SetWindowPos(gApp.window, nullptr, 100, 120, 0, 0, flags | SWP_NOSIZE));
    EXPECT_TRUE(SetWindowPos(gApp.window, nullptr, 0, 0, 700, 420, flags | SWP_NOMOVE));
    EXPECT_TRUE(SetWindowPos(gApp.window, nullptr, 0, 0, 300, 200, flags | SWP_NOMOVE));
    EXPECT_TRUE(SetWindowPos(gApp.window, nullptr, before.left, before.top, before.right - before.left,
                             before.bottom - before.top, flags));
    Settle();
    EXPECT_EQ(TextOf(gApp.Gadget(1)), field1);
    EXPECT_EQ(TextOf(gApp.Gadget(3)), "C834");
    EXPECT_EQ(TextOf(gApp.Gadget(5)), kSentinel);
    RECT after;
    GetWindowRect(gApp.window, &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_TRUE(Responsive(gApp.window));
}

TEST_F(MainWindow, ClickFromAssistiveTechnologyConverts) {
    // BM_CLICK sent from this process, as a screen reader would.
    SetText(gApp.Gadget(1), "BM_CLICK works");
    SetText(gApp.Gadget(3), kSentinel);
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutA(gApp.Gadget(6), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, gMessageTimeout, &result));
    std::string expected = Encode("BM_CLICK works");
    EXPECT_TRUE(WaitFor([&] { return TextOf(gApp.Gadget(3)) == expected; }, 5000)) << TextOf(gApp.Gadget(3));

    SetText(gApp.Gadget(5), kSentinel);
    ASSERT_TRUE(SendMessageTimeoutA(gApp.Gadget(7), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, gMessageTimeout, &result));
    EXPECT_TRUE(WaitFor([&] { return TextOf(gApp.Gadget(5)) == "BM_CLICK works"; }, 5000))
        << TextOf(gApp.Gadget(5));
}

TEST_F(MainWindow, RapidClicksLeaveItResponsive) {
    // 500 clicks on "Text to PDU" in one burst, then one on "PDU to Text":
    // input is handled in order, so field 5 changes only after the burst.
    const std::string text = "500 clicks";
    SetText(gApp.Gadget(1), text);
    SetText(gApp.Gadget(3), kSentinel);
    SetText(gApp.Gadget(5), kSentinel);
    DWORD start = GetTickCount();
    std::vector<INPUT> inputs{MoveInput(CentreOf(gApp.Gadget(6)))};
    for (int i = 0; i < 500; i++) {
        inputs.push_back(MouseInput(MOUSEEVENTF_LEFTDOWN));
        inputs.push_back(MouseInput(MOUSEEVENTF_LEFTUP));
    }
    inputs.push_back(MoveInput(CentreOf(gApp.Gadget(7))));
    inputs.push_back(MouseInput(MOUSEEVENTF_LEFTDOWN));
    inputs.push_back(MouseInput(MOUSEEVENTF_LEFTUP));
    ASSERT_EQ(SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)), inputs.size());
    EXPECT_TRUE(WaitFor([&] { return TextOf(gApp.Gadget(5)) == text; }, 30000)) << TextOf(gApp.Gadget(5));
    EXPECT_EQ(TextOf(gApp.Gadget(3)), Encode(text));
    DWORD burst = GetTickCount() - start;

    // 500 clicks on "PDU to Text" as fast as another process can send them.
    SetText(gApp.Gadget(3), "C834");
    SetText(gApp.Gadget(5), kSentinel);
    start = GetTickCount();
    for (int i = 0; i < 500; i++) {
        DWORD_PTR result = 0;
        ASSERT_TRUE(SendMessageTimeoutA(gApp.Gadget(7), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, gMessageTimeout, &result));
    }
    EXPECT_TRUE(Responsive(gApp.window, 2000));
    EXPECT_EQ(TextOf(gApp.Gadget(5)), "Hi");
    printf("  500 mouse clicks handled in %lu ms, 500 BM_CLICKs in %lu ms\n", static_cast<unsigned long>(burst),
           static_cast<unsigned long>(GetTickCount() - start));

    // Single clicks work as before.
    EXPECT_EQ(TextToPduByClick("Hi"), "C834");
    EXPECT_EQ(PduToTextByClick("C8309BFD6681D26334489C76CF430000"), "Hallo, ich bins!");
}

TEST_F(MainWindow, LongMessageConvertsWhole) {
    // 100,000 characters of the GSM alphabet, so the text comes back whole.
    const char alphabet[] = "abcdefghijklmnopqrstuvwxyz ABCXYZ 0123456789.,!?\xE4\xF6\xFC\xDF";
    std::string text(100000, ' ');
    for (size_t i = 0; i < text.size(); i++) text[i] = alphabet[(i * 7 + i / 13) % (sizeof(alphabet) - 1)];
    std::string expected = Encode(text);
    ASSERT_EQ(expected.size(), 200000u);
    ASSERT_EQ(Decode(expected), text);

    std::string pdu = TextToPduByClick(text);
    EXPECT_EQ(TextOf(gApp.Gadget(1)).size(), text.size());
    EXPECT_EQ(pdu.size(), 200000u);
    EXPECT_TRUE(pdu == expected) << "field 3 differs from the codec's PDU";
    std::string back = PressAndRead(7, 5);
    EXPECT_EQ(back.size(), text.size());
    EXPECT_TRUE(back == text) << "field 5 does not give the message back";
}

TEST_F(MainWindow, LongPasteIsNotCut) {
    // A paste is a replacement of the selection, which the edit control
    // limits to its text limit.
    std::string text(70000, 'p');
    HWND field1 = gApp.Gadget(1);
    SetText(field1, "");
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutA(field1, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()),
                                    SMTO_ABORTIFHUNG, gMessageTimeout, &result));
    EXPECT_EQ(TextOf(field1).size(), text.size());
    DWORD_PTR limit = 0;
    ASSERT_TRUE(SendMessageTimeoutA(field1, EM_GETLIMITTEXT, 0, 0, SMTO_ABORTIFHUNG, gMessageTimeout, &limit));
    EXPECT_GE(limit, 0x7FFFFFFEu);
    for (int field : {3, 5}) {
        ASSERT_TRUE(SendMessageTimeoutA(gApp.Gadget(field), EM_GETLIMITTEXT, 0, 0, SMTO_ABORTIFHUNG,
                                        gMessageTimeout, &limit));
        EXPECT_GE(limit, 0x7FFFFFFEu) << "field " << field;
    }
}

TEST_F(MainWindow, IdleUsesNoProcessor) {
    std::string pid = FindUnixProcess();
    ASSERT_FALSE(pid.empty()) << "no sms-pdu.exe in /proc";
    // The counter sees work: a long conversion shows up in it.
    SetText(gApp.Gadget(1), std::string(30000, 'w'));
    long long before = UnixCpuMs(pid);
    EXPECT_NE(PressAndRead(6, 3), kSentinel);
    long long busy = UnixCpuMs(pid) - before;
    EXPECT_GT(busy, 0);

    SetText(gApp.Gadget(1), "Hallo, ich bins!");
    SetText(gApp.Gadget(3), "");
    SetText(gApp.Gadget(5), "");
    // The pointer leaves the window: under Wine, a pointer resting on a push
    // button that it entered keeps a mouse-tracking timer of Wine's running
    // (measured here at 4% of a core), which Windows does not have.
    RECT frame;
    GetWindowRect(gApp.window, &frame);
    SetCursorPos(frame.right + 200, frame.bottom + 200);
    Settle();
    Sleep(500);
    // Up to three windows of 3 s: the first may still see the tail of the
    // repaint above on a loaded machine. A program that polls uses far more
    // than 1% of a core in every one of them.
    double percent = 100.0;
    for (int window = 0; window < 3 && percent >= 1.0; ++window) {
        before = UnixCpuMs(pid);
        DWORD start = GetTickCount();
        Sleep(3000);
        long long used = UnixCpuMs(pid) - before;
        DWORD elapsed = GetTickCount() - start;
        percent = 100.0 * static_cast<double>(used) / elapsed;
        printf("  a conversion of 30,000 characters: %lld ms of processor time; idle: %lld ms in %lu ms (%.2f%% of a core)\n",
               busy, used, static_cast<unsigned long>(elapsed), percent);
        EXPECT_GE(before, 0);
    }
    EXPECT_LT(percent, 1.0);
}

TEST_F(MainWindow, CloseEndsWithExitCodeZero) {
    ASSERT_TRUE(PostMessageA(gApp.window, WM_CLOSE, 0, 0));
    ASSERT_EQ(WaitForSingleObject(gApp.process.hProcess, 15000), WAIT_OBJECT_0) << "the program did not end";
    DWORD code = 12345;
    ASSERT_TRUE(GetExitCodeProcess(gApp.process.hProcess, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(IsWindow(gApp.window));
    gApp.Kill();   // only lets go of the handles: the program has ended
}

// --- When the window cannot be opened ------------------------------------------

// A global hook (e2e_refuse_hook.dll, next to this program) refuses the
// program its main window; the program must then end by itself with exit
// code 1 rather than wait for a close that can never come.
TEST(NoWindow, ProgramEndsWithExitCodeOne) {
    std::string hookPath = gExePath.substr(0, gExePath.find_last_of("\\/") + 1) + "e2e_refuse_hook.dll";
    HMODULE library = LoadLibraryA(hookPath.c_str());
    ASSERT_NE(library, nullptr) << hookPath;
    // Through void*: a FARPROC is cast to the hook's real type.
    auto refuse = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(library, "RefuseMainWindow")));
    ASSERT_NE(refuse, nullptr);
    HHOOK hook = SetWindowsHookExA(WH_CBT, refuse, library, 0);
    ASSERT_NE(hook, nullptr);

    Program program;
    bool started = Launch(gExePath, &program.process);
    DWORD waited = started ? WaitForSingleObject(program.process.hProcess, 20000) : WAIT_FAILED;
    DWORD code = 12345;
    if (started) GetExitCodeProcess(program.process.hProcess, &code);
    bool windowSeen = FindWindowA(nullptr, kTitle) != nullptr;
    program.Kill();
    UnhookWindowsHookEx(hook);
    FreeLibrary(library);

    ASSERT_TRUE(started);
    EXPECT_EQ(waited, WAIT_OBJECT_0) << "the program did not end by itself";
    EXPECT_EQ(code, 1u);
    EXPECT_FALSE(windowSeen);
}

// --- Driver modes for scripts/run --------------------------------------------

HWND WaitForWindow(DWORD ms) {
    HWND window = nullptr;
    WaitFor([&] {
        window = FindWindowA(nullptr, kTitle);
        return IsMainWindowUp(window);
    }, ms);
    return window;
}

int Demo(const std::string& path) {
    HWND window = WaitForWindow(path.empty() ? 30000 : 1000);
    if (!window && !path.empty()) {
        PROCESS_INFORMATION process = {};
        if (Launch(path, &process)) {
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
            window = WaitForWindow(30000);
        }
    }
    if (!window) {
        fprintf(stderr, "demo: no window \"%s\" found\n", kTitle);
        return 1;
    }
    gApp.window = window;
    // The program was started by someone else: take a handle on it, so that
    // the clicks below can tell a running program from one that has ended.
    DWORD processId = 0;
    gApp.process.dwThreadId = GetWindowThreadProcessId(window, &processId);
    gApp.process.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId);
    std::string text = TextOf(gApp.Gadget(1));
    std::string pdu = PressAndRead(6, 3);
    std::string back = PressAndRead(7, 5);
    printf("Text to PDU: \"%s\" -> %s\n", text.c_str(), pdu.c_str());
    printf("PDU to Text: %s -> \"%s\"\n", pdu.c_str(), back.c_str());
    fflush(stdout);
    return pdu == kSentinel || back == kSentinel ? 1 : 0;
}

int CloseProgram() {
    HWND window = FindWindowA(nullptr, kTitle);
    if (!window) {
        fprintf(stderr, "close: no window \"%s\" found\n", kTitle);
        return 1;
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId);
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (!process) return 0;
    DWORD code = 1;
    if (WaitForSingleObject(process, 15000) != WAIT_OBJECT_0) {
        fprintf(stderr, "close: the program did not end\n");
    } else {
        GetExitCodeProcess(process, &code);
    }
    CloseHandle(process);
    return static_cast<int>(code);
}

std::string ProgramNextToThis() {
    char buffer[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    std::string path(buffer, length);
    size_t slash = path.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "sms-pdu.exe";
}

}  // namespace

int main(int argc, char** argv) {
    StartTestRuntime();
    if (argc >= 2 && strcmp(argv[1], "--demo") == 0) return Demo(argc >= 3 ? WindowsPath(argv[2]) : "");
    if (argc >= 2 && strcmp(argv[1], "--close") == 0) return CloseProgram();

    ::testing::InitGoogleTest(&argc, argv);
    gExePath = argc >= 2 ? WindowsPath(argv[1]) : ProgramNextToThis();
    int result = RUN_ALL_TESTS();
    gApp.Kill();   // only when a test left it running
    return result;
}
