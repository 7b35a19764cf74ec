// placeholder: replaced by the window work
#include "toolkit/toolkit.h"
void ToolkitInit() {}
void ToolkitEnd() {}
