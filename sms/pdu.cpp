#include "sms/pdu.h"

#include <algorithm>
#include <cstdio>

namespace sms {
namespace {

const char kDigits[] = "0123456789*#abc";  // semi-octets 0 to 14; 15 is the fill
const int kTypeInternational = 0x91, kTypeUnknown = 0x81, kTypeAlphanumeric = 0xD0;

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
    if (t->month < 1 || t->month > 12 || t->day < 1 || t->day > 31 || t->hour > 23 || t->minute > 59 ||
        t->second > 59)
        return r.Fail(r.pos, std::string(name) + " is not a date and time");
    r.pos += 7;
    return true;
}

void DecodeDcs(Message* m) {
    int dcs = m->dcs, group = dcs >> 4;
    int alphabet = 0;  // 0 default, 1 8-bit, 2 UCS-2; reserved codings count as the default alphabet
    if (group < 8) {
        alphabet = dcs >> 2 & 3;
        if (dcs & 0x10) m->messageClass = dcs & 3;
        if (dcs & 0x20) alphabet = 4;
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
    if ((e.id == 0 && d.size() == 3) || (e.id == 8 && d.size() == 4)) {
        int ref = e.id == 0 ? d[0] : d[0] << 8 | d[1], parts = d[d.size() - 2], part = d[d.size() - 1];
        if (parts > 0 && part >= 1 && part <= parts) {  // otherwise the element is ignored
            m->concatRef = ref;
            m->parts = parts;
            m->part = part;
        }
    } else if (e.id == 4 && d.size() == 2) {
        m->destPort = d[0];
        m->sourcePort = d[1];
    } else if (e.id == 5 && d.size() == 4) {
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
    if (m->firstOctet & 0x40) {
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

bool ReadStatusReportTail(Reader& r, Message* m) {
    if (!r.Need(1, "status")) return false;
    m->status = r.Take();
    if (r.pos == r.pdu.size()) return true;  // the parameter indicator is optional
    int indicator = r.Take();
    for (int last = indicator; last & 0x80 && r.pos < r.pdu.size();) last = r.Take();  // extension octets

    if (indicator & 1) {
        if (!r.Need(1, "protocol identifier")) return false;
        m->pid = r.Take();
        m->hasPid = true;
    }
    if (indicator & 2) {
        if (!r.Need(1, "data coding")) return false;
        m->dcs = r.Take();
        m->hasDcs = true;
    }
    DecodeDcs(m);
    m->hasUserData = indicator & 4;
    return !m->hasUserData || ReadUserData(r, m);
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

// Destination: length in semi-octets, type, value. Not a number: a name of
// up to 11 characters of the 7-bit alphabet.
bool EncodeDestination(const std::string& to, Bytes* out, std::string* error) {
    Bytes value;
    int type;
    size_t semiOctets = to.size() - (to.size() && to[0] == '+');
    if (!EncodeNumber(to, &value, &type)) {
        std::u32string chars;
        Bytes septets;
        size_t bad;
        if (!DecodeUtf8(to, &chars, &bad) || !ToSeptets(chars, &septets) || septets.empty() || septets.size() > 11) {
            *error = "'" + to + "' is neither a number of up to 20 digits nor a name of up to 11 characters";
            return false;
        }
        value.clear();
        PackSeptets(septets, 0, &value);
        type = kTypeAlphanumeric;
        semiOctets = (septets.size() * 7 + 3) / 4;
    }
    out->push_back(static_cast<uint8_t>(semiOctets));
    out->push_back(static_cast<uint8_t>(type));
    out->insert(out->end(), value.begin(), value.end());
    return true;
}

uint8_t DerivedReference(const std::string& text) {
    uint32_t h = 2166136261u;  // FNV-1a
    for (unsigned char c : text) h = (h ^ c) * 16777619u;
    return static_cast<uint8_t>(h ^ h >> 8 ^ h >> 16 ^ h >> 24);
}

}  // namespace

const char* TypeName(MessageType type) {
    return type == MessageType::Deliver ? "SMS-DELIVER" : type == MessageType::Submit ? "SMS-SUBMIT" : "SMS-STATUS-REPORT";
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

bool ParsePdu(const Bytes& pdu, bool withSmsc, Message* m, ParseError* error) {
    *m = Message();
    Reader r{pdu, error};
    if (pdu.empty()) return r.Fail(0, "the PDU is empty");
    if (withSmsc && !ReadSmsc(r, m)) return false;
    if (!r.Need(1, "first octet")) return false;
    m->firstOctet = r.Take();
    switch (m->firstOctet & 3) {
        case 0:
            m->type = MessageType::Deliver;
            if (!ReadAddress(r, "originator", &m->address) || !ReadPidDcs(r, m) ||
                !ReadTimestamp(r, "timestamp", &m->time) || !ReadUserData(r, m))
                return false;
            break;
        case 1: {
            m->type = MessageType::Submit;
            if (!r.Need(1, "message reference")) return false;
            m->reference = r.Take();
            if (!ReadAddress(r, "destination", &m->address) || !ReadPidDcs(r, m)) return false;
            m->validityFormat = m->firstOctet >> 3 & 3;
            if (m->validityFormat == 2) {
                if (!r.Need(1, "validity period")) return false;
                m->validity = r.Take();
            } else if (m->validityFormat == 3) {
                if (!ReadTimestamp(r, "validity period", &m->validUntil)) return false;
            } else if (m->validityFormat == 1) {
                if (!r.Need(7, "validity period")) return false;
                m->validityEnhanced.assign(pdu.begin() + r.pos, pdu.begin() + r.pos + 7);
                r.pos += 7;
            }
            if (!ReadUserData(r, m)) return false;
            break;
        }
        case 2:
            m->type = MessageType::StatusReport;
            if (!r.Need(1, "message reference")) return false;
            m->reference = r.Take();
            if (!ReadAddress(r, "recipient", &m->address) || !ReadTimestamp(r, "timestamp", &m->time) ||
                !ReadTimestamp(r, "discharge time", &m->discharge) || !ReadStatusReportTail(r, m))
                return false;
            break;
        default:
            return r.Fail(r.pos - 1, Format("unknown message type 3 (first octet %02lX)", m->firstOctet));
    }
    if (r.pos != pdu.size())
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
    Bytes smsc{0}, destination;
    if (!o.smsc.empty()) {
        Bytes digits;
        int type;
        if (!EncodeNumber(o.smsc, &digits, &type)) {
            *error = "SMSC '" + o.smsc + "' is not a number of up to 20 digits";
            return false;
        }
        smsc = {static_cast<uint8_t>(digits.size() + 1), static_cast<uint8_t>(type)};
        smsc.insert(smsc.end(), digits.begin(), digits.end());
    }
    if (!EncodeDestination(o.to, &destination, error)) return false;
    std::u32string chars;
    size_t bad;
    if (!DecodeUtf8(text, &chars, &bad)) {
        *error = Format("the text is not valid UTF-8 (byte %ld)", bad);
        return false;
    }
    Bytes septets;
    ShiftTables tables;  // national language tables: their elements go in every part's header
    bool gsm = !o.ucs2 && (o.language < 0 ? ToSeptets(chars, &septets)
                                          : ChooseTables(chars, o.language, &tables) && ToSeptets(chars, tables, &septets));
    Bytes shift = ShiftElements(tables);
    std::vector<uint16_t> units;
    if (!gsm) units = ToUtf16(chars);

    // Part boundaries: an escape pair or a surrogate pair stays whole.
    size_t total = gsm ? septets.size() : units.size(), single = gsm ? SeptetRoom(tables, false) : 70,
           per = gsm ? SeptetRoom(tables, true) : 67;
    std::vector<size_t> ends;
    for (size_t start = 0; start < total || ends.empty();) {
        size_t end = total <= single ? total : std::min(total, start + per);
        if (gsm && end < total) {
            size_t i = start;
            while (i < end) i += septets[i] == 0x1B ? 2 : 1;
            if (i > end) end -= 1;
        } else if (!gsm && end < total && units[end - 1] >= 0xD800 && units[end - 1] <= 0xDBFF) {
            end -= 1;
        }
        ends.push_back(end);
        start = end;
    }
    if (ends.size() > 255) {
        *error = Format("the text needs %ld messages, at most 255 can be joined", static_cast<long>(ends.size()));
        return false;
    }
    bool multi = ends.size() > 1;
    uint8_t ref = static_cast<uint8_t>(o.ref >= 0 ? o.ref : DerivedReference(text));
    uint8_t dcs = static_cast<uint8_t>((gsm ? 0x00 : 0x08) | (o.flash ? 0x10 : 0x00));
    size_t start = 0;
    for (size_t p = 0; p < ends.size(); ++p) {
        SubmitPdu pdu;
        Bytes& b = pdu.octets;
        b = smsc;
        b.push_back(static_cast<uint8_t>(0x01 | (o.validity >= 0 ? 0x10 : 0) | (o.report ? 0x20 : 0) |
                                         (multi || !shift.empty() ? 0x40 : 0)));
        b.push_back(0);  // message reference: the modem sets it
        b.insert(b.end(), destination.begin(), destination.end());
        b.push_back(0);  // protocol identifier
        b.push_back(dcs);
        if (o.validity >= 0) b.push_back(static_cast<uint8_t>(o.validity));
        Bytes header;
        if (multi) header = {0, 3, ref, static_cast<uint8_t>(ends.size()), static_cast<uint8_t>(p + 1)};
        header.insert(header.end(), shift.begin(), shift.end());
        if (!header.empty()) header.insert(header.begin(), static_cast<uint8_t>(header.size()));
        if (gsm) {
            Bytes chunk(septets.begin() + start, septets.begin() + ends[p]);
            size_t headerSeptets = (header.size() * 8 + 6) / 7;  // the text starts on a septet boundary
            b.push_back(static_cast<uint8_t>(chunk.size() + headerSeptets));
            b.insert(b.end(), header.begin(), header.end());
            PackSeptets(chunk, static_cast<int>(headerSeptets * 7 - header.size() * 8), &b);
        } else {
            b.push_back(static_cast<uint8_t>(header.size() + 2 * (ends[p] - start)));
            b.insert(b.end(), header.begin(), header.end());
            for (size_t i = start; i < ends[p]; ++i) {
                b.push_back(static_cast<uint8_t>(units[i] >> 8));
                b.push_back(static_cast<uint8_t>(units[i]));
            }
        }
        pdu.tpduLength = b.size() - smsc.size();
        out->push_back(pdu);
        start = ends[p];
    }
    return true;
}

}  // namespace sms
