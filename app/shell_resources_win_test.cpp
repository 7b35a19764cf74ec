// A window like the program's main window, with its eight gadgets (three
// labels, three edit fields, two buttons), opened and closed 1,000 times in
// one process, gives back every window, heap block and table entry.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "toolkit/gadgets.h"
#include "toolkit/toolkit.h"
#include "toolkit/win_test_support.h"
#include "toolkit/window.h"

namespace {

// Hidden: under Wine without a window manager, showing and hiding each wait
// for the manager.
void OpenAndClose(std::vector<HWND>* handles) {
    handles->push_back(reinterpret_cast<HWND>(OpenToolkitWindow(0, 287, 33, 600, 300, "SMS", 0xCC0000 | OPEN_HIDDEN)));
    for (GadgetNumber n = 0; n < 8; n++) {
        auto create = n >= 6 ? CreateButtonGadget : n % 2 ? CreateEditGadget : CreateLabelGadget;
        handles->push_back(reinterpret_cast<HWND>(create(n, n >= 6 ? 290 : 30, 20 + 20 * n, 160, 20, "Hallo", 0)));
    }
    CloseToolkitWindow(0);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

TEST(MainWindowResources, AThousandRoundsGiveEverythingBack) {
    ToolkitInit();
    // The first round also makes what lives for the whole run.
    std::vector<HWND> handles;
    OpenAndClose(&handles);
    const HeapUsage start = HeapUsageOf(ProgramHeap());
    handles.clear();
    for (int round = 0; round < 1000; round++) OpenAndClose(&handles);
    const HeapUsage end = HeapUsageOf(ProgramHeap());
    printf("  program heap: %zu blocks, %zu bytes before; %zu blocks, %zu bytes after 1,000 rounds\n", start.blocks,
           start.bytes, end.blocks, end.bytes);
    EXPECT_EQ(end.blocks, start.blocks);
    EXPECT_EQ(end.bytes, start.bytes);
    size_t created = 0, alive = 0;
    for (HWND handle : handles) created += handle != nullptr, alive += handle && IsWindow(handle);
    EXPECT_EQ(created, 9000u);
    EXPECT_EQ(alive, 0u);
    for (GadgetNumber n = 0; n < 8; n++) EXPECT_EQ(FindObject(GadgetTable(), n), nullptr) << n;
    EXPECT_EQ(FindObject(WindowTable(), 0), nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    StartTestRuntime();
    ::testing::InitGoogleTest(&argc, argv);
    StartWatchdog(200000, "shell_resources_win_test");
    return RUN_ALL_TESTS();
}
