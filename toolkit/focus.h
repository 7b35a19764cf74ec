// Keyboard navigation among a window's controls and its accelerator choice (Win32).
#pragma once
#include <windows.h>

#include <cstdint>

// The accelerator table to apply for the active window, or null.
HACCEL PickAccelerators(HWND activeWindow);
// backward: 0 for Tab, 1 for shift-Tab.
void MoveFocus(int backward);
