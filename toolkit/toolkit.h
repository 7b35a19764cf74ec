// Start-up and shutdown of the toolkit's libraries, in their fixed order.
#pragma once

// Images, event queue, windows, gadgets.
void ToolkitInit();
// Gadgets, windows (closing every window), images.
void ToolkitEnd();
