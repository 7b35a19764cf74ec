#include <gtest/gtest.h>

#include "sms/pdu.h"

using namespace sms;

namespace {

// A message in one line (SMSC, address, time, validity, coding, data, class, header, status, text), or its error.
std::string Read(const std::string& hex, Message* m) {
    Bytes pdu;
    ParseError e;
    if (!ParseHex(hex, &pdu, &e) || !ParsePdu(pdu, true, m, &e)) return "@" + std::to_string(e.offset) + " " + e.what;
    std::string s = m->smsc.text + " " + m->address.text;
    auto add = [&s](bool when, const std::string& field) { s += when ? " " + field : ""; };
    auto n = [](int v) { return std::to_string(v); };
    add(m->type != MessageType::Submit, m->time.Iso());
    add(m->validityFormat == 2, DurationText(m->validity));
    add(m->coding != Coding::Gsm7, CodingName(m->coding) + (m->data.empty() ? "" : " " + Hex(m->data)));
    add(m->messageClass >= 0, "class " + n(m->messageClass));
    add(m->concatRef >= 0, "part " + n(m->part) + "/" + n(m->parts) + " of " + n(m->concatRef));
    add(m->destPort >= 0, "ports " + n(m->destPort) + "/" + n(m->sourcePort));
    add(m->status >= 0, "status " + n(m->status));
    return s + " '" + m->text + "'";
}

}  // namespace

// Published examples (the first three) and hand-checked ones, each SMS-SUBMIT rebuilt exactly from what is read;
// all fields (lone and unknown escapes, a reserved coding, unpaired surrogates, lower-case hex); all bad input classes.
TEST(Sms, ReadsWorkedExamplesAndRefusesBadInput) {
    struct Row {
        std::string hex, read;  // read: the line, or the start of the error
        bool build = false;
    } rows[] = {
        {"07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37",
         "+27381000015 27838890001 1999-03-29T15:16:59+02:00 'hellohello'"},
        {"07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07",
         "+31624000000 +31641600986 2002-08-26T19:37:41+00:00 'How are you?'"},  // zone 08: sign bit, zero quarters
        {"0011000B916407281553F80000AA0AE8329BFD4697D9EC37", " +46708251358 4d 'hellohello'", true},
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
        {"001", "@2 odd number of hex digits"}, {"00 1G", "@4 'G' is not a hex digit"}, {"0003", "@1 unknown message"},
        {"0791", "@0 SMSC length 7 points past the data"}, {"0C91", "@0 SMSC length 12 is too long"},
        {"000100168100", "@3 destination length 22 is too long"}, {"0001000A91947110", "@3 destination length 10 "},
        {"0001000A91947F10325400000141", "@6 invalid semi-octet F"},
        {"0004028100006231707155924000", "@7 timestamp is not a date"},
        {"0004028100000062F1707155924000", "@8 invalid semi-octet in the timestamp"},
        {"0001000A9194711032540000050102", "@12 user data length 5 needs 5 octets, 2 are left"},
        {"0041000A919471103254000000", "@12 a header is announced but the user data is empty"},
        {"0041000A919471103254000403050000", "@13 header of 6 octets is longer than the user data (3 octets)"},
        {"0041000A9194711032540000050400020000", "@13 header of 5 octets is longer than the user data (5 septets)"},
        {"0041000A91947110325400040403000500", "@14 header element 00 runs past the end of the header"},
        {"0001000A919471103254000803004100", "@15 UCS-2 text of 3 octets ends in half a character"},
        {"0001000A9194711032540004010203", "@14 the data goes on past the end of the message"}};
    for (const Row& r : rows) {
        Message m;
        std::vector<SubmitPdu> pdus;
        std::string error;
        EXPECT_EQ(Read(r.hex, &m).substr(0, r.read.size()), r.read) << r.hex;
        SubmitOptions o{m.address.text, m.smsc.text, (m.firstOctet & 0x20) != 0, m.messageClass == 0,
                        m.coding == Coding::Ucs2, m.validityFormat == 2 ? m.validity : -1, m.concatRef};
        EXPECT_TRUE(!r.build || (BuildSubmit(m.text, o, &pdus, &error) && Hex(pdus.at(0).octets) == r.hex)) << r.hex;
    }
}

// Parts of 160/153 septets, 70/67 UCS-2 units, never splitting an escape or a surrogate pair; bad UTF-8, a bad
// address and more than 255 parts refused; validity rounded up within the four ranges.
TEST(Sms, BuildsPartsAndValidity) {
    std::string a152(152, 'a'), z66 = std::string(65, 'z') + "Ж", parts255;  // z66: 66 UCS-2 units
    for (int i = 1; i <= 255; ++i) parts255 += std::to_string(i) + ":153 ";
    struct Row {
        std::string text, parts;  // part:size of each; "" when refused
        const char* to = "+4917012345";
    } rows[] = {{std::string(160, 'a'), "0:160 "}, {std::string(161, 'a'), "1:153 2:8 "}, {"", "0:0 "},
                {a152 + "€bbbbbbbbbb", "1:152 2:12 "}, {a152 + "b€bbbbbbbbbb", "1:153 2:12 "},
                {z66 + "Жx", "0:68 "}, {z66 + "ЖЖЖЖЖ", "1:67 2:4 "}, {z66 + "😀ЖЖЖ", "1:66 2:5 "},
                {std::string(153 * 255, 'a'), parts255}, {std::string(153 * 255 + 1, 'a'), ""},
                {"\xC3(", ""}, {"\xC0\xAF", ""}, {"\xED\xA0\x80", ""}, {"\xF4\x90\x80\x80", ""},
                {"x", "0:1 ", "12345678901234567890"}, {"x", "", "123456789012345678901"},
                {"x", "0:1 ", "Eleven char"}, {"x", "", "Twelve chars"}};
    for (const Row& r : rows) {
        std::string parts, joined, error;
        std::vector<SubmitPdu> pdus;
        BuildSubmit(r.text, SubmitOptions{r.to, "", false, false, false, -1, -1}, &pdus, &error);
        for (const SubmitPdu& p : pdus) {
            Message m;
            Read(Hex(p.octets), &m);
            parts += std::to_string(m.part) + ":" + std::to_string(m.septets.size() + m.units.size()) + " ";
            joined += m.text;
        }
        EXPECT_EQ(parts + joined, r.parts + (r.parts.empty() ? "" : r.text)) << r.text.substr(0, 20) << " to " << r.to;
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
