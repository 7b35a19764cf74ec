// The one window procedure of every toolkit window (Win32).
#pragma once
#include <windows.h>

#include <cstdint>

LRESULT CALLBACK ToolkitWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// A result, or NOT_HANDLED for the platform's default processing.
LRESULT TranslateWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ForwardToGadget(HWND control, HWND parent, UINT message, WPARAM wParam, LPARAM lParam);

