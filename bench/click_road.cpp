// Where the time of a click on "Text to PDU" and on "PDU to Text" goes, on
// Windows or under Wine, with 32,767 characters in the message field (or any
// other count). The window and its gadgets are the program's own
// (app/main_window.h), and each step of the road is timed in place: reading
// the source field, the converter, the copy of its result, writing the
// target field (the edit control's own work and its notifications to the
// window procedure), and painting. Then the whole click: BM_CLICK posted to
// the button, the event loop until the result is painted.
//
// Beside it, the same platform calls on a bare edit control in a plain
// window (the system's window procedure, no toolkit, no subclassing): what
// the platform's control costs by itself, which no program can change.
//
// Each figure is the best of several rounds, in milliseconds of wall time.
//
// With --converter-only, only the two converter steps are timed (no
// window): the converter's speed in this build.
//
//   click_road [--chars=N] [--rounds=N] [--converter-only]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "codec/codec.h"
#include "runtime/arrays.h"
#include "runtime/heap.h"
#include "runtime/strings.h"
#include "toolkit/gadgets.h"
#include "toolkit/toolkit.h"
#include "toolkit/window.h"
#if __has_include("toolkit/event_fetch.h")
#include "toolkit/event_fetch.h"  // NextEvent, where the toolkit gives the fetch its own header
#endif

namespace {

double NowMs() {
    static LARGE_INTEGER frequency = [] { LARGE_INTEGER f; QueryPerformanceFrequency(&f); return f; }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Best of `rounds` timed calls of `step`, each after an untimed `prepare`.
double Best(int rounds, const std::function<void()>& prepare, const std::function<void()>& step) {
    double best = 1e300;
    for (int r = 0; r < rounds; ++r) {
        prepare();
        double t0 = NowMs();
        step();
        best = std::min(best, NowMs() - t0);
    }
    return best;
}

// The printable ASCII characters the character map carries, as the
// converter's benchmark uses them.
std::string Message(size_t n) {
    std::string chars;
    for (int c = 32; c <= 122; ++c)
        if (c != 36 && c != 64 && !(c >= 91 && c <= 96)) chars += static_cast<char>(c);
    std::string text(n, ' ');
    unsigned seed = 12345;
    for (char& c : text) {
        seed = seed * 1103515245u + 12345u;
        c = chars[(seed >> 16 & 0x7FFF) % chars.size()];
    }
    return text;
}

// Handles pending messages, then paints whatever is invalid, at once.
void Settle(HWND window) {
    while (NextEvent(0) != 0) {
    }
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

HWND Control(GadgetNumber number) { return FindGadgetRecord(number)->control; }

// Reads a field as the program does: at the end of the temporary buffer,
// whose room the assignment gives back.
void ReadInto(Str& variable, GadgetNumber field) {
    size_t start = TempEnd(), end = ReadGadgetText(field, start);
    variable = TempSpan(start, end ? end : start);
}

// One conversion as the program runs it for a click.
void Convert(Str& source, GadgetNumber from, GadgetNumber to, bool toPdu) {
    ReadInto(source, from);
    Str result = toPdu ? TextToPdu(source) : PduToText(source);
    WriteGadgetText(to, result.Text());
}

struct Row {
    const char* step;
    double ms;
};

// Handles every pending message of the thread, then paints.
void Pump(HWND window) {
    for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&msg);
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// The platform's edit control on its own: a plain window of the system's
// procedure with one "Edit" child of the fields' styles, size and font.
std::vector<Row> BareControl(const std::string& message, const std::string& pdu, int rounds) {
    WNDCLASSA plain = {};
    plain.lpfnWndProc = DefWindowProcA;
    plain.hInstance = GetModuleHandleA(nullptr);
    plain.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    plain.lpszClassName = "ClickRoadPlainWindow";
    RegisterClassA(&plain);
    HWND window = CreateWindowExA(0, plain.lpszClassName, "bare", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 287, 360, 616,
                                  339, nullptr, nullptr, plain.hInstance, nullptr);
    HWND edit = CreateWindowExA(WS_EX_CLIENTEDGE, "Edit", "",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL, 30, 100, 230, 30,
                                window, nullptr, plain.hInstance, nullptr);
    SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    SendMessageA(edit, EM_SETLIMITTEXT, 0, 0);
    Pump(window);
    std::vector<char> buffer(pdu.size() + 1);
    std::vector<Row> rows;
    auto clear = [&] { SetWindowTextA(edit, ""); Pump(window); };
    // The PDU's own length of digits alone and of letters alone: what the
    // control's cost depends on. Digits alone take seconds: measured once.
    const std::string digits(pdu.size(), '7'), letters(pdu.size(), 'C');
    const struct {
        const char* name;
        const std::string& text;
        bool once;
    } cases[] = {{"SetWindowTextA, the message", message, false},
                 {"SetWindowTextA, the PDU hex", pdu, false},
                 {"SetWindowTextA, as many letters C as the hex has digits", letters, true},
                 {"SetWindowTextA, as many digits 7 (one round)", digits, true}};
    for (const auto& c : cases) {
        int n = c.once ? 1 : rounds;
        rows.push_back({c.name, Best(n, clear, [&] { SetWindowTextA(edit, c.text.c_str()); })});
        rows.push_back({"  painting", Best(n, [&] { clear(); SetWindowTextA(edit, c.text.c_str()); }, [&] { Pump(window); })});
        if (c.once) continue;
        rows.push_back({"  GetWindowTextLengthA and GetWindowTextA", Best(rounds, [] {}, [&] {
                            int length = GetWindowTextLengthA(edit);
                            GetWindowTextA(edit, buffer.data(), length + 1);
                        })});
    }
    DestroyWindow(window);
    return rows;
}

void Print(const char* title, const std::vector<Row>& rows) {
    printf("%s\n", title);
    for (const Row& r : rows) printf("  %-58s %9.2f ms\n", r.step, r.ms);
}

// The converter alone, both directions, on the same message.
int TimeConverter(size_t chars, int rounds) {
    const std::string message = Message(chars);
    Str text = StrArg(message.data(), message.size()), pdu = TextToPdu(text), result;
    printf("The converter alone, %zu characters (best of %d):\n", chars, rounds);
    printf("  %-58s %9.2f ms\n", "TextToPdu", Best(rounds, [] {}, [&] { result = TextToPdu(text); }));
    printf("  %-58s %9.2f ms\n", "PduToText", Best(rounds, [] {}, [&] { result = PduToText(pdu); }));
    return std::string(result.Text(), result.Length()) == message ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    size_t chars = 32767;
    int rounds = 7;
    bool converterOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (!strncmp(argv[i], "--chars=", 8)) chars = strtoull(argv[i] + 8, nullptr, 10);
        else if (!strncmp(argv[i], "--rounds=", 9)) rounds = atoi(argv[i] + 9);
        else if (!strcmp(argv[i], "--converter-only")) converterOnly = true;
        else return fprintf(stderr, "usage: click_road [--chars=N] [--rounds=N] [--converter-only]\n"), 2;
    }
    if (chars < 1 || rounds < 1) return fprintf(stderr, "click_road: --chars and --rounds must be positive\n"), 2;
    ProgramHeapInit();
    StringRuntimeInit();
    ArrayRuntimeInit();
    if (converterOnly) return TimeConverter(chars, rounds);
    ToolkitInit();
    if (!OpenMainWindow()) return fprintf(stderr, "no window\n"), 1;
    CreateMainWindowGadgets("", "");
    HWND window = FindWindowRecord(MAIN_WINDOW)->window;

    const std::string message = Message(chars);
    const std::string pdu = Str(TextToPdu(StrArg(message.data(), message.size()))).Text();
    const std::string decoded = Str(PduToText(StrArg(pdu.data(), pdu.size()))).Text();
    if (decoded != message) return fprintf(stderr, "click_road: the round trip changed the text\n"), 1;

    // The toolkit's fields, one step at a time.
    Str source, result;
    auto fill = [&](GadgetNumber field, const std::string& text) { WriteGadgetText(field, text.c_str()); Settle(window); };
    auto clear = [&](GadgetNumber field) { WriteGadgetText(field, ""); Settle(window); };
    std::vector<Row> road;
    auto roadOf = [&](GadgetNumber from, GadgetNumber to, const std::string& input, bool toPdu,
                      const char* readName, const char* convertName, const char* writeName) {
        fill(from, input);
        road.push_back({readName, Best(rounds, [] {}, [&] { ReadInto(source, from); })});
        road.push_back({convertName, Best(rounds, [] {}, [&] { result = toPdu ? TextToPdu(source) : PduToText(source); })});
        road.push_back({"  the result's copy handed to the platform", Best(rounds, [] {}, [&] { Str copy = result; copy.Text(); })});
        road.push_back({writeName, Best(rounds, [&] { clear(to); }, [&] { WriteGadgetText(to, result.Text()); })});
        road.push_back({"  painting", Best(rounds, [&] { clear(to); WriteGadgetText(to, result.Text()); },
                                        [&] { Settle(window); })});
    };
    roadOf(FIELD_TEXT, FIELD_PDU, message, true, "Text to PDU: reading field 1", "  TextToPdu",
           "  writing field 3 (edit control and notifications)");
    roadOf(FIELD_PDU, FIELD_DECODED, pdu, false, "PDU to Text: reading field 3", "  PduToText",
           "  writing field 5 (edit control and notifications)");

    // Whole clicks: posted to the button, the loop runs the conversion when
    // the click's event arrives, then everything is painted.
    auto click = [&](GadgetNumber button, GadgetNumber from, GadgetNumber to, bool toPdu) {
        PostMessageA(Control(button), BM_CLICK, 0, 0);
        for (bool done = false; !done;) {
            int32_t code = NextEvent(-1);
            if (code == EVENT_GADGET && CurrentEventGadget() == button) Convert(source, from, to, toPdu), done = true;
        }
        Settle(window);
    };
    fill(FIELD_TEXT, message);
    road.push_back({"whole click on \"Text to PDU\"", Best(rounds, [&] { clear(FIELD_PDU); SetFocus(Control(FIELD_TEXT)); Settle(window); },
                                                       [&] { click(BUTTON_TO_PDU, FIELD_TEXT, FIELD_PDU, true); })});
    road.push_back({"whole click on \"PDU to Text\"", Best(rounds, [&] { clear(FIELD_DECODED); SetFocus(Control(FIELD_PDU)); Settle(window); },
                                                       [&] { click(BUTTON_TO_TEXT, FIELD_PDU, FIELD_DECODED, false); })});
    ReadInto(source, FIELD_DECODED);
    if (std::string(source.Text(), source.Length()) != message)
        return fprintf(stderr, "click_road: the clicks did not give the text back\n"), 1;
    char title[96];
    snprintf(title, sizeof title, "The program's window, %zu characters (best of %d):", chars, rounds);
    Print(title, road);
    Print("A bare edit control in a plain window, the same calls:", BareControl(message, pdu, rounds));
    ToolkitEnd();
    ProgramHeapEnd();
    return 0;
}
