#include "cli/sms_commands.h"

#include <cstdlib>
#include <map>
#include <tuple>

#include "sms/modem.h"
#include "sms/pdu.h"

using sms::Message;
using sms::MessageType;

const char kSmsUsageLines[] =
    "       smspdu submit --to NUMBER [--smsc NUMBER | --no-smsc] [--report]\n"
    "                     [--flash | --class N] [--validity DURATION|TIME]\n"
    "                     [--ucs2] [--lang CODE|auto] [--ref N] [--pid N]\n"
    "                     [--reply-path] [--reject-duplicates] [--port DEST[:SRC]]\n"
    "                     [TEXT | --data HEX]\n"
    "       smspdu parse [--no-smsc] [--kind KIND] [--json] [--join] [HEX ...]\n";
const char kSmsHelp[] =
    "submit  prints the SMS-SUBMIT PDUs of TEXT for AT+CMGS in PDU mode, one\n"
    "        line per message: the PDU hex and the length AT+CMGS takes\n"
    "  --to NUMBER     recipient: digits, with + when international; spaces,\n"
    "                  dashes, dots and parentheses between them are left out,\n"
    "                  as is (0) after the country code: --to '+49 (0)171 123-4'\n"
    "                  (text with a letter is a name of up to 11 characters)\n"
    "  --smsc NUMBER   service centre (default: the one the phone has set)\n"
    "  --no-smsc       leave the SMSC field out, for modems that take the PDU so\n"
    "  --report        ask for a status report\n"
    "  --flash         class 0: shown at once, not stored\n"
    "  --class N       message class 0-3: 0 shown at once, 1 stored in the phone,\n"
    "                  2 on the SIM, 3 handed to an attached device\n"
    "  --validity D    how long the centre keeps trying: 30m, 12h, 7d, 5w, 1d12h\n"
    "                  (rounded up to the next period the message can carry), or\n"
    "                  until a time: 2026-12-24T18:00+01:00 (seconds optional)\n"
    "  --ucs2          UCS-2 even when the GSM 7-bit alphabet would do\n"
    "  --lang CODE     7-bit text with a national language's shift tables (tr es\n"
    "                  pt bn gu hi kn ml or pa ta te ur) instead of UCS-2, where\n"
    "                  they save room; auto tries every language's tables and\n"
    "                  takes the combination that gives the fewest parts\n"
    "  --data HEX      send these octets as 8-bit data instead of a TEXT:\n"
    "                  --data 0A0B0C\n"
    "  --port D[:S]    application ports 0-65535 on every part: destination D,\n"
    "                  source S (default D): --port 2948:9200\n"
    "  --ref N         reference 0-255 of a long message's parts (default:\n"
    "                  derived from the text)\n"
    "  --pid N         protocol identifier 0-255 (0x.. for hex), e.g. 0x41 to\n"
    "                  replace an earlier message of type 1 (default 0)\n"
    "  --reply-path    ask for replies through the same service centre\n"
    "  --reject-duplicates  the centre refuses it while it holds one with the\n"
    "                  same reference and recipient\n"
    "parse   prints the fields of SMS PDUs, one per HEX argument or line of\n"
    "        standard input; 7-bit text is read with the national language\n"
    "        tables its header names. A '+CMGL:', '+CMGR:', '+CMT:' or '+CDS:'\n"
    "        line tells whether the PDU after it starts with the SMSC field; a\n"
    "        line '+CMGS: <mr>,\"<pdu>\"' is read as the SMS-SUBMIT-REPORT of a\n"
    "        send; 'OK' and the echoed AT command are skipped\n"
    "  --no-smsc       the PDUs do not start with the SMSC field\n"
    "  --kind KIND     read them as deliver, submit or status-report (what the\n"
    "                  type names by default), deliver-report, submit-report or\n"
    "                  command: --no-smsc --kind submit-report 010062217071559240\n"
    "  --json          one JSON object per message\n"
    "  --join          join the parts of long messages, naming missing parts\n";

int UsageError(const std::string& message, FILE* err) {
    fprintf(err, "smspdu: %s\nTry 'smspdu --help'.\n", message.c_str());
    return 2;
}

std::string ReadAll(FILE* in) {
    std::string data;
    char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, in)) > 0) data.append(chunk, got);
    return data;
}

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

namespace {

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

// The failure causes of reports (23.040 9.2.3.22); the last of each range stands for the rest of it.
struct Cause {
    int last;
    const char* text;
};
const Cause kCauses[] = {
    {0x7F, "reserved"}, {0x80, "telematic interworking not supported"}, {0x81, "short message type 0 not supported"},
    {0x82, "cannot replace short message"}, {0x8F, "unspecified protocol identifier error"},
    {0x90, "data coding scheme not supported"}, {0x91, "message class not supported"},
    {0x9F, "unspecified data coding error"}, {0xA0, "command cannot be actioned"}, {0xA1, "command unsupported"},
    {0xAF, "unspecified command error"}, {0xB0, "TPDU not supported"}, {0xBF, "reserved"}, {0xC0, "SC busy"},
    {0xC1, "no SC subscription"}, {0xC2, "SC system failure"}, {0xC3, "invalid SME address"},
    {0xC4, "destination SME barred"}, {0xC5, "rejected: duplicate message"},
    {0xC6, "validity period format not supported"}, {0xC7, "validity period not supported"}, {0xCF, "reserved"}, {0xD0, "SIM SMS storage full"},
    {0xD1, "no SMS storage capability in SIM"}, {0xD2, "error in MS"}, {0xD3, "memory capacity exceeded"},
    {0xD4, "SIM application toolkit busy"}, {0xD5, "SIM data download error"}, {0xDF, "reserved"},
    {0xFE, "specific to an application"}, {0xFF, "unspecified error cause"}};

const char* CauseText(int cause) {
    const Cause* c = kCauses;
    while (c->last < cause) ++c;
    return c->text;
}

// The command types of SMS-COMMAND (9.2.3.19).
const char* CommandText(int type) {
    static const char* const kinds[] = {"enquiry about a submitted message", "cancel its status report request",
                                        "delete the submitted message", "enable a status report request for it"};
    return type < 4 ? kinds[type] : type >= 0xE0 ? "specific to the service centre" : "reserved";
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

// A number with its meaning: "C0 (SC busy)" in plain output, both apart in JSON.
void AddCoded(std::vector<Field>* f, const std::string& label, const std::string& key, int value, const char* text) {
    Add(f, label, "", Hex2(value) + " (" + text + ")");
    Add(f, "", key, Num(value), true);
    Add(f, "", key + "_text", text);
}

std::vector<Field> Fields(const Message& m, const Joined* joined) {
    std::vector<Field> f;
    MessageType t = m.type;
    bool report = t == MessageType::DeliverReport || t == MessageType::SubmitReport;
    Add(&f, "type", "type", sms::TypeName(t));
    if (m.hasSmsc) Add(&f, "smsc", "smsc", m.smsc.text);
    const char* role = t == MessageType::Deliver ? "from" : t == MessageType::StatusReport ? "recipient" : "to";
    if (!report) {
        Add(&f, role, role, m.address.text);
        Add(&f, "", std::string(role) + "_type", AddressKind(m.address));
    }
    if (m.reference >= 0) Add(&f, "reference", "reference", Num(m.reference), true);
    if (report) Add(&f, "form", "form", m.failureCause >= 0 ? "RP-ERROR" : "RP-ACK");
    if (m.failureCause >= 0) AddCoded(&f, "failure cause", "failure_cause", m.failureCause, CauseText(m.failureCause));
    if (t == MessageType::Deliver || t == MessageType::StatusReport || t == MessageType::SubmitReport)
        Add(&f, "timestamp", "timestamp", m.time.Iso());
    if (t == MessageType::StatusReport) {
        Add(&f, "discharge time", "discharge_time", m.discharge.Iso());
        AddCoded(&f, "status", "status", m.status, StatusText(m.status));
        Add(&f, "qualifier", "qualifier", m.firstOctet & sms::TP_SRQ ? "SMS-COMMAND" : "SMS-SUBMIT");
    }
    if (t == MessageType::Command) {
        AddCoded(&f, "command", "command", m.commandType, CommandText(m.commandType));
        Add(&f, "message number", "message_number", Num(m.messageNumber), true);
        Add(&f, "command data", "command_data", sms::Hex(m.commandData));
    }
    if (m.validityFormat == sms::VPF_RELATIVE) Add(&f, "validity", "validity", sms::DurationText(m.validity));
    if (m.validityFormat == sms::VPF_ABSOLUTE) Add(&f, "validity", "validity", "until " + m.validUntil.Iso());
    if (m.validityFormat == sms::VPF_ENHANCED)
        Add(&f, "validity", "validity", "enhanced " + sms::Hex(m.validityEnhanced));
    if ((t == MessageType::Deliver || t == MessageType::Submit || t == MessageType::Command) &&
        (m.firstOctet & sms::TP_SRR))
        Add(&f, "status report", "status_report", t == MessageType::Deliver ? "will be returned" : "requested");
    if ((t == MessageType::Deliver || t == MessageType::Submit) && (m.firstOctet & sms::TP_RP))
        Add(&f, "reply path", "reply_path", "true", true);
    if (t == MessageType::Submit && (m.firstOctet & sms::TP_RD))
        Add(&f, "reject duplicates", "reject_duplicates", "true", true);
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

std::string FormatMessage(const Message& m, bool json, const std::vector<ExtraField>& extra) {
    std::vector<Field> fields;
    for (const ExtraField& e : extra) Add(&fields, e.label, e.key, e.value, e.number);
    std::vector<Field> own = Fields(m, nullptr);
    fields.insert(fields.end(), own.begin(), own.end());
    return Render(fields, json);
}

namespace {

// A whole number from `least` to `most`, decimal or with 0x in hex.
bool ReadNumber(const std::string& s, long least, long most, long* out) {
    bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
    const char* digits = hex ? "0123456789abcdefABCDEF" : "0123456789";
    if (s.size() == (hex ? 2u : 0u) || s.size() > 12 || s.find_first_not_of(digits, hex ? 2 : 0) != std::string::npos)
        return false;
    *out = strtol(s.c_str(), nullptr, hex ? 16 : 10);
    return *out >= least && *out <= most;
}

// "DEST" or "DEST:SRC", ports 0 to 65535.
bool ReadPorts(const std::string& s, sms::SubmitOptions* o) {
    size_t colon = s.find(':');
    long dest, source = -1;
    if (!ReadNumber(s.substr(0, colon), 0, 65535, &dest)) return false;
    if (colon != std::string::npos && !ReadNumber(s.substr(colon + 1), 0, 65535, &source)) return false;
    o->destPort = static_cast<int>(dest);
    o->sourcePort = static_cast<int>(source);
    return true;
}

}  // namespace

int ReadSubmitArguments(const std::vector<std::string>& args, FILE* in, FILE* err, sms::SubmitOptions* options,
                        std::string* message, const OtherOption& other) {
    sms::SubmitOptions& o = *options;
    std::string& text = *message;
    std::string value, why, data;
    bool haveText = false, endOfOptions = false, haveTo = false, haveData = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool missing = false;
        std::string bad;  // the usage error of a bad value
        // An option that takes a whole number from 0 to `most`.
        auto number = [&](const char* name, int* target, long most, const char* what) {
            long n = 0;
            if (!TakeValue(args, &i, name, &value, &missing)) return false;
            if (!missing && !ReadNumber(value, 0, most, &n)) bad = std::string(name) + " '" + value + "': give " + what;
            *target = static_cast<int>(n);
            return true;
        };
        if (endOfOptions || a.size() < 2 || a[0] != '-') {
            text += (haveText ? " " : "") + a;
            haveText = true;
        } else if (a == "--") {
            endOfOptions = true;
        } else if (TakeValue(args, &i, "--to", &o.to, &missing)) {
            haveTo = true;
            if (!missing && !sms::RecipientFromText(o.to, &value, &why)) bad = "--to '" + o.to + "': " + why;
        } else if (TakeValue(args, &i, "--smsc", &o.smsc, &missing)) {
            if (!missing && !sms::RecipientFromText(o.smsc, &value, &why)) bad = "--smsc '" + o.smsc + "': " + why;
            else if (!missing && value.find_first_not_of("+0123456789*#") != std::string::npos)
                bad = "--smsc '" + o.smsc + "': give a number, not a name";
        } else if (TakeValue(args, &i, "--validity", &value, &missing)) {
            sms::Timestamp until;
            bool absolute = value.find('T') != std::string::npos;
            if (absolute && sms::TimestampFromIso(value, &until, &why)) o.validUntil = until;
            else if (absolute) bad = "--validity '" + value + "': " + why;
            else if (!missing && !sms::ValidityFromDuration(value, &o.validity))
                bad = "--validity '" + value + "': give minutes, hours, days or weeks such as 30m, 12h, 7d, 5w (up to "
                      "63w), or a time such as 2026-12-24T18:00+01:00";
        } else if (TakeValue(args, &i, "--lang", &value, &missing)) {
            o.language = sms::LanguageFromCode(value);
            if (!missing && o.language < 0) bad = "--lang '" + value + "': give auto or one of " + sms::kLanguageCodes;
        } else if (number("--ref", &o.ref, 255, "a number from 0 to 255") ||
                   number("--pid", &o.pid, 255, "a number from 0 to 255") ||
                   number("--class", &o.messageClass, 3, "a class from 0 to 3")) {
        } else if (TakeValue(args, &i, "--port", &value, &missing)) {
            if (!missing && !ReadPorts(value, &o))
                bad = "--port '" + value + "': give DEST or DEST:SRC, each 0 to 65535";
        } else if (TakeValue(args, &i, "--data", &value, &missing)) {
            sms::Bytes octets;
            sms::ParseError e;
            if (!missing && !sms::ParseHex(value, &octets, &e))
                bad = "--data: character " + Num(static_cast<long>(e.offset + 1)) + ": " + e.what;
            data.assign(octets.begin(), octets.end());
            haveData = o.data8 = true;
        } else if (a == "--report") {
            o.report = true;
        } else if (a == "--flash") {
            o.flash = true;
        } else if (a == "--ucs2") {
            o.ucs2 = true;
        } else if (a == "--reply-path") {
            o.replyPath = true;
        } else if (a == "--reject-duplicates") {
            o.rejectDuplicates = true;
        } else if (a == "--no-smsc") {
            o.noSmsc = true;
        } else if (!other || !other(args, &i, &missing, &bad)) {
            return UsageError("unknown option '" + a + "'", err);
        }
        if (missing) return UsageError("option '" + a + "' needs a value", err);
        if (!bad.empty()) return UsageError(bad, err);
    }
    if (!haveTo) return UsageError("submit needs --to NUMBER", err);
    if (haveData && (haveText || o.ucs2)) return UsageError("--data sends octets: give no TEXT and no --ucs2", err);
    if (o.flash && o.messageClass > 0) return UsageError("--flash is class 0: give one of --flash and --class", err);
    if (o.noSmsc && !o.smsc.empty()) return UsageError("give one of --smsc and --no-smsc", err);
    if (haveData) {
        text = data;
    } else if (!haveText) {
        text = ReadAll(in);
        if (!text.empty() && text.back() == '\n') text.pop_back();
        if (!text.empty() && text.back() == '\r') text.pop_back();
    }
    return -1;
}

int SubmitCommand(const std::vector<std::string>& args, FILE* in, FILE* out, FILE* err) {
    sms::SubmitOptions o;
    std::string text;
    int usage = ReadSubmitArguments(args, in, err, &o, &text);
    if (usage >= 0) return usage;
    std::vector<sms::SubmitPdu> pdus;
    std::string error;
    if (!sms::BuildSubmit(text, o, &pdus, &error)) {
        fprintf(err, "smspdu: %s\n", error.c_str());
        return 1;
    }
    for (const sms::SubmitPdu& p : pdus) fprintf(out, "%s %zu\n", sms::Hex(p.octets).c_str(), p.tpduLength);
    return fflush(out) == 0 ? 0 : 1;
}

int ParseCommand(const std::vector<std::string>& args, FILE* in, FILE* out, FILE* err) {
    bool withSmsc = true, json = false, join = false, fromArgs = false;
    std::optional<MessageType> kind;
    std::vector<std::pair<std::string, std::string>> inputs;  // (where, line)
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string name;
        bool missing = false;
        MessageType k;
        if (a == "--no-smsc") withSmsc = false;
        else if (a == "--json") json = true;
        else if (a == "--join") join = true;
        else if (TakeValue(args, &i, "--kind", &name, &missing)) {
            if (missing) return UsageError("option '" + a + "' needs a value", err);
            if (!sms::KindFromName(name, &k))
                return UsageError("--kind '" + name + "': give deliver, submit, status-report, deliver-report, "
                                  "submit-report or command", err);
            kind = k;
        } else if (a.size() > 1 && a[0] == '-') return UsageError("unknown option '" + a + "'", err);
        else inputs.emplace_back("argument " + Num(static_cast<long>(inputs.size() + 1)), a);
        fromArgs = fromArgs || inputs.size() > 0;
    }
    if (!fromArgs) {
        std::string all = ReadAll(in);
        size_t line = 0, start = 0;
        while (start < all.size()) {
            size_t end = all.find('\n', start);
            if (end == std::string::npos) end = all.size();
            inputs.emplace_back("line " + Num(static_cast<long>(++line)), all.substr(start, end - start));
            start = end + 1;
        }
    }
    int status = 0;
    bool printed = false;
    std::vector<Message> messages;
    int length = -1;  // the TPDU length the modem gave for the next PDU
    std::string lengthFrom;
    for (const auto& input : inputs) {
        sms::ModemLine line = sms::ReadModemLine(input.second);
        sms::Bytes pdu;
        sms::ParseError e;
        Message m;
        if (line.kind == sms::ModemLine::Length) {
            length = line.length;
            lengthFrom = line.command;
            continue;
        }
        if (line.kind == sms::ModemLine::Other) continue;
        bool framed = length >= 0 && line.kind == sms::ModemLine::Pdu;
        size_t framedLength = static_cast<size_t>(length);
        length = -1;
        bool read = false;
        if (!sms::ParseHex(line.hex, &pdu, &e)) {
            fprintf(err, "smspdu: %s: character %zu: %s\n", input.first.c_str(), e.offset + 1, e.what.c_str());
            status = 1;
            continue;
        }
        if (line.kind == sms::ModemLine::SendResult) {
            // The acknowledgement of AT+CMGS: an RP-ACK's report, its message reference on the line (27.005 3.5.1).
            read = sms::ParsePdu(pdu, false, &m, &e, MessageType::SubmitReport);
            m.reference = line.reference;
        } else if (framed) {
            read = sms::ParseFramedPdu(pdu, framedLength, lengthFrom, &m, &e, kind);
        } else {
            read = sms::ParsePdu(pdu, withSmsc, &m, &e, kind);
        }
        if (!read) {
            fprintf(err, "smspdu: %s: octet %zu: %s\n", input.first.c_str(), e.offset, e.what.c_str());
            status = 1;
        } else if (join) {
            messages.push_back(m);
        } else {
            std::string text = Render(Fields(m, nullptr), json);
            fprintf(out, "%s%s", !json && printed ? "\n" : "", text.c_str());
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
            std::string text;
            if (messages[(*g)[0]].concatRef < 0) {
                text = Render(Fields(messages[(*g)[0]], nullptr), json);
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
                text = Render(Fields(Join(parts), &joined), json);
            }
            fprintf(out, "%s%s", !json && !first ? "\n" : "", text.c_str());
            first = false;
        }
    }
    if (fflush(out) != 0) return 1;
    return status;
}
