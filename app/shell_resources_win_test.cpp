// A window like the program's main window with its eight gadgets, opened hidden (Wine waits for a window
// manager at each showing) and closed 1,000 times, gives back every window, heap block and table entry.
#include <gtest/gtest.h>

#include "toolkit/gadgets.h"
#include "toolkit/toolkit.h"
#include "toolkit/win_test_support.h"

TEST(MainWindowResources, AThousandRoundsGiveEverythingBack) {
    RuntimeInit();
    ToolkitInit();
    StartWatchdog(200000, "shell_resources_win_test");
    size_t made = 0, alive = 0;
    HeapUsage start = {};
    for (int round = 0; round <= 1000; round++) {
        if (round == 1) start = HeapUsageOf(ProgramHeap());   // the first round made what lives for the whole run
        intptr_t windows[9] = {OpenToolkitWindow(0, 287, 33, 600, 300, "SMS", WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | OPEN_HIDDEN)};
        for (GadgetNumber n = 0; n < 8; n++) {
            auto create = n >= 6 ? CreateButtonGadget : n % 2 ? CreateEditGadget : CreateLabelGadget;
            windows[n + 1] = create(n, n >= 6 ? 290 : 30, 20 + 20 * n, 160, 20, "Hallo", 0);
        }
        CloseToolkitWindow(0);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        for (intptr_t window : windows) made += window != 0, alive += window && IsWindow(HWND(window));
    }
    const HeapUsage end = HeapUsageOf(ProgramHeap());
    EXPECT_EQ(std::make_pair(end.blocks, end.bytes), std::make_pair(start.blocks, start.bytes)) << "heap";
    EXPECT_EQ(std::make_pair(made, alive), std::make_pair(size_t{9009}, size_t{0})) << "windows made, left";
    for (int n = 0; n < 8; n++) EXPECT_TRUE(!FindObject(GadgetTable(), n) && !FindObject(WindowTable(), n)) << n;
}
