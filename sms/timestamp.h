// Times and validity periods (3GPP TS 23.040 9.2.3.11, 9.2.3.12): the seven
// semi-octet pairs of a time stamp and the relative validity octet, read and
// written.
#pragma once
#include <string>

#include "sms/cursor.h"

namespace sms {

struct Timestamp {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int zoneQuarters = 0;  // offset from UTC in quarter hours
    std::string Iso() const;  // 2026-12-07T17:55:29+01:00
};

// A time stamp as `field` (TP-SCTS, TP-DT, TP-VP); `words` name it in errors.
bool ReadTimestamp(Cursor& c, const char* field, const char* words, Timestamp* t);
void AppendTimestamp(const Timestamp& t, Bytes* out);
// "2026-12-24T18:00+01:00" (seconds optional, Z for UTC) to a time a PDU can
// carry: years 1990 to 2089, a zone of whole quarter hours. False with the
// reason in *why.
bool TimestampFromIso(const std::string& iso, Timestamp* out, std::string* why);

// Minutes a relative validity octet stands for.
int ValidityMinutes(int octet);
// "30m", "12h", "7d", "5w" or sums like "1d12h" to the smallest octet that
// keeps the message at least that long; false when empty, malformed, zero or
// longer than 63 weeks.
bool ValidityFromDuration(const std::string& duration, int* octet);
// The duration of a relative validity octet: "5m", "12h30m", "3d", "5w".
std::string DurationText(int octet);

}  // namespace sms
