#include "cli/modem_commands.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <tuple>

#include "cli/render.h"
#include "cli/sms_commands.h"
#include "modem/error_codes.h"
#include "modem/indications.h"
#include "modem/serial_port.h"
#include "modem/session.h"
#include "modem/storage.h"
#include "modem/ussd.h"
#include "sms/modem.h"

using modem::Answer;
using modem::FinalResult;
using modem::Session;

const char kModemUsageLines[] =
    "       smspdu send --device DEV [submit's options] [--wait[=S]] [--json] [TEXT | --data HEX]\n"
    "       smspdu list --device DEV [--storage MEM] [--unread] [--json] [--join] [--delete]\n"
    "       smspdu read --device DEV [--storage MEM] [--json] INDEX\n"
    "       smspdu delete --device DEV [--storage MEM] (INDEX... | --read | --all)\n"
    "       smspdu listen --device DEV [--json] [--join] [--delete] [--count N]\n"
    "       smspdu modem --device DEV [--smsc NUMBER]\n"
    "       smspdu ussd --device DEV [--packed] [--reply TEXT]... CODE\n";

const char kModemHelp[] =
    "send    sends TEXT through the modem, one line per part: part 1/2 sent, reference 17\n"
    "list    prints the stored messages as parse does, with index, status and storage\n"
    "read    prints the stored message at INDEX; delete removes messages\n"
    "listen  prints new messages and status reports as they arrive, until Ctrl-C\n"
    "modem   prints the modem's make, SIM, signal, network, SMSC and storage\n"
    "ussd    sends a USSD CODE (*100#) and prints the answer; --reply answers a menu\n"
    "\n"
    "  --device DEV    the modem's AT port (/dev/ttyUSB0, COM3); or SMSPDU_DEVICE\n"
    "  --baud N        the port's speed (default 115200); 8 data bits, no parity, 1 stop bit\n"
    "  --rtscts        hardware flow control\n"
    "  --timeout S     seconds to wait for each answer (default 10; a part being sent waits 60)\n"
    "  --pin PIN       the SIM's PIN, if it asks; or SMSPDU_PIN (a refused PIN is never tried again)\n"
    "  --trace         the whole dialogue on standard error: -> sent, <- received, with times\n"
    "  --storage MEM   SM (SIM), ME (modem), MT (both) or SR (status reports)\n"
    "  --unread        only messages not read yet\n"
    "  --delete        (list, listen) delete each message once it has been printed\n"
    "  --join          (list, listen) the parts of a long message as one, with all their indexes\n"
    "  --wait[=S]      (send) asks for status reports and prints each part's as parse does, waiting up to\n"
    "                  S seconds (default 120) after the last part; a report missing or not delivered: exit 1\n"
    "  --read, --all   (delete) every read message, every message\n"
    "  --count N       (listen) stop after N messages\n"
    "  --smsc NUMBER   (modem) set the service centre number\n"
    "  --packed        (ussd) the code as packed 7-bit hex, as Huawei modems want it\n"
    "  --reply TEXT    (ussd) the answer to a menu, in the same session; again for the next\n";

namespace {

const int kSendLimitMs = 60000;     // a part: the network's answer can take this long
const int kDeleteAllLimitMs = 60000;  // deleting a full storage at once takes a while on some SIMs
const int kListenPollMs = 500;      // how often listen looks whether Ctrl-C was pressed
const int kUssdLimitMs = 30000;     // the network's answer to a USSD request
const int kReportWaitMs = 120000;  // send --wait: the status reports of the parts, after the last was sent

volatile std::sig_atomic_t interrupted = 0;
void OnInterrupt(int) { interrupted = 1; }

// The options every modem command takes, and the open dialogue.
struct Link {
    modem::PortOptions port;
    modem::StartOptions start;
    bool trace = false;
    std::unique_ptr<modem::ByteStream> stream;
    std::unique_ptr<Session> session;
    FILE* err = stderr;

    // One line on standard error naming the device; exit code 1.
    int Fail(const std::string& what) {
        fprintf(err, "smspdu: %s: %s\n", port.device.c_str(), what.c_str());
        return 1;
    }
    int Fail(const std::string& what, const FinalResult& r) { return Fail(what + ": " + r.Describe()); }
};

bool ReadInt(const std::string& s, long least, long most, long* out) {
    if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos) return false;
    *out = atol(s.c_str());
    return *out >= least && *out <= most;
}

// Takes one of the link options at args[*i].
bool TakeLinkOption(const std::vector<std::string>& args, size_t* i, bool* missing, std::string* bad, Link* link) {
    std::string value;
    long n = 0;
    if (TakeValue(args, i, "--device", &link->port.device, missing)) return true;
    if (TakeValue(args, i, "--pin", &link->start.pin, missing)) {
        if (!*missing && !ReadInt(link->start.pin, 0, 99999999, &n)) *bad = "--pin: give the PIN's digits";
        return true;
    }
    if (TakeValue(args, i, "--baud", &value, missing)) {
        if (!*missing && !(ReadInt(value, 1, 99999999, &n) && modem::KnownBaud(static_cast<int>(n))))
            *bad = "--baud '" + value + "': give a speed such as 9600, 57600, 115200 or 460800";
        link->port.baud = static_cast<int>(n);
        return true;
    }
    if (TakeValue(args, i, "--timeout", &value, missing)) {
        if (!*missing && !ReadInt(value, 1, 3600, &n)) *bad = "--timeout '" + value + "': give seconds, 1 to 3600";
        link->start.timeoutMs = static_cast<int>(n) * 1000;
        return true;
    }
    if (args[*i] == "--trace") return link->trace = true;
    if (args[*i] == "--rtscts") return link->port.rtscts = true;
    return false;
}

// Opens the port and brings the modem to a known state; 0, or the exit code of a failure it reported.
int Connect(Link* link) {
    if (link->port.device.empty()) {
        const char* env = getenv("SMSPDU_DEVICE");
        if (!env || !*env) return UsageError("give the modem's port with --device DEV (or SMSPDU_DEVICE)", link->err);
        link->port.device = env;
    }
    if (link->start.pin.empty() && getenv("SMSPDU_PIN")) link->start.pin = getenv("SMSPDU_PIN");
    std::string why;
    link->stream = modem::OpenSerialPort(link->port, &why);
    if (!link->stream) {
        fprintf(link->err, "smspdu: %s\n", why.c_str());
        return 1;
    }
    link->session = std::make_unique<Session>(link->stream.get(), link->trace ? link->err : nullptr);
    if (!link->session->Start(link->start, &why)) return link->Fail(why);
    return 0;
}

// Writes `text` and flushes it: true only when all of it went out.
bool Emit(FILE* out, const std::string& text) {
    return fwrite(text.data(), 1, text.size(), out) == text.size() && fflush(out) == 0;
}

// The common options, then those of the command (`own`), then words; a usage error's exit code or -1.
int ReadOptions(const std::vector<std::string>& args, Link* link, std::vector<std::string>* words,
                const std::function<bool(const std::vector<std::string>&, size_t*, bool*, std::string*)>& own) {
    for (size_t i = 0; i < args.size(); ++i) {
        bool missing = false;
        std::string bad;
        const std::string& a = args[i];
        if (a.size() > 1 && a[0] == '-') {
            if (!TakeLinkOption(args, &i, &missing, &bad, link) && !(own && own(args, &i, &missing, &bad)))
                return UsageError("unknown option '" + a + "'", link->err);
        } else {
            words->push_back(a);
        }
        if (missing) return UsageError("option '" + a + "' needs a value", link->err);
        if (!bad.empty()) return UsageError(bad, link->err);
    }
    return -1;
}

// ReadOptions for a command that takes no words, then Connect: -1 when connected, else the exit code.
int OpenWithoutWords(const char* name, const std::vector<std::string>& args, Link* link,
                     const std::function<bool(const std::vector<std::string>&, size_t*, bool*, std::string*)>& own) {
    std::vector<std::string> words;
    int usage = ReadOptions(args, link, &words, own);
    if (usage >= 0) return usage;
    if (!words.empty()) return UsageError(std::string(name) + " takes no words: '" + words[0] + "'", link->err);
    if (int failed = Connect(link)) return failed;
    return -1;
}

// The quoted text of a field ("+COPS: 0,0,"Telekom.de",7" gives Telekom.de), or "unknown".
std::string Quoted(const std::string& field) {
    size_t a = field.find('"'), b = a == std::string::npos ? a : field.find('"', a + 1);
    return b == std::string::npos ? "unknown" : field.substr(a + 1, b - a - 1);
}

// "+CPMS: "SM",3,30,..." to "SM": the storage messages are read from.
std::string ReadStorage(const Answer& cpms) {
    std::string storage = Quoted(cpms.Field("+CPMS:"));
    return storage == "unknown" ? "" : storage;
}

// A +CMTI:/+CDSI: line's storage and index ("+CMTI: "SM",5").
bool Announced(const std::string& line, std::string* storage, std::string* index) {
    size_t comma = line.rfind(',');
    if (comma == std::string::npos) return false;
    *storage = Quoted(line.substr(0, comma));
    *index = line.substr(comma + 1);
    while (!index->empty() && index->front() == ' ') index->erase(0, 1);
    long n = 0;
    return ReadInt(*index, 0, 65535, &n);
}

// "which parts went out", for a send that stopped at part `failed` (1-based).
std::string PartsSent(int failed) {
    if (failed == 1) return "no part was sent";
    if (failed == 2) return "part 1 was sent";
    return "parts 1 to " + std::to_string(failed - 1) + " were sent";
}

// Deletes the stored `what` ("message", "status report") at `index`; false when the modem refused (reported).
bool DeleteStored(const std::string& what, int index, Link* link) {
    Answer d = link->session->RunWhileBusy("AT+CMGD=" + std::to_string(index), link->start.timeoutMs);
    if (!d.Ok()) link->Fail(what + " " + std::to_string(index) + ": not deleted", d.result);
    return d.Ok();
}

// The fields a stored message is printed with beside its own: where it lies and how the modem holds it.
std::vector<ExtraField> StoredFields(const std::string& index, int status, const std::string& storage) {
    std::vector<ExtraField> extra = {{"index", "index", index, true}, {"status", "status", modem::StatusName(status), false}};
    if (!storage.empty()) extra.push_back({"storage", "storage", storage, false});
    return extra;
}

// A stored PDU read as parse reads it; false with what was wrong in *why.
bool ReadStored(const modem::StoredPdu& s, const std::string& command, sms::Message* m, std::string* why) {
    sms::Bytes octets;
    sms::ParseError e;
    if (!s.fault.empty()) {
        *why = s.fault;
        return false;
    }
    if (sms::ParseHex(s.hex, &octets, &e) && sms::ParseFramedPdu(octets, static_cast<size_t>(s.length), command, m, &e))
        return true;
    *why = "octet " + std::to_string(e.offset + 1) + ": " + e.what;
    return false;
}

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

// A message or status report the modem passed on (27.005 3.4.1): delivered with its PDU on the next line
// (+CMT: [<alpha>],<length>, +CDS: <length>), index -1; or announced in a storage (+CMTI:, +CDSI: <mem>,<index>)
// and read from there with AT+CMGR, selecting that storage first when it is not *current (which then names it).
enum Fetched { kFetched, kNotFetched, kPortFailed };
struct Received {
    modem::StoredPdu stored;
    sms::Message message;
};
Fetched Fetch(const modem::Unsolicited& u, bool acknowledge, std::string* current, Received* r, Link* link) {
    Session& s = *link->session;
    std::string why;
    if (StartsWith(u.line, "+CMT:") || StartsWith(u.line, "+CDS:")) {
        sms::ModemLine framing = sms::ReadModemLine(u.line);
        r->stored.hex = u.pdu;
        r->stored.length = framing.kind == sms::ModemLine::Length ? framing.length : -1;
        if (r->stored.length < 0) r->stored.fault = "no length in '" + u.line + "'";
        bool read = ReadStored(r->stored, u.line.substr(0, 4), &r->message, &why);
        // Acknowledged even when unreadable: the network would send it again and again (27.005 3.4.4).
        if (acknowledge) s.Run("AT+CNMA", link->start.timeoutMs);
        if (read) return kFetched;
        link->Fail("a message passed on that cannot be read: " + why);
        return kNotFetched;
    }
    std::string storage, index;
    if ((!StartsWith(u.line, "+CMTI:") && !StartsWith(u.line, "+CDSI:")) || !Announced(u.line, &storage, &index))
        return kNotFetched;
    if (storage != *current && !storage.empty() && storage != "unknown") {
        Answer select = modem::SelectStorage(&s, storage, link->start.timeoutMs);
        if (!select.Ok()) {
            link->Fail("message " + index + " was announced in " + storage + ", which cannot be used", select.result);
            return kNotFetched;
        }
        *current = storage;
    }
    Answer a = s.RunWhileBusy("AT+CMGR=" + index, link->start.timeoutMs);
    if (a.result.kind == FinalResult::PortFailed) {
        link->Fail(a.result.text);
        return kPortFailed;
    }
    std::vector<modem::StoredPdu> stored = modem::ReadListing(a, false, atoi(index.c_str()));
    if (!a.Ok() || stored.empty()) {
        link->Fail("message " + index + " was announced but cannot be read", a.result);
        return kNotFetched;
    }
    r->stored = stored[0];
    if (ReadStored(r->stored, "+CMGR", &r->message, &why)) return kFetched;
    link->Fail("message " + index + ": " + why + "; it was not deleted");
    return kNotFetched;
}

// AT+CNMI set from what AT+CNMI=? offers, so that new messages (or, for `reports`, status reports) are passed on;
// *acknowledge when each one delivered wants AT+CNMA (27.005 3.2.1 AT+CSMS service 1). 0, or the exit code of a
// failure it reported.
int AskForIndications(Link* link, bool reports, bool* acknowledge) {
    Session& s = *link->session;
    int limit = link->start.timeoutMs;
    const char* what = reports ? "status reports" : "new messages";
    const char* nothing = reports ? "; nothing was sent" : "";
    modem::IndicationSetting setting;
    if (!modem::ChooseIndications(s.Run("AT+CNMI=?", limit), &setting, reports) || (reports && setting.ds == 0))
        return link->Fail(std::string("the modem offers no way to pass on ") + what + " (AT+CNMI=?)" + nothing);
    *acknowledge = modem::NeedsAcknowledgement(s.Run("AT+CSMS?", limit));
    Answer set = s.RunWhileBusy(setting.Command(), limit);
    if (!set.Ok())
        return link->Fail(std::string("cannot have ") + what + " passed on (" + setting.Command() + ")" + nothing,
                          set.result);
    return 0;
}

// --wait: the status report of each part, matched to it by the reference +CMGS gave (23.040 9.2.3.6 TP-MR) and
// printed as parse prints it, until every part has a final one (9.2.3.15: not "still trying") or `waitMs` has
// passed. A report announced in a storage is deleted once printed; the storage read before is selected again.
int AwaitReports(const std::vector<int>& references, bool json, int waitMs, bool acknowledge, FILE* out,
                 Link* link) {
    Session& s = *link->session;
    std::vector<int> status(references.size(), -1);
    auto open = [&](size_t k) { return status[k] < 0 || (status[k] >= 0x20 && status[k] < 0x40); };
    std::string current, before;
    int64_t deadline = link->stream->NowMs() + waitMs;
    int code = 0;
    for (;;) {
        size_t waiting = 0;
        while (waiting < status.size() && !open(waiting)) ++waiting;
        int64_t left = deadline - link->stream->NowMs();
        if (waiting == status.size() || left <= 0 || interrupted) break;
        modem::Unsolicited u;
        FinalResult gone;
        if (!s.NextUnsolicited(static_cast<int>(std::min<int64_t>(left, kListenPollMs)), &u, &gone)) {
            if (gone.kind != FinalResult::PortFailed) continue;
            code = link->Fail(gone.text);
            break;
        }
        if (current.empty() && StartsWith(u.line, "+CDSI:"))
            before = ReadStorage(s.RunWhileBusy("AT+CPMS?", link->start.timeoutMs));
        Received r;
        Fetched f = StartsWith(u.line, "+CDS") ? Fetch(u, acknowledge, &current, &r, link) : kNotFetched;
        if (f == kPortFailed) {
            code = 1;
            break;
        }
        if (f != kFetched || r.message.type != sms::MessageType::StatusReport) continue;
        size_t k = 0;
        while (k < references.size() && !(references[k] == r.message.reference && open(k))) ++k;
        if (k == references.size()) continue;  // the report of another message: left where it is
        status[k] = r.message.status;
        std::string part = std::to_string(k + 1) + "/" + std::to_string(references.size());
        if (!Emit(out, FormatMessage(r.message, json, {{"part", "part", part, false}})))
            return link->Fail("cannot write to standard output");
        if (r.stored.index >= 0) DeleteStored("status report", r.stored.index, link);
    }
    if (!before.empty() && before != current) modem::SelectStorage(&s, before, link->start.timeoutMs);
    for (size_t k = 0; k < status.size(); ++k) {
        std::string part = "part " + std::to_string(k + 1) + "/" + std::to_string(references.size()) + ": ";
        if (open(k))
            code = link->Fail(part + "no status report" +
                              (interrupted ? ": interrupted" : " within " + std::to_string(waitMs / 1000) + " s"));
        else if (status[k] >= 0x20)
            code = link->Fail(part + "not delivered: the report's status is " + sms::Hex(sms::Bytes{static_cast<uint8_t>(status[k])}) + " (" +
                              sms::StatusText(status[k]) + ")");
    }
    return code;
}

int Send(const std::vector<std::string>& args, FILE* in, FILE* out, Link* link) {
    sms::SubmitOptions options;
    std::string text, error;
    bool json = false;
    int waitMs = -1;
    int usage = ReadSubmitArguments(args, in, link->err, &options, &text,
                                    [&](const std::vector<std::string>& a, size_t* i, bool* missing, std::string* bad) {
                                        if (a[*i] == "--json") return json = true;
                                        if (a[*i] == "--wait") return (waitMs = kReportWaitMs), true;
                                        long n = 0;
                                        if (!StartsWith(a[*i], "--wait="))
                                            return TakeLinkOption(a, i, missing, bad, link);
                                        if (!ReadInt(a[*i].substr(7), 1, 86400, &n))
                                            *bad = "'" + a[*i] + "': give seconds, 1 to 86400";
                                        waitMs = static_cast<int>(n) * 1000;
                                        return true;
                                    });
    if (usage >= 0) return usage;
    if (waitMs >= 0) options.report = true;  // a report is waited for only when asked for (TP-SRR)
    std::vector<sms::SubmitPdu> parts;
    if (!sms::BuildSubmit(text, options, &parts, &error)) {
        fprintf(link->err, "smspdu: %s\n", error.c_str());
        return 1;
    }
    if (int failed = Connect(link)) return failed;
    bool acknowledge = false;
    // Reports asked for before the first part, so that none comes while they would be dropped.
    if (waitMs >= 0)
        if (int failed = AskForIndications(link, true, &acknowledge)) return failed;
    int count = static_cast<int>(parts.size());
    std::vector<int> references;
    for (int k = 1; k <= count; ++k) {
        std::string part = std::to_string(k) + "/" + std::to_string(count);
        if (interrupted) return link->Fail("part " + part + ": not sent: interrupted; " + PartsSent(k));
        const sms::SubmitPdu& p = parts[k - 1];
        Answer a = link->session->RunWithPdu("AT+CMGS=" + std::to_string(p.tpduLength), sms::Hex(p.octets),
                                             link->start.timeoutMs, kSendLimitMs);
        if (!a.Ok()) return link->Fail("part " + part + ": " + a.result.Describe() + "; " + PartsSent(k));
        std::string reference = a.Field("+CMGS:");
        reference = reference.substr(0, reference.find(','));
        long mr = -1;
        references.push_back(ReadInt(reference, 0, 255, &mr) ? static_cast<int>(mr) : -1);
        std::string line = json ? "{\"part\": \"" + part + "\", \"reference\": " + (mr < 0 ? "null" : reference) + "}\n"
                                : "part " + part + " sent, reference " + (mr < 0 ? "unknown" : reference) + "\n";
        if (!Emit(out, line)) return link->Fail("cannot write to standard output; " + PartsSent(k + 1));
    }
    return waitMs < 0 ? 0 : AwaitReports(references, json, waitMs, acknowledge, out, link);
}

// Prints one stored PDU as parse does (and deletes it when `remove`); false when it could not be printed or
// deleted, with the reason on standard error. A PDU the parser refuses is reported and kept.
bool Present(const modem::StoredPdu& s, const std::string& command, const std::string& storage, bool json,
             bool remove, FILE* out, Link* link, bool* refused) {
    std::string where = "message " + std::to_string(s.index), why;
    sms::Message m;
    if (!ReadStored(s, command, &m, &why)) {
        link->Fail(where + ": " + why + "; it was not deleted");
        return *refused = true;
    }
    if (!Emit(out, FormatMessage(m, json, StoredFields(std::to_string(s.index), s.status, storage)))) {
        link->Fail("cannot write to standard output; " + where + " was not deleted");
        return false;
    }
    return !remove || DeleteStored("message", s.index, link);
}

// --storage MEM, as the storage commands take it.
bool TakeStorage(const std::vector<std::string>& args, size_t* i, bool* missing, std::string* bad,
                 std::string* storage) {
    if (!TakeValue(args, i, "--storage", storage, missing)) return false;
    if (!*missing && *storage != "SM" && *storage != "ME" && *storage != "MT" && *storage != "SR" &&
        *storage != "BM")
        *bad = "--storage '" + *storage + "': give SM, ME, MT or SR";
    return true;
}

// Selects --storage (when given) and learns which storage is read.
int OpenStorage(Link* link, std::string* storage) {
    Answer select = modem::SelectStorage(link->session.get(), *storage, link->start.timeoutMs);
    if (!select.Ok()) return link->Fail("cannot use storage " + *storage + " (AT+CPMS)", select.result);
    if (storage->empty()) *storage = ReadStorage(link->session->RunWhileBusy("AT+CPMS?", link->start.timeoutMs));
    return 0;
}

// The parts of one long message printed as one (with `join`; else the one message of `group` as it is), with the
// indexes of those that were stored; with `remove` these are deleted once it is whole, so that a later listing can
// join the rest. False when that failed (reported).
bool PrintJoined(const std::vector<const Received*>& group, bool join, const std::string& storage, bool json,
                 bool remove, FILE* out, Link* link) {
    std::map<int, const Received*> byPart;  // a repeated part counts once
    for (const Received* r : group) byPart.emplace(r->message.part, r);
    std::vector<const sms::Message*> parts;
    Joined joined;
    std::string indexes;
    for (const auto& p : byPart) {
        parts.push_back(&p.second->message);
        joined.present.push_back(p.first);
        if (p.second->stored.index >= 0)
            indexes += (indexes.empty() ? "" : ",") + std::to_string(p.second->stored.index);
    }
    const sms::Message& first = *parts[0];
    bool single = !join || first.concatRef < 0;
    joined.parts = first.parts;
    std::vector<ExtraField> extra;
    if (!indexes.empty()) extra = StoredFields(single ? indexes : "[" + indexes + "]", group[0]->stored.status, storage);
    std::string text = single ? FormatMessage(first, json, extra) : FormatMessage(sms::JoinParts(parts), json, extra, &joined);
    if (!Emit(out, text)) {
        link->Fail("cannot write to standard output; the message was not deleted");
        return false;
    }
    if (!remove || (!single && static_cast<int>(byPart.size()) < first.parts)) return true;
    for (const Received* r : group)
        if (r->stored.index >= 0 && !DeleteStored("message", r->stored.index, link)) return false;
    return true;
}

// list --join: the stored parts of each long message printed as one, at the place of its first part.
bool PresentJoined(const std::vector<modem::StoredPdu>& stored, const std::string& storage, bool json, bool remove,
                   FILE* out, Link* link, bool* refused) {
    std::vector<Received> items;
    for (const modem::StoredPdu& s : stored) {
        Received r{s, sms::Message()};
        std::string why;
        if (ReadStored(s, "+CMGL", &r.message, &why))
            items.push_back(r);
        else if (!Present(s, "+CMGL", storage, json, false, out, link, refused))  // reports it, keeps it
            return false;
    }
    std::map<sms::PartsKey, std::vector<const Received*>> groups;
    std::vector<std::vector<const Received*>*> order;
    for (const Received& r : items) {
        sms::PartsKey key = sms::PartsKeyOf(r.message);
        if (r.message.concatRef < 0) std::get<2>(key) = -1 - r.stored.index;  // a message of its own
        auto& g = groups[key];
        if (g.empty()) order.push_back(&g);
        g.push_back(&r);
    }
    for (std::vector<const Received*>* g : order)
        if (!PrintJoined(*g, true, storage, json, remove, out, link)) return false;
    return true;
}

int List(const std::vector<std::string>& args, FILE* out, Link* link) {
    std::string storage;
    bool unread = false, json = false, remove = false, join = false;
    int opened = OpenWithoutWords("list", args, link, [&](const std::vector<std::string>& a, size_t* i, bool* missing,
                                                    std::string* bad) {
        if (a[*i] == "--unread") return unread = true;
        if (a[*i] == "--json") return json = true;
        if (a[*i] == "--delete") return remove = true;
        if (a[*i] == "--join") return join = true;
        return TakeStorage(a, i, missing, bad, &storage);
    });
    if (opened >= 0) return opened;
    if (int failed = OpenStorage(link, &storage)) return failed;
    // 27.005 3.4.2: <stat> 4 is every message, 0 the received unread ones.
    Answer listing = link->session->RunWhileBusy(unread ? "AT+CMGL=0" : "AT+CMGL=4", link->start.timeoutMs,
                                                 Session::FromLastLine);
    bool refused = false, ok = true;
    // A listing cut off is printed as far as it came (a PDU line cut short fails its length), and nothing is deleted.
    bool whole = listing.Ok();
    std::vector<modem::StoredPdu> stored = modem::ReadListing(listing, true);
    if (join) ok = PresentJoined(stored, storage, json, remove && whole, out, link, &refused);
    for (size_t k = 0; !join && k < stored.size(); ++k)
        if (!Present(stored[k], "+CMGL", storage, json, remove && whole, out, link, &refused)) {
            ok = false;
            break;
        }
    if (!whole) return link->Fail("the listing (AT+CMGL) stopped: " + listing.result.Describe() +
                                  (remove ? "; nothing was deleted" : ""));
    return ok && !refused ? 0 : 1;
}

int Read(const std::vector<std::string>& args, FILE* out, Link* link) {
    std::string storage;
    bool json = false;
    std::vector<std::string> words;
    int usage = ReadOptions(args, link, &words, [&](const std::vector<std::string>& a, size_t* i, bool* missing,
                                                    std::string* bad) {
        if (a[*i] == "--json") return json = true;
        return TakeStorage(a, i, missing, bad, &storage);
    });
    if (usage >= 0) return usage;
    long index = 0;
    if (words.size() != 1 || !ReadInt(words[0], 0, 65535, &index)) return UsageError("read takes one INDEX", link->err);
    if (int failed = Connect(link)) return failed;
    if (int failed = OpenStorage(link, &storage)) return failed;
    Answer a = link->session->RunWhileBusy("AT+CMGR=" + words[0], link->start.timeoutMs);
    std::vector<modem::StoredPdu> stored = modem::ReadListing(a, false, static_cast<int>(index));
    bool none = stored.empty() || (a.result.kind == FinalResult::CmsError && a.result.code == modem::kCmsInvalidIndex);
    if (!a.Ok() && !none) return link->Fail("reading message " + words[0] + " (AT+CMGR)", a.result);
    if (none) return link->Fail("no message at index " + words[0] + " in storage " + storage);
    bool refused = false;
    return Present(stored[0], "+CMGR", storage, json, false, out, link, &refused) && !refused ? 0 : 1;
}

int Delete(const std::vector<std::string>& args, FILE* out, Link* link) {
    std::string storage;
    int flag = modem::kDeleteOne;
    std::vector<std::string> words;
    int usage = ReadOptions(args, link, &words, [&](const std::vector<std::string>& a, size_t* i, bool* missing,
                                                    std::string* bad) {
        if (a[*i] == "--read") return (flag = modem::kDeleteRead), true;
        if (a[*i] == "--all") return (flag = modem::kDeleteAll), true;
        return TakeStorage(a, i, missing, bad, &storage);
    });
    if (usage >= 0) return usage;
    long index = 0;
    for (const std::string& w : words)
        if (!ReadInt(w, 0, 65535, &index)) return UsageError("delete: '" + w + "' is not an INDEX", link->err);
    if (words.empty() == (flag == modem::kDeleteOne))
        return UsageError("delete takes INDEX..., or one of --read and --all", link->err);
    if (int failed = Connect(link)) return failed;
    if (int failed = OpenStorage(link, &storage)) return failed;
    Session& s = *link->session;
    if (flag != modem::kDeleteOne) {
        const char* which = flag == modem::kDeleteAll ? "every message" : "every read message";
        if (modem::OffersDeleteFlag(s.Run("AT+CMGD=?", link->start.timeoutMs), flag)) {
            // 27.005 3.5.4: with a <delflag> the index is ignored.
            Answer a = s.RunWhileBusy("AT+CMGD=1," + std::to_string(flag), kDeleteAllLimitMs);
            if (!a.Ok()) return link->Fail("deleting " + std::string(which), a.result);
            return Emit(out, std::string("deleted ") + which + " in " + storage + "\n") ? 0 : 1;
        }
        // No delete flags: the listing's indexes, one by one.
        Answer listing = s.RunWhileBusy("AT+CMGL=4", link->start.timeoutMs, Session::FromLastLine);
        if (!listing.Ok()) return link->Fail("listing the messages to delete (AT+CMGL)", listing.result);
        words.clear();
        for (const modem::StoredPdu& p : modem::ReadListing(listing, true))
            if (p.index >= 0 && (flag == modem::kDeleteAll || p.status == modem::kReceivedRead))
                words.push_back(std::to_string(p.index));
    }
    for (const std::string& w : words) {
        Answer a = s.RunWhileBusy("AT+CMGD=" + w, link->start.timeoutMs);
        if (!a.Ok()) return link->Fail("message " + w + ": not deleted", a.result);
        if (!Emit(out, "deleted " + w + "\n")) return 1;
    }
    return 0;
}

// The first answer line of a query, its prefix taken off when it has one ("+CGMI: huawei" and "huawei" alike).
std::string Info(Session& s, const std::string& command, const std::string& prefix, int limitMs) {
    Answer a = s.RunWhileBusy(command, limitMs);
    if (!a.Ok() || a.lines.empty()) return "unknown";
    std::string line = a.Field(prefix);
    return line.empty() ? a.lines[0] : line;
}

// 27.007 8.5: <rssi> 0 to 31 in 2 dB steps from -113 dBm, 99 unknown.
std::string Signal(const std::string& csq) {
    long rssi = 0;
    if (!ReadInt(csq.substr(0, csq.find(',')), 0, 99, &rssi) || rssi > 31) return "unknown";
    std::string dbm = std::to_string(-113 + 2 * rssi) + " dBm";
    if (rssi == 0) dbm += " or less";
    if (rssi == 31) dbm += " or more";
    return dbm + " (CSQ " + std::to_string(rssi) + ")";
}

// 27.007 7.2 <stat> of +CREG?.
std::string Registration(const std::string& creg) {
    static const char* const kStates[] = {"not registered, not searching", "registered, home network",
                                          "not registered, searching", "registration denied", "unknown",
                                          "registered, roaming"};
    size_t comma = creg.find(',');
    long stat = 0;
    if (comma == std::string::npos || !ReadInt(creg.substr(comma + 1, creg.find(',', comma + 1) - comma - 1), 0, 5,
                                               &stat))
        return "unknown";
    return kStates[stat];
}

int ModemInfo(const std::vector<std::string>& args, FILE* out, Link* link) {
    std::string smsc;
    int opened = OpenWithoutWords("modem", args, link, [&](const std::vector<std::string>& a, size_t* i, bool* missing,
                                                    std::string* bad) {
        if (!TakeValue(a, i, "--smsc", &smsc, missing)) return false;
        if (!*missing && (smsc.empty() || smsc.find_first_not_of("+0123456789", 0) != std::string::npos ||
                          smsc.find('+', 1) != std::string::npos))
            *bad = "--smsc '" + smsc + "': give a number such as +491710760000";
        return true;
    });
    if (opened >= 0) return opened;
    Session& s = *link->session;
    int limit = link->start.timeoutMs;
    if (!smsc.empty()) {
        // 27.005 3.3.1: the number and its type of address, 145 international, 129 otherwise.
        Answer a = s.RunWhileBusy("AT+CSCA=\"" + smsc + "\"," + (smsc[0] == '+' ? "145" : "129"), limit);
        if (!a.Ok()) return link->Fail("setting the SMSC (AT+CSCA)", a.result);
    }
    Answer cpms = s.RunWhileBusy("AT+CPMS?", limit);
    std::string use = cpms.Field("+CPMS:"), storage = "unknown";
    std::vector<std::string> f;
    for (size_t a = 0, b; a <= use.size(); a = b + 1) {
        b = use.find(',', a);
        if (b == std::string::npos) b = use.size();
        f.push_back(use.substr(a, b - a));
    }
    if (f.size() >= 3) storage = Quoted(f[0]) + ", " + f[1] + " of " + f[2] + " used";
    // 27.007 5.1 to 5.4 (make, model, revision, IMEI), 8.3 (SIM), 8.5 (signal), 7.2 (registration), 7.3
    // (operator); 27.005 3.3.1 (SMSC).
    struct Row {
        const char* label;
        const char* command;
        const char* prefix;
        std::string (*shown)(const std::string& answer);
    };
    static const Row kRows[] = {
        {"manufacturer", "AT+CGMI", "+CGMI:", nullptr},     {"model", "AT+CGMM", "+CGMM:", nullptr},
        {"revision", "AT+CGMR", "+CGMR:", nullptr},         {"imei", "AT+CGSN", "+CGSN:", nullptr},
        {"sim", "AT+CPIN?", "+CPIN:", nullptr},             {"signal", "AT+CSQ", "+CSQ:", Signal},
        {"registration", "AT+CREG?", "+CREG:", Registration}, {"operator", "AT+COPS?", "+COPS:", Quoted},
        {"smsc", "AT+CSCA?", "+CSCA:", Quoted},
    };
    std::string text;
    for (const Row& row : kRows) {
        std::string answer = Info(s, row.command, row.prefix, limit);
        text += std::string(row.label) + ": " + (row.shown && answer != "unknown" ? row.shown(answer) : answer) + "\n";
    }
    text += "storage: " + storage + "\n";
    return Emit(out, text) ? 0 : link->Fail("cannot write to standard output");
}

int Listen(const std::vector<std::string>& args, FILE* out, Link* link) {
    bool json = false, remove = false, join = false;
    long count = -1;
    int opened = OpenWithoutWords("listen", args, link, [&](const std::vector<std::string>& a, size_t* i, bool* missing,
                                                    std::string* bad) {
        if (a[*i] == "--json") return json = true;
        if (a[*i] == "--delete") return remove = true;
        if (a[*i] == "--join") return join = true;
        std::string value;
        if (!TakeValue(a, i, "--count", &value, missing)) return false;
        if (!*missing && !ReadInt(value, 1, 1000000, &count)) *bad = "--count '" + value + "': give a number from 1";
        return true;
    });
    if (opened >= 0) return opened;
    bool acknowledge = false;
    if (int failed = AskForIndications(link, false, &acknowledge)) return failed;
    std::string current;
    // --join: the parts of long messages not yet whole, in the order their first part came.
    std::vector<std::pair<sms::PartsKey, std::vector<Received>>> held;
    auto print = [&](const std::vector<Received>& g) {
        std::vector<const Received*> parts;
        for (const Received& r : g) parts.push_back(&r);
        return PrintJoined(parts, join, current, json, remove, out, link);
    };
    int code = 0;
    for (long seen = 0; !interrupted && (count < 0 || seen < count);) {
        modem::Unsolicited u;
        FinalResult failed;
        if (!link->session->NextUnsolicited(kListenPollMs, &u, &failed)) {
            if (failed.kind != FinalResult::PortFailed) continue;
            code = link->Fail(failed.text);
            break;
        }
        Received r;
        Fetched f = Fetch(u, acknowledge, &current, &r, link);
        if (f == kPortFailed) {
            code = 1;
            break;
        }
        if (f != kFetched) continue;
        std::vector<Received> whole = {r};
        if (join && r.message.concatRef >= 0) {
            sms::PartsKey key = sms::PartsKeyOf(r.message);
            auto g = std::find_if(held.begin(), held.end(), [&](const auto& h) { return h.first == key; });
            if (g == held.end()) g = held.insert(held.end(), {key, {}});
            g->second.push_back(r);
            std::set<int> parts;
            for (const Received& p : g->second) parts.insert(p.message.part);
            if (static_cast<int>(parts.size()) < r.message.parts) continue;
            whole = std::move(g->second);
            held.erase(g);
        }
        if (!print(whole)) return 1;
        ++seen;
    }
    // What is left of long messages is printed as it is and kept, as parse --join prints it at the end of its input.
    for (const auto& g : held)
        if (!print(g.second)) return 1;
    return code;
}

// 27.007 7.15: AT+CUSD=1,<str>,<dcs>, the answer as +CUSD: <m>,<str>,<dcs> (before or after the OK).
int Ussd(const std::vector<std::string>& args, FILE* out, Link* link) {
    bool packed = false;
    std::vector<std::string> words, replies;
    int usage = ReadOptions(args, link, &words, [&](const std::vector<std::string>& a, size_t* i, bool* missing,
                                                    std::string* bad) {
        if (a[*i] == "--packed") return packed = true;
        std::string value;
        if (!TakeValue(a, i, "--reply", &value, missing)) return false;
        if (!*missing && value.empty()) *bad = "--reply: give the menu choice";
        replies.push_back(value);
        return true;
    });
    if (usage >= 0) return usage;
    if (words.size() != 1) return UsageError("ussd takes one CODE, such as *100#", link->err);
    std::vector<std::string> requests = {words[0]};
    requests.insert(requests.end(), replies.begin(), replies.end());
    std::vector<std::string> sent;
    for (const std::string& r : requests) {
        std::string hex = r, why;
        if (packed && !modem::PackUssd(r, &hex, &why)) return UsageError(why, link->err);
        if (!packed && r.find('"') != std::string::npos) return UsageError("a USSD string has no '\"'", link->err);
        sent.push_back(hex);
    }
    if (int failed = Connect(link)) return failed;
    Session& s = *link->session;
    modem::UssdAnswer answer;
    for (size_t k = 0; k < sent.size(); ++k) {
        Answer a = s.Run("AT+CUSD=1,\"" + sent[k] + "\"," + std::to_string(modem::kUssdDcs), kUssdLimitMs);
        if (!a.Ok()) return link->Fail("USSD " + requests[k] + " (AT+CUSD)", a.result);
        std::string line = a.Field("+CUSD:");
        modem::Unsolicited u;
        FinalResult failed;
        while (line.empty() && s.NextUnsolicited(kUssdLimitMs, &u, &failed))
            if (u.line.compare(0, 6, "+CUSD:") == 0) line = u.line;
        if (line.empty())
            return link->Fail("no answer to USSD " + requests[k] +
                              (failed.kind == FinalResult::PortFailed ? ": " + failed.text : " within 30 s"));
        if (line.compare(0, 6, "+CUSD:") != 0) line = "+CUSD: " + line;
        modem::ReadUssdAnswer(line, packed, &answer);
        if (!answer.text.empty() && !Emit(out, answer.text + "\n")) return link->Fail("cannot write to standard output");
        if (answer.status != 1) break;
    }
    // A menu left open is closed (<n> 2 cancels the session), so the next request starts afresh.
    if (answer.status == 1) s.Run("AT+CUSD=2", link->start.timeoutMs);
    if (answer.status >= 2) return link->Fail("USSD " + requests[0] + ": " + modem::UssdStatusName(answer.status));
    return 0;
}

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>& args, FILE* in, FILE* out, Link* link);
};

const Command kCommands[] = {
    {"send", Send},
    {"list", [](const std::vector<std::string>& a, FILE*, FILE* out, Link* l) { return List(a, out, l); }},
    {"read", [](const std::vector<std::string>& a, FILE*, FILE* out, Link* l) { return Read(a, out, l); }},
    {"delete", [](const std::vector<std::string>& a, FILE*, FILE* out, Link* l) { return Delete(a, out, l); }},
    {"listen", [](const std::vector<std::string>& a, FILE*, FILE* out, Link* l) { return Listen(a, out, l); }},
    {"modem", [](const std::vector<std::string>& a, FILE*, FILE* out, Link* l) { return ModemInfo(a, out, l); }},
    {"ussd", [](const std::vector<std::string>& a, FILE*, FILE* out, Link* l) { return Ussd(a, out, l); }},
};

}  // namespace

bool IsModemCommand(const std::string& name) {
    for (const Command& c : kCommands)
        if (name == c.name) return true;
    return false;
}

int ModemCommand(const std::string& name, const std::vector<std::string>& args, FILE* in, FILE* out, FILE* err) {
    // Ctrl-C stops between parts and between messages, never inside a command the modem is carrying out.
    std::signal(SIGINT, OnInterrupt);
#ifdef SIGPIPE
    // A closed pipe on standard output is a failed write, reported, and nothing after it is deleted.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    Link link;
    link.err = err;
    for (const Command& c : kCommands)
        if (name == c.name) return c.run(args, in, out, &link);
    return UsageError("unknown command '" + name + "'", err);
}
