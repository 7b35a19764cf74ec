// Messages as a SIM stores them: the records of EF_SMS (3GPP TS 31.102
// 4.2.25, 3GPP TS 51.011 10.5.3), 176 octets each: a status octet, the PDU
// with its SMSC field, then padding FF.
#pragma once
#include "sms/pdu.h"

namespace sms {

const size_t kSimRecordOctets = 176;

struct SimRecord {
    int status = 0;       // the status octet
    bool free = false;    // bit 0 clear: no message
    Message message;      // when not free
    size_t padding = 0;   // octets FF after the PDU
};

// "free", "received read", "received unread", "stored sent" (with the state
// of its status report: ", status report requested, not received", ...),
// "stored unsent".
std::string RecordStatusText(int status);
// Whether `octets` look like a record: 176 octets and a status octet that
// names a state. No SMS PDU of that length starts with such an octet (it
// would be an SMSC field of 0 to 7 octets before a TPDU of more than 164).
bool LooksLikeSimRecord(const Bytes& octets);
// A record: its status, then for a used one the PDU with its SMSC field, read
// as its type indicator names it, and padding FF to its end; what a free one
// holds is not read. With a trace, every field where it lies.
bool ParseSimRecord(const Bytes& record, SimRecord* out, ParseError* error, Trace* trace = nullptr);

}  // namespace sms
