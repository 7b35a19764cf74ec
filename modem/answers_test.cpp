// Reading what modems send: lines and the prompt, final results and their
// codes, value lists of test commands, stored-message listings.
#include <gtest/gtest.h>

#include "modem/error_codes.h"
#include "modem/final_result.h"
#include "modem/indications.h"
#include "modem/line_reader.h"
#include "modem/storage.h"
#include "modem/ussd.h"
#include "modem/value_list.h"

namespace modem {
namespace {

// Everything a reader gives for `bytes` fed at once, a prompt shown as "<prompt>".
std::vector<std::string> Outputs(const std::string& bytes) {
    LineReader reader;
    reader.Feed(bytes.data(), bytes.size());
    std::vector<std::string> got;
    ModemOutput out;
    while (reader.Next(&out)) got.push_back(out.kind == ModemOutput::Prompt ? "<prompt>" : out.text);
    return got;
}

using Lines = std::vector<std::string>;

TEST(LineReader, SplitsOnEitherLineEndAndDropsEmptyLines) {
    EXPECT_EQ((Lines{"AT", "OK", "+CSQ: 1,2"}), Outputs("AT\r\r\nOK\r\n\n+CSQ: 1,2\n"));
}
TEST(LineReader, KeepsAPartialLineUntilItsEnd) { EXPECT_EQ(Lines{}, Outputs("\r\n+CMGL: 1,0,,2")); }
TEST(LineReader, DropsNulBytes) { EXPECT_EQ(Lines{"OK"}, Outputs(std::string("\r\nO\0K\r\n", 7))); }
TEST(LineReader, PromptWithSpace) { EXPECT_EQ(Lines{"<prompt>"}, Outputs("\r\n> ")); }
TEST(LineReader, PromptWithoutSpace) { EXPECT_EQ(Lines{"<prompt>"}, Outputs("\r\n>")); }
TEST(LineReader, AGreaterSignThatGoesOnIsNoPrompt) { EXPECT_EQ(Lines{}, Outputs("\r\n>x")); }
TEST(LineReader, CutsAnEndlessLine) {
    Lines got = Outputs(std::string(LineReader::kLongestLine + 5, 'A') + "\r\n");
    ASSERT_EQ(2u, got.size());
    EXPECT_EQ(LineReader::kLongestLine, got[0].size());
    EXPECT_EQ("AAAAA", got[1]);
}

struct FinalCase {
    const char* line;
    FinalResult::Kind kind;
    int code;
};
class FinalResultTest : public ::testing::TestWithParam<FinalCase> {};
TEST_P(FinalResultTest, Reads) {
    FinalResult r = ReadFinalResult(GetParam().line);
    EXPECT_EQ(GetParam().kind, r.kind) << GetParam().line;
    EXPECT_EQ(GetParam().code, r.code) << GetParam().line;
}
INSTANTIATE_TEST_SUITE_P(
    Lines, FinalResultTest,
    ::testing::Values(FinalCase{"OK", FinalResult::Ok, -1}, FinalCase{"OK  ", FinalResult::Ok, -1},
                      FinalCase{"ERROR", FinalResult::Error, -1},
                      FinalCase{"+CMS ERROR: 500", FinalResult::CmsError, 500},
                      FinalCase{"+CMS ERROR:330", FinalResult::CmsError, 330},
                      FinalCase{"+CME ERROR: 14", FinalResult::CmeError, 14},
                      FinalCase{"+CME ERROR: SIM busy", FinalResult::CmeError, 14},
                      FinalCase{"+CME ERROR: incorrect password", FinalResult::CmeError, 16},
                      FinalCase{"+CMS ERROR: (U)SIM busy", FinalResult::CmsError, 314},
                      FinalCase{"+CMS ERROR: Unknown Error", FinalResult::CmsError, 500},
                      FinalCase{"+CME ERROR: no such words", FinalResult::CmeError, -1},
                      FinalCase{"+CMGS: 17", FinalResult::None, -1}, FinalCase{"OKAY", FinalResult::None, -1},
                      FinalCase{"", FinalResult::None, -1}));

struct MeaningCase {
    ErrorFamily family;
    int code;
    const char* words;
};
class ErrorMeaningTest : public ::testing::TestWithParam<MeaningCase> {};
TEST_P(ErrorMeaningTest, Names) { EXPECT_EQ(GetParam().words, ErrorMeaning(GetParam().family, GetParam().code)); }
INSTANTIATE_TEST_SUITE_P(
    Codes, ErrorMeaningTest,
    ::testing::Values(MeaningCase{ErrorFamily::Cms, 500, "unknown error"},
                      MeaningCase{ErrorFamily::Cms, 304, "invalid PDU mode parameter"},
                      MeaningCase{ErrorFamily::Cms, 330, "SMSC address unknown"},
                      MeaningCase{ErrorFamily::Cms, 42, "congestion"},
                      MeaningCase{ErrorFamily::Cms, 0xC5, "SM rejected-duplicate SM"},
                      MeaningCase{ErrorFamily::Cms, 0x93, "TP-DCS error"},
                      MeaningCase{ErrorFamily::Cms, 0xE5, "error specific to the SC"},
                      MeaningCase{ErrorFamily::Cms, 3, "network cause, unspecified"},
                      MeaningCase{ErrorFamily::Cms, 600, "manufacturer specific"},
                      MeaningCase{ErrorFamily::Cms, 400, "reserved"},
                      MeaningCase{ErrorFamily::Cme, 14, "SIM busy"},
                      MeaningCase{ErrorFamily::Cme, 515,
                                  "please wait, initialisation or command processing in progress"},
                      MeaningCase{ErrorFamily::Cme, 600, "manufacturer specific"},
                      MeaningCase{ErrorFamily::Cme, 60, "reserved"}));

TEST(ValueLists, QuotedNamesGiveEmptySets) {
    EXPECT_EQ((std::vector<std::set<int>>{{}, {1}}), ReadValueLists("(\"SM\",\"ME\"),(1)"));
}

Answer Offer(const std::string& line) {
    Answer a;
    a.lines = {line};
    a.result.kind = FinalResult::Ok;
    return a;
}

struct CnmiCase {
    const char* source;
    const char* offer;
    const char* chosen;  // empty: none
};
class IndicationTest : public ::testing::TestWithParam<CnmiCase> {};
TEST_P(IndicationTest, Chooses) {
    IndicationSetting s;
    bool chosen = ChooseIndications(Offer(GetParam().offer), &s);
    EXPECT_EQ(GetParam().chosen, chosen ? s.Command() : "") << GetParam().source;
}
INSTANTIATE_TEST_SUITE_P(
    Modems, IndicationTest,
    ::testing::Values(
        // The offers as these modems' AT command manuals print them.
        CnmiCase{"SIM800 manual V1.09 4.2.8", "+CNMI: (0-3),(0-3),(0,2),(0,1),(0,1)", "AT+CNMI=2,1,0,1,0"},
        CnmiCase{"Enfora GSM1308 manual 2.2.3.1", "+CNMI: (0-2), (0-3), (0,2), (0,1), (0,1)", "AT+CNMI=2,1,0,1,0"},
        CnmiCase{"27.005 3.4.1 in full", "+CNMI: (0-3),(0-3),(0-3),(0-2),(0,1)", "AT+CNMI=2,1,0,2,0"},
        CnmiCase{"nRF91 (mode 3, mt 2 only)", "+CNMI: (0,3),(0,2),(0),(0,1),(1)", "AT+CNMI=3,2,0,1,1"},
        CnmiCase{"no mt at all", "+CNMI: (0-2),(0)", ""}));

TEST(Acknowledgement, WantedUnderService1Only) {
    EXPECT_TRUE(NeedsAcknowledgement(Offer("+CSMS: 1,1,1,1")));
    EXPECT_FALSE(NeedsAcknowledgement(Offer("+CSMS: 0,1,1,1")));
}

TEST(Listing, ReadsIndexStatusLengthAndPdu) {
    Answer a = Offer("+CMGL: 3,1,,5");
    a.lines.push_back("0011223344");
    a.lines.push_back("+CMGL: 12,0,\"Mum\",2");
    a.lines.push_back("0102");
    std::vector<StoredPdu> got = ReadListing(a, true);
    ASSERT_EQ(2u, got.size());
    EXPECT_EQ(3, got[0].index);
    EXPECT_EQ(kReceivedRead, got[0].status);
    EXPECT_EQ(5, got[0].length);
    EXPECT_EQ("0011223344", got[0].hex);
    EXPECT_EQ(12, got[1].index);
    EXPECT_EQ(kReceivedUnread, got[1].status);
    EXPECT_EQ("0102", got[1].hex);
    EXPECT_EQ("", got[1].fault);
}
TEST(Listing, ALineWithoutItsPduIsAFault) {
    Answer a = Offer("+CMGL: 3,1,,5");
    a.lines.push_back("+CMGL: 4,1,,5");
    a.lines.push_back("0011223344");
    std::vector<StoredPdu> got = ReadListing(a, true);
    ASSERT_EQ(2u, got.size());
    EXPECT_EQ("no PDU after its +CMGL: line", got[0].fault);
    EXPECT_EQ("", got[1].fault);
}
TEST(DeleteFlags, OfferedOrNot) {
    EXPECT_TRUE(OffersDeleteFlag(Offer("+CMGD: (1-20),(0-4)"), kDeleteRead));
    EXPECT_FALSE(OffersDeleteFlag(Offer("+CMGD: (1-20)"), kDeleteRead));
    EXPECT_FALSE(OffersDeleteFlag(Offer("+CMGD: (1-20),(0)"), kDeleteAll));
}

struct PackCase {
    const char* text;
    const char* hex;
};
class UssdPackTest : public ::testing::TestWithParam<PackCase> {};
TEST_P(UssdPackTest, Packs) {
    std::string hex, why;
    ASSERT_TRUE(PackUssd(GetParam().text, &hex, &why));
    EXPECT_EQ(GetParam().hex, hex);
}
INSTANTIATE_TEST_SUITE_P(
    Codes, UssdPackTest,
    ::testing::Values(PackCase{"*100#", "AA180C3602"},            // packed by hand, bit by bit
                      PackCase{"1234567", "31D98C56B3DD1A"},      // seven spare bits: CR, not '@' (23.038 6.1.2.3.1)
                      PackCase{"1234567\r", "31D98C56B3DD1A0D"}));  // a wanted CR on the boundary: a second one

struct AnswerCase {
    const char* line;
    bool hex;
    int status;
    const char* text;
};
class UssdAnswerTest : public ::testing::TestWithParam<AnswerCase> {};
TEST_P(UssdAnswerTest, Reads) {
    UssdAnswer a;
    ASSERT_TRUE(ReadUssdAnswer(GetParam().line, GetParam().hex, &a));
    EXPECT_EQ(GetParam().status, a.status);
    EXPECT_EQ(GetParam().text, a.text);
}
INSTANTIATE_TEST_SUITE_P(
    Answers, UssdAnswerTest,
    ::testing::Values(AnswerCase{"+CUSD: 0,\"Guthaben: 5,00 EUR\",15", false, 0, "Guthaben: 5,00 EUR"},
                      AnswerCase{"+CUSD: 1,\"31D98C56B3DD1A\",15", true, 1, "1234567"},
                      AnswerCase{"+CUSD: 0,\"0414043B0443\",72", false, 0, "Длу"},
                      AnswerCase{"+CUSD: 4", false, 4, ""}));

}  // namespace
}  // namespace modem
