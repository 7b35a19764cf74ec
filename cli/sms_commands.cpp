#include "cli/sms_commands.h"

#include <cstdlib>
#include <map>
#include <tuple>

#include "sms/pdu.h"

using sms::Message;
using sms::MessageType;

const char kSmsUsageLines[] =
    "       smspdu submit --to NUMBER [--smsc NUMBER] [--report] [--flash]\n"
    "                     [--validity DURATION] [--ucs2] [--lang CODE|auto] [--ref N]\n"
    "                     [TEXT]\n"
    "       smspdu parse [--no-smsc] [--json] [--join] [HEX ...]\n";
const char kSmsHelp[] =
    "submit  prints the SMS-SUBMIT PDUs of TEXT for AT+CMGS in PDU mode, one\n"
    "        line per message: the PDU hex and the length AT+CMGS takes\n"
    "  --to NUMBER     recipient: digits, with + when international\n"
    "  --smsc NUMBER   service centre (default: the one the phone has set)\n"
    "  --report        ask for a status report\n"
    "  --flash         class 0: shown at once, not stored\n"
    "  --validity D    how long the centre keeps trying: 30m, 12h, 7d, 5w, 1d12h\n"
    "                  (rounded up to the next period the message can carry)\n"
    "  --ucs2          UCS-2 even when the GSM 7-bit alphabet would do\n"
    "  --lang CODE     7-bit text with a national language's shift tables (tr es\n"
    "                  pt bn gu hi kn ml or pa ta te ur) instead of UCS-2, where\n"
    "                  they save room; auto tries every language's tables and\n"
    "                  takes the combination that gives the fewest parts\n"
    "  --ref N         reference 0-255 of a long message's parts (default:\n"
    "                  derived from the text)\n"
    "parse   prints the fields of SMS-DELIVER, SMS-SUBMIT and SMS-STATUS-REPORT\n"
    "        PDUs, one per HEX argument or line of standard input (modem lines\n"
    "        such as '+CMGL: ...' and 'OK' are skipped); 7-bit text is read with\n"
    "        the national language tables its header names\n"
    "  --no-smsc       the PDUs do not start with the SMSC field\n"
    "  --json          one JSON object per message\n"
    "  --join          join the parts of long messages, naming missing parts\n";

int UsageError(const std::string& message) {
    fprintf(stderr, "smspdu: %s\nTry 'smspdu --help'.\n", message.c_str());
    return 2;
}

std::string ReadAll(FILE* in) {
    std::string data;
    char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, in)) > 0) data.append(chunk, got);
    return data;
}

namespace {

// "--name value" or "--name=value": true when args[*i] is that option.
bool TakeValue(const std::vector<std::string>& args, size_t* i, const std::string& name, std::string* value,
               bool* missing) {
    const std::string& a = args[*i];
    if (a.compare(0, name.size() + 1, name + "=") == 0) {
        *value = a.substr(name.size() + 1);
        return true;
    }
    if (a != name) return false;
    if (*i + 1 >= args.size()) *missing = true;
    else *value = args[++*i];
    return true;
}

// One field of a parsed message, for both output forms.
struct Field {
    std::string label, key, value;  // an empty label: JSON only; an empty key: plain output only
    bool raw = false;               // a JSON number, written as is
};

void Add(std::vector<Field>* f, const std::string& label, const std::string& key, const std::string& value,
         bool raw = false) {
    f->push_back(Field{label, key, value, raw});
}

std::string Num(long v) { return std::to_string(v); }

std::string Hex2(int v) {
    char b[8];
    snprintf(b, sizeof b, "%02X", v & 0xFF);
    return b;
}

const char* StatusText(int status) {
    if (status <= 0x02) return status == 0 ? "delivered" : status == 1 ? "forwarded, delivery not confirmed" : "replaced";
    if (status < 0x20) return "delivered";
    if (status < 0x40) return "temporary error, still trying";
    if (status < 0x60) return "permanent error, not delivered";
    if (status < 0x80) return "temporary error, no longer trying";
    return "reserved";
}

const char* AddressKind(const sms::Address& a) {
    static const char* const kinds[] = {"unknown", "international", "national", "network", "subscriber",
                                        "alphanumeric", "abbreviated", "reserved"};
    return kinds[a.type >> 4 & 7];
}

// A joined message: the parts present, in order, and the count announced.
struct Joined {
    std::vector<int> present;
    int parts = 0;
};

// The national language tables a 7-bit text was read with: "language: Turkish (locking shift), Turkish (single
// shift)", and "locking_shift" and "single_shift" in JSON.
void AddLanguage(std::vector<Field>* f, sms::ShiftTables tables) {
    std::string plain;
    for (int single = 0; single < 2; ++single) {
        int id = single ? tables.single : tables.locking;
        if (id < 0) continue;
        const char* name = sms::LanguageName(id);
        std::string kind = single ? "single shift" : "locking shift", value = name ? name : "reserved identifier " + Num(id);
        std::string note = name ? "" : ", read with the default table";
        Add(f, "", single ? "single_shift" : "locking_shift", value + note);
        plain += (plain.empty() ? "" : ", ") + value + " (" + kind + ")" + note;
    }
    if (!plain.empty()) Add(f, "language", "", plain);
}

// An element that named the tables, shown as the language rather than as hex.
bool ReadAsTables(const sms::HeaderElement& e, sms::ShiftTables tables) {
    return e.data.size() == 1 && ((e.id == 0x24 && tables.single >= 0) || (e.id == 0x25 && tables.locking >= 0));
}

std::vector<Field> Fields(const Message& m, const Joined* joined) {
    std::vector<Field> f;
    Add(&f, "type", "type", sms::TypeName(m.type));
    if (m.hasSmsc) Add(&f, "smsc", "smsc", m.smsc.text);
    const char* role = m.type == MessageType::Deliver ? "from" : m.type == MessageType::Submit ? "to" : "recipient";
    Add(&f, role, role, m.address.text);
    Add(&f, "", std::string(role) + "_type", AddressKind(m.address));
    if (m.reference >= 0) Add(&f, "reference", "reference", Num(m.reference), true);
    if (m.type != MessageType::Submit) Add(&f, "timestamp", "timestamp", m.time.Iso());
    if (m.type == MessageType::StatusReport) {
        Add(&f, "discharge time", "discharge_time", m.discharge.Iso());
        Add(&f, "status", "", Hex2(m.status) + " (" + StatusText(m.status) + ")");
        Add(&f, "", "status", Num(m.status), true);
        Add(&f, "", "status_text", StatusText(m.status));
    }
    if (m.validityFormat == 2) Add(&f, "validity", "validity", sms::DurationText(m.validity));
    if (m.validityFormat == 3) Add(&f, "validity", "validity", "until " + m.validUntil.Iso());
    if (m.validityFormat == 1) Add(&f, "validity", "validity", "enhanced " + sms::Hex(m.validityEnhanced));
    if (m.type != MessageType::StatusReport && (m.firstOctet & 0x20))
        Add(&f, "status report", "status_report", m.type == MessageType::Submit ? "requested" : "will be returned");
    if (m.hasPid && m.pid != 0) Add(&f, "protocol identifier", "pid", Num(m.pid), true);
    if (m.HasUserData() || m.hasDcs) {
        Add(&f, "coding", "coding", sms::CodingName(m.coding));
        if (m.messageClass >= 0) Add(&f, "class", "class", Num(m.messageClass), true);
    }
    if (joined) {
        std::string present, missing;
        size_t k = 0;
        for (int p = 1; p <= joined->parts; ++p) {
            bool have = k < joined->present.size() && joined->present[k] == p;
            k += have;
            std::string& list = have ? present : missing;
            list += (list.empty() ? "" : ",") + Num(p);
        }
        Add(&f, "concatenation reference", "concat_reference", Num(m.concatRef), true);
        Add(&f, "parts", "parts", Num(joined->parts), true);
        Add(&f, "parts present", "parts_present", present, true);
        if (!missing.empty()) Add(&f, "missing parts", "missing_parts", missing, true);
    } else if (m.concatRef >= 0) {
        Add(&f, "concatenation reference", "concat_reference", Num(m.concatRef), true);
        Add(&f, "part", "part", Num(m.part), true);
        Add(&f, "parts", "parts", Num(m.parts), true);
    }
    if (m.destPort >= 0) {
        Add(&f, "destination port", "destination_port", Num(m.destPort), true);
        Add(&f, "source port", "source_port", Num(m.sourcePort), true);
    }
    AddLanguage(&f, m.shift);
    for (const sms::HeaderElement& e : m.header)
        if (e.id != 0 && e.id != 8 && e.id != 4 && e.id != 5 && !ReadAsTables(e, m.shift))
            Add(&f, "header element " + Hex2(e.id), "header_" + Hex2(e.id), sms::Hex(e.data));
    if (m.HasUserData()) {
        if (m.coding == sms::Coding::Gsm7 || m.coding == sms::Coding::Ucs2) Add(&f, "text", "text", m.text);
        else Add(&f, "data", "data", sms::Hex(m.data));
    }
    return f;
}

std::string Escaped(const std::string& s, bool json) {
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

std::string Render(const std::vector<Field>& fields, bool json) {
    std::string out;
    for (const Field& f : fields) {
        bool list = f.key == "parts_present" || f.key == "missing_parts";
        if ((json ? f.key : f.label).empty()) continue;
        if (json) {
            std::string value = list ? "[" + f.value + "]" : f.raw ? f.value : "\"" + Escaped(f.value, true) + "\"";
            out += (out.empty() ? "{\"" : ", \"") + f.key + "\": " + value;
        } else {
            std::string value = f.value;
            for (size_t c = 0; list && (c = value.find(',', c)) != std::string::npos; c += 2) value.replace(c, 1, ", ");
            out += f.label + ": " + Escaped(value, false) + "\n";
        }
    }
    return json ? out + "}\n" : out;
}

// The parts of one long message, joined in part order.
Message Join(const std::vector<const Message*>& parts) {
    Message m = *parts[0];
    bool sameCoding = true;
    for (const Message* p : parts) sameCoding = sameCoding && p->coding == m.coding;
    m.septets.clear();
    m.units.clear();
    m.data.clear();
    m.text.clear();
    for (const Message* p : parts) {
        m.septets.insert(m.septets.end(), p->septets.begin(), p->septets.end());
        m.units.insert(m.units.end(), p->units.begin(), p->units.end());
        m.data.insert(m.data.end(), p->data.begin(), p->data.end());
        m.text += p->text;
    }
    // Joined before decoding: an escape or a surrogate pair split by the sender stays one character.
    if (sameCoding && m.coding == sms::Coding::Gsm7) {
        std::vector<sms::SeptetPart> septets;  // each part with the tables its own header names
        for (const Message* p : parts) septets.push_back({&p->septets, p->shift});
        m.text = sms::JoinedSeptetsToUtf8(septets);
    }
    if (sameCoding && m.coding == sms::Coding::Ucs2) m.text = sms::Utf16ToUtf8(m.units);
    return m;
}

}  // namespace

int SubmitCommand(const std::vector<std::string>& args, FILE* in) {
    sms::SubmitOptions o;
    std::string text, value;
    bool haveText = false, endOfOptions = false, haveTo = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool missing = false;
        if (endOfOptions || a.size() < 2 || a[0] != '-') {
            text += (haveText ? " " : "") + a;
            haveText = true;
        } else if (a == "--") {
            endOfOptions = true;
        } else if (TakeValue(args, &i, "--to", &o.to, &missing)) {
            haveTo = true;
        } else if (TakeValue(args, &i, "--smsc", &o.smsc, &missing)) {
        } else if (TakeValue(args, &i, "--validity", &value, &missing)) {
            if (!missing && !sms::ValidityFromDuration(value, &o.validity))
                return UsageError("--validity '" + value + "': give minutes, hours, days or weeks such as 30m, 12h, 7d, "
                             "5w (up to 63w)");
        } else if (TakeValue(args, &i, "--lang", &value, &missing)) {
            o.language = sms::LanguageFromCode(value);
            if (!missing && o.language < 0)
                return UsageError("--lang '" + value + "': give auto or one of " + sms::kLanguageCodes);
        } else if (TakeValue(args, &i, "--ref", &value, &missing)) {
            char* end = nullptr;
            long ref = strtol(value.c_str(), &end, 10);
            if (!missing && (value.empty() || *end || ref < 0 || ref > 255))
                return UsageError("--ref '" + value + "': give a number from 0 to 255");
            o.ref = static_cast<int>(ref);
        } else if (a == "--report") {
            o.report = true;
        } else if (a == "--flash") {
            o.flash = true;
        } else if (a == "--ucs2") {
            o.ucs2 = true;
        } else {
            return UsageError("unknown option '" + a + "'");
        }
        if (missing) return UsageError("option '" + a + "' needs a value");
    }
    if (!haveTo) return UsageError("submit needs --to NUMBER");
    if (!haveText) {
        text = ReadAll(in);
        if (!text.empty() && text.back() == '\n') text.pop_back();
        if (!text.empty() && text.back() == '\r') text.pop_back();
    }
    std::vector<sms::SubmitPdu> pdus;
    std::string error;
    if (!sms::BuildSubmit(text, o, &pdus, &error)) {
        fprintf(stderr, "smspdu: %s\n", error.c_str());
        return 1;
    }
    for (const sms::SubmitPdu& p : pdus) printf("%s %zu\n", sms::Hex(p.octets).c_str(), p.tpduLength);
    return fflush(stdout) == 0 ? 0 : 1;
}

int ParseCommand(const std::vector<std::string>& args, FILE* in) {
    bool withSmsc = true, json = false, join = false, fromArgs = false;
    std::vector<std::pair<std::string, std::string>> inputs;  // (where, hex)
    for (const std::string& a : args) {
        if (a == "--no-smsc") withSmsc = false;
        else if (a == "--json") json = true;
        else if (a == "--join") join = true;
        else if (a.size() > 1 && a[0] == '-') return UsageError("unknown option '" + a + "'");
        else inputs.emplace_back("argument " + Num(static_cast<long>(inputs.size() + 1)), a);
        fromArgs = fromArgs || inputs.size() > 0;
    }
    if (!fromArgs) {
        std::string all = ReadAll(in);
        size_t line = 0, start = 0;
        while (start < all.size()) {
            size_t end = all.find('\n', start);
            if (end == std::string::npos) end = all.size();
            std::string s = all.substr(start, end - start);
            start = end + 1;
            ++line;
            size_t a = s.find_first_not_of(" \t\r"), b = s.find_last_not_of(" \t\r");
            if (a == std::string::npos) continue;
            s = s.substr(a, b - a + 1);
            if (s == "OK" || s[0] == '+' || s.compare(0, 2, "AT") == 0) continue;  // modem responses and echo
            inputs.emplace_back("line " + Num(static_cast<long>(line)), s);
        }
    }
    int status = 0;
    bool printed = false;
    std::vector<Message> messages;
    for (const auto& input : inputs) {
        sms::Bytes pdu;
        sms::ParseError e;
        Message m;
        if (!sms::ParseHex(input.second, &pdu, &e)) {
            fprintf(stderr, "smspdu: %s: character %zu: %s\n", input.first.c_str(), e.offset + 1, e.what.c_str());
            status = 1;
        } else if (!sms::ParsePdu(pdu, withSmsc, &m, &e)) {
            fprintf(stderr, "smspdu: %s: octet %zu: %s\n", input.first.c_str(), e.offset, e.what.c_str());
            status = 1;
        } else if (join) {
            messages.push_back(m);
        } else {
            std::string out = Render(Fields(m, nullptr), json);
            printf("%s%s", !json && printed ? "\n" : "", out.c_str());
            printed = true;
        }
    }
    if (join) {
        // Same type, address and reference, and the same count of parts: one message.
        using Key = std::tuple<int, std::string, int, int>;
        std::map<Key, std::vector<size_t>> groups;
        std::vector<std::vector<size_t>*> order;
        std::vector<std::vector<size_t>> singles;
        singles.reserve(messages.size());
        for (size_t i = 0; i < messages.size(); ++i) {
            const Message& m = messages[i];
            if (m.concatRef < 0) {
                singles.push_back({i});
                order.push_back(&singles.back());
                continue;
            }
            auto& g = groups[Key(static_cast<int>(m.type), m.address.text, m.concatRef, m.parts)];
            if (g.empty()) order.push_back(&g);
            g.push_back(i);
        }
        bool first = true;
        for (const std::vector<size_t>* g : order) {
            std::string out;
            if (messages[(*g)[0]].concatRef < 0) {
                out = Render(Fields(messages[(*g)[0]], nullptr), json);
            } else {
                std::map<int, const Message*> byPart;  // a repeated part counts once
                for (size_t i : *g) byPart.emplace(messages[i].part, &messages[i]);
                std::vector<const Message*> parts;
                Joined joined;
                joined.parts = messages[(*g)[0]].parts;
                for (const auto& p : byPart) {
                    parts.push_back(p.second);
                    joined.present.push_back(p.first);
                }
                out = Render(Fields(Join(parts), &joined), json);
            }
            printf("%s%s", !json && !first ? "\n" : "", out.c_str());
            first = false;
        }
    }
    if (fflush(stdout) != 0) return 1;
    return status;
}
