// What a GSM modem prints around PDUs in PDU mode (3GPP TS 27.005): the line
// that gives the length of the PDU after it, and the answer to a send.
#pragma once
#include <cstddef>
#include <optional>
#include <string>

#include "sms/pdu.h"

namespace sms {

struct ModemLine {
    enum Kind { Other, Pdu, Length, SendResult };
    Kind kind = Other;
    std::string command;  // "+CMGL", "+CMGR", "+CMT", "+CDS", "AT+CMGS", "AT+CMGW" (Length) or "+CMGS"
    int length = -1;      // Length: the TPDU octets of the PDU on the next line
    int reference = -1;   // SendResult: the message reference
    std::string hex;      // Pdu: the line; SendResult: the SMS-SUBMIT-REPORT without its SMSC field
};

// One line of modem output, white space around it ignored: a +CMGL:, +CMGR:,
// +CMT: or +CDS: line that ends in a length (or +CBM:, whose length counts
// the octets of a Cell Broadcast page); a +CMGS: line that carries an
// acknowledgement PDU; other output (OK, the echoed AT command, other +
// lines, a +CMGS: line with the reference alone); or anything else, a PDU.
ModemLine ReadModemLine(const std::string& line);

// A PDU after a line that gave `length`, the octets of its TPDU (27.005 3.1):
// with its SMSC field when that many octets follow the field; without one when
// the PDU has exactly that many, or with one then too, for modems that count
// the SMSC octets as well. Fails naming both lengths when no reading fits.
bool ParseFramedPdu(const Bytes& pdu, size_t length, const std::string& command, Message* out, ParseError* error,
                    std::optional<MessageType> kind = std::nullopt, Trace* trace = nullptr);

}  // namespace sms
