#include "sms/timestamp.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace sms {
namespace {

const int kTimestampOctets = 7;
const int kZoneSign = 0x08;  // bit 3 of the zone's octet: west of UTC

bool RealTime(const Timestamp& t) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = t.year % 4 == 0 && (t.year % 100 != 0 || t.year % 400 == 0);
    return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= kDays[t.month - 1] + (t.month == 2 && leap) &&
           t.hour <= 23 && t.minute <= 59 && t.second <= 59;
}

// The number of `count` decimal digits at `at`, or -1.
int DigitsAt(const std::string& s, size_t at, size_t count) {
    int v = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (i >= s.size() || s[i] < '0' || s[i] > '9') return -1;
        v = v * 10 + (s[i] - '0');
    }
    return v;
}

// Validity: the four ranges of the relative octet, in minutes.
int Minutes(int octet) {
    if (octet <= 143) return (octet + 1) * 5;
    if (octet <= 167) return 720 + (octet - 143) * 30;
    if (octet <= 196) return (octet - 166) * 1440;
    return (octet - 192) * 10080;
}

}  // namespace

std::string Timestamp::Iso() const {
    char buffer[40];
    int zone = zoneQuarters < 0 ? -zoneQuarters : zoneQuarters;
    snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", year, month, day, hour, minute,
             second, zoneQuarters < 0 ? '-' : '+', zone / 4, zone % 4 * 15);
    return buffer;
}

bool ReadTimestamp(Cursor& c, const char* field, const char* words, Timestamp* t) {
    if (c.Left() < kTimestampOctets) return c.Fail(c.Offset(), std::string(words) + " is missing: the data ends here");
    size_t at = c.Offset();
    const uint8_t* p;
    c.Take(kTimestampOctets, field, words, &p);  // shown up to a fault inside it too
    int v[kTimestampOctets];
    for (int k = 0; k < kTimestampOctets; ++k) {
        int low = p[k] & 15, high = p[k] >> 4;
        if (k == kTimestampOctets - 1) low &= 7;  // the sign of the time zone
        if (low > 9 || high > 9)
            return c.Fail(at + k, std::string("invalid semi-octet in the ") + words + Format(" (%02lX)", p[k]));
        v[k] = low * 10 + high;
    }
    t->year = v[0] + (v[0] >= 90 ? 1900 : 2000);
    t->month = v[1];
    t->day = v[2];
    t->hour = v[3];
    t->minute = v[4];
    t->second = v[5];
    t->zoneQuarters = p[6] & kZoneSign ? -v[6] : v[6];
    // A time stamp names a real local time (9.2.3.11): 30 February is refused like month 13.
    if (!RealTime(*t)) return c.Fail(at, std::string(words) + " is not a date and time");
    if (c.Tracing()) c.Means(t->Iso());
    return true;
}

// The 7 semi-octets of a time stamp (9.2.3.11): two digits each, the low one first, the zone's sign in bit 3.
void AppendTimestamp(const Timestamp& t, Bytes* out) {
    int zone = std::abs(t.zoneQuarters);
    for (int v : {t.year % 100, t.month, t.day, t.hour, t.minute, t.second, zone})
        out->push_back(static_cast<uint8_t>(v % 10 << 4 | v / 10));
    if (t.zoneQuarters < 0) out->back() |= kZoneSign;
}

bool TimestampFromIso(const std::string& iso, Timestamp* t, std::string* why) {
    *t = Timestamp();
    t->year = DigitsAt(iso, 0, 4);
    t->month = DigitsAt(iso, 5, 2);
    t->day = DigitsAt(iso, 8, 2);
    t->hour = DigitsAt(iso, 11, 2);
    t->minute = DigitsAt(iso, 14, 2);
    size_t at = 16;
    if (iso.size() > at && iso[at] == ':') t->second = DigitsAt(iso, at + 1, 2), at += 3;
    bool shape = iso.size() >= at && iso[4] == '-' && iso[7] == '-' && iso[10] == 'T' && iso[13] == ':' &&
                 std::min({t->year, t->month, t->day, t->hour, t->minute, t->second}) >= 0;
    if (!shape) return *why = "give the time as 2026-12-24T18:00+01:00 (seconds optional)", false;
    std::string zone = iso.substr(at);
    int hours = zone == "Z" ? 0 : DigitsAt(zone, 1, 2), minutes = zone == "Z" ? 0 : DigitsAt(zone, 4, 2);
    if (zone != "Z" && (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || zone[3] != ':' || hours < 0 ||
                        minutes < 0))
        return *why = "give the time zone as +HH:MM, -HH:MM or Z", false;
    if (t->year < 1990 || t->year > 2089) return *why = "a message carries the years 1990 to 2089", false;
    if (!RealTime(*t)) return *why = "there is no such date and time", false;
    // Two digits of quarter hours (9.2.3.11).
    if (minutes % 15 || minutes > 45 || hours * 4 + minutes / 15 > 79)
        return *why = "a message carries a time zone in whole quarter hours, up to 19:45", false;
    t->zoneQuarters = (zone[0] == '-' ? -1 : 1) * (hours * 4 + minutes / 15);
    return true;
}

int ValidityMinutes(int octet) { return Minutes(octet & 0xFF); }

bool ValidityFromDuration(const std::string& duration, int* octet) {
    long minutes = 0;
    size_t i = 0;
    while (i < duration.size()) {
        long n = 0;
        size_t start = i;
        while (i < duration.size() && duration[i] >= '0' && duration[i] <= '9' && n < 1000000)
            n = n * 10 + (duration[i++] - '0');
        if (i == start || i == duration.size()) return false;
        char unit = duration[i++];
        long scale = unit == 'm' ? 1 : unit == 'h' ? 60 : unit == 'd' ? 1440 : unit == 'w' ? 10080 : 0;
        if (scale == 0) return false;
        minutes += n * scale;
        if (minutes > 63 * 10080) return false;
    }
    if (minutes == 0) return false;
    for (int v = 0; v < 256; ++v)
        if (Minutes(v) >= minutes) {
            *octet = v;
            return true;
        }
    return false;
}

std::string DurationText(int octet) {
    int minutes = ValidityMinutes(octet);
    if (minutes % 10080 == 0 && octet >= 197) return Format("%ldw", minutes / 10080);
    if (minutes % 1440 == 0) return Format("%ldd", minutes / 1440);
    if (minutes % 60 == 0) return Format("%ldh", minutes / 60);
    if (minutes > 60) return Format("%ldh%ldm", minutes / 60, minutes % 60);
    return Format("%ldm", minutes);
}

}  // namespace sms
