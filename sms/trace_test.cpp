#include <gtest/gtest.h>

#include "sms/modem.h"
#include "sms/pdu.h"
#include "sms/trace_test_support.h"

using namespace sms;


// Every PDU read with a trace: the fields of whole octets cover it exactly once, in order, to its end when it is
// read, and up to the fault when it is refused. The PDUs are one of each kind, with and without the SMSC field, with
// headers of every element the reader knows and of unknown ones, each coding, ignored octets after a report, and
// faults in every field.
TEST(Trace, FieldsTileThePdu) {
    struct Row {
        std::string hex;
        bool smsc;
        std::optional<MessageType> kind;
    } rows[] = {
        {"07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37", true, {}},
        {"0011000B916407281553F80000AA0AE8329BFD4697D9EC37", true, {}},
        {"06000B910221815716F2709021510121807090215101718000", false, {}},
        {"060C038121F30111111111111101111111111111000402E834AABB", false, {}},
        {"0041000A91947110325400080F0C08041234020105040B8423F00041", true, {}},
        {"41000491947100000D0800032A0201240101607304", false, {}},
        {"0041000A91947110325400040A0605040B8423F00A0B0C", true, {}},
        {"009D000491947141126221428100004002E834", true, {}},
        {"0001000181f1000806d83d0041de00", true, {}},
        {"0041000181F10000080703990102AABB25", true, {}},
        {"19000181F100006221428100000A02E834", false, {}},
        {"00D000FFFF", false, MessageType::DeliverReport},
        {"01C50062217071559240", false, MessageType::SubmitReport},
        {"02050001070A91947110325403AABBCC", false, MessageType::Command},
        {"0001000A9194711032540000050102", true, {}},
        {"0041000A91947110325400040403000500", true, {}},
        {"0001000A919471103254000803004100", true, {}},
        {"0004028100000062F1707155924000", true, {}},
        {"0791", true, {}},
    };
    for (const Row& r : rows) {
        Bytes pdu;
        ParseError e;
        Message m;
        Trace t;
        ASSERT_TRUE(ParseHex(r.hex, &pdu, &e)) << r.hex;
        bool read = ParsePdu(pdu, r.smsc, &m, &e, r.kind, &t);
        EXPECT_EQ(Tiling(t, pdu.size(), read, e.offset), "tiles") << r.hex;
    }
}
