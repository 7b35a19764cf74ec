// The names the toolkit gives the platform, each spelled here once: the
// window properties it keeps (each holds one pointer-sized value) and the
// private messages only the toolkit itself would post. Platform-free.
#pragma once
#include <cstdint>

// On each toolkit window: its number plus 1, so that window 0 gives a
// non-null value.
inline constexpr char PROP_WINDOW_ID[] = "QV_WindowID";
// On each gadget control: its gadget number, equal to its control identifier.
inline constexpr char PROP_GADGET_ID[] = "QV_ID";
// On a toolkit window while it is inactive: the control that had the focus.
inline constexpr char PROP_FOCUS[] = "QV_Focus";
// On a window or control registered as an OLE drop target.
inline constexpr char PROP_DROP_ACCEPT[] = "QV_DropAccept";
// On a window that holds an MDI client: the client.
inline constexpr char PROP_MDI_CLIENT[] = "QV_MDI_Gadget";
// On a control that takes key combinations, Tab among them, as its input.
inline constexpr char PROP_HOTKEY[] = "QV_Hotkey";
// On each window that has been a gadget target, its GadgetTargetRecord; the
// number is the program's instance handle, so two modules never share one.
inline constexpr char PROP_GADGET_STACK_FORMAT[] = "QV_GadgetStack_%lld";

// No part of this program posts these; a general toolkit lets any window
// receive item clicks, payloads and forwarded notifications this way.
inline constexpr uint32_t MSG_ITEM_MOUSE = 12501;          // wParam item, lParam the mouse message
inline constexpr uint32_t MSG_WINDOW_PAYLOAD = 13105;      // lParam a payload block
inline constexpr uint32_t MSG_GADGET_PAYLOAD = 13106;      // wParam gadget, lParam a payload block
inline constexpr uint32_t MSG_FORWARD_TO_CONTROL = 13120;  // lParam the control
