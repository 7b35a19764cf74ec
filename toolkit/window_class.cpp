#include "toolkit/window_class.h"

#include <windows.h>

#include <cinttypes>
#include <cstdio>

#include "runtime/heap.h"
#include "toolkit/window.h"
#include "toolkit/window_proc.h"

namespace {

HICON gClassIcon = nullptr;
HCURSOR gClassCursor = nullptr;

// Numbers of windows destroyed without CloseToolkitWindow whose classes are
// still registered.
WindowNumber* gOrphans = nullptr;
size_t gOrphanCount = 0, gOrphanCapacity = 0;

}  // namespace

void FormatClassName(char* name, size_t size, WindowNumber number) {
    snprintf(name, size, "WindowClass_%" PRIdPTR, number);
}

void WindowClassInit() {
    gClassIcon = LoadIconA(ToolkitInstance(), MAKEINTRESOURCEA(1));  // null: the default icon
    gClassCursor = LoadCursorA(nullptr, IDC_ARROW);
}

void RegisterWindowClass(WindowNumber number) {
    char className[48];
    FormatClassName(className, sizeof className, number);
    WNDCLASSA windowClass = {};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = ToolkitWindowProc;
    windowClass.hInstance = ToolkitInstance();
    windowClass.hIcon = gClassIcon;
    windowClass.hCursor = gClassCursor;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
}

bool UnregisterWindowClass(WindowNumber number) {
    char className[48];
    FormatClassName(className, sizeof className, number);
    return UnregisterClassA(className, ToolkitInstance()) != FALSE;
}

void NoteOrphanClass(WindowNumber number) {
    if (gOrphanCount == gOrphanCapacity) {
        gOrphanCapacity = gOrphanCapacity ? 2 * gOrphanCapacity : 8;
        gOrphans = static_cast<WindowNumber*>(
            HeapResize(ProgramHeap(), gOrphans, gOrphanCapacity * sizeof(WindowNumber)));
    }
    gOrphans[gOrphanCount++] = number;
}

// Keeps only the classes that still have a window (one in the middle of its
// destruction); a class already gone or re-registered and unregistered since
// is simply dropped from the list.
void UnregisterOrphanClasses() {
    size_t kept = 0;
    for (size_t i = 0; i < gOrphanCount; i++) {
        if (!UnregisterWindowClass(gOrphans[i]) && GetLastError() == ERROR_CLASS_HAS_WINDOWS) {
            gOrphans[kept++] = gOrphans[i];
        }
    }
    gOrphanCount = kept;
    if (kept == 0) {
        HeapGive(ProgramHeap(), gOrphans);
        gOrphans = nullptr;
        gOrphanCapacity = 0;
    }
}
