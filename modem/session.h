// The AT dialogue with a modem over any byte stream (V.250, 3GPP TS 27.007,
// 27.005): one command at a time, each with its own time limit, its answer
// lines apart from the unsolicited lines that come between, and its final
// result. Platform-free: tests drive it with a scripted stream.
#pragma once
#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "modem/byte_stream.h"
#include "modem/final_result.h"
#include "modem/line_reader.h"

namespace modem {

struct Answer {
    std::vector<std::string> lines;  // the information lines, in order, without echo and unsolicited lines
    FinalResult result;
    bool Ok() const { return result.kind == FinalResult::Ok; }
    // The first line that starts with `prefix` ("+CSQ:"), its rest without the
    // prefix and the spaces after it; empty when there is none.
    std::string Field(const std::string& prefix) const;
};

// A line the modem sent of its own accord, with the PDU line after it for
// the kinds that carry one.
struct Unsolicited {
    std::string line, pdu;
};

struct StartOptions {
    int timeoutMs = 10000;  // for the whole wait for a first answer to AT, and for each command
    std::string pin;        // given to a SIM that asks for its PIN; empty: none
};

class Session {
public:
    // `trace`, when not null, receives every line sent and received.
    Session(ByteStream* port, FILE* trace);

    // A known state (V.250, 27.007 8.3, 27.005 3.2.3): AT until answered,
    // ATE0, AT+CMEE=1, AT+CPIN? and the PIN when the SIM wants it, AT+CMGF=0.
    // False with one line for a person in *why when the modem cannot be used.
    bool Start(const StartOptions& options, std::string* why);

    // How a command's time limit counts: from the command, or from the last
    // line that came (a listing as long as the storage is full keeps coming).
    enum Limit { FromCommand, FromLastLine };
    // Sends `command` and reads its answer within `limitMs`. A `secret`
    // command's quoted value shows as **** in the trace.
    Answer Run(const std::string& command, int limitMs, bool secret = false, Limit limit = FromCommand);
    // Run, and again after a pause while the SIM is busy (+CME ERROR: 14,
    // 515; +CMS ERROR: 314), a few times.
    Answer RunWhileBusy(const std::string& command, int limitMs, Limit limit = FromCommand);
    // A command that takes a PDU after the prompt (27.005 3.5.1 AT+CMGS,
    // 3.5.3 AT+CMGW): the command, the prompt within `promptLimitMs`, the PDU
    // hex and Ctrl-Z, the answer within `answerLimitMs`.
    Answer RunWithPdu(const std::string& command, const std::string& hex, int promptLimitMs, int answerLimitMs);

    // The oldest line set aside, waiting up to `limitMs` for one. False when
    // none came; *failed (when given) tells a failed port from silence.
    bool NextUnsolicited(int limitMs, Unsolicited* out, FinalResult* failed = nullptr);

    // How long a busy SIM is waited for between tries, and how many tries.
    int busyPauseMs = 1000;
    int busyTries = 20;

private:
    enum Got { Item, TimedOut, Failed };
    // How an answer is read: the echo to drop, the prefix of its own lines, what it is (for a time-out's words),
    // whether other lines count as its own too, and whether the prompt ends it.
    struct Reading {
        std::string echo, prefix, what;
        bool keepOthers, untilPrompt;
        Limit limit;
    };
    // Reads an answer into *answer: true at the prompt (when `untilPrompt`), else false with its final result,
    // a time-out or the port's failure.
    bool Collect(const Reading& reading, int limitMs, Answer* answer);
    Got NextOutput(int64_t deadline, ModemOutput* out);
    void SetAside(const std::string& line, int64_t deadline);
    // Reads for `ms`, setting unsolicited lines aside and dropping others.
    void Idle(int ms);
    bool Send(const std::string& text, const std::string& shown);
    void Trace(const char* direction, const std::string& text);
    FinalResult PortFailure() const;

    ByteStream* port_;
    FILE* trace_;
    int64_t start_;
    LineReader reader_;
    std::deque<Unsolicited> unsolicited_;
};

}  // namespace modem
