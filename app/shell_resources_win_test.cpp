// The main window's resources: a window laid out like the program's, with its
// eight gadgets, opened and closed 1,000 times in one process, gives back
// every window, heap block and table entry it took.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "toolkit/gadgets.h"
#include "toolkit/toolkit.h"
#include "toolkit/win_test_support.h"
#include "toolkit/window.h"

namespace {

// Hidden: under Wine without a window manager, showing and hiding a window
// wait about a second each for the manager.
void OpenMainLikeWindow(std::vector<HWND>* handles) {
    using Create = intptr_t (*)(GadgetNumber, int, int, int, int, const char*, uint32_t);
    const struct {
        Create create;
        int x, y, width, height;
        const char* text;
    } gadgets[] = {
        {CreateLabelGadget, 30, 20, 60, 20, "SMS Text"},      {CreateEditGadget, 30, 40, 230, 30, "Hallo, ich bins!"},
        {CreateLabelGadget, 30, 80, 60, 20, "Text to PDU"},   {CreateEditGadget, 30, 100, 230, 30, ""},
        {CreateLabelGadget, 30, 140, 60, 20, "PDU to Text"},  {CreateEditGadget, 30, 160, 230, 30, ""},
        {CreateButtonGadget, 290, 100, 160, 30, "Text to PDU"}, {CreateButtonGadget, 290, 160, 160, 30, "PDU to Text"},
    };
    handles->push_back(reinterpret_cast<HWND>(OpenToolkitWindow(0, 287, 33, 600, 300, "SMS", 0xCC0000 | OPEN_HIDDEN)));
    GadgetNumber number = 0;
    for (const auto& g : gadgets)
        handles->push_back(reinterpret_cast<HWND>(g.create(number++, g.x, g.y, g.width, g.height, g.text, 0)));
}

void DrainMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

TEST(MainWindowResources, AThousandRoundsGiveEverythingBack) {
    ToolkitInit();
    // One round first: the first window also makes what lives for the whole
    // run (the gadget kinds, the gadget target's stack).
    std::vector<HWND> handles;
    OpenMainLikeWindow(&handles);
    CloseToolkitWindow(0);
    DrainMessages();
    const HeapUsage start = HeapUsageOf(ProgramHeap());

    handles.clear();
    for (int round = 0; round < 1000; round++) {
        OpenMainLikeWindow(&handles);
        CloseToolkitWindow(0);
        if (round % 100 == 0) DrainMessages();
    }
    DrainMessages();
    const HeapUsage end = HeapUsageOf(ProgramHeap());
    printf("  program heap: %zu blocks, %zu bytes before; %zu blocks, %zu bytes after 1,000 rounds\n", start.blocks,
           start.bytes, end.blocks, end.bytes);
    EXPECT_EQ(end.blocks, start.blocks);
    EXPECT_EQ(end.bytes, start.bytes);
    ASSERT_EQ(handles.size(), 9000u);
    size_t created = 0, alive = 0;
    for (HWND handle : handles) created += handle != nullptr, alive += handle && IsWindow(handle);
    EXPECT_EQ(created, 9000u);
    EXPECT_EQ(alive, 0u);
    for (GadgetNumber number = 0; number < 8; number++) EXPECT_EQ(FindObject(GadgetTable(), number), nullptr);
    EXPECT_EQ(FindObject(WindowTable(), 0), nullptr);

    // A window still open at the end is closed by ToolkitEnd, gadgets and all.
    handles.clear();
    OpenMainLikeWindow(&handles);
    for (HWND handle : handles) ASSERT_TRUE(handle && IsWindow(handle));
    ToolkitEnd();
    DrainMessages();
    for (HWND handle : handles) EXPECT_FALSE(IsWindow(handle));
}

}  // namespace

int main(int argc, char** argv) {
    StartTestRuntime();
    ::testing::InitGoogleTest(&argc, argv);
    StartWatchdog(200000, "shell_resources_win_test");
    return RUN_ALL_TESTS();
}
