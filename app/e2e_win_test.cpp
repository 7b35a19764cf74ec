// End-to-end tests of sms-pdu.exe, driven with real input and checked against the codec linked in here.
// Every wait is bounded: a hung or crashed program fails and is killed.
//   e2e_win_test [PATH\sms-pdu.exe]  the tests (default: sms-pdu.exe in the current directory)
//   e2e_win_test --demo [PATH]       prints both conversions of the running (or started) program
//   e2e_win_test --close             closes the running program; returns its exit code
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/e2e_support.h"

namespace {

std::string gExePath;
Program gApp;

HWND G(int number) { return gApp.Gadget(number); }

// Clicks into `field`, presses End and types `text` (letters, digits, spaces) with real key presses.
bool TypeAtEnd(int field, const char* text) {
    if (!Click(G(field)) || !WaitFor([=] { return gApp.Focus() == G(field); }, 5000) || !PressKey(VK_END)) return false;
    for (const char* c = text; *c; c++) {
        SHORT code = VkKeyScanA(*c);
        if (code == -1 || !PressKey(LOBYTE(code), (HIBYTE(code) & 1) != 0)) return false;
    }
    return true;
}

// Processor time comes from Linux's /proc (Wine's Z: drive): under Wine 8,
// GetProcessTimes of another process under-reports.
std::string ReadWholeFile(const std::string& path) {
    std::ostringstream contents;
    contents << std::ifstream(path, std::ios::binary).rdbuf();
    return contents.str();
}

// Field `number` (from 1) of /proc/PID/stat, counted after the command name (field 2); -1 if unread.
long long StatField(const std::string& pid, int number) {
    std::string stat = ReadWholeFile("Z:\\proc\\" + pid + "\\stat"), field;
    std::istringstream fields(stat.substr(std::min(stat.rfind(')') + 1, stat.size())));
    int i = 3;
    while (i <= number && fields >> field) i++;
    return i > number ? strtoll(field.c_str(), nullptr, 10) : -1;
}

// The Linux process of the newest sms-pdu.exe of this Wine prefix, or "".
std::string FindUnixProcess() {
    char prefix[MAX_PATH] = {};
    GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH);
    std::string wanted = std::string("WINEPREFIX=") + prefix + '\0', best;
    long long newest = 0;
    WIN32_FIND_DATAA found;
    HANDLE walk = FindFirstFileA("Z:\\proc\\*", &found);
    if (walk == INVALID_HANDLE_VALUE) return "";
    do {
        std::string pid = found.cFileName;
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
        if (ReadWholeFile("Z:\\proc\\" + pid + "\\stat").find("(sms-pdu.exe)") == std::string::npos) continue;
        if (prefix[0] && ReadWholeFile("Z:\\proc\\" + pid + "\\environ").find(wanted) == std::string::npos) continue;
        long long started = StatField(pid, 22);
        if (best.empty() || started >= newest) best = pid, newest = started;
    } while (FindNextFileA(walk, &found));
    FindClose(walk);
    return best;
}

// User plus system time (in 1/100 s) in ms; -1 when it cannot be read.
long long UnixCpuMs(const std::string& pid) {
    long long user = StatField(pid, 14), system = StatField(pid, 15);
    return pid.empty() || user < 0 || system < 0 ? -1 : (user + system) * 10;
}

bool SendBmClick(int button) {
    return SendMessageTimeoutA(G(button), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, gMessageTimeout, nullptr) != 0;
}

// Clicks `button` and waits until field `target` changes from a sentinel: its new text. A click that
// converts nothing in 30 s fails and ends the program, so the tests that follow skip.
std::string PressAndRead(int button, int target) {
    if (!gApp.Running()) return "<not running>";
    SetText(G(target), kSentinel);
    if (!Click(G(button))) return "<SendInput failed>";
    if (!WaitFor([&] { return TextOf(G(target)) != kSentinel; }, 30000)) {
        ADD_FAILURE() << "a click on gadget " << button << " changed nothing in 30 s; ending the program";
        gApp.Kill();
        return kSentinel;
    }
    return TextOf(G(target));   // whole: the program writes it in one step
}

std::string TextToPduByClick(const std::string& text) { return SetText(G(1), text), PressAndRead(6, 3); }
std::string PduToTextByClick(const std::string& hex) { return SetText(G(3), hex), PressAndRead(7, 5); }

// Marks fields 3 and 5; once queued input has reached the program, checks no conversion overwrote them.
void MarkOutputs() { SetText(G(3), "C834"), SetText(G(5), kSentinel); }
void ExpectNoConversion() {
    gApp.Settle(200);
    EXPECT_EQ(TextOf(G(3)), "C834");
    EXPECT_EQ(TextOf(G(5)), kSentinel);
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    return std::string(name, GetClassNameA(window, name, sizeof(name)));
}

// The tests run in order: the program is started once and closed at the end.
class MainWindow : public ::testing::Test {
    void SetUp() override {
        DWORD code = 0;
        if (gApp.Running()) return;
        if (gApp.process.hProcess && GetExitCodeProcess(gApp.process.hProcess, &code))
            FAIL() << "the program ended by itself with exit code " << code;
        GTEST_SKIP() << "the program is not running (see the first failure)";
    }
};

TEST(Program, StartsAndShowsItsWindow) {
    ASSERT_TRUE(gApp.Start(gExePath)) << "could not start " << gExePath << " or find its window";
}

TEST_F(MainWindow, LayoutStylesAndInitialTexts) {
    EXPECT_EQ(TextOf(gApp.window), kTitle);
    EXPECT_EQ(ClassOf(gApp.window), "WindowClass_0");
    RECT outer = WindowRect(gApp.window), client;
    ASSERT_TRUE(GetClientRect(gApp.window, &client));
    EXPECT_EQ(std::vector<LONG>({outer.left, outer.top, client.right - client.left, client.bottom - client.top}),
              std::vector<LONG>({287, 33, 600, 300}));
    LONG style = GetWindowLongA(gApp.window, GWL_STYLE);
    const LONG wanted = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_VISIBLE;
    EXPECT_EQ(style & wanted, wanted);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_MINIMIZE | WS_MAXIMIZE));
    // The outer size is the client area plus the frame of this style.
    RECT framed = {0, 0, 600, 300};
    AdjustWindowRectEx(&framed, style, FALSE, GetWindowLongA(gApp.window, GWL_EXSTYLE));
    EXPECT_EQ(std::vector<LONG>({outer.right - outer.left, outer.bottom - outer.top}),
              std::vector<LONG>({framed.right - framed.left, framed.bottom - framed.top}));
    const LONG kLabel = 0x50020000, kField = 0x50030080, kButton = 0x50030000;
    const struct { const char* className; LONG x, y, width, height; const char* text; LONG style; } layout[] = {
        {"Static", 30, 20, 60, 20, "SMS Text", kLabel},      {"Edit", 30, 40, 230, 30, "Hallo, ich bins!", kField},
        {"Static", 30, 80, 60, 20, "Text to PDU", kLabel},   {"Edit", 30, 100, 230, 30, "", kField},
        {"Static", 30, 140, 60, 20, "PDU to Text", kLabel},  {"Edit", 30, 160, 230, 30, "", kField},
        {"Button", 290, 100, 160, 30, "Text to PDU", kButton}, {"Button", 290, 160, 160, 30, "PDU to Text", kButton},
    };
    for (int number = 0; number < 8; number++) {
        const auto& row = layout[number];
        SCOPED_TRACE("gadget " + std::to_string(number));
        HWND control = G(number);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(GetParent(control), gApp.window);
        EXPECT_STRCASEEQ(ClassOf(control).c_str(), row.className);
        RECT r = WindowRect(control);
        MapWindowPoints(nullptr, gApp.window, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(std::vector<LONG>({r.left, r.top, r.right - r.left, r.bottom - r.top}),
                  std::vector<LONG>({row.x, row.y, row.width, row.height}));
        EXPECT_EQ(TextOf(control), row.text);
        LONG style = GetWindowLongA(control, GWL_STYLE);
        EXPECT_EQ(style & row.style, row.style) << std::hex << style;
        EXPECT_EQ((style & WS_TABSTOP) != 0, row.style != kLabel);   // fields and buttons only
        EXPECT_EQ((GetWindowLongA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0, row.style == kField);
    }
}

TEST_F(MainWindow, KnownAndEditedConversionsByClick) {
    EXPECT_EQ(PressAndRead(6, 3), "C8309BFD6681D26334489C76CF430000");   // the initial text, unedited
    EXPECT_EQ(PressAndRead(7, 5), "Hallo, ich bins!");
    for (const char* hex : {"C834", "c834", "C8 34"}) EXPECT_EQ(PduToTextByClick(hex), "Hi") << hex;
    EXPECT_EQ(PduToTextByClick(""), "");
    EXPECT_EQ(TextToPduByClick("Hi"), "C834");
    // The user edits the PDU by hand before pressing "PDU to Text".
    ASSERT_TRUE(TypeAtEnd(3, "3a"));
    ASSERT_TRUE(WaitFor([] { return TextOf(G(3)) == "C8343a"; }, 5000)) << TextOf(G(3));
    EXPECT_EQ(PressAndRead(7, 5), Decode("C8343a"));
    EXPECT_NE(Decode("C8343a"), "Hi");
}

TEST_F(MainWindow, ConversionsMatchTheCodec) {
    // No code page 1252 bytes 0x80 to 0x9F: Wine's edit control mishandles some.
    const std::string texts[] = {"", "A", "@", "1234567", "12345678", "123456789", "   ", "$_ SMS $$ 100% _x_",
        "The quick brown fox jumps over the lazy dog", "Aa Zz 09 !\"#%&'()*+,-./:;<=>?", "{}[]~\\|^",
        "\xA3\xA5\xE8\xE9\xF9\xEC\xF2\xC7\xD8\xF8\xC5\xE5\xC6\xE6\xDF\xC9", "`\xFF\xA9\xAE\xB0\xBD",
        "\xC4\xD6\xD1\xDC\xA7\xBF\xE4\xF6\xF1\xFC\xE0\xA1", std::string(160, 'x'), std::string(161, 'y'),
        std::string(1000, 'z')};
    for (const std::string& text : texts) {
        SCOPED_TRACE("text \"" + text.substr(0, 40) + "\"");
        std::string pdu = TextToPduByClick(text);
        EXPECT_EQ(TextOf(G(1)), text);
        EXPECT_EQ(pdu, Encode(text));
        EXPECT_EQ(pdu.size(), 2 * text.size());
        EXPECT_EQ(PressAndRead(7, 5), Decode(pdu));
    }
    // Well-formed PDUs, then junk: the field shows what the codec makes of either.
    const std::string pdus[] = {"41", "00", "FF", "7F", "0000000000", "D4F29C0E", "31D98C56B3DD70", "ffffffffffffffff",
        "0123456789ABCDEF", "zz", "1", "123", " c8-34 ", "GARBAGE!!", "0x1F", ":::", "c8\t34", "#",
        "12 34 56 78 9a bc de f0", std::string(999, '7')};
    for (const std::string& hex : pdus)
        EXPECT_EQ(PduToTextByClick(hex), Decode(hex)) << "PDU \"" << hex.substr(0, 30) << "\"";
}

TEST_F(MainWindow, TabOrderMovesFocusWithoutConverting) {
    MarkOutputs();
    ASSERT_TRUE(TypeAtEnd(1, ""));
    const int forward[] = {3, 5, 6, 7, 1, 3}, backward[] = {1, 7, 6, 5, 3, 1};
    for (bool shift : {false, true}) {
        for (int next : shift ? backward : forward) {
            ASSERT_TRUE(PressKey(VK_TAB, shift));
            EXPECT_TRUE(WaitFor([&] { return gApp.Focus() == G(next); }, 5000)) << (shift ? "shift-" : "")
                << "Tab went to gadget " << GetDlgCtrlID(gApp.Focus()) << ", expected " << next;
        }
    }
    ExpectNoConversion();
}

TEST_F(MainWindow, TypingMovingAndResizingConvertNothing) {
    SetText(G(1), "Hallo");
    MarkOutputs();
    ASSERT_TRUE(TypeAtEnd(1, " Welt 42"));
    EXPECT_TRUE(WaitFor([] { return TextOf(G(1)) == "Hallo Welt 42"; }, 5000)) << TextOf(G(1));
    ExpectNoConversion();
    RECT b = WindowRect(gApp.window);
    const int moves[][5] = {{100, 120, 0, 0, SWP_NOSIZE}, {0, 0, 700, 420, SWP_NOMOVE}, {0, 0, 300, 200, SWP_NOMOVE},
                            {b.left, b.top, b.right - b.left, b.bottom - b.top, 0}};
    for (const auto& m : moves)
        EXPECT_TRUE(SetWindowPos(gApp.window, nullptr, m[0], m[1], m[2], m[3], SWP_NOZORDER | SWP_NOACTIVATE | m[4]));
    ExpectNoConversion();
    EXPECT_EQ(TextOf(G(1)), "Hallo Welt 42");
    RECT after = WindowRect(gApp.window);
    EXPECT_EQ(std::vector<LONG>({after.left, after.top}), std::vector<LONG>({b.left, b.top}));
    EXPECT_EQ(PressAndRead(6, 3), Encode("Hallo Welt 42"));   // the typed text is what converts
}

TEST_F(MainWindow, BmClickAndRapidClicks) {
    // BM_CLICK from another process, as a screen reader would send it.
    SetText(G(1), "BM_CLICK works");
    MarkOutputs();
    ASSERT_TRUE(SendBmClick(6));
    EXPECT_TRUE(WaitFor([] { return TextOf(G(3)) == Encode("BM_CLICK works"); }, 5000)) << TextOf(G(3));
    // 500 real clicks on "Text to PDU", then one on "PDU to Text": field 5 changes only after the burst.
    const std::string text = "500 clicks";
    SetText(G(1), text);
    MarkOutputs();
    ASSERT_TRUE(Click(G(6), 500) && Click(G(7)));
    EXPECT_TRUE(WaitFor([&] { return TextOf(G(5)) == text; }, 30000)) << TextOf(G(5));
    EXPECT_EQ(TextOf(G(3)), Encode(text));
    // 500 BM_CLICKs on "PDU to Text" as fast as they can be sent.
    MarkOutputs();
    for (int i = 0; i < 500; i++) ASSERT_TRUE(SendBmClick(7));
    EXPECT_TRUE(Responsive(gApp.window, 2000));
    EXPECT_EQ(TextOf(G(5)), "Hi");
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
    EXPECT_TRUE(TextToPduByClick(text) == expected) << "field 3 differs from the codec's PDU of 200,000 digits";
    EXPECT_EQ(TextOf(G(1)).size(), text.size());
    EXPECT_TRUE(PressAndRead(7, 5) == text) << "field 5 does not give the 100,000 characters back";
}

TEST_F(MainWindow, IdleUsesNoProcessor) {
    std::string pid = FindUnixProcess();
    ASSERT_FALSE(pid.empty()) << "no sms-pdu.exe in /proc";
    SetText(G(1), std::string(30000, 'w'));   // the counter sees a long conversion
    long long before = UnixCpuMs(pid);
    EXPECT_NE(PressAndRead(6, 3), kSentinel);
    EXPECT_GT(UnixCpuMs(pid) - before, 0);
    for (int field : {1, 3, 5}) SetText(G(field), field == 1 ? "Hallo, ich bins!" : "");
    // The pointer leaves the window (resting on a push button, it keeps a mouse-tracking timer of Wine's
    // running, 4% of a core). Up to three windows of 3 s: the first may still see the tail of the
    // repaint; a program that polls uses far more than 1% in each.
    RECT frame = WindowRect(gApp.window);
    SetCursorPos(frame.right + 200, frame.bottom + 200);
    gApp.Settle(700);
    double percent = 100.0;
    for (int window = 0; window < 3 && percent >= 1.0; ++window) {
        before = UnixCpuMs(pid);
        DWORD start = GetTickCount();
        Sleep(3000);
        EXPECT_GE(before, 0);
        percent = 100.0 * static_cast<double>(UnixCpuMs(pid) - before) / (GetTickCount() - start);
    }
    printf("  idle: %.2f%% of a core\n", percent);
    EXPECT_LT(percent, 1.0);
}

TEST_F(MainWindow, CloseEndsWithExitCodeZero) {
    ASSERT_TRUE(PostMessageA(gApp.window, WM_CLOSE, 0, 0));
    ASSERT_EQ(WaitForSingleObject(gApp.process.hProcess, 15000), WAIT_OBJECT_0) << "the program did not end";
    DWORD code = 12345;
    ASSERT_TRUE(GetExitCodeProcess(gApp.process.hProcess, &code));
    EXPECT_EQ(code, 0u);
    gApp.Kill();   // only lets go of the handles: the program has ended
}

// A global hook (e2e_refuse_hook.dll, next to this program) refuses the
// program its main window; it must then end by itself with exit code 1.
TEST(NoWindow, ProgramEndsWithExitCodeOne) {
    std::string hookPath = gExePath.substr(0, gExePath.find_last_of("\\/") + 1) + "e2e_refuse_hook.dll";
    HMODULE library = LoadLibraryA(hookPath.c_str());
    ASSERT_NE(library, nullptr) << hookPath;
    auto refuse = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(library, "RefuseMainWindow")));
    HHOOK hook = refuse ? SetWindowsHookExA(WH_CBT, refuse, library, 0) : nullptr;
    ASSERT_NE(hook, nullptr);
    Program program;
    bool started = Launch(gExePath, &program.process);
    DWORD waited = started ? WaitForSingleObject(program.process.hProcess, 20000) : WAIT_FAILED, code = 12345;
    if (started) GetExitCodeProcess(program.process.hProcess, &code);
    bool windowSeen = FindWindowA(nullptr, kTitle) != nullptr;
    program.Kill();
    UnhookWindowsHookEx(hook);
    FreeLibrary(library);
    EXPECT_EQ(waited, WAIT_OBJECT_0) << (started ? "the program did not end by itself" : "it did not start");
    EXPECT_EQ(code, 1u);
    EXPECT_FALSE(windowSeen);
}

// --- Driver modes for scripts/run --------------------------------------------
HWND WaitForWindow(DWORD ms) {
    HWND window = nullptr;
    WaitFor([&] { return IsMainWindowUp(window = FindWindowA(nullptr, kTitle)); }, ms);
    return window;
}

int Demo(const std::string& path) {
    HWND window = WaitForWindow(path.empty() ? 30000 : 1000);
    PROCESS_INFORMATION started = {};
    if (!window && !path.empty() && Launch(path, &started)) {
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
        window = WaitForWindow(30000);
    }
    if (!window) return fprintf(stderr, "demo: no window \"%s\" found\n", kTitle), 1;
    gApp.window = window;   // with a handle on the process, the clicks can tell whether it ended
    DWORD processId = 0;
    gApp.process.dwThreadId = GetWindowThreadProcessId(window, &processId);
    gApp.process.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId);
    std::string text = TextOf(G(1)), pdu = PressAndRead(6, 3), back = PressAndRead(7, 5);
    printf("Text to PDU: \"%s\" -> %s\n", text.c_str(), pdu.c_str());
    printf("PDU to Text: %s -> \"%s\"\n", pdu.c_str(), back.c_str());
    fflush(stdout);
    return pdu == kSentinel || back == kSentinel ? 1 : 0;
}

int CloseProgram() {
    HWND window = FindWindowA(nullptr, kTitle);
    if (!window) return fprintf(stderr, "close: no window \"%s\" found\n", kTitle), 1;
    DWORD processId = 0, code = 1;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId);
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (!process) return 0;
    if (WaitForSingleObject(process, 15000) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
    else fprintf(stderr, "close: the program did not end\n");
    CloseHandle(process);
    return static_cast<int>(code);
}

}  // namespace

int main(int argc, char** argv) {
    StartTestRuntime();
    if (argc >= 2 && strcmp(argv[1], "--demo") == 0) return Demo(argc >= 3 ? WindowsPath(argv[2]) : "");
    if (argc >= 2 && strcmp(argv[1], "--close") == 0) return CloseProgram();
    ::testing::InitGoogleTest(&argc, argv);
    gExePath = WindowsPath(argc >= 2 ? argv[1] : "sms-pdu.exe");
    int result = RUN_ALL_TESTS();
    gApp.Kill();   // only when a test left it running
    return result;
}
