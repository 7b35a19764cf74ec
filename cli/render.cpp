#include "cli/render.h"

#include "cli/cp1252.h"

#include <cctype>
#include <cstdio>

using sms::Message;

namespace {

std::string Num(long v) { return std::to_string(v); }

std::string Hex2(int v) {
    char b[8];
    snprintf(b, sizeof b, "%02X", v & 0xFF);
    return b;
}

void Add(std::vector<Field>* f, const std::string& label, const std::string& value, bool raw = false) {
    f->push_back(Field{label, value, Field::Both, raw, ""});
}
void AddPlain(std::vector<Field>* f, const std::string& label, const std::string& value) {
    f->push_back(Field{label, value, Field::PlainOnly, false, ""});
}
void AddJson(std::vector<Field>* f, const std::string& key, const std::string& value, bool raw = false) {
    f->push_back(Field{key, value, Field::JsonOnly, raw, key});
}

// A number with its meaning: "C0 (SC busy)" in plain output, both apart in JSON.
void AddCoded(std::vector<Field>* f, const std::string& label, int value, const char* text) {
    AddPlain(f, label, Hex2(value) + " (" + text + ")");
    Field number{label, Num(value), Field::JsonOnly, true, ""};
    f->push_back(number);
    AddJson(f, number.Key() + "_text", text);
}

// "1,2,4" for the parts in `joined` that are (or are not) there.
std::string PartList(const Joined& joined, bool present) {
    std::string list;
    size_t k = 0;
    for (int p = 1; p <= joined.parts; ++p) {
        bool have = k < joined.present.size() && joined.present[k] == p;
        k += have;
        if (have == present) list += (list.empty() ? "" : ",") + Num(p);
    }
    return list;
}

}  // namespace

// The national language tables a 7-bit text was read with: "language: Turkish (locking shift), Turkish (single
// shift)", and "locking_shift" and "single_shift" in JSON.
void AddLanguageFields(std::vector<Field>* f, sms::ShiftTables tables) {
    std::string plain;
    for (int single = 0; single < 2; ++single) {
        int id = single ? tables.single : tables.locking;
        if (id < 0) continue;
        const char* name = sms::LanguageName(id);
        std::string kind = single ? "single shift" : "locking shift", value = name ? name : "reserved identifier " + Num(id);
        std::string note = name ? "" : ", read with the default table";
        AddJson(f, single ? "single_shift" : "locking_shift", value + note);
        plain += (plain.empty() ? "" : ", ") + value + " (" + kind + ")" + note;
    }
    if (!plain.empty()) AddPlain(f, "language", plain);
}

std::string Field::Key() const {
    if (!key.empty()) return key;
    std::string k = label;
    for (char& c : k)
        if (c == ' ') c = '_';
    return k;
}

std::vector<Field> MessageFields(const Message& m, const Joined* joined) {
    std::vector<Field> f;
    const sms::MessageKind& kind = sms::KindOf(m.type);
    int first = m.firstOctet;
    Add(&f, "type", kind.name);
    if (m.hasSmsc) Add(&f, "smsc", m.smsc.text);
    if (kind.addressRole) {
        Add(&f, kind.addressRole, m.address.text);
        AddJson(&f, std::string(kind.addressRole) + "_type", sms::NumberKind(m.address.type));
    }
    if (m.reference >= 0) Add(&f, "reference", Num(m.reference), true);
    if (kind.forms) Add(&f, "form", m.failureCause >= 0 ? "RP-ERROR" : "RP-ACK");
    if (m.failureCause >= 0) AddCoded(&f, "failure cause", m.failureCause, sms::CauseText(m.failureCause));
    if (m.hasTime) Add(&f, "timestamp", m.time.Iso());
    if (m.status >= 0) {
        Add(&f, "discharge time", m.discharge.Iso());
        AddCoded(&f, "status", m.status, sms::StatusText(m.status));
    }
    if (kind.firstOctet & sms::FIELD_SRQ) Add(&f, "qualifier", first & sms::TP_SRQ ? "SMS-COMMAND" : "SMS-SUBMIT");
    if (m.commandType >= 0) {
        AddCoded(&f, "command", m.commandType, sms::CommandText(m.commandType));
        Add(&f, "message number", Num(m.messageNumber), true);
        Add(&f, "command data", sms::Hex(m.commandData));
    }
    if (m.validityFormat == sms::VPF_RELATIVE) Add(&f, "validity", sms::DurationText(m.validity));
    if (m.validityFormat == sms::VPF_ABSOLUTE) Add(&f, "validity", "until " + m.validUntil.Iso());
    if (m.validityFormat == sms::VPF_ENHANCED) Add(&f, "validity", "enhanced " + sms::Hex(m.validityEnhanced));
    if ((kind.firstOctet & (sms::FIELD_SRI | sms::FIELD_SRR)) && (first & sms::TP_SRR))
        Add(&f, "status report", kind.firstOctet & sms::FIELD_SRI ? "will be returned" : "requested");
    if ((kind.firstOctet & sms::FIELD_RP) && (first & sms::TP_RP)) Add(&f, "reply path", "true", true);
    if ((kind.firstOctet & sms::FIELD_RD) && (first & sms::TP_RD)) Add(&f, "reject duplicates", "true", true);
    if (m.hasPid && m.pid != 0) f.push_back(Field{"protocol identifier", Num(m.pid), Field::Both, true, "pid"});
    if (m.HasUserData() || m.hasDcs) {
        Add(&f, "coding", sms::CodingName(m.coding));
        if (m.messageClass >= 0) Add(&f, "class", Num(m.messageClass), true);
    }
    Field reference{"concatenation reference", Num(m.concatRef), Field::Both, true, "concat_reference"};
    if (joined) {
        f.push_back(reference);
        Add(&f, "parts", Num(joined->parts), true);
        Add(&f, "parts present", "[" + PartList(*joined, true) + "]", true);
        std::string missing = PartList(*joined, false);
        if (!missing.empty()) Add(&f, "missing parts", "[" + missing + "]", true);
    } else if (m.concatRef >= 0) {
        f.push_back(reference);
        Add(&f, "part", Num(m.part), true);
        Add(&f, "parts", Num(m.parts), true);
    }
    if (m.destPort >= 0) {
        Add(&f, "destination port", Num(m.destPort), true);
        Add(&f, "source port", Num(m.sourcePort), true);
    }
    AddLanguageFields(&f, m.shift);
    for (const sms::HeaderElement& e : m.header) {
        const sms::ElementKind* known = sms::FindElement(e.id);
        if (!e.taken && !(known && known->ownFields))
            f.push_back(Field{"header element " + Hex2(e.id), sms::Hex(e.data), Field::Both, false, "header_" + Hex2(e.id)});
    }
    if (m.HasUserData()) {
        if (m.coding == sms::Coding::Gsm7 || m.coding == sms::Coding::Ucs2) Add(&f, "text", m.text);
        else Add(&f, "data", sms::Hex(m.data));
    }
    return f;
}

std::string WordList(const std::vector<std::string>& words) {
    std::string s;
    for (size_t i = 0; i < words.size(); ++i) s += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i];
    return s;
}

std::string Escaped(const std::string& s, bool json) {
    size_t plain = 0;  // most texts need no escape: they are copied whole
    while (plain < s.size() && static_cast<unsigned char>(s[plain]) >= 0x20 && s[plain] != 0x7F && s[plain] != '\\' &&
           !(json && s[plain] == '"'))
        ++plain;
    if (plain == s.size()) return s;
    std::string out;
    for (unsigned char c : s) {
        if (c == '\\' || (json && c == '"')) {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char b[8];
            snprintf(b, sizeof b, "\\u%04X", c);
            out += b;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string RenderPlain(const std::vector<Field>& fields) {
    std::string out;
    for (const Field& f : fields) {
        if (f.form == Field::JsonOnly) continue;
        std::string value = f.value;
        if (value.size() >= 2 && value.front() == '[' && f.raw) {  // a list: "1, 2"
            value = value.substr(1, value.size() - 2);
            for (size_t c = 0; (c = value.find(',', c)) != std::string::npos; c += 2) value.replace(c, 1, ", ");
        }
        out += f.label + ": " + Escaped(value, false) + "\n";
    }
    return out;
}

std::string RenderJson(const std::vector<Field>& fields, const std::vector<std::string>& more) {
    std::string out;
    for (const Field& f : fields) {
        if (f.form == Field::PlainOnly) continue;
        std::string value = f.raw ? f.value : "\"" + Escaped(f.value, true) + "\"";
        out += (out.empty() ? "{\"" : ", \"") + f.Key() + "\": " + value;
    }
    for (const std::string& member : more) out += (out.empty() ? "{" : ", ") + member;
    return out + "}\n";
}

namespace {

std::string Bits(const sms::Span& s) {
    return s.high == s.low ? Num(s.high) : Num(s.high) + "-" + Num(s.low);
}

std::string Offsets(const std::vector<size_t>& offsets, const char* separator) {
    std::string s;
    for (size_t o : offsets) s += (s.empty() ? "" : separator) + Num(static_cast<long>(o));
    return s;
}

const char* UnitName(sms::CharacterSpan::Unit unit) {
    return unit == sms::CharacterSpan::Septet ? "septet" : unit == sms::CharacterSpan::Utf16Unit ? "unit" : "octet";
}

std::string Quoted(const std::string& s) { return "\"" + Escaped(s, true) + "\""; }

}  // namespace

std::string ExplainPlain(const sms::Trace& trace, const sms::Bytes& pdu) {
    std::string out = "explained:\n";
    char line[64];
    for (const sms::Span& s : trace.spans) {
        std::string value = s.InsideOctet()
                                ? sms::Binary(pdu[s.offset] >> s.low, s.high - s.low + 1)
                                : sms::Hex(pdu.data() + s.offset, s.length);
        snprintf(line, sizeof line, "%5zu  ", s.offset);
        std::string where = s.InsideOctet() ? "  " + std::string(s.high == s.low ? "bit  " : "bits ") + Bits(s) : "";
        if (!where.empty()) where += std::string(12 - where.size(), ' ');
        out += line + where + s.field + " " + value + (s.meaning.empty() ? "" : ": " + Escaped(s.meaning, false)) + "\n";
    }
    for (const sms::CharacterSpan& c : trace.characters) {
        std::string at = Offsets(c.offsets, "-");
        snprintf(line, sizeof line, "%5zu  %s %zu, octet%s %s: %02X", c.offsets[0], UnitName(c.unit), c.index,
                 c.offsets.size() > 1 ? "s" : "", at.c_str(), c.code);
        std::string text = c.unit == sms::CharacterSpan::Octet ? "" : c.text.empty() ? "" : " '" + Escaped(c.text, false) + "'";
        if (c.unit == sms::CharacterSpan::Utf16Unit) snprintf(line, sizeof line, "%5zu  unit %zu, octets %s: %04X",
                                                             c.offsets[0], c.index, at.c_str(), c.code);
        out += line + text + (c.note.empty() ? "" : " (" + c.note + ")") + "\n";
    }
    return out;
}

std::vector<std::string> ExplainJson(const sms::Trace& trace, const sms::Bytes& pdu) {
    std::string fields = "\"fields\": [", characters = "\"characters\": [";
    for (size_t i = 0; i < trace.spans.size(); ++i) {
        const sms::Span& s = trace.spans[i];
        fields += (i ? ", " : "") + std::string("{\"offset\": ") + Num(static_cast<long>(s.offset)) +
                  ", \"length\": " + Num(static_cast<long>(s.length)) + ", \"hex\": " +
                  Quoted(sms::Hex(pdu.data() + s.offset, s.length)) + ", \"field\": " + Quoted(s.field) +
                  (s.InsideOctet() ? ", \"bits\": " + Quoted(Bits(s)) : "") + ", \"meaning\": " + Quoted(s.meaning) + "}";
    }
    for (size_t i = 0; i < trace.characters.size(); ++i) {
        const sms::CharacterSpan& c = trace.characters[i];
        characters += (i ? ", " : "") + std::string("{\"") + UnitName(c.unit) + "\": " + Num(static_cast<long>(c.index)) +
                      ", \"offsets\": [" + Offsets(c.offsets, ", ") + "], \"code\": " + Num(c.code) +
                      ", \"char\": " + Quoted(c.text) + (c.note.empty() ? "" : ", \"note\": " + Quoted(c.note)) + "}";
    }
    return {fields + "]", characters + "]"};
}

std::string ExplainPacked(const std::string& hex, const std::string& text) {
    std::string digits;
    for (char c : hex)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') digits += isxdigit(static_cast<unsigned char>(c)) ? c : '0';
    sms::Bytes octets;
    for (size_t i = 0; i + 1 < digits.size(); i += 2) octets.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    size_t n = octets.size(), packed = (7 * n + 7) / 8;
    sms::Bytes codes = sms::UnpackSeptets(octets.data(), 0, n);
    std::string out = "explained:\n";
    char line[96];
    for (size_t k = 0; k < n; ++k) {
        size_t bit = 7 * k, at = bit / 8;
        std::string where = bit % 8 > 1 ? "octets " + Num(static_cast<long>(at)) + "-" + Num(static_cast<long>(at + 1))
                                        : "octet " + Num(static_cast<long>(at));
        snprintf(line, sizeof line, "%5zu  septet %zu, %s: %02X", at, k, where.c_str(), codes[k]);
        out += line + std::string(" '") + Escaped(k < text.size() ? Cp1252ToUtf8(text.substr(k, 1)) : "", false) + "'\n";
    }
    if (n % 8 && n > 0) {
        int unused = static_cast<int>(8 * packed - 7 * n);
        snprintf(line, sizeof line, "%5zu    bits 7-%d  unused %s\n", packed - 1, 8 - unused,
                 sms::Binary(octets[packed - 1] >> (8 - unused), unused).c_str());
        out += line;
    }
    if (packed < n) {
        std::string rest = sms::Hex(octets.data() + packed, n - packed);
        bool zero = rest.find_first_not_of('0') == std::string::npos;
        snprintf(line, sizeof line, "%5zu  %zu octet%s %s: ", packed, n - packed, n - packed > 1 ? "s" : "", rest.c_str());
        out += line + std::string(zero ? "padding: the converter writes one octet per character"
                                       : "not zero: the converter would have written 00 here") + "\n";
    }
    return out;
}
