// A toolkit event as the tests see it, printed by GoogleTest with its code's
// name and its fields. Platform-free.
#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <tuple>

#include "toolkit/events.h"

struct Event {
    int32_t code;
    intptr_t gadget, window;
    int32_t type;
    bool queued = true;   // false: formed in the dispatch, or a raw message
    bool operator==(const Event& o) const {
        return std::tie(code, gadget, window, type, queued) == std::tie(o.code, o.gadget, o.window, o.type, o.queued);
    }
};

#define SMS_NAMED(value) {value, #value}
// The name of an event code or type; null for any other number (a raw message's).
inline const char* EventName(int32_t number) {
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
    return nullptr;
}
#undef SMS_NAMED

inline void PrintTo(const Event& e, std::ostream* out) {
    const char* code = EventName(e.code);
    const char* type = EventName(e.type);
    *out << "{" << (code ? code : "message ") << (code ? "" : std::to_string(e.code)) << ", gadget " << e.gadget
         << ", window " << e.window << ", type " << (type ? type : std::to_string(e.type))
         << (e.queued ? ", queued}" : ", formed or raw}");
}
