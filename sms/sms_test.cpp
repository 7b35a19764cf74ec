#include <gtest/gtest.h>

#include "sms/pdu.h"
#include "sms/trace_test_support.h"

using namespace sms;

namespace {

// A message in one line (SMSC, address, time, validity, coding, data, class, header, status, protocol identifier,
// failure cause, command, text), or its error. "kind: hex" reads a PDU without its SMSC field as that kind. *tiling
// says whether the fields read tile the PDU.
std::string Read(const std::string& input, Message* m, std::string* tiling) {
    Bytes pdu;
    ParseError e;
    MessageType kind;
    size_t colon = input.find(": ");
    bool asKind = colon != std::string::npos && KindFromName(input.substr(0, colon), &kind);
    std::string hex = asKind ? input.substr(colon + 2) : input;
    if (!ParseHex(hex, &pdu, &e)) return "@" + std::to_string(e.offset) + " " + e.what;
    Trace trace;
    bool read = ParsePdu(pdu, !asKind, m, &e, asKind ? std::optional(kind) : std::nullopt, &trace);
    *tiling = Tiling(trace, pdu.size(), read, e.offset);
    if (!read) return "@" + std::to_string(e.offset) + " " + e.what;
    std::string s = m->smsc.text + " " + m->address.text;
    auto add = [&s](bool when, const std::string& field) { s += when ? " " + field : ""; };
    auto n = [](int v) { return std::to_string(v); };
    add(m->time.year > 0, m->time.Iso());
    add(m->validityFormat == VPF_RELATIVE, DurationText(m->validity));
    add(m->validityFormat == VPF_ABSOLUTE, "until " + m->validUntil.Iso());
    add(m->coding != Coding::Gsm7, CodingName(m->coding) + (m->data.empty() ? "" : " " + Hex(m->data)));
    add(m->messageClass >= 0, "class " + n(m->messageClass));
    add(m->concatRef >= 0, "part " + n(m->part) + "/" + n(m->parts) + " of " + n(m->concatRef));
    add(m->destPort >= 0, "ports " + n(m->destPort) + "/" + n(m->sourcePort));
    add(m->status >= 0, "status " + n(m->status));
    add(m->pid != 0, "pid " + n(m->pid));
    add(m->failureCause >= 0, "cause " + n(m->failureCause));
    add(m->commandType >= 0, "command " + n(m->commandType) + " #" + n(m->messageNumber) + " " + Hex(m->commandData));
    return s + " '" + m->text + "'";
}

}  // namespace

// Published examples (the first; two more are read and built by the command line's tests; a status report from amro.blogspot.com, 2007-09, "receiving an SMS status
// report message"; the port header 0605040B8423F0 of commzgate.com, 2007-06, "how to format a WAP push message")
// and hand-checked ones, each SMS-SUBMIT rebuilt exactly from what is read; all fields (lone and unknown escapes, a
// reserved coding, unpaired surrogates, lower-case hex, every kind); all bad input classes.
TEST(Sms, ReadsWorkedExamplesAndRefusesBadInput) {
    struct Row {
        std::string hex, read;  // read: the line, or the error
        bool build = false;
    } rows[] = {
        {"07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07",
         "+31624000000 +31641600986 2002-08-26T19:37:41+00:00 'How are you?'"},  // zone 08: sign bit, zero quarters
        {"03919471310009D053F41B1E0300188F0400480069", "+4917 Shop1 12h UCS-2 class 0 'Hi'", true},
        {"0001000A9194711032540000029B32", " +4917012345 '€'", true},  // escape 1B 65
        {"00040BD0C3B09C7D9A0300006221707155922A05C8329BFD06", " Carl's 2026-12-07T17:55:29-05:30 'Hello'"},
        {"00062A0B919471103254F6982170715592406221707155434040060002C834",
         " +49170123456 2089-12-07T17:55:29+01:00 status 64 'Hi'"},
        {"0041000A91947110325400080F0C08041234020105040B8423F00041",
         " +4917012345 UCS-2 part 1/2 of 4660 ports 2948/9200 'A'"},
        {"0001000181F1000002C10D", " 1 'A '"}, {"0001000181F1000C049BE06603", " 1 'A '"},
        {"0001000181f1000806d83d0041de00", " 1 UCS-2 '�A�'"}, {"0001000181F1001000", " 1 class 0 ''"},
        {"0001000181F100F602ABCD", " 1 8-bit ABCD class 2 ''"}, {"0001000181F1001800", " 1 UCS-2 class 0 ''"},
        {"0001000181F100E000", " 1 UCS-2 ''"}, {"0001000181F1002000", " 1 compressed ''"}, {"", "@0 no hex digits"},
        {"001", "@2 odd number of hex digits: this one has no partner"}, {"00 1G", "@4 'G' is not a hex digit"}, {"0003", "@1 unknown message type 3 (first octet 03)"},
        {"0791", "@0 SMSC length 7 points past the data"}, {"0C91", "@0 SMSC length 12 is too long (at most 11 octets)"},
        {"000100168100", "@3 destination length 22 is too long (at most 20 semi-octets)"}, {"0001000A91947110", "@3 destination length 10 points past the data"},
        {"0001000A91947F10325400000141", "@6 invalid semi-octet F inside a number"},
        {"0004028100006231707155924000", "@7 timestamp is not a date and time"},
        {"0004028100000062F1707155924000", "@8 invalid semi-octet in the timestamp (F1)"},
        {"0001000A9194711032540000050102", "@12 user data length 5 needs 5 octets, 2 are left"},
        {"0041000A919471103254000000", "@12 a header is announced but the user data is empty"},
        {"0041000A919471103254000403050000", "@13 header of 6 octets is longer than the user data (3 octets)"},
        {"0041000A9194711032540000050400020000", "@13 header of 5 octets is longer than the user data (5 septets)"},
        {"0041000A91947110325400040403000500", "@14 header element 00 runs past the end of the header"},
        {"0001000A919471103254000803004100", "@15 UCS-2 text of 3 octets ends in half a character"},
        {"0001000A9194711032540004010203", "@14 the data goes on past the end of the message (1 more octets)"},
        {"0041000A91947110325400040A0605040B8423F00A0B0C", " +4917012345 8-bit 0A0B0C ports 2948/9200 ''", true},
        {"0041000A91947110325400040804040205050A0B0C", " +4917012345 8-bit 0A0B0C ports 5/5 ''", true},
        {"009D000491947141126221428100004002E834", " +4917 until 2026-12-24T18:00:00+01:00 class 2 pid 65 'hi'", true},
        {"0004038121F300000120031111110005C8329BFD06", "@8 timestamp is not a date and time"},  // 30 February
        {"0004038121F300000140131111110005C8329BFD06", "@8 timestamp is not a date and time"},  // 31 April
        {"0004038121F300001120921111110005C8329BFD06", "@8 timestamp is not a date and time"},  // 29 February 2011
        {"0004038121F300000020921111110005C8329BFD06", " 123 2000-02-29T11:11:11+00:00 'Hello'"},
        {"0004038121F300000910101111110005C8329BFD06", " 123 1990-01-01T11:11:11+00:00 'Hello'"},  // years 90-99
        {"status-report: 06000B910221815716F2709021510121807090215101718000",
         " +20121875612 2007-09-12T15:10:12+02:00 status 0 ''"},
        {"000600038121F301111111111111011111111111110008AABB", " 123 2010-11-11T11:11:11+02:45 status 0 ''"},
        {"002600038121F301111111111111011111111111110081007F", " 123 2010-11-11T11:11:11+02:45 status 0 pid 127 ''"},
        {"000600038121F301111111111111011111111111110080", "@23 parameter indicator extension is missing: the data ends here"},
        {"deliver-report: 00D000FFFF", "  cause 208 ''"}, {"deliver-report: 0007000002C834", "  'Hi'"},
        {"deliver-report: 00", "@1 parameter indicator is missing: the data ends here"},
        {"command: 02050001070A91947110325403AABB", "@12 command data length 3 points past the data (2 octets are left)"},
        {"command: 02050001070A91947110325403AABBCC", " +4917012345 command 1 #7 AABBCC ''"},
        {"0041000181F100000603070199" "0802", " 1 'A'"},  // an element of its own (07) before 7-bit text
        {"deliver: 010062217071559240", "@0 first octet 01 is SMS-SUBMIT or SMS-SUBMIT-REPORT, not SMS-DELIVER"}};
    for (const Row& r : rows) {
        Message m;
        std::vector<SubmitPdu> pdus;
        std::string error;
        std::string tiling = "tiles";
        EXPECT_EQ(Read(r.hex, &m, &tiling), r.read) << r.hex;
        EXPECT_EQ(tiling, "tiles") << r.hex;
        if (!r.build) continue;
        std::string text = m.coding == Coding::Data8 ? std::string(m.data.begin(), m.data.end()) : m.text;
        const SubmitOptions again = {  // the options that build `m` again
            .to = m.address.text, .smsc = m.smsc.text, .report = (m.firstOctet & TP_SRR) != 0,
            .ucs2 = m.coding == Coding::Ucs2, .validity = m.validityFormat == VPF_RELATIVE ? m.validity : -1,
            .ref = m.concatRef, .data8 = m.coding == Coding::Data8, .destPort = m.destPort, .sourcePort = m.sourcePort,
            .pid = m.pid, .messageClass = m.messageClass, .replyPath = (m.firstOctet & TP_RP) != 0,
            .rejectDuplicates = (m.firstOctet & TP_RD) != 0,
            .validUntil = m.validityFormat == VPF_ABSOLUTE ? std::optional(m.validUntil) : std::nullopt};
        ASSERT_TRUE(BuildSubmit(text, again, &pdus, &error)) << r.hex << ": " << error;
        EXPECT_EQ(Hex(pdus.at(0).octets), r.hex);
    }
}

// Parts of 160/153 septets, 70/67 UCS-2 units, 140/134 octets, each part's room less its port element (a WAP push
// of more than 133 octets goes in parts of 128: codewithsundeep.com, question 3286054), never splitting an escape or
// a surrogate pair; bad UTF-8, a bad address and more than 255 parts refused; validity rounded up within the four
// ranges.
TEST(Sms, BuildsPartsAndValidity) {
    std::string a152(152, 'a'), z66 = std::string(65, 'z') + "Ж", parts255, zh(66 * 2, '\0');  // z66: 66 UCS-2 units
    for (int i = 1; i <= 255; ++i) parts255 += std::to_string(i) + ":153 ";
    for (size_t i = 0; i < zh.size(); i += 2) zh.replace(i, 2, "Ж");
    const SubmitOptions data{.data8 = true}, push{.data8 = true, .destPort = 2948, .sourcePort = 9200},
        port5{.destPort = 5}, port2948{.destPort = 2948};
    struct Row {
        std::string text, parts;  // part:size of each; "" when refused
        SubmitOptions o = {.to = "+4917012345"};
    } rows[] = {{std::string(140, '\xFF'), "0:140 ", data}, {std::string(141, '\0'), "1:134 2:7 ", data},
                {std::string(133, 'a'), "0:133 ", push}, {std::string(134, 'a'), "1:128 2:6 ", push},
                {std::string(154, 'a'), "0:154 ", port5}, {std::string(155, 'a'), "1:148 2:7 ", port5},
                {std::string(147, 'a') + "€bbbbbbbbbb", "1:147 2:12 ", port5}, {zh, "0:66 ", port2948},
                {zh + "Ж", "1:64 2:3 ", port2948},{std::string(160, 'a'), "0:160 "}, {std::string(161, 'a'), "1:153 2:8 "}, {"", "0:0 "},
                {a152 + "€bbbbbbbbbb", "1:152 2:12 "}, {a152 + "b€bbbbbbbbbb", "1:153 2:12 "},
                {z66 + "Жx", "0:68 "}, {z66 + "ЖЖЖЖЖ", "1:67 2:4 "}, {z66 + "😀ЖЖЖ", "1:66 2:5 "},
                {std::string(153 * 255, 'a'), parts255}, {std::string(153 * 255 + 1, 'a'), ""},
                {"\xC3(", ""}, {"\xC0\xAF", ""}, {"\xED\xA0\x80", ""}, {"\xF4\x90\x80\x80", ""},
                {"x", "0:1 ", {.to = "12345678901234567890"}}, {"x", "", {.to = "123456789012345678901"}},
                {"x", "0:1 ", {.to = "Eleven char"}}, {"x", "", {.to = "Twelve chars"}}};
    for (Row& r : rows) {
        std::string parts, joined, error;
        std::vector<SubmitPdu> pdus;
        r.o.to = r.o.to.empty() ? "+4917012345" : r.o.to;
        BuildSubmit(r.text, r.o, &pdus, &error);
        for (const SubmitPdu& p : pdus) {
            Message m;
            std::string tiling;
            Read(Hex(p.octets), &m, &tiling);
            parts += std::to_string(m.part) + ":" + std::to_string(m.septets.size() + m.units.size() + m.data.size()) + " ";
            joined += r.o.data8 ? std::string(m.data.begin(), m.data.end()) : m.text;
        }
        EXPECT_EQ(parts + joined, r.parts + (r.parts.empty() ? "" : r.text)) << r.text.substr(0, 20) << " to " << r.o.to;
    }
    const char* durations[][2] = {  // the octet and the duration it stands for; "" when refused
        {"4m", "0 5m"},      {"6m", "1 10m"},     {"12h", "143 12h"}, {"12h1m", "144 12h30m"}, {"24h", "167 1d"},
        {"25h", "168 2d"},   {"1d12h", "168 2d"}, {"30d", "196 30d"}, {"31d", "197 5w"},       {"63w", "255 63w"},
        {"64w", ""},         {"0m", ""},          {"7", ""},          {"7x", ""},              {"", ""}};
    for (const auto& r : durations) {
        int octet = -1;
        bool ok = ValidityFromDuration(r[0], &octet);
        EXPECT_EQ(ok ? std::to_string(octet) + " " + DurationText(octet) : "", r[1]) << r[0];
    }
}

// Recipients as people write them, and the times an absolute validity takes: what the PDU carries, or the reason.
TEST(Sms, ReadsRecipientsAndTimes) {
    const char* recipients[][2] = {
        {"0171 1234", "01711234"}, {"+49 (0)171 123-45.67", "+491711234567"}, {"(0171) 1234", "01711234"},
        {"+44 (0) 20 7946", "+44207946"}, {" 1 ", "1"}, {"Shop 1", "Shop 1"}, {"1+2", "!a '+' may only start the number"},
        {"0171/1234", "!'/' stands where only a digit can"}, {"-0171", "!'-' stands where only a digit can"}, {"0171-", "!'-' ends the number"},
        {"(0171 1234", "!a parenthesis is not closed"}, {"0171 ()1", "!')' stands where only a digit can"}, {"+", "!0 digits: a number has 1 to 20"},
        {"123456789012345678901", "!21 digits: a number has 1 to 20"}, {"Twelve chars", "!a name has 1 to 11 characters of the GSM 7-bit alphabet"}};
    for (const auto& r : recipients) {
        std::string out, why;
        EXPECT_EQ(RecipientFromText(r[0], &out, &why) ? out : "!" + why, r[1]) << r[0];
    }
    const char* times[][2] = {
        {"2026-12-24T18:00+01:00", "2026-12-24T18:00:00+01:00"}, {"2089-12-31T23:59:59Z", "2089-12-31T23:59:59+00:00"},
        {"1990-01-01T00:00-05:30", "1990-01-01T00:00:00-05:30"}, {"2026-12-24T18:00+01:10", "!a message carries a time zone in whole quarter hours, up to 19:45"},
        {"2026-12-24T18:00+20:00", "!a message carries a time zone in whole quarter hours, up to 19:45"}, {"2090-01-01T00:00Z", "!a message carries the years 1990 to 2089"},
        {"2026-02-29T18:00Z", "!there is no such date and time"}, {"2026-12-24T24:00Z", "!there is no such date and time"},
        {"2026-12-24 18:00Z", "!give the time as 2026-12-24T18:00+01:00 (seconds optional)"}, {"2026-12-24T18:00", "!give the time zone as +HH:MM, -HH:MM or Z"}};
    for (const auto& r : times) {
        Timestamp t;
        std::string why;
        EXPECT_EQ(TimestampFromIso(r[0], &t, &why) ? t.Iso() : "!" + why, r[1]) << r[0];
    }
}
