#include "sms/modem.h"

#include <cstdio>
#include <cstdlib>

namespace sms {
namespace {

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r"), b = s.find_last_not_of(" \t\r");
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

bool AllOf(const std::string& s, const char* set) {
    return !s.empty() && s.find_first_not_of(set) == std::string::npos;
}

// A line whose field `field` is the length of the TPDU on the next line; Other when it is not a length.
ModemLine LengthLine(const std::string& command, const std::string& field) {
    ModemLine line;
    std::string length = Trim(field);
    if (AllOf(length, "0123456789") && length.size() <= 3) {
        line.kind = ModemLine::Length;
        line.command = command;
        line.length = atoi(length.c_str());
    }
    return line;
}

}  // namespace

ModemLine ReadModemLine(const std::string& raw) {
    ModemLine line;
    std::string s = Trim(raw);
    // The commands that send and store a PDU give its length first (3.5.1, 3.5.3); the PDU follows their prompt, with
    // Ctrl-Z after it.
    if (s.compare(0, 8, "AT+CMGS=") == 0 || s.compare(0, 8, "AT+CMGW=") == 0)
        return LengthLine(s.substr(0, 7), s.substr(8, s.find(',') - 8));
    if (s.size() && s[0] == '>') s = Trim(s.substr(1, s.find('\x1A') - 1));
    if (s.empty() || s == "OK" || s.compare(0, 2, "AT") == 0) return line;
    if (s[0] != '+') {
        line.kind = ModemLine::Pdu;
        line.hex = s;
        return line;
    }
    size_t colon = s.find(':');
    line.command = s.substr(0, colon);
    std::string rest = colon == std::string::npos ? "" : s.substr(colon + 1);
    size_t first = rest.find(','), last = rest.rfind(',');
    if (line.command == "+CMGS" && first != std::string::npos) {
        // +CMGS: <mr>,"<ackpdu>": the RP-ACK's SMS-SUBMIT-REPORT, without the SMSC field (3.5.1). A time stamp in
        // its place (text mode) is not hex.
        std::string reference = Trim(rest.substr(0, first)), ack = Trim(rest.substr(first + 1));
        if (ack.size() >= 2 && ack.front() == '"' && ack.back() == '"') ack = ack.substr(1, ack.size() - 2);
        if (AllOf(reference, "0123456789") && reference.size() <= 3 && AllOf(ack, "0123456789ABCDEFabcdef")) {
            line.kind = ModemLine::SendResult;
            line.reference = atoi(reference.c_str());
            line.hex = ack;
        }
    } else if (line.command == "+CMGL" || line.command == "+CMGR" || line.command == "+CMT" || line.command == "+CDS" ||
               line.command == "+CBM") {
        return LengthLine(line.command, rest.substr(last == std::string::npos ? 0 : last + 1));  // 3.4.1 and 3.4.3
    }
    return line;
}

bool ParseFramedPdu(const Bytes& pdu, size_t length, const std::string& command, Message* m, ParseError* error,
                    std::optional<MessageType> kind, Trace* trace) {
    size_t smsc = pdu.empty() ? 0 : 1 + pdu[0];
    if (pdu.size() == smsc + length) return ParsePdu(pdu, true, m, error, kind, trace);
    if (pdu.size() != length) {
        char what[160];
        snprintf(what, sizeof what, "the %s line gives a TPDU of %zu octets, the PDU has %zu", command.c_str(), length,
                 pdu.size());
        error->offset = 0;
        error->what = what;
        if (smsc <= pdu.size()) error->what += ", " + std::to_string(pdu.size() - smsc) + " after its SMSC field";
        return false;
    }
    if (ParsePdu(pdu, false, m, error, kind, trace)) return true;
    ParseError without = *error;
    Trace withoutTrace = trace ? *trace : Trace();
    if (trace) *trace = Trace();
    if (ParsePdu(pdu, true, m, error, kind, trace)) return true;  // a modem that counts the SMSC octets too
    *error = without;
    if (trace) *trace = withoutTrace;
    return false;
}

}  // namespace sms
