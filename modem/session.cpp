#include "modem/session.h"

#include <algorithm>

#include "modem/error_codes.h"
#include "modem/unsolicited.h"

namespace modem {
namespace {

const char kCtrlZ = '\x1A', kEsc = '\x1B';
const int kAtTryMs = 1000;   // each AT of the first handshake waits this long before the next
const int kQuietMs = 200;    // after a retried AT: late answers to the earlier tries are read and dropped

// "AT+CSQ" and "AT+CMGL=4" to "+CSQ:" and "+CMGL:", the prefix of their answer lines.
std::string AnswerPrefix(const std::string& command) {
    if (command.compare(0, 3, "AT+") != 0 && command.compare(0, 3, "AT^") != 0) return "";
    size_t end = command.find_first_of("=?", 3);
    return command.substr(2, end == std::string::npos ? std::string::npos : end - 2) + ":";
}

// A line as the trace shows it: control characters by name.
std::string Shown(const std::string& text) {
    std::string s;
    for (unsigned char c : text) {
        if (c == static_cast<unsigned char>(kCtrlZ)) s += "<Ctrl-Z>";
        else if (c == static_cast<unsigned char>(kEsc)) s += "<ESC>";
        else if (c < 0x20 || c == 0x7F) {
            char hex[8];
            snprintf(hex, sizeof hex, "<%02X>", c);
            s += hex;
        } else s += static_cast<char>(c);
    }
    return s;
}

// A busy SIM, whose next try may well succeed (27.007 9.2.1 code 14, its 27.005 twin 314, the vendors' 515).
bool SimBusy(const FinalResult& r) {
    return (r.kind == FinalResult::CmeError && (r.code == kCmeSimBusy || r.code == kCmeVendorPleaseWait)) ||
           (r.kind == FinalResult::CmsError && r.code == kCmsSimBusy);
}

std::string Seconds(int ms) {
    return std::to_string(ms / 1000) + (ms % 1000 ? "." + std::to_string(ms % 1000 / 100) : "") + " s";
}

}  // namespace

std::string Answer::Field(const std::string& prefix) const {
    for (const std::string& line : lines)
        if (line.compare(0, prefix.size(), prefix) == 0) {
            size_t a = line.find_first_not_of(' ', prefix.size());
            return a == std::string::npos ? "" : line.substr(a);
        }
    return "";
}

Session::Session(ByteStream* port, FILE* trace) : port_(port), trace_(trace), start_(port->NowMs()) {}

void Session::Trace(const char* direction, const std::string& text) {
    if (!trace_) return;
    int64_t ms = port_->NowMs() - start_;
    fprintf(trace_, "%4lld.%03lld %s %s\n", static_cast<long long>(ms / 1000), static_cast<long long>(ms % 1000),
            direction, Shown(text).c_str());
    fflush(trace_);
}

FinalResult Session::PortFailure() const {
    FinalResult r;
    r.kind = FinalResult::PortFailed;
    r.text = "the modem went away (" + port_->Failure() + ")";
    return r;
}

bool Session::Send(const std::string& text, const std::string& shown) {
    Trace("->", shown);
    return port_->Write(text.data(), text.size());
}

Session::Got Session::NextOutput(int64_t deadline, ModemOutput* out) {
    char buffer[4096];
    while (!reader_.Next(out)) {
        int64_t left = deadline - port_->NowMs();
        if (left <= 0) return TimedOut;
        int n = port_->Read(buffer, sizeof buffer, static_cast<int>(std::min<int64_t>(left, 1 << 30)));
        if (n < 0) return Failed;
        reader_.Feed(buffer, static_cast<size_t>(n));
    }
    Trace("<-", out->text);
    return Item;
}

void Session::SetAside(const std::string& line, int64_t deadline) {
    Unsolicited u;
    u.line = line;
    const UnsolicitedKind* kind = FindUnsolicited(line);
    ModemOutput pdu;
    if (kind && kind->pduFollows && NextOutput(deadline, &pdu) == Item) u.pdu = pdu.text;
    unsolicited_.push_back(u);
}

void Session::Idle(int ms) {
    int64_t deadline = port_->NowMs() + ms;
    ModemOutput out;
    while (NextOutput(deadline, &out) == Item)
        if (out.kind == ModemOutput::Line && FindUnsolicited(out.text)) SetAside(out.text, deadline);
}

bool Session::Collect(const Reading& r, int limitMs, Answer* answer) {
    int64_t deadline = port_->NowMs() + limitMs;
    ModemOutput out;
    for (;;) {
        Got got = NextOutput(deadline, &out);
        if (got == Failed) {
            answer->result = PortFailure();
            return false;
        }
        if (got == TimedOut) {
            answer->result.kind = FinalResult::Timeout;
            answer->result.text = "no " + r.what + " within " + Seconds(limitMs);
            return false;
        }
        if (r.limit == FromLastLine) deadline = port_->NowMs() + limitMs;
        if (out.kind == ModemOutput::Prompt) {
            if (r.untilPrompt) return true;
            continue;  // not asked for: a PDU command's prompt comes to RunWithPdu
        }
        // A modem that keeps echoing after ATE0 (or echoes before it) repeats the command first.
        if (out.text == r.echo) continue;
        FinalResult final = ReadFinalResult(out.text);
        if (final.kind != FinalResult::None) {
            answer->result = final;
            return false;
        }
        bool ours = !r.prefix.empty() && out.text.compare(0, r.prefix.size(), r.prefix) == 0;
        if (ours || (r.keepOthers && !FindUnsolicited(out.text))) answer->lines.push_back(out.text);
        else if (FindUnsolicited(out.text)) SetAside(out.text, deadline);
    }
}

Answer Session::Run(const std::string& command, int limitMs, bool secret, Limit limit) {
    Answer answer;
    std::string shown = command;
    size_t quote = command.find('"');
    if (secret && quote != std::string::npos) shown = command.substr(0, quote) + "\"****\"";
    if (!Send(command + "\r", shown)) answer.result = PortFailure();
    else Collect({command, AnswerPrefix(command), "answer to " + shown, true, false, limit}, limitMs, &answer);
    return answer;
}

Answer Session::RunWhileBusy(const std::string& command, int limitMs, Limit limit) {
    Answer answer = Run(command, limitMs, false, limit);
    for (int tries = 1; SimBusy(answer.result) && tries < busyTries; ++tries) {
        Idle(busyPauseMs);
        answer = Run(command, limitMs, false, limit);
    }
    return answer;
}

Answer Session::RunWithPdu(const std::string& command, const std::string& hex, int promptLimitMs,
                           int answerLimitMs) {
    Answer answer;
    if (!Send(command + "\r", command)) {
        answer.result = PortFailure();
        return answer;
    }
    // Refused before the prompt (+CMS ERROR: 304), or no prompt: then ESC leaves the PDU state without sending
    // (27.005 3.5.1), should the prompt come late.
    if (!Collect({command, "", "prompt after " + command, false, true, FromCommand}, promptLimitMs, &answer)) {
        if (answer.result.kind == FinalResult::Timeout) Send(std::string(1, kEsc), std::string(1, kEsc));
        return answer;
    }
    // The answer: +CMGS: or +CMGW:, then OK; an echoed PDU (modems that echo) is dropped with the other lines.
    if (!Send(hex + kCtrlZ, hex + kCtrlZ)) answer.result = PortFailure();
    else Collect({"", AnswerPrefix(command), "answer to the PDU", false, false, FromCommand}, answerLimitMs, &answer);
    return answer;
}

bool Session::NextUnsolicited(int limitMs, Unsolicited* out, FinalResult* failed) {
    int64_t deadline = port_->NowMs() + limitMs;
    ModemOutput line;
    while (unsolicited_.empty()) {
        Got got = NextOutput(deadline, &line);
        if (got == Failed && failed) *failed = PortFailure();
        if (got != Item) return false;
        // Anything that comes unasked counts here, known to the table or not.
        if (line.kind == ModemOutput::Line) SetAside(line.text, deadline);
    }
    *out = unsolicited_.front();
    unsolicited_.pop_front();
    return true;
}

bool Session::Start(const StartOptions& options, std::string* why) {
    // ESC first: a modem left at the prompt by a program that died there would take AT for PDU text.
    if (!Send(std::string(1, kEsc), std::string(1, kEsc))) {
        *why = PortFailure().text;
        return false;
    }
    int64_t deadline = port_->NowMs() + options.timeoutMs;
    Answer at;
    int tries = 0;
    do {
        int64_t left = deadline - port_->NowMs();
        at = Run("AT", static_cast<int>(std::min<int64_t>(kAtTryMs, std::max<int64_t>(left, 1))));
        ++tries;
    } while (at.result.kind == FinalResult::Timeout && port_->NowMs() < deadline);
    if (at.result.kind == FinalResult::PortFailed) {
        *why = at.result.text;
        return false;
    }
    if (!at.Ok()) {
        *why = at.result.kind == FinalResult::Timeout
                   ? "no answer to AT within " + Seconds(options.timeoutMs) +
                         ": is it the modem's AT port, is the modem on, is the speed (--baud) right?"
                   : "the modem answers AT with " + at.result.Describe();
        return false;
    }
    if (tries > 1) Idle(kQuietMs);
    Run("ATE0", options.timeoutMs);       // echo off; a modem that echoes anyway is tolerated
    Run("AT+CMEE=1", options.timeoutMs);  // numbered errors (27.007 9.1); without them plain ERROR
    Answer pin = RunWhileBusy("AT+CPIN?", options.timeoutMs);
    std::string state = pin.Field("+CPIN:");
    if (pin.result.kind == FinalResult::PortFailed || pin.result.kind == FinalResult::Timeout) {
        *why = pin.result.text;
        return false;
    }
    if (pin.result.kind == FinalResult::CmeError && pin.result.code == 10) {
        *why = "there is no SIM in the modem (" + pin.result.Describe() + ")";
        return false;
    }
    if (state == "SIM PIN") {
        if (options.pin.empty()) {
            *why = "the SIM wants its PIN: give it with --pin PIN or in SMSPDU_PIN";
            return false;
        }
        // Never tried again when refused: three wrong PINs lock the SIM (27.007 8.3).
        Answer given = Run("AT+CPIN=\"" + options.pin + "\"", options.timeoutMs, true);
        if (!given.Ok()) {
            *why = "the SIM refused the PIN (" + given.result.Describe() +
                   "); it was not tried again, since three wrong PINs lock the SIM: check it and try once more";
            return false;
        }
    } else if (!state.empty() && state != "READY") {
        *why = "the SIM wants " + state + ", not a PIN: unlock it in a phone first";
        return false;
    }
    Answer pdu = RunWhileBusy("AT+CMGF=0", options.timeoutMs);  // 27.005 3.2.3: PDU mode
    if (!pdu.Ok()) {
        *why = "the modem refuses PDU mode (AT+CMGF=0): " + pdu.result.Describe();
        return false;
    }
    return true;
}

}  // namespace modem
