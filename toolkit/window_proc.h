// The one window procedure of every toolkit window (Win32).
#pragma once
#include <windows.h>

#include <cstdint>

LRESULT CALLBACK ToolkitWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// A result, or NOT_HANDLED for the platform's default processing.
LRESULT TranslateWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ForwardToGadget(HWND control, HWND parent, UINT message, WPARAM wParam, LPARAM lParam);

// Private messages that only the toolkit itself posts.
constexpr UINT MSG_ITEM_MOUSE = 12501;       // wParam item, lParam the mouse message
constexpr UINT MSG_WINDOW_PAYLOAD = 13105;   // lParam a payload block
constexpr UINT MSG_GADGET_PAYLOAD = 13106;   // wParam gadget, lParam a payload block
constexpr UINT MSG_FORWARD_TO_CONTROL = 13120;  // lParam the control
