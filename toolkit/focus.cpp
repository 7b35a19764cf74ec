// placeholder: replaced by the focus work
#include "toolkit/focus.h"
HACCEL PickAccelerators(HWND) { return nullptr; }
void MoveFocus(int) {}
