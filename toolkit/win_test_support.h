// Plumbing shared by the Windows test programs: the runtime set-up of a test
// main, a watchdog that ends a hung test program, waiting with a time limit,
// and real mouse and key input through SendInput.
#pragma once

#include <windows.h>

#include <cstdio>
#include <functional>
#include <vector>

#include "runtime/arrays.h"
#include "runtime/heap.h"
#include "runtime/strings.h"

// The heap, string and array runtimes, as a program's start sets them up.
inline void StartTestRuntime() {
    ProgramHeapInit();
    StringRuntimeInit();
    ArrayRuntimeInit();
}

// --- Watchdog ----------------------------------------------------------------

struct WatchdogSetting {
    DWORD ms;
    const char* program;
    void (*beforeExit)();
};

inline DWORD WINAPI WatchdogThread(LPVOID setting) {
    const WatchdogSetting* s = static_cast<const WatchdogSetting*>(setting);
    Sleep(s->ms);
    fprintf(stderr, "%s: still running after %lu ms, giving up\n", s->program, static_cast<unsigned long>(s->ms));
    fflush(stderr);
    if (s->beforeExit) s->beforeExit();
    TerminateProcess(GetCurrentProcess(), 3);
    return 0;
}

// Ends this program with exit code 3 when it still runs `ms` from now, so
// that a hang fails the test rather than blocking the suite. `beforeExit`,
// when given, runs first (say, to end a program the test started).
inline void StartWatchdog(DWORD ms, const char* program, void (*beforeExit)() = nullptr) {
    static WatchdogSetting setting;
    setting = {ms, program, beforeExit};
    HANDLE thread = CreateThread(nullptr, 0, WatchdogThread, &setting, 0, nullptr);
    if (thread) CloseHandle(thread);
}

// --- Waiting -----------------------------------------------------------------

inline void SleepAWhile() { Sleep(10); }

// Checks `done` until it holds, at most `ms`; between checks runs `step`
// (by default a pause of 10 ms; a test with windows of its own pumps there).
inline bool WaitFor(const std::function<bool()>& done, DWORD ms,
                    const std::function<void()>& step = SleepAWhile) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start > ms) return false;
        step();
    }
}

// --- Windows and real input --------------------------------------------------

inline RECT WindowRect(HWND window) {
    RECT r = {};
    GetWindowRect(window, &r);
    return r;
}

inline bool SendInputs(const std::vector<INPUT>& inputs) {
    return SendInput(static_cast<UINT>(inputs.size()), const_cast<INPUT*>(inputs.data()), sizeof(INPUT)) ==
           inputs.size();
}

// A mouse input; with MOUSEEVENTF_ABSOLUTE, `at` is a screen point. Absolute
// coordinates run from 0 to 65535 over the primary screen; they are rounded
// up, so that the system's truncating conversion back lands on the very pixel.
inline INPUT MouseInput(DWORD flags, POINT at = {0, 0}) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
        input.mi.dx = static_cast<LONG>((at.x * 65536LL + width - 1) / width);
        input.mi.dy = static_cast<LONG>((at.y * 65536LL + height - 1) / height);
    }
    input.mi.dwFlags = flags;
    return input;
}

inline INPUT MoveInput(POINT at) { return MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, at); }

inline bool SendMouse(DWORD flags, POINT at = {0, 0}) { return SendInputs({MouseInput(flags, at)}); }

inline INPUT KeyInput(WORD key, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

// A real press and release of `key`, with shift held around it if asked.
inline bool PressKey(WORD key, bool shift = false) {
    std::vector<INPUT> inputs;
    if (shift) inputs.push_back(KeyInput(VK_SHIFT, false));
    inputs.push_back(KeyInput(key, false));
    inputs.push_back(KeyInput(key, true));
    if (shift) inputs.push_back(KeyInput(VK_SHIFT, true));
    return SendInputs(inputs);
}
