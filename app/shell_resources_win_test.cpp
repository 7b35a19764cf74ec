// The main window's resources: a window laid out like the program's, with its
// eight gadgets, opened and closed 1,000 times in one process, gives back
// every window, GDI object, heap block and table entry it took.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "toolkit/gadgets.h"
#include "toolkit/toolkit.h"
#include "toolkit/win_test_support.h"
#include "toolkit/window.h"

namespace {

// Hidden: under Wine without a window manager, a round with a shown window
// took about two seconds here (showing and hiding wait for the manager).
void OpenMainLikeWindow(std::vector<HWND>* handles) {
    handles->push_back(reinterpret_cast<HWND>(
        OpenToolkitWindow(0, 287, 33, 600, 300, "SMS resources", 0xCC0000 | OPEN_HIDDEN)));
    handles->push_back(reinterpret_cast<HWND>(CreateLabelGadget(0, 30, 20, 60, 20, "SMS Text", 0)));
    handles->push_back(reinterpret_cast<HWND>(CreateEditGadget(1, 30, 40, 230, 30, "Hallo, ich bins!", 0)));
    handles->push_back(reinterpret_cast<HWND>(CreateLabelGadget(2, 30, 80, 60, 20, "Text to PDU", 0)));
    handles->push_back(reinterpret_cast<HWND>(CreateEditGadget(3, 30, 100, 230, 30, "", 0)));
    handles->push_back(reinterpret_cast<HWND>(CreateLabelGadget(4, 30, 140, 60, 20, "PDU to Text", 0)));
    handles->push_back(reinterpret_cast<HWND>(CreateEditGadget(5, 30, 160, 230, 30, "", 0)));
    handles->push_back(reinterpret_cast<HWND>(CreateButtonGadget(6, 290, 100, 160, 30, "Text to PDU", 0)));
    handles->push_back(reinterpret_cast<HWND>(CreateButtonGadget(7, 290, 160, 160, 30, "PDU to Text", 0)));
}

void DrainMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

struct Resources {
    DWORD user, gdi;
    HeapUsage heap;
};

Resources Measure() {
    HANDLE self = GetCurrentProcess();
    return Resources{GetGuiResources(self, GR_USEROBJECTS), GetGuiResources(self, GR_GDIOBJECTS),
                     HeapUsageOf(ProgramHeap())};
}

TEST(MainWindowResources, AThousandRoundsGiveEverythingBack) {
    ToolkitInit();
    // One round first: the first window also makes what lives for the whole
    // run (the gadget kinds, the gadget target's stack).
    std::vector<HWND> handles;
    OpenMainLikeWindow(&handles);
    CloseToolkitWindow(0);
    DrainMessages();
    Resources start = Measure();

    handles.clear();
    DWORD began = GetTickCount();
    for (int round = 0; round < 1000; round++) {
        OpenMainLikeWindow(&handles);
        CloseToolkitWindow(0);
        if (round % 100 == 0) DrainMessages();
    }
    DrainMessages();
    DWORD elapsed = GetTickCount() - began;
    Resources end = Measure();

    printf("  1000 rounds in %lu ms; USER objects %lu -> %lu, GDI objects %lu -> %lu; "
           "program heap %zu blocks, %zu bytes -> %zu blocks, %zu bytes\n",
           static_cast<unsigned long>(elapsed), static_cast<unsigned long>(start.user),
           static_cast<unsigned long>(end.user), static_cast<unsigned long>(start.gdi),
           static_cast<unsigned long>(end.gdi), start.heap.blocks, start.heap.bytes, end.heap.blocks,
           end.heap.bytes);
    if (start.user == 0 && start.gdi == 0)
        printf("  note: GetGuiResources answers 0 here; the handle, heap and table checks stand in\n");
    EXPECT_EQ(end.user, start.user);
    EXPECT_EQ(end.gdi, start.gdi);
    EXPECT_EQ(end.heap.blocks, start.heap.blocks);
    EXPECT_EQ(end.heap.bytes, start.heap.bytes);

    ASSERT_EQ(handles.size(), 9000u);
    size_t created = 0, alive = 0;
    for (HWND handle : handles) {
        if (handle) created++;
        if (handle && IsWindow(handle)) alive++;
    }
    EXPECT_EQ(created, handles.size());
    EXPECT_EQ(alive, 0u);
    for (GadgetNumber number = 0; number < 50; number++)
        EXPECT_EQ(FindObject(GadgetTable(), number), nullptr) << "gadget " << number;
    EXPECT_EQ(FindObject(WindowTable(), 0), nullptr);

    // A window still open at the end is closed by ToolkitEnd, gadgets and all.
    handles.clear();
    OpenMainLikeWindow(&handles);
    for (HWND handle : handles) ASSERT_TRUE(handle && IsWindow(handle));
    ToolkitEnd();
    DrainMessages();
    for (HWND handle : handles) EXPECT_FALSE(IsWindow(handle));
    for (GadgetNumber number = 0; number < 8; number++)
        EXPECT_EQ(FindObject(GadgetTable(), number), nullptr) << "gadget " << number;
}

}  // namespace

int main(int argc, char** argv) {
    StartTestRuntime();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
