// The gadget target (Win32): the window new gadgets are created in. Each
// window that has been the target keeps its target state in a
// GadgetTargetRecord while another window is the target, and gets it back
// when it becomes the target once more.
#pragma once
#include <windows.h>

#include "toolkit/gadgets.h"

// Gives a fresh gadget library state its empty container stack.
void InitGadgetTarget(GadgetLibraryState* state);
// Makes `window` the target and returns the previous one; null asks only.
HWND SelectGadgetWindow(HWND window);
// Installed on every target window: its record goes with the window.
LRESULT CALLBACK GadgetStackWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
