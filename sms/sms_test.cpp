#include <gtest/gtest.h>

#include "sms/pdu.h"

using namespace sms;

namespace {

Message Parse(const std::string& hex) {
    Bytes pdu;
    ParseError e;
    Message m;
    EXPECT_TRUE(ParseHex(hex, &pdu, &e) && ParsePdu(pdu, true, &m, &e)) << hex << ": " << e.what;
    return m;
}

std::vector<SubmitPdu> Build(const std::string& text, const std::string& to, int validity = -1) {
    SubmitOptions o;
    o.to = to;
    o.validity = validity;
    std::vector<SubmitPdu> out;
    std::string error;
    EXPECT_TRUE(BuildSubmit(text, o, &out, &error)) << error;
    return out;
}

}  // namespace

// Published examples (the first three), and ones checked by hand; the builder must give each SMS-SUBMIT exactly.
TEST(Sms, WorkedExamples) {
    struct Row {
        const char *hex, *smsc, *address, *time, *text;
    } rows[] = {
        {"07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37", "+27381000015", "27838890001",
         "1999-03-29T15:16:59+02:00", "hellohello"},
        {"07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07", "+31624000000",
         "+31641600986", "2002-08-26T19:37:41+00:00", "How are you?"},  // zone 08: sign bit, zero quarters
        {"0011000B916407281553F80000AA0AE8329BFD4697D9EC37", "", "+46708251358", "", "hellohello"},
        {"0001000A9194711032540008060416D83DDE00", "", "+4917012345", "", "Ж😀"},
        {"0001000A9194711032540000029B32", "", "+4917012345", "", "€"},  // escape 1B 65
        {"00040BD0C3B09C7D9A0300006221707155920A05C8329BFD06", "", "Carl's", "2026-12-07T17:55:29-05:00", "Hello"},
    };
    for (const Row& r : rows) {
        Message m = Parse(r.hex);
        EXPECT_EQ(m.smsc.text + "|" + m.address.text + "|" + m.text, std::string(r.smsc) + "|" + r.address + "|" + r.text);
        EXPECT_EQ(*r.time ? m.time.Iso() : "", r.time);
        if (m.type == MessageType::Submit) {
            EXPECT_EQ(Hex(Build(r.text, r.address, m.validityFormat == 2 ? m.validity : -1)[0].octets), r.hex);
        }
    }
    EXPECT_EQ(Parse(rows[2].hex).validity, 0xAA);  // 4 days
}

// Part sizes: 160/153 septets, 70/67 units, and no escape or surrogate pair split.
TEST(Sms, PartBoundaries) {
    std::string a152(152, 'a'), b10(10, 'b'), z66;
    for (int i = 0; i < 66; ++i) z66 += "Ж";
    struct Row {
        std::string text;
        std::vector<size_t> parts;  // septets or UCS-2 units of each part
    } rows[] = {{std::string(160, 'a'), {160}}, {std::string(161, 'a'), {153, 8}}, {a152 + "€" + b10, {152, 12}},
                {a152 + "b€" + b10, {153, 12}}, {z66 + "Жx", {68}}, {z66 + "ЖЖЖЖЖ", {67, 4}},
                {z66 + "😀ЖЖЖ", {66, 5}}, {"", {0}}};
    for (const Row& r : rows) {
        std::vector<SubmitPdu> pdus = Build(r.text, "+4917012345");
        ASSERT_EQ(pdus.size(), r.parts.size()) << r.text;
        std::string joined;
        for (size_t i = 0; i < pdus.size(); ++i) {
            Message m = Parse(Hex(pdus[i].octets));
            EXPECT_EQ(m.coding == Coding::Gsm7 ? m.septets.size() : m.units.size(), r.parts[i]) << r.text;
            EXPECT_EQ(m.part, pdus.size() > 1 ? static_cast<int>(i + 1) : 0);
            EXPECT_EQ(pdus[i].tpduLength, pdus[i].octets.size() - 1);
            joined += m.text;
        }
        EXPECT_EQ(joined, r.text);
    }
}

TEST(Sms, ValidityRoundsUpWithinTheFourRanges) {
    struct Row {
        const char *duration, *shown;  // shown "": refused
        int octet;
    } rows[] = {{"4m", "5m", 0},     {"6m", "10m", 1},  {"12h", "12h", 143}, {"12h1m", "12h30m", 144}, {"24h", "1d", 167},
                {"25h", "2d", 168},  {"1d12h", "2d", 168}, {"30d", "30d", 196}, {"31d", "5w", 197}, {"63w", "63w", 255},
                {"64w", "", 0},      {"0m", "", 0},    {"7", "", 0},        {"7x", "", 0},           {"", "", 0}};
    for (const Row& r : rows) {
        int octet = -1;
        EXPECT_EQ(ValidityFromDuration(r.duration, &octet), *r.shown != 0) << r.duration;
        if (*r.shown) {
            EXPECT_EQ(std::to_string(octet) + " " + DurationText(octet), std::to_string(r.octet) + " " + r.shown);
        }
    }
}

TEST(Sms, DecodingEdges) {
    EXPECT_EQ(SeptetsToUtf8({0x41, 0x1B}), "A ");              // a final lone escape
    EXPECT_EQ(SeptetsToUtf8({0x1B, 0x41, 0x1B, 0x1B}), "A ");  // unknown escapes
    EXPECT_EQ(Utf16ToUtf8({0xD83D, 0x41, 0xDE00}), "\xEF\xBF\xBD" "A\xEF\xBF\xBD");
    struct Dcs {
        int dcs, cls;
        Coding coding;
    } classes[] = {{0x10, 0, Coding::Gsm7},  {0xF1, 1, Coding::Gsm7},  {0xF6, 2, Coding::Data8}, {0x18, 0, Coding::Ucs2},
                   {0xE0, -1, Coding::Ucs2}, {0x0C, -1, Coding::Gsm7}, {0x20, -1, Coding::Compressed}};
    for (const Dcs& d : classes) {
        Message m = Parse("00010002810000" + Hex({static_cast<uint8_t>(d.dcs)}) + "00");
        EXPECT_TRUE(m.messageClass == d.cls && m.coding == d.coding) << d.dcs;
    }
    Message report = Parse("00062A0B919471103254F6622170715592406221707155434040060002C834");
    EXPECT_EQ(Hex({static_cast<uint8_t>(report.status)}) + report.text, "40Hi");
}

// Each bad input names its offset; nothing is returned for it.
TEST(Sms, BadInput) {
    struct Row {
        const char* hex;
        size_t offset;
        const char* what;
    } rows[] = {
        {"", 0, "no hex digits"}, {"001", 2, "odd number"}, {"00 1G", 4, "'G' is not"}, {"0003", 1, "unknown message type 3"},
        {"0001000A9194711032540000050102", 12, "user data length 5 needs 5 octets, 2 are left"},
        {"0001000A91947F10325400000141", 6, "invalid semi-octet F"},
        {"0004028100000062F1707155924000", 8, "invalid semi-octet in the timestamp"},
        {"0041000A919471103254000403050000", 13, "header of 6 octets is longer than the user data (3 octets)"},
        {"0041000A91947110325400040403000500", 14, "header element 00 runs past"},
        {"0001000A9194711032540004010203", 14, "goes on past the end"},
        {"000100168100", 3, "length 22 is too long"}, {"0C91", 0, "SMSC length 12 is too long"},
    };
    for (const Row& r : rows) {
        Bytes pdu;
        ParseError e;
        Message m;
        EXPECT_FALSE(ParseHex(r.hex, &pdu, &e) && ParsePdu(pdu, true, &m, &e)) << r.hex;
        EXPECT_EQ(e.offset, r.offset) << r.hex;
        EXPECT_NE(e.what.find(r.what), std::string::npos) << r.hex << ": " << e.what;
    }
    std::vector<SubmitPdu> out;
    std::string error;
    SubmitOptions o;
    o.to = "+4917012345";
    EXPECT_FALSE(BuildSubmit("\xC3(", o, &out, &error));                           // not UTF-8
    EXPECT_FALSE(BuildSubmit(std::string(153 * 255 + 1, 'a'), o, &out, &error));  // 256 parts
    EXPECT_TRUE(BuildSubmit(std::string(153 * 255, 'a'), o, &out, &error));
    o.to = "Twelve chars";
    EXPECT_FALSE(BuildSubmit("x", o, &out, &error));
}
