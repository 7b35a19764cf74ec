// Plumbing shared by the Windows test programs: one watchdog per program, waiting
// for a condition with a bound, real input through SendInput, and the events the toolkit's fetch delivers.
#pragma once

#include <windows.h>

#include <cstdio>
#include <functional>
#include <ostream>
#include <thread>
#include <vector>

#include "runtime/runtime.h"
#include "toolkit/event_fetch.h"
#include "toolkit/event_test_support.h"
#include "toolkit/events.h"
#include "toolkit/window.h"

// Ends the program with exit code 3 when it still runs `ms` from now, so a hang fails the test instead of
// blocking the suite; `beforeExit` runs first.
inline void StartWatchdog(DWORD ms, const char* program, void (*beforeExit)() = nullptr) {
    std::thread([=] {
        Sleep(ms);  // the time limit itself, not a wait for a condition
        fprintf(stderr, "%s: still running after %lu ms, giving up\n", program, (unsigned long)ms);
        if (beforeExit) beforeExit();
        TerminateProcess(GetCurrentProcess(), 3);
    }).detach();
}

// Checks `done` until it holds, at most `ms`, running `step` in between.
inline bool WaitFor(const std::function<bool()>& done, DWORD ms, const std::function<void()>& step = [] { Sleep(10); }) {
    for (DWORD start = GetTickCount();; step()) {
        if (done()) return true;
        if (GetTickCount() - start > ms) return false;
    }
}

// Found by the checks' argument-dependent lookup, so outside any namespace.
inline bool operator==(POINT a, POINT b) { return a.x == b.x && a.y == b.y; }
inline bool operator==(RECT a, RECT b) { return EqualRect(&a, &b) != FALSE; }
inline void PrintTo(POINT p, std::ostream* out) { *out << "(" << p.x << ", " << p.y << ")"; }
inline void PrintTo(RECT r, std::ostream* out) { *out << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}"; }

inline RECT WindowRect(HWND window) { RECT r = {}; GetWindowRect(window, &r); return r; }
inline RECT ClientRect(HWND window) { RECT r = {}; GetClientRect(window, &r); return r; }
inline POINT CursorPos() { POINT at = {-1, -1}; GetCursorPos(&at); return at; }
// The pointer at a screen point, as the mouse move that a capture brings.
inline void MoveTo(HWND target, POINT at) {
    ScreenToClient(target, &at);
    SendMessageA(target, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(at.x, at.y));
}

inline bool SendInputs(const std::vector<INPUT>& inputs) {
    return SendInput(UINT(inputs.size()), const_cast<INPUT*>(inputs.data()), sizeof(INPUT)) == inputs.size();
}
// `at` is the screen point of a MOUSEEVENTF_ABSOLUTE input, in coordinates of 0 to 65535 over the screen rounded up
// so that the system's truncating conversion back lands on the very pixel.
inline INPUT MouseInput(DWORD flags, POINT at = {0, 0}) {
    const LONGLONG width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input = {INPUT_MOUSE, {}};
    input.mi = {LONG((at.x * 65536 + width - 1) / width), LONG((at.y * 65536 + height - 1) / height), 0, flags, 0, 0};
    return input;
}
// A real click at screen point `at`: press and release each carry the point, so a late pointer move
// (Wine's, from an earlier click) cannot misplace them.
inline bool ClickAt(POINT at) {
    const DWORD there = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return SendInputs({MouseInput(there | MOUSEEVENTF_LEFTDOWN, at), MouseInput(there | MOUSEEVENTF_LEFTUP, at)});
}
inline POINT CloseBoxPoint(HWND window) {  // the middle of a framed window's close box
    const RECT r = WindowRect(window);
    return {r.right - GetSystemMetrics(SM_CXFRAME) - GetSystemMetrics(SM_CXSIZE) / 2,
            r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2};
}
inline INPUT KeyInput(WORD key, bool up) {
    INPUT input = {INPUT_KEYBOARD, {}};
    input.ki = {key, WORD(MapVirtualKeyA(key, MAPVK_VK_TO_VSC)), DWORD(up ? KEYEVENTF_KEYUP : 0), 0, 0};
    return input;
}
// A real press and release of `key`, with shift held around it if asked.
inline bool PressKey(WORD key, bool shift = false) {
    std::vector<INPUT> inputs = {KeyInput(key, false), KeyInput(key, true)};
    if (shift) inputs.insert(inputs.begin(), KeyInput(VK_SHIFT, false)), inputs.push_back(KeyInput(VK_SHIFT, true));
    return SendInputs(inputs);
}

// One result of NextEvent, as an Event.
inline Event CurrentEvent(int32_t code) {
    return {code, CurrentEventGadget(), CurrentEventWindow(), CurrentEventType(), TheEventState()->currentCode != 0};
}
// Runs the toolkit's fetch until `done` holds, at most `ms`, noting events.
inline bool PumpUntil(const std::function<bool()>& done, DWORD ms = 3000, std::vector<Event>* seen = nullptr) {
    return WaitFor(done, ms, [seen] {
        if (int32_t code = NextEvent(10); code && seen) seen->push_back(CurrentEvent(code));
    });
}
inline std::vector<Event> Drain() {  // whatever is pending now
    std::vector<Event> seen;
    for (int32_t code; seen.size() < 1000 && (code = NextEvent(0)) != 0;) seen.push_back(CurrentEvent(code));
    return seen;
}
