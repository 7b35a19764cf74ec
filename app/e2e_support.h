// The real sms-pdu.exe under test, for the end-to-end test programs: starting
// it, finding its main window and gadgets, reading and setting their texts
// through time-limited messages, clicking with real input, and ending it.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "codec/codec.h"
#include "toolkit/win_test_support.h"

constexpr char kTitle[] = "SMS (Korvanel)";
constexpr char kSentinel[] = "(untouched)";

// The limit of one round trip to the program, in ms.
inline DWORD gMessageTimeout = 15000;

// What the codec linked into the test makes of a text or a PDU.
inline std::string Encode(const std::string& text) {
    Str pdu = TextToPdu(StrArg(text.data(), text.size()));
    return std::string(pdu.Text(), pdu.Length());
}

inline std::string Decode(const std::string& hex) {
    Str text = PduToText(StrArg(hex.data(), hex.size()));
    return std::string(text.Text(), text.Length());
}

// A window's text, read through the program; "<no answer>" when it hangs.
// The text may change between asking its length and reading it: read again
// until the two agree.
inline std::string TextOf(HWND window) {
    for (int attempt = 0; attempt < 10; attempt++) {
        DWORD_PTR length = 0;
        if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, gMessageTimeout, &length))
            return "<no answer>";
        std::vector<char> buffer(length + 2, '\0');
        DWORD_PTR copied = 0;
        if (!SendMessageTimeoutA(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                                 SMTO_ABORTIFHUNG, gMessageTimeout, &copied))
            return "<no answer>";
        size_t got = strnlen(buffer.data(), buffer.size());
        if (got == length) return std::string(buffer.data(), got);
    }
    return "<unsteady>";
}

inline bool SetText(HWND window, const std::string& text) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                               gMessageTimeout, &result) != 0;
}

// True when the program's thread answers a sent message in time.
inline bool Responsive(HWND window, DWORD ms = gMessageTimeout) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, ms, &result) != 0;
}

inline POINT CentreOf(HWND window) {
    RECT r = WindowRect(window);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// Moves the pointer to the control's centre and clicks the left button
// `clicks` times, with real input.
inline bool Click(HWND control, int clicks = 1) {
    std::vector<INPUT> inputs{MoveInput(CentreOf(control))};
    for (int i = 0; i < clicks; i++) {
        inputs.push_back(MouseInput(MOUSEEVENTF_LEFTDOWN));
        inputs.push_back(MouseInput(MOUSEEVENTF_LEFTUP));
    }
    return SendInputs(inputs);
}

// The main window once the program has shown it with all its gadgets.
inline bool IsMainWindowUp(HWND window) {
    return window && IsWindowVisible(window) && GetDlgItem(window, 7);
}

inline bool Launch(const std::string& path, PROCESS_INFORMATION* process) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    std::string commandLine = "\"" + path + "\"";
    return CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          process) != 0;
}

// Unix paths (as CMake passes them) are on Wine's Z: drive.
inline std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

struct Program {
    PROCESS_INFORMATION process = {};
    HWND window = nullptr;

    bool Running() const {
        return process.hProcess && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT;
    }
    HWND Gadget(int number) const { return GetDlgItem(window, number); }

    bool Start(const std::string& path) {
        // A program left over from an earlier run would be found instead.
        for (int i = 0; i < 20; i++) {
            HWND stale = FindWindowA(nullptr, kTitle);
            if (!stale) break;
            PostMessageA(stale, WM_CLOSE, 0, 0);
            Sleep(250);
        }
        if (!Launch(path, &process)) {
            process = {};
            return false;
        }
        bool found = WaitFor([&] {
            window = FindWindowA(nullptr, kTitle);
            return IsMainWindowUp(window) || !Running();
        }, 30000);
        return found && Running();
    }

    void Kill() {
        if (Running()) TerminateProcess(process.hProcess, 99);
        if (process.hProcess) {
            WaitForSingleObject(process.hProcess, 5000);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        process = {};
        window = nullptr;
    }

    GUITHREADINFO ThreadInfo() const {
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        if (!GetGUIThreadInfo(process.dwThreadId, &info)) info = {};
        return info;
    }
    HWND Focus() const { return ThreadInfo().hwndFocus; }
    // The window holding the mouse capture in the program's thread: the
    // main window exactly while a live sizing of it runs.
    HWND Capture() const { return ThreadInfo().hwndCapture; }

    // Lets the input sent so far reach the program.
    void Settle(DWORD pause) const {
        Responsive(window);
        Sleep(pause);
        Responsive(window);
    }
};
