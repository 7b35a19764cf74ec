#include "sms/sim_record.h"

namespace sms {
namespace {

const int kUsed = 0x01, kToBeRead = 0x02, kOriginated = 0x04;  // bits 0 to 2 of the status (51.011 10.5.3)
const int kReportState = 0x18, kReportShift = 3;                // bits 4 and 3 of a sent message's status
const uint8_t kPadding = 0xFF;

}  // namespace

std::string RecordStatusText(int status) {
    static const char* const kReports[] = {"", ", status report requested, not received",
                                           ", status report received, not stored",
                                           ", status report received and stored"};
    if (!(status & kUsed)) return "free";
    if (!(status & kOriginated)) return status & kToBeRead ? "received unread" : "received read";
    if (status & kToBeRead) return "stored unsent";
    return std::string("stored sent") + kReports[(status & kReportState) >> kReportShift];
}

bool LooksLikeSimRecord(const Bytes& octets) {
    if (octets.size() != kSimRecordOctets) return false;
    int s = octets[0];
    bool sent = (s & 7) == (kUsed | kOriginated);
    return s == 0 || (s & kUsed && (s & ~(sent ? 0x1F : 0x07)) == 0);
}

bool ParseSimRecord(const Bytes& record, SimRecord* r, ParseError* error, Trace* trace) {
    *r = SimRecord();
    Cursor c(record, error, trace);
    if (record.size() != kSimRecordOctets)
        return c.Fail(0, Format("a SIM record has 176 octets, this one %ld", static_cast<long>(record.size())));
    c.TakeOctet("record status", "record status", &r->status);
    if (c.Tracing()) c.Means(RecordStatusText(r->status));
    r->free = !(r->status & kUsed);
    if (r->free) {  // what a free record holds means nothing, FF or not
        c.Take(c.Left(), "unused", "");
        return true;
    }
    // As the type indicator names it: received messages are SMS-DELIVER, stored ones SMS-SUBMIT.
    if (!ReadPdu(c, true, &r->message, std::nullopt)) return false;
    size_t at = c.Offset();
    for (size_t i = at; i < record.size(); ++i)
        if (record[i] != kPadding)
            return c.Fail(i, Format("octet %02lX after the message: a record is padded with FF", record[i]));
    r->padding = record.size() - at;
    c.Take(r->padding, "padding", "");
    if (c.Tracing()) c.Means("unused, FF");
    return true;
}

}  // namespace sms
