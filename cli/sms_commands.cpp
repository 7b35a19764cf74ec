#include "cli/sms_commands.h"

#include <cstdlib>

#include "cli/render.h"
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
    "       smspdu parse [--no-smsc] [--kind KIND] [--json] [--join] [--explain]\n"
    "                    [HEX ...]\n"
    "       smspdu count [the options of submit, --to optional] [--json]\n"
    "                    [TEXT | --data HEX]\n";
const char kSmsHelpText[] =
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
    "%s"
    "  --json          one JSON object per message\n"
    "  --join          join the parts of long messages, naming missing parts\n"
    "  --explain       after the fields, every octet: where each field lies,\n"
    "                  its 3GPP name and meaning, then each character of the text\n"
    "count   tells what TEXT costs as submit would send it, building nothing: the\n"
    "        coding (7-bit with the national language tables chosen, UCS-2 or\n"
    "        8-bit), the septets, UTF-16 units or octets, the parts and the room\n"
    "        left in the last one; when UCS-2 is forced, the characters that\n"
    "        force it and what --lang auto would give instead\n"
    "  --json          one JSON object\n";

namespace {

// `words` after `first` in lines of at most 76 columns, those after the first indented as option texts are.
std::string Wrapped(const std::string& first, const std::string& words) {
    const size_t kWidth = 76;
    std::string out = first, line = first, word;
    for (size_t i = 0; i <= words.size(); ++i) {
        if (i < words.size() && words[i] != ' ') {
            word += words[i];
            continue;
        }
        bool fits = line.size() + 1 + word.size() <= kWidth;
        line = fits ? line + " " + word : std::string(18, ' ') + word;
        out += (fits ? " " : "\n" + std::string(18, ' ')) + word;
        word.clear();
    }
    return out + "\n";
}

// "a, b or c" of the kinds' names that are, or are not, the listed ones.
std::string KindList(bool listed) {
    std::vector<std::string> names;
    for (size_t k = 0; k < sms::kKindCount; ++k)
        if (sms::kKinds[k].listed == listed) names.push_back(sms::kKinds[k].option);
    return WordList(names);
}

}  // namespace

std::string SmsHelp() {
    std::string kind = Wrapped("  --kind KIND     read", "them as " + KindList(true) + " (what the type names by default), " +
                                                          KindList(false) +
                                                          ": --no-smsc --kind submit-report 010062217071559240; "
                                                          "sim-record: records of a SIM's EF_SMS (176 octets: the "
                                                          "status, the PDU, padding FF), which lines of 352 hex digits "
                                                          "with a status octet are read as without asking; cbs: Cell "
                                                          "Broadcast pages of 88 octets, or the UMTS form, as a '+CBM:' "
                                                          "line announces them");
    std::string help(sizeof kSmsHelpText + kind.size(), '\0');
    help.resize(snprintf(&help[0], help.size(), kSmsHelpText, kind.c_str()));
    return help;
}

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

namespace {
std::string Num(long v) { return std::to_string(v); }
}  // namespace

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


std::string FormatMessage(const Message& m, bool json, const std::vector<ExtraField>& extra, const Joined* joined) {
    std::vector<Field> fields;
    for (const ExtraField& e : extra) fields.push_back(Field{e.label, e.value, Field::Both, e.number, e.key});
    std::vector<Field> own = MessageFields(m, joined);
    fields.insert(fields.end(), own.begin(), own.end());
    return json ? RenderJson(fields) : RenderPlain(fields);
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
                        std::string* message, const OtherOption& other, bool needsRecipient) {
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
    if (!haveTo && needsRecipient) return UsageError("submit needs --to NUMBER", err);
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

