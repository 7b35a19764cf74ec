#include "sms/pdu.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace sms {
namespace {

const char kDigits[] = "0123456789*#abc";  // semi-octets 0 to 14; 15 is the fill
const int kTypeInternational = 0x91, kTypeUnknown = 0x81, kTypeAlphanumeric = 0xD0;
const int kMaxUserData = 140;  // octets of user data one message carries (23.040 9.2.3.16)
const int kFirstCause = 0x80;   // failure causes below it are reserved (9.2.3.22)
// Header elements (23.040 9.2.3.24): concatenation with an 8-bit and a 16-bit reference, application ports of 8 and
// of 16 bits.
const int IE_CONCAT_8 = 0x00, IE_CONCAT_16 = 0x08, IE_PORTS_8 = 0x04, IE_PORTS_16 = 0x05;
// Bits of the data coding octet in its general group (23.038 4): the alphabet in bits 2 and 3, a class in bits 0 and
// 1 when bit 4 is set, compression in bit 5.
const int DCS_ALPHABET_SHIFT = 2, DCS_HAS_CLASS = 0x10, DCS_COMPRESSED = 0x20;

// The message type indicator of each kind (9.2.3.1).
int TypeIndicator(MessageType kind) {
    switch (kind) {
        case MessageType::Deliver:
        case MessageType::DeliverReport: return 0;
        case MessageType::Submit:
        case MessageType::SubmitReport: return 1;
        default: return 2;
    }
}

bool RealTime(const Timestamp& t) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = t.year % 4 == 0 && (t.year % 100 != 0 || t.year % 400 == 0);
    return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= kDays[t.month - 1] + (t.month == 2 && leap) &&
           t.hour <= 23 && t.minute <= 59 && t.second <= 59;
}

std::string Format(const char* format, long a, long b = 0, long c = 0) {
    char buffer[160];
    snprintf(buffer, sizeof buffer, format, a, b, c);
    return buffer;
}

// Reads a PDU front to back; every read is checked against its end.
struct Reader {
    const Bytes& pdu;
    ParseError* error;
    size_t pos = 0;

    bool Fail(size_t at, const std::string& what) {
        error->offset = at;
        error->what = what;
        return false;
    }
    bool Need(size_t n, const char* what) {
        if (pos + n <= pdu.size()) return true;
        return Fail(pos, std::string(what) + " is missing: the data ends here");
    }
    uint8_t Take() { return pdu[pos++]; }
};

// The address value of `semiOctets` semi-octets at r.pos (r.pos is moved past
// `octets` octets).
bool ReadAddressValue(Reader& r, int type, size_t semiOctets, size_t octets, Address* a) {
    const uint8_t* p = &r.pdu[r.pos];
    a->type = type;
    a->text.clear();
    if (a->Alphanumeric()) {
        a->text = SeptetsToUtf8(UnpackSeptets(p, 0, semiOctets * 4 / 7));
    } else {
        if ((type & 0x70) == 0x10) a->text = "+";
        for (size_t k = 0; k < semiOctets; ++k) {
            int nibble = k % 2 ? p[k / 2] >> 4 : p[k / 2] & 15;
            if (nibble == 15) return r.Fail(r.pos + k / 2, "invalid semi-octet F inside a number");
            a->text += kDigits[nibble];
        }
    }
    r.pos += octets;
    return true;
}

// Originator, destination or recipient: length in semi-octets, type, value.
bool ReadAddress(Reader& r, const char* name, Address* a) {
    size_t at = r.pos;
    if (!r.Need(2, name)) return false;
    size_t semiOctets = r.Take();
    int type = r.Take();
    size_t octets = (semiOctets + 1) / 2;
    if (octets > 10)
        return r.Fail(at, std::string(name) + Format(" length %ld is too long (at most 20 semi-octets)", semiOctets));
    if (r.pos + octets > r.pdu.size())
        return r.Fail(at, std::string(name) + Format(" length %ld points past the data", semiOctets));
    return ReadAddressValue(r, type, semiOctets, octets, a);
}

bool ReadSmsc(Reader& r, Message* m) {
    size_t length = r.Take();
    m->hasSmsc = length > 0;
    if (length == 0) return true;
    if (length > 11) return r.Fail(0, Format("SMSC length %ld is too long (at most 11 octets)", length));
    if (r.pos + length > r.pdu.size()) return r.Fail(0, Format("SMSC length %ld points past the data", length));
    int type = r.Take();
    size_t octets = length - 1, semiOctets = octets * 2;
    if (semiOctets > 0 && r.pdu[r.pos + octets - 1] >> 4 == 15) --semiOctets;  // the fill
    return ReadAddressValue(r, type, semiOctets, octets, &m->smsc);
}

bool ReadTimestamp(Reader& r, const char* name, Timestamp* t) {
    if (!r.Need(7, name)) return false;
    int v[7];
    for (int k = 0; k < 7; ++k) {
        int octet = r.pdu[r.pos + k], low = octet & 15, high = octet >> 4;
        if (k == 6) low &= 7;  // the sign of the time zone
        if (low > 9 || high > 9)
            return r.Fail(r.pos + k, std::string("invalid semi-octet in the ") + name + Format(" (%02lX)", octet));
        v[k] = low * 10 + high;
    }
    t->year = v[0] + (v[0] >= 90 ? 1900 : 2000);
    t->month = v[1];
    t->day = v[2];
    t->hour = v[3];
    t->minute = v[4];
    t->second = v[5];
    t->zoneQuarters = r.pdu[r.pos + 6] & 8 ? -v[6] : v[6];
    // A time stamp names a real local time (9.2.3.11): 30 February is refused like month 13.
    if (!RealTime(*t)) return r.Fail(r.pos, std::string(name) + " is not a date and time");
    r.pos += 7;
    return true;
}

void DecodeDcs(Message* m) {
    int dcs = m->dcs, group = dcs >> 4;
    int alphabet = 0;  // 0 default, 1 8-bit, 2 UCS-2; reserved codings count as the default alphabet
    if (group < 8) {
        alphabet = dcs >> DCS_ALPHABET_SHIFT & 3;
        if (dcs & DCS_HAS_CLASS) m->messageClass = dcs & 3;
        if (dcs & DCS_COMPRESSED) alphabet = 4;
    } else if (group == 0xE) {
        alphabet = 2;
    } else if (group == 0xF) {
        alphabet = dcs & 4 ? 1 : 0;
        m->messageClass = dcs & 3;
    }
    m->coding = alphabet == 1 ? Coding::Data8 : alphabet == 2 ? Coding::Ucs2 : alphabet == 4 ? Coding::Compressed
                                                                                                : Coding::Gsm7;
}

void ReadHeaderElement(Message* m, const HeaderElement& e) {
    const Bytes& d = e.data;
    if ((e.id == IE_CONCAT_8 && d.size() == 3) || (e.id == IE_CONCAT_16 && d.size() == 4)) {
        int ref = e.id == IE_CONCAT_8 ? d[0] : d[0] << 8 | d[1], parts = d[d.size() - 2], part = d[d.size() - 1];
        if (parts > 0 && part >= 1 && part <= parts) {  // otherwise the element is ignored
            m->concatRef = ref;
            m->parts = parts;
            m->part = part;
        }
    } else if (e.id == IE_PORTS_8 && d.size() == 2) {
        m->destPort = d[0];
        m->sourcePort = d[1];
    } else if (e.id == IE_PORTS_16 && d.size() == 4) {
        m->destPort = d[0] << 8 | d[1];
        m->sourcePort = d[2] << 8 | d[3];
    } else if ((e.id == 0x24 || e.id == 0x25) && d.size() == 1 && m->coding == Coding::Gsm7) {
        // 3GPP TS 23.040 9.2.3.24.15/16, for 7-bit text only; of a repeated element the last counts (9.2.3.24).
        (e.id == 0x24 ? m->shift.single : m->shift.locking) = d[0];
    }
}

bool ReadUserData(Reader& r, Message* m) {
    size_t lengthAt = r.pos;
    if (!r.Need(1, "user data length")) return false;
    size_t length = r.Take();
    size_t octets = m->coding == Coding::Gsm7 ? (length * 7 + 7) / 8 : length;
    if (r.pos + octets > r.pdu.size())
        return r.Fail(lengthAt, Format("user data length %ld needs %ld octets, %ld are left", length, octets,
                                       r.pdu.size() - r.pos));
    const uint8_t* ud = r.pdu.data() + r.pos;
    size_t at = r.pos, header = 0;
    r.pos += octets;
    if (m->firstOctet & TP_UDHI) {
        if (octets == 0) return r.Fail(lengthAt, "a header is announced but the user data is empty");
        header = ud[0] + 1;
        if (header > octets)
            return r.Fail(at, Format("header of %ld octets is longer than the user data (%ld octets)", header, octets));
        for (size_t i = 1; i < header;) {
            if (i + 2 > header || i + 2 + ud[i + 1] > header)
                return r.Fail(at + i, Format("header element %02lX runs past the end of the header", ud[i]));
            HeaderElement e;
            e.id = ud[i];
            e.data.assign(ud + i + 2, ud + i + 2 + ud[i + 1]);
            ReadHeaderElement(m, e);
            m->header.push_back(e);
            i += 2 + ud[i + 1];
        }
    }
    if (m->coding == Coding::Gsm7) {
        int fill = static_cast<int>((7 - header * 8 % 7) % 7);
        size_t headerSeptets = (header * 8 + fill) / 7;
        if (headerSeptets > length)
            return r.Fail(at, Format("header of %ld octets is longer than the user data (%ld septets)", header, length));
        m->septets = UnpackSeptets(ud + header, fill, length - headerSeptets);
        m->text = SeptetsToUtf8(m->septets, m->shift);
    } else if (m->coding == Coding::Ucs2) {
        if ((octets - header) % 2)
            return r.Fail(at + octets - 1, Format("UCS-2 text of %ld octets ends in half a character", octets - header));
        for (size_t i = header; i < octets; i += 2) m->units.push_back(static_cast<uint16_t>(ud[i] << 8 | ud[i + 1]));
        m->text = Utf16ToUtf8(m->units);
    } else {
        m->data.assign(ud + header, ud + octets);
    }
    return true;
}

bool ReadPidDcs(Reader& r, Message* m) {
    if (!r.Need(2, "protocol identifier and data coding")) return false;
    m->pid = r.Take();
    m->dcs = r.Take();
    m->hasPid = m->hasDcs = true;
    DecodeDcs(m);
    return true;
}

bool ReadReference(Reader& r, Message* m) {
    if (!r.Need(1, "message reference")) return false;
    m->reference = r.Take();
    return true;
}

// The parameter indicator with its extension octets (9.2.3.27). Only the first octet names fields; reserved bits
// are ignored.
bool ReadIndicator(Reader& r, int* indicator) {
    if (!r.Need(1, "parameter indicator")) return false;
    *indicator = r.Take();
    for (int last = *indicator; last & TP_PI_EXTENSION;) {
        if (!r.Need(1, "parameter indicator extension")) return false;
        last = r.Take();
    }
    return true;
}

// The optional fields the indicator names, in their order. Without a coding the user data is in the default
// alphabet (9.2.3.27).
bool ReadIndicatedFields(Reader& r, Message* m, int indicator) {
    if (indicator & TP_PI_PID) {
        if (!r.Need(1, "protocol identifier")) return false;
        m->pid = r.Take();
        m->hasPid = true;
    }
    if (indicator & TP_PI_DCS) {
        if (!r.Need(1, "data coding")) return false;
        m->dcs = r.Take();
        m->hasDcs = true;
    }
    DecodeDcs(m);
    m->hasUserData = indicator & TP_PI_UDL;
    return !m->hasUserData || ReadUserData(r, m);
}

// SMS-DELIVER-REPORT and SMS-SUBMIT-REPORT (9.2.2.1a, 9.2.2.2a). The RP-ERROR form puts a failure cause before the
// indicator; the RP-ACK form has none. Causes start at 80 (9.2.3.22) and no release gives the indicator's extension
// bit a use, so an octet there with its high bit set is a cause.
bool ReadReport(Reader& r, Message* m) {
    int indicator = 0;
    if (r.pos < r.pdu.size() && r.pdu[r.pos] >= kFirstCause) m->failureCause = r.Take();
    if (!ReadIndicator(r, &indicator)) return false;
    if (m->type == MessageType::SubmitReport && !ReadTimestamp(r, "timestamp", &m->time)) return false;
    return ReadIndicatedFields(r, m, indicator);
}

bool ReadDeliver(Reader& r, Message* m) {
    return ReadAddress(r, "originator", &m->address) && ReadPidDcs(r, m) && ReadTimestamp(r, "timestamp", &m->time) &&
           ReadUserData(r, m);
}

bool ReadSubmit(Reader& r, Message* m) {
    if (!ReadReference(r, m) || !ReadAddress(r, "destination", &m->address) || !ReadPidDcs(r, m)) return false;
    m->validityFormat = (m->firstOctet & TP_VPF) >> TP_VPF_SHIFT;
    if (m->validityFormat == VPF_RELATIVE) {
        if (!r.Need(1, "validity period")) return false;
        m->validity = r.Take();
    } else if (m->validityFormat == VPF_ABSOLUTE) {
        if (!ReadTimestamp(r, "validity period", &m->validUntil)) return false;
    } else if (m->validityFormat == VPF_ENHANCED) {
        if (!r.Need(7, "validity period")) return false;
        m->validityEnhanced.assign(r.pdu.begin() + r.pos, r.pdu.begin() + r.pos + 7);
        r.pos += 7;
    }
    return ReadUserData(r, m);
}

// SMS-STATUS-REPORT (9.2.2.3): its parameter indicator is optional.
bool ReadStatusReport(Reader& r, Message* m) {
    int indicator = 0;
    if (!ReadReference(r, m) || !ReadAddress(r, "recipient", &m->address) || !ReadTimestamp(r, "timestamp", &m->time) ||
        !ReadTimestamp(r, "discharge time", &m->discharge) || !r.Need(1, "status"))
        return false;
    m->status = r.Take();
    if (r.pos == r.pdu.size()) return true;
    return ReadIndicator(r, &indicator) && ReadIndicatedFields(r, m, indicator);
}

// SMS-COMMAND (9.2.2.4): what the service centre is asked to do with the message it holds.
bool ReadCommand(Reader& r, Message* m) {
    if (!ReadReference(r, m) || !r.Need(3, "protocol identifier, command type and message number")) return false;
    m->pid = r.Take();
    m->hasPid = true;
    m->commandType = r.Take();
    m->messageNumber = r.Take();
    if (!ReadAddress(r, "destination", &m->address) || !r.Need(1, "command data length")) return false;
    size_t at = r.pos, length = r.Take();
    if (r.pos + length > r.pdu.size())
        return r.Fail(at, Format("command data length %ld points past the data (%ld octets are left)", length,
                                 r.pdu.size() - r.pos));
    m->commandData.assign(r.pdu.begin() + r.pos, r.pdu.begin() + r.pos + length);
    r.pos += length;
    return true;
}

// Validity: the four ranges of the relative octet, in minutes.
int Minutes(int octet) {
    if (octet <= 143) return (octet + 1) * 5;
    if (octet <= 167) return 720 + (octet - 143) * 30;
    if (octet <= 196) return (octet - 166) * 1440;
    return (octet - 192) * 10080;
}

// A number of 1 to 20 digits (and * #), with a leading + when international.
bool EncodeNumber(const std::string& number, Bytes* digits, int* type) {
    size_t start = number.size() && number[0] == '+' ? 1 : 0;
    *type = start ? kTypeInternational : kTypeUnknown;
    size_t count = number.size() - start;
    if (count < 1 || count > 20) return false;
    digits->assign((count + 1) / 2, 0xFF);
    for (size_t k = 0; k < count; ++k) {
        char c = number[start + k];
        int v = c >= '0' && c <= '9' ? c - '0' : c == '*' ? 10 : c == '#' ? 11 : -1;
        if (v < 0) return false;
        uint8_t& octet = (*digits)[k / 2];
        octet = k % 2 ? (octet & 0x0F) | v << 4 : (octet & 0xF0) | v;
    }
    return true;
}

// Up to 11 characters of the 7-bit alphabet, the most an alphanumeric address holds (23.040 9.1.2.5).
bool NameSeptets(const std::string& name, Bytes* septets) {
    std::u32string chars;
    size_t bad;
    return DecodeUtf8(name, &chars, &bad) && ToSeptets(chars, septets) && !septets->empty() && septets->size() <= 11;
}

// Destination: length in semi-octets, type, value; `to` is what RecipientFromText gives.
void EncodeDestination(const std::string& to, Bytes* out) {
    Bytes value, septets;
    int type;
    size_t semiOctets = to.size() - (to.size() && to[0] == '+');
    if (!EncodeNumber(to, &value, &type)) {
        NameSeptets(to, &septets);
        value.clear();
        PackSeptets(septets, 0, &value);
        type = kTypeAlphanumeric;
        semiOctets = (septets.size() * 7 + 3) / 4;
    }
    out->push_back(static_cast<uint8_t>(semiOctets));
    out->push_back(static_cast<uint8_t>(type));
    out->insert(out->end(), value.begin(), value.end());
}

bool IsDigit(char c) { return (c >= '0' && c <= '9') || c == '*' || c == '#'; }

// A number as written, its separators gone; false with the reason. Spaces, dashes and dots stand between digits, an
// area code may stand in parentheses, and "(0)" after a country code is a trunk prefix that is not dialled.
bool NumberFromText(std::string s, std::string* out, std::string* why) {
    size_t plus = !s.empty() && s[0] == '+', trunk = s.find("(0)");
    if (plus && trunk != std::string::npos && trunk > 1) s.erase(trunk, 3);
    *out = plus ? "+" : "";
    bool open = false;
    char last = 0;  // the separator or parenthesis since the last digit
    for (size_t i = plus; i < s.size(); ++i) {
        char c = s[i];
        bool started = out->size() > plus;
        if (IsDigit(c)) {
            *out += c;
            last = 0;
            continue;
        }
        if (c == '+') return *why = "a '+' may only start the number", false;
        bool fits = c == '(' ? !open && (!started || last) : c == ')' ? open && !last
                                                                   : (c == ' ' || c == '-' || c == '.') && started;
        if (!fits) return *why = std::string("'") + c + "' stands where only a digit can", false;
        open = c == '(' || (open && c != ')');
        last = c;
    }
    if (open) return *why = "a parenthesis is not closed", false;
    if (last && last != ')') return *why = std::string("'") + last + "' ends the number", false;
    size_t digits = out->size() - plus;
    if (digits < 1 || digits > 20)
        return *why = Format("%ld digits: a number has 1 to 20", static_cast<long>(digits)), false;
    return true;
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

// The 7 semi-octets of a time stamp (9.2.3.11): two digits each, the low one first, the zone's sign in bit 3.
void AppendTimestamp(const Timestamp& t, Bytes* out) {
    int zone = std::abs(t.zoneQuarters);
    for (int v : {t.year % 100, t.month, t.day, t.hour, t.minute, t.second, zone})
        out->push_back(static_cast<uint8_t>(v % 10 << 4 | v / 10));
    if (t.zoneQuarters < 0) out->back() |= 0x08;
}

// One part's user data header with its length octet, or none: the ports, the concatenation, then the elements that
// name the national language tables.
Bytes PartHeader(const SubmitOptions& o, ShiftTables tables, bool multi, uint8_t ref, size_t parts, size_t part) {
    Bytes h{0};
    int source = o.sourcePort >= 0 ? o.sourcePort : o.destPort;
    if (o.destPort >= 0 && o.destPort <= 255 && source <= 255)  // 9.2.3.24.3
        h.insert(h.end(), {IE_PORTS_8, 2, static_cast<uint8_t>(o.destPort), static_cast<uint8_t>(source)});
    else if (o.destPort >= 0)  // 9.2.3.24.4
        h.insert(h.end(), {IE_PORTS_16, 4, static_cast<uint8_t>(o.destPort >> 8), static_cast<uint8_t>(o.destPort),
                           static_cast<uint8_t>(source >> 8), static_cast<uint8_t>(source)});
    if (multi)  // 9.2.3.24.1
        h.insert(h.end(), {IE_CONCAT_8, 3, ref, static_cast<uint8_t>(parts), static_cast<uint8_t>(part)});
    Bytes shift = ShiftElements(tables);
    h.insert(h.end(), shift.begin(), shift.end());
    if (h.size() == 1) return {};
    h[0] = static_cast<uint8_t>(h.size() - 1);
    return h;
}

// What a part carries after its header, in the units of its coding (septets, UCS-2 units, octets): 140 octets less
// the header, and for 7-bit text less the fill bits that start the text on a septet boundary (9.2.3.24).
size_t PartRoom(Coding coding, const Bytes& header) {
    size_t octets = kMaxUserData - header.size();
    return coding == Coding::Gsm7 ? octets * 8 / 7 : coding == Coding::Ucs2 ? octets / 2 : octets;
}

uint8_t DerivedReference(const std::string& text) {
    uint32_t h = 2166136261u;  // FNV-1a
    for (unsigned char c : text) h = (h ^ c) * 16777619u;
    return static_cast<uint8_t>(h ^ h >> 8 ^ h >> 16 ^ h >> 24);
}

}  // namespace

// The kinds in the order of MessageType: their names in messages and on the command line.
const char* const kTypeNames[][2] = {{"SMS-DELIVER", "deliver"},
                                     {"SMS-SUBMIT", "submit"},
                                     {"SMS-STATUS-REPORT", "status-report"},
                                     {"SMS-DELIVER-REPORT", "deliver-report"},
                                     {"SMS-SUBMIT-REPORT", "submit-report"},
                                     {"SMS-COMMAND", "command"}};

const char* TypeName(MessageType type) { return kTypeNames[static_cast<int>(type)][0]; }

bool KindFromName(const std::string& name, MessageType* kind) {
    for (int k = 0; k < 6; ++k)
        if (name == kTypeNames[k][1]) {
            *kind = static_cast<MessageType>(k);
            return true;
        }
    return false;
}

const char* CodingName(Coding coding) {
    switch (coding) {
        case Coding::Gsm7: return "7-bit";
        case Coding::Data8: return "8-bit";
        case Coding::Ucs2: return "UCS-2";
        default: return "compressed";
    }
}

std::string Timestamp::Iso() const {
    char buffer[40];
    int zone = zoneQuarters < 0 ? -zoneQuarters : zoneQuarters;
    snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", year, month, day, hour, minute,
             second, zoneQuarters < 0 ? '-' : '+', zone / 4, zone % 4 * 15);
    return buffer;
}

bool ParseHex(const std::string& hex, Bytes* out, ParseError* error) {
    out->clear();
    int high = -1;
    size_t highAt = 0;
    for (size_t i = 0; i < hex.size(); ++i) {
        char c = hex[i];
        if (c == ' ' || c == '\t') continue;
        int v = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (v < 0) {
            error->offset = i;
            error->what = Format("'%c' is not a hex digit", static_cast<unsigned char>(c) >= 0x20 &&
                                 static_cast<unsigned char>(c) < 0x7F ? c : '?');
            return false;
        }
        if (high < 0) {
            high = v;
            highAt = i;
        } else {
            out->push_back(static_cast<uint8_t>(high << 4 | v));
            high = -1;
        }
    }
    if (high >= 0) {
        error->offset = highAt;
        error->what = "odd number of hex digits: this one has no partner";
        return false;
    }
    if (out->empty()) {
        error->offset = 0;
        error->what = "no hex digits";
        return false;
    }
    return true;
}

bool ParsePdu(const Bytes& pdu, bool withSmsc, Message* m, ParseError* error, std::optional<MessageType> kind) {
    // What a modem lists by default: the kinds that reach the phone, and SMS-SUBMIT, which leaves it.
    static const MessageType kListed[] = {MessageType::Deliver, MessageType::Submit, MessageType::StatusReport};
    static const MessageType kOther[] = {MessageType::DeliverReport, MessageType::SubmitReport, MessageType::Command};
    *m = Message();
    Reader r{pdu, error};
    if (pdu.empty()) return r.Fail(0, "the PDU is empty");
    if (withSmsc && !ReadSmsc(r, m)) return false;
    if (!r.Need(1, "first octet")) return false;
    m->firstOctet = r.Take();
    int indicator = m->firstOctet & TP_MTI;
    if (indicator == 3) return r.Fail(r.pos - 1, Format("unknown message type 3 (first octet %02lX)", m->firstOctet));
    m->type = kind ? *kind : kListed[indicator];
    if (TypeIndicator(m->type) != indicator)
        return r.Fail(r.pos - 1, Format("first octet %02lX is ", m->firstOctet) + TypeName(kListed[indicator]) + " or " +
                                     TypeName(kOther[indicator]) + ", not " + TypeName(m->type));
    bool read = false, reportsEnd;
    switch (m->type) {
        case MessageType::Deliver: read = ReadDeliver(r, m); break;
        case MessageType::Submit: read = ReadSubmit(r, m); break;
        case MessageType::Command: read = ReadCommand(r, m); break;
        case MessageType::StatusReport: read = ReadStatusReport(r, m); break;
        default: read = ReadReport(r, m); break;
    }
    reportsEnd = m->type != MessageType::Deliver && m->type != MessageType::Submit && m->type != MessageType::Command;
    if (!read) return false;
    // A report ends where its parameter indicator says: the receiver ignores what follows (9.2.3.27).
    if (r.pos != pdu.size() && !reportsEnd)
        return r.Fail(r.pos, Format("the data goes on past the end of the message (%ld more octets)", pdu.size() - r.pos));
    return true;
}

std::string Hex(const Bytes& octets) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string s;
    for (uint8_t b : octets) {
        s += kHex[b >> 4];
        s += kHex[b & 15];
    }
    return s;
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

bool RecipientFromText(const std::string& written, std::string* out, std::string* why) {
    size_t a = written.find_first_not_of(" \t"), b = written.find_last_not_of(" \t");
    std::string s = a == std::string::npos ? "" : written.substr(a, b - a + 1);
    bool letter = false;
    for (unsigned char c : s) letter = letter || isalpha(c) || c >= 0x80;
    Bytes septets;
    if (!letter) return NumberFromText(s, out, why);
    if (!NameSeptets(s, &septets))
        return *why = "a name has 1 to 11 characters of the GSM 7-bit alphabet", false;
    *out = s;
    return true;
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

std::string DurationText(int octet) {
    int minutes = ValidityMinutes(octet);
    if (minutes % 10080 == 0 && octet >= 197) return Format("%ldw", minutes / 10080);
    if (minutes % 1440 == 0) return Format("%ldd", minutes / 1440);
    if (minutes % 60 == 0) return Format("%ldh", minutes / 60);
    if (minutes > 60) return Format("%ldh%ldm", minutes / 60, minutes % 60);
    return Format("%ldm", minutes);
}

bool BuildSubmit(const std::string& text, const SubmitOptions& o, std::vector<SubmitPdu>* out, std::string* error) {
    out->clear();
    Bytes smsc, destination, digits;
    std::string to, smscNumber, why;
    int type;
    if (!o.noSmsc) smsc = {0};
    if (!o.smsc.empty() && !o.noSmsc) {
        if (!NumberFromText(o.smsc, &smscNumber, &why) || !EncodeNumber(smscNumber, &digits, &type))
            return *error = "SMSC '" + o.smsc + "' is not a number: " + why, false;
        smsc = {static_cast<uint8_t>(digits.size() + 1), static_cast<uint8_t>(type)};
        smsc.insert(smsc.end(), digits.begin(), digits.end());
    }
    if (!RecipientFromText(o.to, &to, &why)) return *error = "recipient '" + o.to + "': " + why, false;
    EncodeDestination(to, &destination);
    std::u32string chars;
    size_t bad;
    if (!o.data8 && !DecodeUtf8(text, &chars, &bad)) {
        *error = Format("the text is not valid UTF-8 (byte %ld)", bad);
        return false;
    }
    // What parts are counted in: the codes of 7-bit text or the octets of 8-bit data (codes), or UCS-2 units.
    Bytes codes;
    uint8_t ref = static_cast<uint8_t>(o.ref >= 0 ? o.ref : DerivedReference(text));
    // National language tables: those that send the text in the fewest parts, their elements in every part's header.
    ShiftTables tables;
    auto septetRoom = [&](ShiftTables t, bool multi) { return PartRoom(Coding::Gsm7, PartHeader(o, t, multi, ref, 1, 1)); };
    bool gsm = !o.data8 && !o.ucs2 &&
               (o.language < 0 ? ToSeptets(chars, &codes)
                               : ChooseTables(chars, o.language, septetRoom, &tables) && ToSeptets(chars, tables, &codes));
    std::vector<uint16_t> units;
    Coding coding = o.data8 ? Coding::Data8 : gsm ? Coding::Gsm7 : Coding::Ucs2;
    if (coding == Coding::Ucs2) units = ToUtf16(chars);
    if (coding == Coding::Data8) codes.assign(text.begin(), text.end());

    // Part boundaries: each part's room comes from its own header; an escape pair or a surrogate pair stays whole.
    size_t total = coding == Coding::Ucs2 ? units.size() : codes.size();
    bool multi = total > PartRoom(coding, PartHeader(o, tables, false, ref, 1, 1));
    std::vector<size_t> ends;
    for (size_t start = 0; start < total || ends.empty();) {
        size_t end = std::min(total, start + PartRoom(coding, PartHeader(o, tables, multi, ref, 1, ends.size() + 1)));
        if (coding == Coding::Gsm7 && end < total) {
            size_t i = start;
            while (i < end) i += codes[i] == 0x1B ? 2 : 1;
            if (i > end) end -= 1;
        } else if (coding == Coding::Ucs2 && end < total && units[end - 1] >= 0xD800 && units[end - 1] <= 0xDBFF) {
            end -= 1;
        }
        ends.push_back(end);
        start = end;
    }
    if (ends.size() > 255) {
        *error = Format(o.data8 ? "the data needs %ld messages, at most 255 can be joined"
                                : "the text needs %ld messages, at most 255 can be joined",
                        static_cast<long>(ends.size()));
        return false;
    }
    int messageClass = o.flash ? 0 : o.messageClass;
    int alphabet = coding == Coding::Gsm7 ? 0 : coding == Coding::Data8 ? 1 : 2;
    int vpf = o.validUntil ? VPF_ABSOLUTE : o.validity >= 0 ? VPF_RELATIVE : VPF_NONE;
    size_t start = 0;
    for (size_t p = 0; p < ends.size(); ++p) {
        Bytes header = PartHeader(o, tables, multi, ref, ends.size(), p + 1);
        SubmitPdu pdu;
        Bytes& b = pdu.octets;
        b = smsc;
        b.push_back(static_cast<uint8_t>(TypeIndicator(MessageType::Submit) | vpf << TP_VPF_SHIFT |
                                         (o.rejectDuplicates ? TP_RD : 0) | (o.report ? TP_SRR : 0) |
                                         (header.empty() ? 0 : TP_UDHI) | (o.replyPath ? TP_RP : 0)));
        b.push_back(0);  // message reference: the modem sets it
        b.insert(b.end(), destination.begin(), destination.end());
        b.push_back(static_cast<uint8_t>(o.pid));
        b.push_back(static_cast<uint8_t>(alphabet << DCS_ALPHABET_SHIFT |
                                         (messageClass >= 0 ? DCS_HAS_CLASS | messageClass : 0)));
        if (vpf == VPF_ABSOLUTE) AppendTimestamp(*o.validUntil, &b);
        if (vpf == VPF_RELATIVE) b.push_back(static_cast<uint8_t>(o.validity));
        if (coding == Coding::Gsm7) {
            int fill = static_cast<int>((7 - header.size() * 8 % 7) % 7);
            Bytes chunk(codes.begin() + start, codes.begin() + ends[p]);
            b.push_back(static_cast<uint8_t>((header.size() * 8 + fill) / 7 + chunk.size()));
            b.insert(b.end(), header.begin(), header.end());
            PackSeptets(chunk, fill, &b);
        } else if (coding == Coding::Ucs2) {
            b.push_back(static_cast<uint8_t>(header.size() + 2 * (ends[p] - start)));
            b.insert(b.end(), header.begin(), header.end());
            for (size_t i = start; i < ends[p]; ++i) {
                b.push_back(static_cast<uint8_t>(units[i] >> 8));
                b.push_back(static_cast<uint8_t>(units[i]));
            }
        } else {
            b.push_back(static_cast<uint8_t>(header.size() + ends[p] - start));
            b.insert(b.end(), header.begin(), header.end());
            b.insert(b.end(), codes.begin() + start, codes.begin() + ends[p]);
        }
        pdu.tpduLength = b.size() - smsc.size();
        out->push_back(pdu);
        start = ends[p];
    }
    return true;
}

}  // namespace sms
