// smspdu parse: PDUs from the arguments or from standard input, line by line
// as they come, each message printed (and flushed) as soon as it is read, or
// with --join as soon as its last part is in.
#include <cerrno>
#include <cstring>
#include <map>
#include <tuple>

#include "cli/cbs_render.h"
#include "cli/line_reader.h"
#include "cli/render.h"
#include "cli/sms_commands.h"
#include "sms/modem.h"
#include "sms/sim_record.h"

using sms::Message;
using sms::MessageType;

namespace {

const char kSimRecord[] = "sim-record";  // --kind of the records of EF_SMS
const char kCellBroadcast[] = "cbs";     // --kind of Cell Broadcast pages

// What --kind takes: the kinds of TPDU, then the other things a PDU comes in.
std::string KindChoices() {
    std::vector<std::string> kinds;
    for (size_t k = 0; k < sms::kKindCount; ++k) kinds.push_back(sms::kKinds[k].option);
    kinds.push_back(kSimRecord);
    kinds.push_back(kCellBroadcast);
    return WordList(kinds);
}

// One message read, with where its fields lay when they are explained, and the fields of what held it (a SIM
// record's status) before its own.
struct Read {
    Message message;
    bool hasMessage = true;  // false for a free SIM record
    sms::Bytes pdu;
    sms::Trace trace;
    std::vector<Field> holder;
    std::optional<sms::CbsMessage> cbs;  // a Cell Broadcast message instead of an SMS one
};

struct ParseOutput {
    bool json = false, explain = false;
};

// One message (or the parts of one joined message) as the output form prints it: `own` are its fields.
std::string Printed(std::vector<Field> own, const Joined* joined, const std::vector<const Read*>& reads,
                    const ParseOutput& o) {
    std::vector<Field> fields = reads[0]->holder;
    fields.insert(fields.end(), own.begin(), own.end());
    if (!o.explain) return o.json ? RenderJson(fields) : RenderPlain(fields);
    if (!joined || reads.size() == 1) {
        const Read& r = *reads[0];
        return o.json ? RenderJson(fields, ExplainJson(r.trace, r.pdu)) : RenderPlain(fields) + ExplainPlain(r.trace, r.pdu);
    }
    std::string plain = RenderPlain(fields), parts;
    for (size_t i = 0; i < reads.size(); ++i) {
        const Read& r = *reads[i];
        std::vector<std::string> members = ExplainJson(r.trace, r.pdu);
        parts += (i ? ", " : "") + std::string("{\"part\": ") + std::to_string(joined->present[i]) + ", " + members[0] +
                 ", " + members[1] + "}";
        plain += "part " + std::to_string(joined->present[i]) + " " + ExplainPlain(r.trace, r.pdu);
    }
    return o.json ? RenderJson(fields, {"\"parts_explained\": [" + parts + "]"}) : plain;
}

// The fields of one read alone.
std::vector<Field> OwnFields(const Read& r) {
    if (r.cbs) return CbsFields(*r.cbs, nullptr);
    return r.hasMessage ? MessageFields(r.message, nullptr) : std::vector<Field>();
}

// The octet view of a PDU the parser refused: the fields up to the fault, then the fault.
std::string PrintedFault(const Read& r, const sms::ParseError& e, const ParseOutput& o) {
    if (o.json) {
        std::vector<std::string> members = ExplainJson(r.trace, r.pdu);
        return "{\"error\": {\"offset\": " + std::to_string(e.offset) + ", \"what\": \"" + Escaped(e.what, true) +
               "\"}, " + members[0] + "}\n";
    }
    char at[32];
    snprintf(at, sizeof at, "%5zu  ", e.offset);
    return ExplainPlain(r.trace, r.pdu) + at + "fault: " + e.what + "\n";
}

// A Cell Broadcast PDU: a GSM page of 88 octets, or the UMTS form, whose pages come in one PDU and are read as one
// message.
bool ReadBroadcast(Read* r, sms::ParseError* e, sms::Trace* trace) {
    const int kUmtsMessageType = 1;  // 9.4.2.2.1: anything else is a GSM page, of the wrong length when it is not 88
    if (r->pdu.size() == sms::kCbsPageOctets || r->pdu[0] != kUmtsMessageType) {
        r->cbs.emplace();
        return sms::ParseCbsPage(r->pdu, &*r->cbs, e, trace);
    }
    std::vector<sms::CbsMessage> pages;
    if (!sms::ParseCbsUmts(r->pdu, &pages, e, trace)) return false;
    std::vector<const sms::CbsMessage*> all;
    for (const sms::CbsMessage& p : pages) all.push_back(&p);
    r->cbs = sms::JoinCbsPages(all);
    r->cbs->page = 1;
    r->cbs->pages = 1;  // whole: never waits for other pages
    return true;
}

// Where messages go: printed at once, or with --join held until the last part of their message is in.
class Printer {
public:
    Printer(FILE* out, ParseOutput output, bool join) : out_(out), output_(output), join_(join) {}

    void Take(Read&& r) {
        const Message& m = r.message;
        bool single = r.cbs ? r.cbs->pages <= 1 : m.concatRef < 0 || !r.hasMessage;
        if (!join_ || single) return Print(Printed(OwnFields(r), nullptr, {&r}, output_));
        // Same type, address and reference, and the same count of parts: one message; Cell Broadcast pages: the
        // same serial number and identifier, and the same count of pages.
        Key key = r.cbs ? Key(kCbsGroup, "", static_cast<int>(sms::CbsKey(*r.cbs)), r.cbs->pages)
                        : sms::PartsKeyOf(m);
        int part = r.cbs ? r.cbs->page : m.part, parts = std::get<3>(key);
        auto found = pending_.find(key);
        if (found == pending_.end()) found = pending_.emplace(key, Group{next_++, {}}).first;
        Group& g = found->second;
        g.parts.emplace(part, std::move(r));  // a repeated part counts once
        if (static_cast<int>(g.parts.size()) < parts) return;
        PrintJoined(g);
        pending_.erase(found);
    }
    // The long messages still missing parts, in the order their first part came.
    void Finish() {
        std::map<size_t, const Group*> byArrival;
        for (const auto& g : pending_) byArrival.emplace(g.second.arrival, &g.second);
        for (const auto& g : byArrival) PrintJoined(*g.second);
        pending_.clear();
    }
    void Print(const std::string& text) {
        if (!output_.json && printed_) fputc('\n', out_);
        fwrite(text.data(), 1, text.size(), out_);
        printed_ = true;
    }

private:
    using Key = sms::PartsKey;
    struct Group {
        size_t arrival;
        std::map<int, Read> parts;
    };
    static constexpr int kCbsGroup = -1;  // the type of a group of Cell Broadcast pages
    void PrintJoined(const Group& g) {
        std::vector<const Message*> parts;
        std::vector<const sms::CbsMessage*> pages;
        std::vector<const Read*> reads;
        Joined joined;
        const Read& first = g.parts.begin()->second;
        joined.parts = first.cbs ? first.cbs->pages : first.message.parts;
        for (const auto& p : g.parts) {
            parts.push_back(&p.second.message);
            if (p.second.cbs) pages.push_back(&*p.second.cbs);
            reads.push_back(&p.second);
            joined.present.push_back(p.first);
        }
        std::vector<Field> own = first.cbs ? CbsFields(sms::JoinCbsPages(pages), &joined) : MessageFields(sms::JoinParts(parts), &joined);
        Print(Printed(own, &joined, reads, output_));
    }

    FILE* out_;
    ParseOutput output_;
    bool join_, printed_ = false;
    std::map<Key, Group> pending_;
    size_t next_ = 0;
};

}  // namespace

int ParseCommand(const std::vector<std::string>& args, FILE* in, FILE* out, FILE* err) {
    bool withSmsc = true, join = false, records = false, broadcast = false;
    ParseOutput output;
    std::optional<MessageType> kind;
    std::vector<std::string> hexes;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string name;
        bool missing = false;
        MessageType k;
        if (a == "--no-smsc") withSmsc = false;
        else if (a == "--json") output.json = true;
        else if (a == "--join") join = true;
        else if (a == "--explain") output.explain = true;
        else if (TakeValue(args, &i, "--kind", &name, &missing)) {
            if (missing) return UsageError("option '" + a + "' needs a value", err);
            records = name == kSimRecord;
            broadcast = name == kCellBroadcast;
            if (!records && !broadcast && !sms::KindFromName(name, &k))
                return UsageError("--kind '" + name + "': give " + KindChoices(), err);
            if (!records && !broadcast) kind = k;
        } else if (a.size() > 1 && a[0] == '-') return UsageError("unknown option '" + a + "'", err);
        else hexes.push_back(a);
    }
    int status = 0;
    Printer printer(out, output, join);
    int length = -1;  // the TPDU length the modem gave for the next PDU
    std::string lengthFrom;
    auto readLine = [&](const std::string& where, const std::string& text) {
        sms::ModemLine line = sms::ReadModemLine(text);
        Read r;
        sms::ParseError e;
        if (line.kind == sms::ModemLine::Length) {
            length = line.length;
            lengthFrom = line.command;
            return;
        }
        if (line.kind == sms::ModemLine::Other) return;
        bool framed = length >= 0 && line.kind == sms::ModemLine::Pdu;
        size_t framedLength = static_cast<size_t>(length);
        length = -1;
        bool read = false;
        if (!sms::ParseHex(line.hex, &r.pdu, &e)) {
            fprintf(err, "smspdu: %s: character %zu: %s\n", where.c_str(), e.offset + 1, e.what.c_str());
            status = 1;
            return;
        }
        sms::Trace* trace = output.explain ? &r.trace : nullptr;
        if (broadcast || (framed && lengthFrom == "+CBM")) {
            read = ReadBroadcast(&r, &e, trace);
        } else if (records || (!kind && !framed && sms::LooksLikeSimRecord(r.pdu))) {
            sms::SimRecord record;
            read = sms::ParseSimRecord(r.pdu, &record, &e, trace);
            r.message = record.message;
            r.hasMessage = !record.free;
            r.holder.push_back(Field{"status", sms::RecordStatusText(record.status), Field::Both, false, ""});
        } else if (line.kind == sms::ModemLine::SendResult) {
            // The acknowledgement of AT+CMGS: an RP-ACK's report, its message reference on the line (27.005 3.5.1).
            read = sms::ParsePdu(r.pdu, false, &r.message, &e, MessageType::SubmitReport, trace);
            r.message.reference = line.reference;
        } else if (framed) {
            read = sms::ParseFramedPdu(r.pdu, framedLength, lengthFrom, &r.message, &e, kind, trace);
        } else {
            read = sms::ParsePdu(r.pdu, withSmsc, &r.message, &e, kind, trace);
        }
        if (read) return printer.Take(std::move(r));
        fflush(out);  // what came before the fault stays before its line
        fprintf(err, "smspdu: %s: octet %zu: %s\n", where.c_str(), e.offset, e.what.c_str());
        if (output.explain) printer.Print(PrintedFault(r, e, output));
        status = 1;
    };
    if (!hexes.empty()) {
        for (size_t i = 0; i < hexes.size(); ++i) readLine("argument " + std::to_string(i + 1), hexes[i]);
    } else {
        LineReader lines(in);
        std::string text;
        bool written = true;
        for (size_t n = 1; written && lines.Next(&text, [&] { written = fflush(out) == 0; }); ++n)
            readLine("line " + std::to_string(n), text);
        if (lines.Failed()) {
            fprintf(err, "smspdu: standard input: %s\n", strerror(errno));
            status = 1;
        }
    }
    printer.Finish();
    if (fflush(out) != 0) return 1;
    return status;
}
