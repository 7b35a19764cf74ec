// One platform window class per toolkit window, named "WindowClass_%d" after
// the window's number (Win32).
#pragma once
#include "toolkit/registry.h"

// Loads the class icon (resource 1 of the program, else the default icon)
// and the arrow cursor; called by WindowLibraryInit.
void WindowClassInit();
// Registers the class of `number` with ToolkitWindowProc; a failure shows as
// a failed window creation.
void RegisterWindowClass(WindowNumber number);
bool UnregisterWindowClass(WindowNumber number);  // false when it could not go
void FormatClassName(char* name, size_t size, WindowNumber number);

// A window destroyed other than by CloseToolkitWindow learns of it while it
// still exists, so its class cannot go yet: it is noted, and goes at the
// next open or close of a window, or at the window library's end.
void NoteOrphanClass(WindowNumber number);
void UnregisterOrphanClasses();
