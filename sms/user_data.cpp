#include "sms/user_data.h"

#include "sms/language.h"
#include "sms/pdu.h"

namespace sms {
namespace {

const uint8_t kEscape = 0x1B, kCarriageReturn = 0x0D;

bool ReadConcatenation(Message* m, const Bytes& d) {
    int ref = d.size() == 3 ? d[0] : d[0] << 8 | d[1], parts = d[d.size() - 2], part = d[d.size() - 1];
    if (parts == 0 || part < 1 || part > parts) return false;  // the element is ignored
    m->concatRef = ref;
    m->parts = parts;
    m->part = part;
    return true;
}

bool ReadPorts(Message* m, const Bytes& d) {
    bool wide = d.size() == 4;
    m->destPort = wide ? d[0] << 8 | d[1] : d[0];
    m->sourcePort = wide ? d[2] << 8 | d[3] : d[1];
    return true;
}

// 9.2.3.24.15/16, for 7-bit text only.
bool ReadSingleShift(Message* m, const Bytes& d) {
    if (m->coding != Coding::Gsm7) return false;
    m->shift.single = d[0];
    return true;
}

bool ReadLockingShift(Message* m, const Bytes& d) {
    if (m->coding != Coding::Gsm7) return false;
    m->shift.locking = d[0];
    return true;
}

const ElementKind kElements[] = {
    {IE_CONCAT_8, "concatenated message, 8-bit reference", 3, ReadConcatenation, true},
    {0x01, "special message indication", 0, nullptr, false},
    {IE_PORTS_8, "application ports, 8-bit", 2, ReadPorts, true},
    {IE_PORTS_16, "application ports, 16-bit", 4, ReadPorts, true},
    {0x06, "service centre control parameters", 0, nullptr, false},
    {0x07, "header source indicator", 0, nullptr, false},
    {IE_CONCAT_16, "concatenated message, 16-bit reference", 4, ReadConcatenation, true},
    {0x09, "wireless control message protocol", 0, nullptr, false},
    {0x0A, "text formatting", 0, nullptr, false},
    {0x0B, "predefined sound", 0, nullptr, false},
    {0x0C, "user defined sound", 0, nullptr, false},
    {0x0D, "predefined animation", 0, nullptr, false},
    {0x0E, "large animation", 0, nullptr, false},
    {0x0F, "small animation", 0, nullptr, false},
    {0x10, "large picture", 0, nullptr, false},
    {0x11, "small picture", 0, nullptr, false},
    {0x12, "variable picture", 0, nullptr, false},
    {0x13, "user prompt indicator", 0, nullptr, false},
    {0x14, "extended object", 0, nullptr, false},
    {0x16, "compression control", 0, nullptr, false},
    {0x17, "object distribution indicator", 0, nullptr, false},
    {0x19, "standard WVG object", 0, nullptr, false},
    {0x1A, "character size WVG object", 0, nullptr, false},
    {0x20, "RFC 822 e-mail header", 0, nullptr, false},
    {0x21, "hyperlink format", 0, nullptr, false},
    {0x22, "reply address", 0, nullptr, false},
    {0x23, "enhanced voice mail information", 0, nullptr, false},
    {IE_SINGLE_SHIFT, "national language single shift", 1, ReadSingleShift, false},
    {IE_LOCKING_SHIFT, "national language locking shift", 1, ReadLockingShift, false},
};

std::string LanguageText(int id) {
    const char* name = LanguageName(id);
    return name ? name : "reserved identifier " + std::to_string(id) + ", read with the default table";
}

// What an element's data says, for the octet view.
std::string ElementMeaning(const HeaderElement& e, const Message& m) {
    const Bytes& d = e.data;
    if (!e.taken) return (e.id == IE_SINGLE_SHIFT || e.id == IE_LOCKING_SHIFT) && m.coding != Coding::Gsm7
                             ? "ignored: the text is not 7-bit"
                         : FindElement(e.id) && FindElement(e.id)->read ? "ignored: not a valid element"
                                                                        : "";
    if (e.id == IE_CONCAT_8 || e.id == IE_CONCAT_16)
        return Format("reference %ld, part %ld of %ld", e.id == IE_CONCAT_8 ? d[0] : d[0] << 8 | d[1], d[d.size() - 1],
                      d[d.size() - 2]);
    if (e.id == IE_PORTS_8 || e.id == IE_PORTS_16)
        return Format("destination port %ld, source port %ld", e.id == IE_PORTS_8 ? d[0] : d[0] << 8 | d[1],
                      e.id == IE_PORTS_8 ? d[1] : d[2] << 8 | d[3]);
    return LanguageText(d[0]);
}

// The header: its length octet and each element as identifier, length and data.
bool ReadHeader(Cursor& c, Message* m, size_t octets, size_t* header) {
    size_t at = c.Offset();
    const uint8_t* ud = c.Pdu().data() + at;
    *header = ud[0] + 1;
    if (*header > octets)
        return c.Fail(at, Format("header of %ld octets is longer than the user data (%ld octets)", *header, octets));
    c.Take(1, "TP-UDHL", "");
    if (c.Tracing()) c.Means(Format("%ld octets of header", ud[0]));
    for (size_t i = 1; i < *header;) {
        if (i + 2 > *header || i + 2 + ud[i + 1] > *header)
            return c.Fail(at + i, Format("header element %02lX runs past the end of the header", ud[i]));
        HeaderElement e;
        e.id = ud[i];
        e.offset = at + i;
        e.data.assign(ud + i + 2, ud + i + 2 + ud[i + 1]);
        const ElementKind* kind = FindElement(e.id);
        if (kind && kind->read && e.data.size() == kind->length) e.taken = kind->read(m, e.data);
        c.Take(1, "IEI", "");
        if (c.Tracing()) c.Means(ElementName(e.id));
        c.Take(1, "IEDL", "");
        if (c.Tracing()) c.Means(Format(ud[i + 1] == 1 ? "%ld octet" : "%ld octets", ud[i + 1]));
        c.Take(e.data.size(), "IED", "");
        if (c.Tracing()) c.Means(ElementMeaning(e, *m));
        m->header.push_back(e);
        i += 2 + ud[i + 1];
    }
    return true;
}

std::string TableNote(const ShiftTables& t, bool single) {
    int id = single ? t.single : t.locking;
    if (id < 0) return single ? "extension table" : "";
    const char* name = LanguageName(id);
    return std::string(name ? name : "reserved identifier " + std::to_string(id) + ", default") +
           (single ? " single shift table" : " locking shift table");
}

void TraceSeptets(Cursor& c, const Message& m, size_t start, int fill, size_t octets) {
    const Bytes& s = m.septets;
    TraceSeptetCharacters(c.Tracing(), s, m.shift, start, fill);
    size_t used = fill + 7 * s.size(), unused = octets * 8 - used;
    if (unused == 0 || octets == 0) return;
    size_t last = start + octets - 1;
    int spare = c.Pdu()[last] >> (8 - unused);
    std::string meaning = "unused";
    if (unused == 7)
        meaning = std::string(spare == kCarriageReturn ? "a carriage return" : spare == 0 ? "seven zero bits" : "seven bits") +
                  " after 8n-1 septets: padding, not a character, since TP-UDL counts " +
                  std::to_string(s.size()) + " septets" + (spare == 0 ? " (read as a septet they would be '@')" : "");
    c.Bits(last, 7, static_cast<int>(8 - unused), "TP-UD unused bits", meaning);
}

}  // namespace

const ElementKind* FindElement(int id) {
    for (const ElementKind& k : kElements)
        if (k.id == id) return &k;
    return nullptr;
}

std::string ElementName(int id) {
    const ElementKind* k = FindElement(id);
    return k ? k->name : "unknown element";
}

int FillBits(size_t headerOctets) { return static_cast<int>((7 - headerOctets * 8 % 7) % 7); }

// Where septet `k` after `fill` bits of the octets at `start` lies.
std::vector<size_t> SeptetOctets(size_t start, int fill, size_t k) {
    size_t bit = fill + 7 * k;
    std::vector<size_t> at{start + bit / 8};
    if (bit % 8 > 1) at.push_back(start + bit / 8 + 1);
    return at;
}

void TraceSeptetCharacters(Trace* t, const Bytes& s, ShiftTables shift, size_t start, int fill) {
    for (size_t k = 0; k < s.size(); ++k) {
        CharacterSpan ch{CharacterSpan::Septet, k, SeptetOctets(start, fill, k), s[k], "", ""};
        if (s[k] == kEscape && k + 1 < s.size()) {
            ch.note = "escape to the " + TableNote(shift, true);
            t->characters.push_back(ch);
            ++k;
            ch = CharacterSpan{CharacterSpan::Septet, k, SeptetOctets(start, fill, k), s[k],
                               SeptetsToUtf8(Bytes{kEscape, s[k]}, shift), TableNote(shift, true)};
        } else {
            ch.text = SeptetsToUtf8(Bytes{s[k]}, shift);
            ch.note = TableNote(shift, false);
        }
        t->characters.push_back(ch);
    }
}

void TraceUtf16Units(Trace* t, const std::vector<uint16_t>& u, size_t start) {
    for (size_t i = 0; i < u.size(); ++i) {
        bool high = u[i] >= 0xD800 && u[i] <= 0xDBFF, low = u[i] >= 0xDC00 && u[i] <= 0xDFFF;
        bool paired = high && i + 1 < u.size() && u[i + 1] >= 0xDC00 && u[i + 1] <= 0xDFFF;
        bool pairedLow = low && i > 0 && u[i - 1] >= 0xD800 && u[i - 1] <= 0xDBFF;
        CharacterSpan ch{CharacterSpan::Utf16Unit, i, {start + 2 * i, start + 2 * i + 1}, u[i], "", ""};
        if (paired) {
            ch.text = Utf16ToUtf8({u[i], u[i + 1]});
            ch.note = "high surrogate";
        } else if (pairedLow) {
            ch.note = "low surrogate";
        } else {
            ch.text = Utf16ToUtf8({u[i]});
            if (high || low) ch.note = "unpaired surrogate";
        }
        t->characters.push_back(ch);
    }
}

bool ReadUserData(Cursor& c, Message* m) {
    size_t lengthAt = c.Offset();
    int length = 0;
    if (!c.TakeOctet("TP-UDL", "user data length", &length)) return false;
    bool septets = m->coding == Coding::Gsm7;
    size_t octets = septets ? (length * 7 + 7) / 8 : length;
    if (c.Tracing()) c.Means(Format(septets ? "%ld septets" : "%ld octets", length));
    if (octets > c.Left())
        return c.Fail(lengthAt, Format("user data length %ld needs %ld octets, %ld are left", length, octets, c.Left()));
    size_t at = c.Offset(), header = 0;
    const uint8_t* ud = c.Pdu().data() + at;
    if (m->firstOctet & TP_UDHI) {
        if (octets == 0) return c.Fail(lengthAt, "a header is announced but the user data is empty");
        if (!ReadHeader(c, m, octets, &header)) return false;
    }
    size_t rest = octets - header, start = at + header;
    if (septets) {
        int fill = FillBits(header);
        size_t headerSeptets = (header * 8 + fill) / 7;
        if (headerSeptets > static_cast<size_t>(length))
            return c.Fail(at, Format("header of %ld octets is longer than the user data (%ld septets)", header, length));
        m->septets = UnpackSeptets(ud + header, fill, length - headerSeptets);
        m->text = SeptetsToUtf8(m->septets, m->shift);
        c.Take(rest, "TP-UD", "");
        if (c.Tracing()) c.Means(Format("%ld septets of 7-bit text", static_cast<long>(m->septets.size())));
        if (fill && header && c.Tracing())
            c.Bits(start, fill - 1, 0, "fill bits",
                   Format(fill > 1 ? "%ld bits that start the text on a septet boundary"
                                   : "%ld bit that starts the text on a septet boundary",
                          fill));
        if (c.Tracing()) TraceSeptets(c, *m, start, header ? fill : 0, rest);
    } else if (m->coding == Coding::Ucs2) {
        c.Take(rest, "TP-UD", "");
        if (rest % 2)
            return c.Fail(at + octets - 1, Format("UCS-2 text of %ld octets ends in half a character", rest));
        for (size_t i = header; i < octets; i += 2) m->units.push_back(static_cast<uint16_t>(ud[i] << 8 | ud[i + 1]));
        m->text = Utf16ToUtf8(m->units);
        if (c.Tracing()) c.Means(Format("%ld UTF-16 units of UCS-2 text", static_cast<long>(m->units.size())));
        if (c.Tracing()) TraceUtf16Units(c.Tracing(), m->units, start);
    } else {
        m->data.assign(ud + header, ud + octets);
        c.Take(rest, "TP-UD", "");
        if (c.Tracing()) c.Means(Format("%ld octets of ", static_cast<long>(rest)) + CodingName(m->coding) + " data");
        for (size_t i = 0; c.Tracing() && i < rest; ++i)
            c.Tracing()->characters.push_back({CharacterSpan::Octet, i, {start + i}, ud[header + i], "", ""});
    }
    return true;
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

}  // namespace sms
