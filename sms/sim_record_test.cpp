#include <gtest/gtest.h>

#include "sms/sim_record.h"
#include "sms/trace_test_support.h"

using namespace sms;

namespace {

// The PDU of dreamfabric.com's "SMS messages and the PDU format" ("hellohello", received) and the SMS-SUBMIT of the
// same page, each as a record of `status` padded with FF to 176 octets.
const char kReceived[] = "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37";
const char kToSend[] = "0011000B916407281553F80000AA0AE8329BFD4697D9EC37";

Bytes Record(int status, const std::string& hex, uint8_t pad = 0xFF) {
    Bytes pdu;
    ParseError e;
    ParseHex(hex, &pdu, &e);
    Bytes r = pdu;
    r.insert(r.begin(), static_cast<uint8_t>(status));
    r.resize(kSimRecordOctets, pad);
    return r;
}

// The record as a line: its status, and the message's type and text, or the error with its offset.
std::string Read(const Bytes& record) {
    SimRecord r;
    ParseError e;
    Trace t;
    if (!ParseSimRecord(record, &r, &e, &t)) return "@" + std::to_string(e.offset) + " " + e.what;
    std::string tiling = Tiling(t, record.size(), true, 0);
    return RecordStatusText(r.status) + (r.free ? "" : " " + std::string(TypeName(r.message.type)) + " '" +
                                                           r.message.text + "'") +
           (tiling == "tiles" ? "" : " (" + tiling + ")");
}

}  // namespace

// The statuses of 51.011 10.5.3 (each report state but "received, not stored", a table entry like the others), a free record (whatever it holds), the padding, and records that are not.
TEST(SimRecord, ReadsEachStatus) {
    struct Row {
        const char* what;
        Bytes record;
        std::string read;
    } rows[] = {
        {"received, read", Record(0x01, kReceived), "received read SMS-DELIVER 'hellohello'"},
        {"received, to be read", Record(0x03, kReceived), "received unread SMS-DELIVER 'hellohello'"},
        {"to be sent", Record(0x07, kToSend), "stored unsent SMS-SUBMIT 'hellohello'"},
        {"sent", Record(0x05, kToSend), "stored sent SMS-SUBMIT 'hellohello'"},
        {"sent, report asked", Record(0x0D, kToSend), "stored sent, status report requested, not received SMS-SUBMIT "
                                                      "'hellohello'"},
        {"sent, report stored", Record(0x1D, kToSend), "stored sent, status report received and stored SMS-SUBMIT "
                                                       "'hellohello'"},
        {"free", Record(0x00, ""), "free"},
        {"free, not padded", Record(0x00, kReceived, 0x00), "free"},
        {"padded with 00", Record(0x01, kReceived, 0x00), "@37 octet 00 after the message: a record is padded with FF"},
        {"a bad PDU", Record(0x01, "0C91"), "@1 SMSC length 12 is too long (at most 11 octets)"},
        {"a PDU cut short", Record(0x01, "0791"), "@3 invalid semi-octet F inside a number"},
        {"too short", Bytes(175, 0xFF), "@0 a SIM record has 176 octets, this one 175"},
    };
    for (const Row& r : rows) EXPECT_EQ(Read(r.record), r.read) << r.what;
}

// Lines of 352 hex digits are taken as records only when their first octet is a status; no SMS PDU is.
TEST(SimRecord, KnownWithoutAsking) {
    Bytes longest = Record(0x0B, "");  // an SMSC field of 11 octets before the longest SMS-SUBMIT
    struct Row {
        const char* what;
        Bytes octets;
        bool record;
    } rows[] = {
        {"received", Record(0x03, kReceived), true},     {"sent, report stored", Record(0x1D, kToSend), true},
        {"free", Record(0x00, ""), true},                {"reserved bits set", Record(0x83, kReceived), false},
        {"an SMSC field of 11 octets", longest, false}, {"a record's PDU alone", Record(0x03, kReceived), false},
    };
    rows[5].octets.erase(rows[5].octets.begin());
    for (const Row& r : rows) EXPECT_EQ(LooksLikeSimRecord(r.octets), r.record) << r.what;
}
