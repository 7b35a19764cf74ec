#include <gtest/gtest.h>

#include "sms/cbs.h"
#include "sms/pdu.h"
#include "sms/trace_test_support.h"

using namespace sms;

namespace {

// Contents of published pages. Android's GsmSmsCbTest (frameworks/base, telephony tests, 2010-2012): a 7-bit text
// with carriage return padding, one of exactly 93 characters, one led by the language "sv", UCS-2 ending in two
// padding carriage returns, UCS-2 led by the language "xx", and the two pages of its UMTS multipage test.
const std::string kAndroidPadded =
    "41D071DA0491CBE6709D4D0785D97074585CA683DAE5F93C7C2E83EE693A1A340ECBE5E9F0B90C9297E975B91B040F93C969F7B9"
    "D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D100";
const std::string kAndroidFull =
    "41D071DA0491CBE6709D4D0785D97074585CA683DAE5F93C7C2E83C4E5B4FB0C2AE3C3633A3B0FCACD406374581E1ED3CBF239"
    "88FD769F59A07639EC4EBBCF203ABA2C2F83D27390FB0D8287C9E4B4FB1C02";
const std::string kAndroidSwedish =
    "737B23083A4E9B2072D91CAEB3E9A0301B8E0E8BCB7450BB3C9F87CF65D03D4D4783C661B93C1D3E9741F232BD2E7783E06132"
    "39ED3E371A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D100";
const std::string kAndroidUcs2 =
    "0041002000550043005300320020006D00650073007300610067006500200063006F006E007400610069006E0069006E0067"
    "00200061002004340020006300680061007200610063007400650072000D000D";
const std::string kAndroidUcs2Language =
    "783C0041002000550043005300320020006D00650073007300610067006500200063006F006E007400610069006E0069006E"
    "006700200061002004340020006300680061007200610063007400650072000D";
const std::string kAndroidFirstPage =
    "C6B47C4E07C1C3E7F2AAD168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46"
    "A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D100";
const std::string kAndroidSecondPage =
    "D3F2F8ED2683E0E173B9D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46"
    "A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D100";
// sharetechnote.com, "PWS Message Identifier" (an LTE SIB12 of a CMAS presidential alert, serial number 3000, coding
// 01): its warning message segment is the UMTS form's pages.
const std::string kShareTechnoteSegment =
    "01C576597E2EBBC7F950A8D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46"
    "A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D1000A";

// 82 octets of content as hex: `header`, then `septets` after the fill bits it needs, carriage returns to the end.
std::string Septets(Bytes septets, Bytes header = {}) {
    int fill = header.empty() ? 0 : FillBits(header.size());
    septets.resize(((kCbsContentOctets - header.size()) * 8 - fill) / 7, 0x0D);
    PackSeptets(septets, fill, &header);
    return Hex(header);
}

// 82 octets of content: `hex`, then `fill` octets to the end.
std::string Content(std::string hex, const char* fill = "0D") {
    while (hex.size() < 2 * kCbsContentOctets) hex += fill;
    return hex;
}

// A page (or the UMTS form) in one line, or its error; *tiling says whether the fields read tile it.
std::string Read(const std::string& hex, bool umts, std::string* tiling) {
    Bytes pdu;
    ParseError e;
    Trace trace;
    std::vector<CbsMessage> pages(1);
    if (!ParseHex(hex, &pdu, &e)) return "hex: " + e.what;
    bool read = umts ? ParseCbsUmts(pdu, &pages, &e, &trace) : ParseCbsPage(pdu, &pages[0], &e, &trace);
    *tiling = Tiling(trace, pdu.size(), read, e.offset);
    if (!read) return "@" + std::to_string(e.offset) + " " + e.what;
    std::string s;
    for (const CbsMessage& m : pages) {
        auto n = [](int v) { return std::to_string(v); };
        s += (s.empty() ? "" : " + ") + n(m.geographicalScope) + "/" + n(m.messageCode) + "/" + n(m.updateNumber) +
             " #" + n(m.messageIdentifier) + " " + CodingName(m.coding.coding) +
             (m.language.empty() ? "" : " " + m.language) +
             (m.coding.messageClass >= 0 ? " class " + n(m.coding.messageClass) : "") +
             (m.header.empty() ? "" : " header " + n(m.header.size())) + " " + n(m.page) + "/" + n(m.pages) +
             (m.data.empty() ? " '" + m.text + "'" : " " + Hex(m.data.data(), 4) + ".." + n(m.data.size()));
    }
    return s;
}

}  // namespace

// Published pages (sources above, and gsmlib's tests/testcb.cc: two pages of channel 50, "City 01" and "DUO"), each
// coding group of 23.038 5, the UMTS form, and malformed pages refused with the offset; every one tiles.
TEST(Cbs, ReadsPublishedPagesEachCodingAndRefusesMalformedOnes) {
    const Bytes kHi = {0x48, 0x69};
    const std::string kPadded = "'A GSM default alphabet message with carriage return padding'";
    const std::string kUcs2 = "'A UCS2 message containing a д character'";
    const std::string kCity01 =
        "C3343D0F82C51A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D16834"
        "1A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D100";
    const std::string kDuo =
        "C4EAB3D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D16834"
        "1A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D100";
    struct Row {
        std::string hex, read;
        bool umts = false;
    } rows[] = {
        {"C000003240" "11" + kAndroidPadded, "3/0/0 #50 7-bit 1/1 " + kPadded},
        {"C000003240" "11" + kAndroidFull,
         "3/0/0 #50 7-bit 1/1 'A GSM default alphabet message being exactly 93 characters long, meaning there is no padding!'"},
        {"2AA5303940" "11" + kAndroidPadded, "0/682/5 #12345 7-bit 1/1 " + kPadded},
        {"C000003204" "11" + kAndroidPadded, "3/0/0 #50 7-bit es 1/1 " + kPadded},
        {"C000003210" "11" + kAndroidSwedish, "3/0/0 #50 7-bit sv 1/1 " + kPadded},
        {"C000003248" "11" + kAndroidUcs2, "3/0/0 #50 UCS-2 1/1 " + kUcs2},
        {"C000003211" "11" + kAndroidUcs2Language, "3/0/0 #50 UCS-2 xx 1/1 " + kUcs2},
        {"001000320111" + kCity01, "0/1/0 #50 7-bit en 1/1 'City 01'"},
        {"001000320111" + kDuo, "0/1/0 #50 7-bit en 1/1 'DUO'"},
        // The forum post of a Nokia 3650's +CBM: 88 (alt.cellular.nokia, 2004-01-23, "GSM Cell Broadcast - Info on PDU
        // Formats?") lost 7 octets of padding to its line breaks.
        {"011000320111C2327BFC76BBCBEE46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D168"
         "341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D100",
         "@6 a page is 88 octets, this one 81: the content is cut short"},
        {"C000000140" "22" + kAndroidSecondPage, "3/0/0 #1 7-bit 2/2 'Second page'"},
        {"01" "0001C00040" "02" + kAndroidFirstPage + "0A" + kAndroidSecondPage + "0A",
         "3/0/0 #1 7-bit 1/2 'First page+' + 3/0/0 #1 7-bit 2/2 'Second page'", true},
        {"01" "11123000" "01" + kShareTechnoteSegment, "0/768/0 #4370 7-bit en 1/1 'Emergency!!'", true},
        // Hand-made pages for the other groups: 0010 Russian, 0011 reserved, 1000 reserved, 1001 with a header, 1111.
        {"0000000123" "11" + Septets(kHi), "0/0/0 #1 7-bit ru 1/1 'Hi'"},
        {"0000000130" "11" + Septets(kHi), "0/0/0 #1 7-bit 1/1 'Hi'"},
        {"0000000185" "11" + Septets(kHi), "0/0/0 #1 7-bit 1/1 'Hi'"},
        {"0000000191" "11" + Septets({0x1B, 0x47, 0x1B, 0x53, 0x61}, {0x03, 0x24, 0x01, 0x01}),
         "0/0/0 #1 7-bit class 1 header 4 1/1 'ĞŞa'"},
        {"00000001F5" "11" + Content("ABCD", "00"), "0/0/0 #1 8-bit class 1 1/1 ABCD0000..82"},
        {"0000000190" "11" + Content("51704F", "00"), "0/0/0 #1 7-bit class 0 header 82 1/1 ''"},  // no text after it
        {"00000001F0" "11" + Septets(kHi), "0/0/0 #1 7-bit 1/1 'Hi'"},
        {"00000001" "01" "00" + Septets(kHi), "0/0/0 #1 7-bit en 1/1 'Hi'"},  // page 0 of 0: one page
        {"0000000101" "32" + Septets(kHi), "@5 page 3 of 2: the page is past the last"},
        {"000000", "@2 message identifier is missing: the data ends here"},
        {"0000000101" "11" + Septets(kHi) + "00", "@88 a page is 88 octets, this one 89: the data goes on past it"},
        {"0000000195" "11" + Content("5200"), "@6 header of 83 octets is longer than the content (82 octets)"},
        {"0000000195" "11" + Content("0300050000"), "@7 header element 00 runs past the end of the header"},
        {"01" "0032C00010" "01" + Content("E8") + "01", "@7 the language the coding announces is missing: the content is too short",
         true},
        {"02" "0032C00040" "01" + kAndroidPadded + "34", "@0 message type 2 is not a CBS message (1)", true},
        {"01" "0032C00040" "10", "@6 16 pages: a message has 1 to 15", true},
        {"01" "0032C00040" "02" + kAndroidPadded + "34", "@90 page 2 of 2 is missing: the data ends here", true},
        {"01" "0032C00040" "01" + kAndroidPadded + "53", "@89 information length 83 is longer than a page (82 octets)", true},
        {"01" "0032C00040" "01" + kAndroidPadded + "5200", "@90 the data goes on past the last page (1 more octets)", true},
    };
    for (const Row& r : rows) {
        std::string tiling;
        EXPECT_EQ(Read(r.hex, r.umts, &tiling), r.read) << r.hex;
        EXPECT_EQ(tiling, "tiles") << r.hex;
    }
}

// The pages of one message joined in page order, each once, whatever order they come in.
TEST(Cbs, JoinsPagesInOrder) {
    Bytes pdu;
    ParseError e;
    std::vector<CbsMessage> p;
    ASSERT_TRUE(ParseHex("010001C0004002" + kAndroidFirstPage + "0A" + kAndroidSecondPage + "0A", &pdu, &e));
    ASSERT_TRUE(ParseCbsUmts(pdu, &p, &e));
    ASSERT_EQ(p.size(), 2u);
    CbsMessage joined = JoinCbsPages({&p[1], &p[0], &p[1]});
    EXPECT_EQ(joined.text, "First page+Second page");
    EXPECT_EQ(joined.present, (std::vector<int>{1, 2}));
    EXPECT_EQ(JoinCbsPages({&p[1]}).present, std::vector<int>{2});
}

// What the octet view says of the fields of one page.
TEST(Cbs, RecordsTheFieldsByTheirNames) {
    Bytes pdu;
    ParseError e;
    CbsMessage m;
    Trace t;
    ASSERT_TRUE(ParseHex("2AA5303940" "11" + kAndroidPadded, &pdu, &e));
    ASSERT_TRUE(ParseCbsPage(pdu, &m, &e, &t));
    std::string fields;
    for (const Span& s : t.spans) fields += s.field + (s.InsideOctet() ? "" : " = " + s.meaning) + "; ";
    EXPECT_EQ(fields, "serial number = message code 682, update 5, cell wide, shown at once; geographical scope; "
                      "message code; message code; update number; message identifier = 12345: reserved for future use; "
                      "data coding scheme = 7-bit; coding group; compression; class meaning; alphabet; class; "
                      "page parameter = page 1 of 1; page; pages; content = 59 characters of 7-bit text, then 34 "
                      "carriage returns of padding; unused bits; ");
    ASSERT_EQ(t.characters.size(), 93u);
    EXPECT_EQ(t.characters[58].text + t.characters[58].note + "|" + t.characters[59].note, "g|padding");
}

// The names of the public warning identifiers, and of the ranges around them.
TEST(Cbs, NamesMessageIdentifiers) {
    struct Row {
        int id;
        std::string meaning;
    } rows[] = {
        {0x1100, "ETWS earthquake warning"}, {0x1103, "ETWS test"}, {0x1108, "public warning, reserved for future use"},
        {0x111F, "CMAS presidential alert (EU-Alert level 1), additional language"},
        {0x112B, "CMAS, operator defined use, additional language"}, {0x112C, "CMAS public safety alert (EU-Info)"},
        {0x112F, "CMAS state or local test, additional language"}, {999, "allocated by the GSMA"},
        {1000, "reserved for future use"}, {0xA000, "allocated by the operator, valid in the home network only"},
        {0xFFFF, "reserved, not to be used"},
    };
    for (const Row& r : rows) EXPECT_EQ(MessageIdentifierMeaning(r.id), r.meaning) << r.id;
}
