#include "sms/cbs.h"

#include <algorithm>

#include "sms/user_data.h"

namespace sms {
namespace {

const uint8_t kCarriageReturn = 0x0D;
const int kCbsMessageType = 1;  // the UMTS message type of a CBS message (9.4.2.2.1)
const int kMostPages = 15;      // the page parameter's four bits (9.4.1.2.4)
const int GROUP_LANGUAGE = 0x0, GROUP_LANGUAGE_IN_TEXT = 0x1, GROUP_MORE_LANGUAGES = 0x2, GROUP_HEADER = 0x9,
          GROUP_CLASS = 0xF;

struct Language {
    const char* code;
    const char* name;
};
// 23.038 5: the languages of coding group 0000 by bits 3-0 (1111: unspecified), and of group 0010 (0101 and up
// reserved).
const Language kLanguages[] = {{"de", "German"},     {"en", "English"},  {"it", "Italian"},  {"fr", "French"},
                               {"es", "Spanish"},    {"nl", "Dutch"},    {"sv", "Swedish"},  {"da", "Danish"},
                               {"pt", "Portuguese"}, {"fi", "Finnish"},  {"no", "Norwegian"}, {"el", "Greek"},
                               {"tr", "Turkish"},    {"hu", "Hungarian"}, {"pl", "Polish"},  {"", "unspecified"}};
const Language kMoreLanguages[] = {{"cs", "Czech"}, {"he", "Hebrew"}, {"ar", "Arabic"}, {"ru", "Russian"},
                                   {"is", "Icelandic"}};
const int kMoreLanguageCount = 5;

const char* const kAlphabets[] = {"7-bit", "8-bit", "UCS-2", "reserved, read as 7-bit"};
const char* const kClasses[] = {"class 0, shown at once", "class 1, stored in the phone", "class 2, stored on the SIM",
                                "class 3, handed to an attached device"};

// The fields of the coding octet by group (23.038 5).
std::vector<BitField> CodingBits(int dcs) {
    int group = dcs >> 4, low = dcs & 15;
    if (group == GROUP_LANGUAGE || group == GROUP_MORE_LANGUAGES) {
        bool named = group == GROUP_LANGUAGE || low < kMoreLanguageCount;
        const char* name = group == GROUP_LANGUAGE ? kLanguages[low].name : named ? kMoreLanguages[low].name : "";
        return {{7, 4, "coding group", "a language, 7-bit"},
                {3, 0, "language", named ? name : "reserved, 7-bit"}};
    }
    if (group == GROUP_LANGUAGE_IN_TEXT)
        return {{7, 4, "coding group", "the language in the text's first characters"},
                {3, 0, "alphabet", low == 0 ? "7-bit" : low == 1 ? "UCS-2" : "reserved, read as 7-bit"}};
    if (group >> 2 == 1)  // 01xx
        return {{7, 6, "coding group", "general data coding"},
                {5, 5, "compression", dcs & 0x20 ? "compressed" : "not compressed"},
                {4, 4, "class meaning", dcs & 0x10 ? "bits 1-0 are the class" : "no class"},
                {3, 2, "alphabet", kAlphabets[dcs >> 2 & 3]},
                {1, 0, "class", dcs & 0x10 ? kClasses[dcs & 3] : "no meaning"}};
    if (group == GROUP_HEADER)
        return {{7, 4, "coding group", "the content starts with a user data header"},
                {3, 2, "alphabet", kAlphabets[dcs >> 2 & 3]},
                {1, 0, "class", kClasses[dcs & 3]}};
    if (group == GROUP_CLASS)
        return {{7, 4, "coding group", "data coding and message class"},
                {3, 3, "reserved", "reserved"},
                {2, 2, "alphabet", dcs & 4 ? "8-bit" : "7-bit"},
                {1, 0, "class", (dcs & 3) == 0 ? "no class" : kClasses[dcs & 3]}};
    if (group == 3) return {{7, 4, "coding group", "a reserved language, 7-bit"}};
    return {{7, 4, "coding group", group == 0xE ? "defined by the WAP Forum, read as 7-bit" : "reserved, read as 7-bit"}};
}

// Message identifiers by range (23.041 9.4.1.2.2); the first row that holds an identifier names it.
struct IdentifierRange {
    int first, last;
    const char* meaning;
};
const IdentifierRange kIdentifiers[] = {
    {0x0000, 0x03E7, "allocated by the GSMA"},
    {0x03E8, 0x0FFF, "reserved for future use"},
    {0x1000, 0x107F, "allocated by the operator"},
    {0x1080, 0x10FF, "allocated by the operator, data download to the (U)SIM"},
    {0x1100, 0x1100, "ETWS earthquake warning"},
    {0x1101, 0x1101, "ETWS tsunami warning"},
    {0x1102, 0x1102, "ETWS earthquake and tsunami warning"},
    {0x1103, 0x1103, "ETWS test"},
    {0x1104, 0x1104, "ETWS warning of another emergency"},
    {0x1105, 0x1107, "ETWS, reserved for future use"},
    {0x1112, 0x1112, "CMAS presidential alert (EU-Alert level 1)"},
    {0x1113, 0x1113, "CMAS extreme alert: immediate, observed (EU-Alert level 2)"},
    {0x1114, 0x1114, "CMAS extreme alert: immediate, likely (EU-Alert level 2)"},
    {0x1115, 0x1115, "CMAS extreme alert: expected, observed (EU-Alert level 3)"},
    {0x1116, 0x1116, "CMAS extreme alert: expected, likely (EU-Alert level 3)"},
    {0x1117, 0x1117, "CMAS severe alert: immediate, observed (EU-Alert level 3)"},
    {0x1118, 0x1118, "CMAS severe alert: immediate, likely (EU-Alert level 3)"},
    {0x1119, 0x1119, "CMAS severe alert: expected, observed (EU-Alert level 3)"},
    {0x111A, 0x111A, "CMAS severe alert: expected, likely (EU-Alert level 3)"},
    {0x111B, 0x111B, "CMAS AMBER alert, a child abduction (EU-Amber)"},
    {0x111C, 0x111C, "CMAS required monthly test"},
    {0x111D, 0x111D, "CMAS exercise"},
    {0x111E, 0x111E, "CMAS, operator defined use"},
    {0x112C, 0x112C, "CMAS public safety alert (EU-Info)"},
    {0x112E, 0x112E, "CMAS state or local test"},
    {0x1130, 0x1130, "geo-fencing trigger"},
    {0x1100, 0x18FF, "public warning, reserved for future use"},
    {0x1900, 0x9FFF, "reserved for future use"},
    {0xA000, 0xAFFF, "allocated by the operator, valid in the home network only"},
    {0xB000, 0xFFFE, "reserved for future use"},
    {0xFFFF, 0xFFFF, "reserved, not to be used"},
};
// 111F-112B repeat 1112-111E for additional languages, as 112D and 112F repeat 112C and 112E.
const int kCmasLanguagesFirst = 0x111F, kCmasLanguagesLast = 0x112B, kCmasRepeat = 13;

bool ReadSerialNumber(Cursor& c, CbsMessage* m) {
    const uint8_t* p;
    if (!c.Take(2, "serial number", "serial number", &p)) return false;
    size_t at = c.Offset() - 2;
    m->serialNumber = p[0] << 8 | p[1];
    m->geographicalScope = p[0] >> 6;
    m->messageCode = m->serialNumber >> 4 & 0x3FF;
    m->updateNumber = p[1] & 15;
    c.Means(Format("message code %ld, update %ld, ", m->messageCode, m->updateNumber) +
            GeographicalScopeName(m->geographicalScope));
    c.Bits(at, 7, 6, "geographical scope", GeographicalScopeName(m->geographicalScope));
    c.Bits(at, 5, 0, "message code", Format("%ld, with bits 7-4 of the next octet", m->messageCode));
    c.Bits(at + 1, 7, 4, "message code", "its low four bits");
    c.Bits(at + 1, 3, 0, "update number", Format("%ld", m->updateNumber));
    return true;
}

bool ReadIdentifier(Cursor& c, CbsMessage* m) {
    const uint8_t* p;
    if (!c.Take(2, "message identifier", "message identifier", &p)) return false;
    m->messageIdentifier = p[0] << 8 | p[1];
    c.Means(Format("%ld: ", m->messageIdentifier) + MessageIdentifierMeaning(m->messageIdentifier));
    return true;
}

bool ReadCodingScheme(Cursor& c, CbsMessage* m) {
    if (!c.TakeOctet("data coding scheme", "data coding scheme", &m->dcs)) return false;
    c.Means(CbsCodingMeaning(m->dcs));
    for (const BitField& b : CodingBits(m->dcs)) c.Bits(c.Offset() - 1, b.high, b.low, b.name, b.meaning);
    m->coding = ReadCbsCoding(m->dcs);
    m->language = m->coding.language;
    return true;
}

// A page's user data header (23.041 9.4.1.2.5, coded as in 23.040 9.2.3.24): its length octet and each element;
// the national language elements name the tables of a 7-bit text.
bool ReadHeader(Cursor& c, CbsMessage* m, size_t octets, ShiftTables* tables) {
    size_t at = c.Offset();
    const uint8_t* p = c.Pdu().data() + at;
    size_t header = p[0] + 1;
    if (header > octets)
        return c.Fail(at, Format("header of %ld octets is longer than the content (%ld octets)", header, octets));
    c.Take(1, "UDHL", "");
    c.Means(Format("%ld octets of header", p[0]));
    for (size_t i = 1; i < header; i += 2 + p[i + 1]) {
        if (i + 2 > header || i + 2 + p[i + 1] > header)
            return c.Fail(at + i, Format("header element %02lX runs past the end of the header", p[i]));
        bool shift = (p[i] == IE_SINGLE_SHIFT || p[i] == IE_LOCKING_SHIFT) && p[i + 1] == 1;
        if (shift && m->coding.coding == Coding::Gsm7) (p[i] == IE_SINGLE_SHIFT ? tables->single : tables->locking) = p[i + 2];
        c.Take(1, "IEI", "");
        c.Means(ElementName(p[i]));
        c.Take(1, "IEDL", "");
        c.Means(Format(p[i + 1] == 1 ? "%ld octet" : "%ld octets", p[i + 1]));
        c.Take(p[i + 1], "IED", "");
    }
    m->header.assign(p, p + header);
    return true;
}

// Marks the characters recorded from `from` on with `note`.
void Note(Trace* t, size_t from, size_t to, const char* note) {
    for (size_t k = from; t && k < to; ++k) t->characters[k].note = note;
}

// 7-bit text after `fill` bits of the `octets` at the cursor: the language first when the coding says so (two
// characters and the carriage return after them, 23.038 5), then the text, whose carriage returns at the end pad the
// page (23.038 6.1.2.2, CBS packing) and are dropped.
bool ReadSeptets(Cursor& c, CbsMessage* m, size_t octets, int fill, ShiftTables tables, const char* field) {
    size_t start = c.Offset();
    Bytes s = UnpackSeptets(c.Pdu().data() + start, fill, (octets * 8 - fill) / 7);
    size_t first = 0, end = s.size();
    if (m->coding.languageInText) {
        if (s.size() < 2) return c.Fail(start, "the language the coding announces is missing: the content is too short");
        m->language = SeptetsToUtf8(Bytes(s.begin(), s.begin() + 2));
        first = s.size() > 2 && s[2] == kCarriageReturn ? 3 : 2;
    }
    while (end > first && s[end - 1] == kCarriageReturn) --end;
    m->text = SeptetsToUtf8(Bytes(s.begin() + first, s.begin() + end), tables);
    c.Take(octets, field, "");
    c.Means(Format("%ld characters of 7-bit text", static_cast<long>(end - first)) +
            (first ? ", after the language" : "") +
            (end < s.size() ? Format(", then %ld carriage returns of padding", static_cast<long>(s.size() - end)) : ""));
    if (fill) c.Bits(start, fill - 1, 0, "fill bits", "start the text on a septet boundary");
    if (Trace* t = c.Tracing()) {
        size_t base = t->characters.size();
        TraceSeptetCharacters(t, s, tables, start, fill);
        Note(t, base, base + std::min<size_t>(first, 2), "language");
        Note(t, base + 2, base + first, "ends the language");
        Note(t, base + end, base + s.size(), "padding");
    }
    size_t unused = octets * 8 - fill - 7 * s.size();
    if (unused) c.Bits(start + octets - 1, 7, static_cast<int>(8 - unused), "unused bits", "not a septet");
    return true;
}

// UCS-2 text: the language first when the coding says so (two 7-bit characters in two octets, 23.038 5), then the
// text, whose carriage returns at the end pad the page and are dropped. A last odd octet is padding too.
void ReadUnits(Cursor& c, CbsMessage* m, size_t octets, const char* field) {
    size_t start = c.Offset();
    const uint8_t* p = c.Pdu().data() + start;
    if (m->coding.languageInText && octets >= 2) {
        Bytes s = UnpackSeptets(p, 0, 2);
        m->language = SeptetsToUtf8(s);
        c.Take(2, "language", "");
        c.Means(m->language);
        if (Trace* t = c.Tracing()) {
            TraceSeptetCharacters(t, s, ShiftTables(), start, 0);
            Note(t, t->characters.size() - 2, t->characters.size(), "language");
        }
        start += 2;
        p += 2;
        octets -= 2;
    }
    std::vector<uint16_t> units;
    for (size_t i = 0; i + 1 < octets; i += 2) units.push_back(static_cast<uint16_t>(p[i] << 8 | p[i + 1]));
    size_t end = units.size();
    while (end > 0 && units[end - 1] == kCarriageReturn) --end;
    m->text = Utf16ToUtf8(std::vector<uint16_t>(units.begin(), units.begin() + end));
    c.Take(units.size() * 2, field, "");
    c.Means(Format("%ld UTF-16 units of UCS-2 text", static_cast<long>(end)) +
            (end < units.size() ? Format(", then %ld carriage returns of padding", static_cast<long>(units.size() - end)) : ""));
    if (Trace* t = c.Tracing()) {
        size_t base = t->characters.size();
        TraceUtf16Units(t, units, start);
        Note(t, base + end, base + units.size(), "padding");
    }
    if (octets % 2) {
        c.Take(1, "padding", "");
        c.Means("half a UCS-2 character: padding");
    }
}

// The content of one page, `octets` long: the header, then the text or the data.
bool ReadContent(Cursor& c, CbsMessage* m, size_t octets, const char* field) {
    const uint8_t* p = c.Pdu().data() + c.Offset();
    m->content.assign(p, p + octets);
    ShiftTables tables;
    size_t header = 0;
    if (m->coding.header) {
        if (octets == 0) return c.Fail(c.Offset(), "a header is announced but the content is empty");
        if (!ReadHeader(c, m, octets, &tables)) return false;
        header = m->header.size();
    }
    size_t rest = octets - header;
    // Fill bits start the text on a septet boundary after a header (23.040 9.2.3.24), when any text follows it.
    int fill = header && rest ? FillBits(header) : 0;
    if (m->coding.coding == Coding::Gsm7) return ReadSeptets(c, m, rest, fill, tables, field);
    if (m->coding.coding == Coding::Ucs2) return ReadUnits(c, m, rest, field), true;
    m->data.assign(p + header, p + octets);
    c.Take(rest, field, "");
    c.Means(Format("%ld octets of ", static_cast<long>(rest)) + CodingName(m->coding.coding) + " data");
    for (size_t i = 0; c.Tracing() && i < rest; ++i)
        c.Tracing()->characters.push_back({CharacterSpan::Octet, i, {c.Offset() - rest + i}, p[header + i], "", ""});
    return true;
}

}  // namespace

CbsCoding ReadCbsCoding(int dcs) {
    CbsCoding d;
    int group = dcs >> 4, low = dcs & 15;
    if (group == GROUP_LANGUAGE) {
        d.language = kLanguages[low].code;
    } else if (group == GROUP_LANGUAGE_IN_TEXT) {
        d.languageInText = low <= 1;
        if (low == 1) d.coding = Coding::Ucs2;
    } else if (group == GROUP_MORE_LANGUAGES) {
        if (low < kMoreLanguageCount) d.language = kMoreLanguages[low].code;
    } else if (group >> 2 == 1) {  // 01xx: as the general group of short messages
        DataCoding general = ReadDataCoding(dcs);
        d.coding = general.coding;
        d.messageClass = general.messageClass;
    } else if (group == GROUP_HEADER) {
        int alphabet = dcs >> 2 & 3;
        d.header = true;
        d.coding = alphabet == 1 ? Coding::Data8 : alphabet == 2 ? Coding::Ucs2 : Coding::Gsm7;
        d.messageClass = dcs & 3;
    } else if (group == GROUP_CLASS) {
        if (dcs & 4) d.coding = Coding::Data8;
        if (dcs & 3) d.messageClass = dcs & 3;
    }
    return d;
}

std::string CbsCodingMeaning(int dcs) {
    CbsCoding d = ReadCbsCoding(dcs);
    std::string s = CodingName(d.coding);
    if (!d.language.empty()) s += std::string(", ") + CbsLanguageName(d.language);
    if (d.languageInText) s += ", language in the text";
    if (d.header) s += ", with a user data header";
    if (d.messageClass >= 0) s += ", class " + std::to_string(d.messageClass);
    return s;
}

const char* CbsLanguageName(const std::string& code) {
    for (const Language& l : kLanguages)
        if (!code.empty() && code == l.code) return l.name;
    for (const Language& l : kMoreLanguages)
        if (code == l.code) return l.name;
    return nullptr;
}

std::string MessageIdentifierMeaning(int id) {
    if (id >= kCmasLanguagesFirst && id <= kCmasLanguagesLast)
        return MessageIdentifierMeaning(id - kCmasRepeat) + ", additional language";
    if (id == 0x112D || id == 0x112F) return MessageIdentifierMeaning(id - 1) + ", additional language";
    for (const IdentifierRange& r : kIdentifiers)
        if (id >= r.first && id <= r.last) return r.meaning;
    return "reserved for future use";
}

const char* GeographicalScopeName(int scope) {
    static const char* const kScopes[] = {"cell wide, shown at once", "PLMN wide", "location or service area wide",
                                          "cell wide"};
    return kScopes[scope & 3];
}

bool ParseCbsPage(const Bytes& page, CbsMessage* out, ParseError* error, Trace* trace) {
    *out = CbsMessage();
    Cursor c(page, error, trace);
    int pageParameter = 0;
    if (!ReadSerialNumber(c, out) || !ReadIdentifier(c, out) || !ReadCodingScheme(c, out) ||
        !c.TakeOctet("page parameter", "page parameter", &pageParameter))
        return false;
    out->page = pageParameter >> 4;
    out->pages = pageParameter & 15;
    size_t at = c.Offset() - 1;
    // 9.4.1.2.4: a 0 in either field reads as a single page.
    bool single = out->page == 0 || out->pages == 0;
    c.Means(Format(single ? "page %ld of %ld, read as page 1 of 1" : "page %ld of %ld", out->page, out->pages));
    c.Bits(at, 7, 4, "page", Format("%ld", out->page));
    c.Bits(at, 3, 0, "pages", Format("%ld", out->pages));
    if (single) out->page = out->pages = 1;
    if (out->page > out->pages)
        return c.Fail(at, Format("page %ld of %ld: the page is past the last", out->page, out->pages));
    if (c.Left() < kCbsContentOctets)
        return c.Fail(c.Offset(), Format("a page is 88 octets, this one %ld: the content is cut short", page.size()));
    if (!ReadContent(c, out, kCbsContentOctets, "content")) return false;
    if (c.Left()) return c.Fail(c.Offset(), Format("a page is 88 octets, this one %ld: the data goes on past it", page.size()));
    return true;
}

bool ParseCbsUmts(const Bytes& pdu, std::vector<CbsMessage>* pages, ParseError* error, Trace* trace) {
    pages->clear();
    Cursor c(pdu, error, trace);
    CbsMessage m;
    m.umts = true;
    int type = 0, count = 0;
    if (!c.TakeOctet("message type", "message type", &type)) return false;
    if (type != kCbsMessageType) return c.Fail(0, Format("message type %ld is not a CBS message (1)", type));
    c.Means("CBS message");
    if (!ReadIdentifier(c, &m) || !ReadSerialNumber(c, &m) || !ReadCodingScheme(c, &m) ||
        !c.TakeOctet("number of pages", "number of pages", &count))
        return false;
    c.Means(Format("%ld", count));
    if (count < 1 || count > kMostPages)
        return c.Fail(c.Offset() - 1, Format("%ld pages: a message has 1 to 15", count));
    m.pages = count;
    for (int i = 1; i <= count; ++i) {
        size_t at = c.Offset();
        if (c.Left() < kCbsContentOctets + 1)
            return c.Fail(at, Format("page %ld of %ld is missing: the data ends here", i, count));
        size_t length = pdu[at + kCbsContentOctets];
        CbsMessage p = m;
        p.page = i;
        if (length > kCbsContentOctets) {
            c.Take(kCbsContentOctets, "information page", "");
            return c.Fail(c.Offset(), Format("information length %ld is longer than a page (82 octets)", length));
        }
        if (!ReadContent(c, &p, length, "information page")) return false;
        if (length < kCbsContentOctets) {
            c.Take(kCbsContentOctets - length, "padding", "");
            c.Means("past the information length: padding");
        }
        c.Take(1, "information length", "");
        c.Means(Format("%ld octets", length));
        pages->push_back(p);
    }
    if (c.Left())
        return c.Fail(c.Offset(), Format("the data goes on past the last page (%ld more octets)", c.Left()));
    return true;
}

uint32_t CbsKey(const CbsMessage& page) {
    return static_cast<uint32_t>(page.serialNumber) << 16 | static_cast<uint32_t>(page.messageIdentifier);
}

CbsMessage JoinCbsPages(const std::vector<const CbsMessage*>& pages) {
    std::vector<const CbsMessage*> sorted(pages);
    std::stable_sort(sorted.begin(), sorted.end(), [](const CbsMessage* a, const CbsMessage* b) { return a->page < b->page; });
    CbsMessage joined;
    for (const CbsMessage* p : sorted) {
        if (!joined.present.empty() && joined.present.back() == p->page) continue;
        if (joined.present.empty()) {
            joined = *p;
            joined.text.clear();
            joined.data.clear();
            joined.content.clear();
        }
        joined.present.push_back(p->page);
        joined.text += p->text;
        joined.data.insert(joined.data.end(), p->data.begin(), p->data.end());
        joined.content.insert(joined.content.end(), p->content.begin(), p->content.end());
    }
    return joined;
}

}  // namespace sms
