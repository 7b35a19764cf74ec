#include <gtest/gtest.h>

#include "sms/national_tables.h"
#include "sms/pdu.h"

using namespace sms;

namespace {

const char kTo[] = "+4917012345";

// The tables a message's header names ("locking/single" identifiers).
std::string Tables(const Message& m) { return std::to_string(m.shift.locking) + "/" + std::to_string(m.shift.single); }

// Sends `text` with --lang `language`: the tables of the first part and the septets of each ("1:149 2:7"), or
// "UCS-2"; *joined is what the parts read back as.
std::string Send(const std::string& text, int language, std::string* joined, int destPort = -1) {
    std::vector<SubmitPdu> pdus;
    std::string error, parts;
    if (!BuildSubmit(text, {.to = kTo, .destPort = destPort, .language = language}, &pdus, &error)) return error;
    std::vector<Message> read(pdus.size());
    std::vector<SeptetPart> septets;
    for (size_t i = 0; i < pdus.size(); ++i) {
        ParseError e;
        if (!ParsePdu(pdus[i].octets, true, &read[i], &e)) return e.what;
        if (read[i].coding == Coding::Ucs2) return "UCS-2";
        septets.push_back({&read[i].septets, read[i].shift});
        parts += " " + std::to_string(read[i].part) + ":" + std::to_string(read[i].septets.size());
    }
    *joined = JoinedSeptetsToUtf8(septets);
    return Tables(read[0]) + parts;
}

}  // namespace

// PDUs checked by hand field by field (SMSC, first octet, reference, destination, PID, DCS, length, header, text),
// each read back; those with a language are also what submit --lang builds from the text. Tables are given as
// "locking/single" identifiers: 1 Turkish, 2 Spanish, 3 Portuguese, 4 Bengali, 6 Hindi, 11 Tamil.
TEST(Language, ReadsAndBuildsHandCheckedPdus) {
    struct Row {
        const char* lang;  // nullptr: read only
        std::string hex, tables, text;
    } rows[] = {
        {"tr", "00 41 00 0A91 9471103254 00 00 08 03250101 5870C2", "1/-1", "ĞŞa"},
        {"tr", "00 41 00 0A91 9471103254 00 00 08 03240101 D8CC09", "-1/1", "şè"},  // è: not in the locking table
        {"es", "00 41 00 0A91 9471103254 00 00 18 03240102 6886FB6177980552BEE705D026E83E97D9", "-1/2",
         "Mañana, José Ángel"},
        {"auto", "00 41 00 0A91 9471103254 00 00 28 06240103250103 49B7F92D6F8713FCF29C050A27F8E539A80C2AB7DF097E79AE036D24",
         "3/3", "Informações, ações e emoções: Φ"},
        {"hi", "00 41 00 0A91 9471103254 00 00 11 06240106250106 2F21F37BCA823621", "6/6", "नमस्ते ५"},
        // '*' and '¡' stand twice in the Tamil single shift table: the lower codes (1B 0B, 1B 13).
        {"ta", "00 41 00 0A91 9471103254 00 00 0D 0624010B25010B A7CD623301", "11/11", "த*¡"},
        // Reserved identifier 14: the default extension table (1B 65 61).
        {nullptr, "00 41 00 0A91 9471103254 00 00 08 0324010E D894C3", "-1/14", "€a"},
        // Codes the Turkish single shift table lacks read from the locking table in use (1B 04, 1B 41); an escape
        // after an escape and a final lone one read as spaces.
        {nullptr, "00 41 00 0A91 9471103254 00 00 0F 06240101250101 1BC226B8D96C00", "1/1", "€A  "},
        {nullptr, "00 41 00 0A91 9471103254 00 00 07 03250104 608401", "4/-1", "\uFFFDa"},  // a hole in Bengali's
        {nullptr, "00 41 00 0A91 9471103254 00 00 07 03250102 081300", "2/-1", "aè"},  // Spanish has no locking table
        {nullptr, "00 41 00 0A91 9471103254 00 00 0A 06240101240102 9B20", "-1/2", "Á"},  // the last element counts
        {nullptr, "00 41 00 0A91 9471103254 00 08 06 03240101 0041", "-1/-1", "A"},  // UCS-2: no tables
    };
    for (const Row& r : rows) {
        Bytes pdu;
        ParseError e;
        Message m;
        EXPECT_TRUE(ParseHex(r.hex, &pdu, &e) && ParsePdu(pdu, true, &m, &e)) << r.hex << ": " << e.what;
        EXPECT_EQ(Tables(m) + " '" + m.text + "'", r.tables + " '" + r.text + "'") << r.hex;
        if (!r.lang) continue;
        std::vector<SubmitPdu> pdus;
        std::string error, hex = r.hex;
        hex.erase(std::remove(hex.begin(), hex.end(), ' '), hex.end());
        BuildSubmit(r.text, SubmitOptions{.to = kTo, .language = LanguageFromCode(r.lang)}, &pdus, &error);
        EXPECT_EQ(pdus.empty() ? error : Hex(pdus[0].octets), hex) << r.text;
    }
}

// Each kind of header at exactly the room of a part and one septet more; an escape pair that would straddle the end
// of a part goes whole to the next. Application ports share the header with the tables: 16-bit ports (6 octets),
// Turkish locking (3) and the length octet leave 148 septets in one part; with the concatenation element (5) 142.
TEST(Language, SplitsPartsByTheRoomTheirHeaderLeaves) {
    const int es = LanguageFromCode("es"), tr = LanguageFromCode("tr"), hi = LanguageFromCode("hi"), kWapPush = 2948;
    const std::string singleEs = "á", lockingTr = "ı", bothHi = "न५";  // 2, 1 and 3 septets
    struct Row {
        int language;
        std::string text, parts;
        int port = -1;
    } rows[] = {
        {es, singleEs + std::string(153, 'a'), "-1/2 0:155"},
        {es, singleEs + std::string(154, 'a'), "-1/2 1:149 2:7"},
        {tr, lockingTr + std::string(154, 'a'), "1/-1 0:155"},
        {tr, lockingTr + std::string(155, 'a'), "1/-1 1:149 2:7"},
        {hi, bothHi + std::string(149, 'a'), "6/6 0:152"},
        {hi, bothHi + std::string(150, 'a'), "6/6 1:146 2:7"},
        {es, std::string(148, 'a') + singleEs + std::string(10, 'a'), "-1/2 1:148 2:12"},
        {tr, lockingTr + std::string(147, 'a'), "1/-1 0:148", kWapPush},
        {tr, lockingTr + std::string(148, 'a'), "1/-1 1:142 2:7", kWapPush},
    };
    for (const Row& r : rows) {
        std::string joined;
        EXPECT_EQ(Send(r.text, r.language, &joined, r.port), r.parts)
            << r.text.substr(0, 12) << "... of " << r.text.size();
        EXPECT_EQ(joined, r.text) << r.parts;
    }
}

// The tables --lang picks ("locking/single" identifiers): the fewest parts, then the most septets left, then the
// default tables, a single shift table alone, a locking table alone, both, lower identifiers first.
TEST(Language, PicksTheTablesWithTheFewestParts) {
    struct Row {
        const char* lang;
        std::string text, tables;
    } rows[] = {
        {"auto", "Hello", "-1/-1"},
        {"auto", "Çok güzel! İyi akşamlar, Ayşe.", "1/-1"},
        {"auto", "Año árbol", "-1/2"},  // Portuguese's single shift table carries it as well, in as many septets
        {"auto", "Ações e emoções: Φ", "-1/3"},
        {"auto", "Informações, ações e emoções: Φ", "3/3"},
        {"auto", "नमस्ते ५", "6/6"},
        {"auto", "আমি ভালো আছি।", "4/5"},  // the danda is in Gujarati's single shift table, not in Bengali's
        {"auto", "ş क", "6/1"},
        {"auto", "سلام، آپ کیسے ہیں؟", "13/13"},
        {"auto", Utf16ToUtf8(std::vector<uint16_t>(160, u'€')), "1/-1"},  // 2 parts, where the default alphabet takes 3
        {"auto", "Привет", "UCS-2"},
        {"es", "Hello", "-1/-1"},  // nothing gained from the Spanish table
        {"TR", "ş", "1/-1"},  // codes in either case
        {"es", "ş", "UCS-2"},
    };
    for (const Row& r : rows) {
        std::string joined, sent = Send(r.text, LanguageFromCode(r.lang), &joined);
        EXPECT_EQ(sent.substr(0, sent.find(' ')), r.tables) << r.lang << " " << r.text;
    }
}

// An escape that ends a part (as some phones split them) takes its partner from the next part and is read with the
// single shift table of its own part.
TEST(Language, ReadsAnEscapeSplitAcrossPartsWithItsOwnPartsTables) {
    Bytes first{0x61, 0x1B}, second{0x47, 0x61};
    EXPECT_EQ(JoinedSeptetsToUtf8({{&first, ShiftTables{-1, 1}}, {&second, ShiftTables()}}), "aĞa");
}
