#include "toolkit/toolkit.h"

#include "toolkit/events.h"
#include "toolkit/gadgets.h"
#include "toolkit/images.h"
#include "toolkit/window.h"

void ToolkitInit() {
    ImageLibraryInit();
    EventQueueInit();
    WindowLibraryInit();
    GadgetLibraryInit();
}

void ToolkitEnd() {
    GadgetLibraryEnd();
    WindowLibraryEnd();
    ImageLibraryEnd();
}
