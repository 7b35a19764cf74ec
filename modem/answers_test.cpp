// Reading what modems send: final results and their codes, the offers of
// AT+CNMI=?, USSD strings. What the end-to-end cases against the fake modem
// already show (lines, prompts, listings, delete flags) is not repeated
// here; the fuzz target holds the line reader to its limits.
#include <gtest/gtest.h>

#include "modem/error_codes.h"
#include "modem/final_result.h"
#include "modem/indications.h"
#include "modem/ussd.h"

namespace modem {
namespace {

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
    ::testing::Values(FinalCase{"OK  ", FinalResult::Ok, -1}, FinalCase{"+CMS ERROR:330", FinalResult::CmsError, 330},
                      // Verbose (AT+CMEE=2, or firmware that ignores AT+CMEE=1): the words looked up, any case.
                      FinalCase{"+CMS ERROR: (U)SIM busy", FinalResult::CmsError, 314},
                      FinalCase{"+CMS ERROR: Unknown Error", FinalResult::CmsError, 500},
                      FinalCase{"+CME ERROR: no such words", FinalResult::CmeError, -1},
                      FinalCase{"+CMGS: 17", FinalResult::None, -1}, FinalCase{"OKAY", FinalResult::None, -1},
                      FinalCase{"", FinalResult::None, -1}));

// The lookup, not the table's texts: the family counts, and a code the table lacks falls in its range.
struct MeaningCase {
    ErrorFamily family;
    int code;
    const char* words;
};
class ErrorMeaningTest : public ::testing::TestWithParam<MeaningCase> {};
TEST_P(ErrorMeaningTest, Names) { EXPECT_EQ(GetParam().words, ErrorMeaning(GetParam().family, GetParam().code)); }
INSTANTIATE_TEST_SUITE_P(
    Codes, ErrorMeaningTest,
    ::testing::Values(MeaningCase{ErrorFamily::Cms, 10, "call barred"},
                      MeaningCase{ErrorFamily::Cms, 0x93, "TP-DCS error"},
                      MeaningCase{ErrorFamily::Cms, 3, "network cause, unspecified"},
                      MeaningCase{ErrorFamily::Cms, 600, "manufacturer specific"},
                      MeaningCase{ErrorFamily::Cms, 400, "reserved"},
                      MeaningCase{ErrorFamily::Cme, 600, "manufacturer specific"},
                      MeaningCase{ErrorFamily::Cme, 60, "reserved"}));

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
        CnmiCase{"Enfora GSM1308 manual 2.2.3.1", "+CNMI: (0-2), (0-3), (0,2), (0,1), (0,1)", "AT+CNMI=2,1,0,1,0"},
        CnmiCase{"nRF91 (mode 3, mt 2 only)", "+CNMI: (0,3),(0,2),(0),(0,1),(1)", "AT+CNMI=3,2,0,1,1"},
        CnmiCase{"no mt at all", "+CNMI: (0-2),(0)", ""}));

std::string Packed(const std::string& text) {
    std::string hex, why;
    EXPECT_TRUE(PackUssd(text, &hex, &why)) << why;
    return hex;
}
TEST(Ussd, SevenSpareBitsAreACarriageReturn) { EXPECT_EQ("31D98C56B3DD1A", Packed("1234567")); }  // 23.038 6.1.2.3.1
TEST(Ussd, AWantedCarriageReturnOnTheBoundaryGetsASecond) { EXPECT_EQ("31D98C56B3DD1A0D", Packed("1234567\r")); }
TEST(Ussd, Ucs2AnswerReadByItsCoding) {
    UssdAnswer a;
    ASSERT_TRUE(ReadUssdAnswer("+CUSD: 0,\"0414043B0443\",72", false, &a));
    EXPECT_EQ("Длу", a.text);
}

}  // namespace
}  // namespace modem
