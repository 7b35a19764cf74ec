#include <gtest/gtest.h>

#include "sms/modem.h"

using namespace sms;

// Lines of modem output: those that give the next PDU's length, the answer to a send, what is skipped, and PDUs.
TEST(Modem, ReadsLines) {
    const char* rows[][2] = {{"+CMGL: 1,0,\"Smith, J\",24\r", "length 24"}, {"+CMGR: 0,,93", "length 93"},
                             {"+CMT: \"\",28", "length 28"}, {"+CDS: 25", "length 25"}, {"AT+CMGS=17", "length 17"},
                             {"AT+CMGW=17,2", "length 17"}, {"+CMGS: 17,\"0100622170\"", "sent 17 0100622170"},
                             {"+CMGS: 17", ""}, {"+CMGS: 5,\"26/12/07,10:00:00+04\"", ""}, {"OK", ""},
                             {"+CMGL: 1,\"REC READ\",\"+4917\"", ""}, {"> 0011\x1A", "pdu 0011"}, {" 0011 ", "pdu 0011"}};
    for (const auto& r : rows) {
        ModemLine l = ReadModemLine(r[0]);
        std::string read = l.kind == ModemLine::Length ? "length " + std::to_string(l.length)
                           : l.kind == ModemLine::SendResult ? "sent " + std::to_string(l.reference) + " " + l.hex
                           : l.kind == ModemLine::Pdu ? "pdu " + l.hex : "";
        EXPECT_EQ(read, r[1]) << r[0];
    }
}

// The length a modem gives tells whether the PDU starts with its SMSC field, also for modems that count the SMSC
// octets; a PDU that fits no reading names both lengths (the +CDS example of Nordic Semiconductor's AT command
// reference, "+CDS: 25" before 24 octets, lacks its message reference).
TEST(Modem, ReadsPdusByTheirLength) {
    const std::string withSmsc = "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37";
    struct Row {
        size_t length;
        std::string hex, read;  // the SMSC and text, or the error
    } rows[] = {{28, withSmsc, "+27381000015 hellohello"}, {28, withSmsc.substr(16), " hellohello"},
                {36, withSmsc, "+27381000015 hellohello"},
                {29, withSmsc, "@0 the +CDS line gives a TPDU of 29 octets, the PDU has 36, 28 after its SMSC field"},
                {25, "060C91534810325476171160316255001711603152120000",
                 "@0 the +CDS line gives a TPDU of 25 octets, the PDU has 24, 17 after its SMSC field"},
                {3, "000000", "@3 protocol identifier and data coding is missing: the data ends here"}};
    for (const Row& r : rows) {
        Bytes pdu;
        ParseError e;
        Message m;
        ParseHex(r.hex, &pdu, &e);
        bool read = ParseFramedPdu(pdu, r.length, "+CDS", &m, &e);
        EXPECT_EQ(read ? m.smsc.text + " " + m.text : "@" + std::to_string(e.offset) + " " + e.what, r.read) << r.hex;
    }
}
