// A toolkit event as the tests see it, printed by GoogleTest with its code's
// name and its fields. Platform-free.
#pragma once
#include <cstdint>
#include <ostream>
#include <string>

#include "toolkit/events.h"

struct Event {
    int32_t code;
    intptr_t gadget, window;
    int32_t type;
    bool queued = true;   // false: formed in the dispatch, or a raw message
    bool operator==(const Event&) const = default;
};

#define SMS_NAMED(value) {value, #value}
// The name of an event code or type; for any other (a raw message's) its number.
inline std::string EventName(int32_t number) {
    static const struct { int32_t number; const char* name; } names[] = {
        SMS_NAMED(EVENT_MOVE_WINDOW), SMS_NAMED(EVENT_SIZE_WINDOW), SMS_NAMED(EVENT_REPAINT),
        SMS_NAMED(EVENT_CLOSE_WINDOW), SMS_NAMED(EVENT_GADGET), SMS_NAMED(EVENT_MENU),
        SMS_NAMED(EVENT_ITEM_CLICK), SMS_NAMED(EVENT_ACTIVATE_WINDOW), SMS_NAMED(EVENT_WINDOW_PAYLOAD),
        SMS_NAMED(EVENT_GADGET_PAYLOAD), SMS_NAMED(EVENT_MINIMIZE_WINDOW), SMS_NAMED(EVENT_MAXIMIZE_WINDOW),
        SMS_NAMED(EVENT_RESTORE_WINDOW), SMS_NAMED(EVENT_TIMER), SMS_NAMED(EVENT_TYPE_FOCUS),
        SMS_NAMED(EVENT_TYPE_LOST_FOCUS),
    };
    for (const auto& n : names)
        if (n.number == number) return n.name;
    return std::to_string(number);
}
#undef SMS_NAMED

inline void PrintTo(const Event& e, std::ostream* out) {
    *out << "{" << EventName(e.code) << ", gadget " << e.gadget << ", window " << e.window << ", type "
         << EventName(e.type) << (e.queued ? ", queued}" : ", formed or raw}");
}
