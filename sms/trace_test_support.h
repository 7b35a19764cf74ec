// Whether the fields a trace records tile the PDU they were read from.
#pragma once
#include <string>

#include "sms/cursor.h"

// "tiles" when the fields of whole octets cover the PDU of `size` octets exactly once and in order (to its end when
// it was read, at least to the fault at `faultAt` when not) and every field inside an octet lies in one covered;
// else the first field that breaks it.
inline std::string Tiling(const sms::Trace& t, size_t size, bool read, size_t faultAt) {
    size_t end = 0;
    for (const sms::Span& s : t.spans) {
        if (s.InsideOctet()) {
            if (s.offset >= end || s.high < s.low || s.high > 7) return "bits of " + s.field + " outside the fields";
            continue;
        }
        if (s.offset != end) return s.field + " starts at " + std::to_string(s.offset) + ", not " + std::to_string(end);
        end += s.length;
    }
    if (read ? end == size : end >= faultAt && end <= size) return "tiles";
    return "the fields end at " + std::to_string(end) + " of " + std::to_string(size) +
           (read ? "" : ", fault at " + std::to_string(faultAt));
}
