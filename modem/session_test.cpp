// The AT dialogue against scripted modems, step by step. Answers are as real
// modems gave them; each script names its source.
#include <gtest/gtest.h>

#include "modem/scripted_stream_test_support.h"
#include "modem/session.h"

namespace modem {
namespace {

const std::string ESC = "\x1B", CR = "\r", OKL = "\r\nOK\r\n";
const int kLimitMs = 10000;

// The known-state sequence of a modem that wants no PIN, answering plainly.
std::vector<Step> PlainStart() {
    return {{ESC, ""},           {"AT\r", OKL},        {"ATE0\r", OKL}, {"AT+CMEE=1\r", OKL},
            {"AT+CPIN?\r", "\r\n+CPIN: READY\r\n" + OKL}, {"AT+CMGF=0\r", OKL}};
}

struct StartCase {
    const char* name;
    std::vector<Step> script;
    std::string pin;
    bool started;
    std::string why;
};

class StartTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartTest, FollowsTheScript) {
    const StartCase& c = GetParam();
    ScriptedStream modem(c.script);
    Session session(&modem, nullptr);
    session.busyPauseMs = 1000;
    StartOptions options;
    options.timeoutMs = kLimitMs;
    options.pin = c.pin;
    std::string why;
    EXPECT_EQ(c.started, session.Start(options, &why));
    EXPECT_EQ(c.why, why);
    EXPECT_EQ(std::vector<std::string>{}, modem.unexpected);
    EXPECT_TRUE(modem.AllSent());
}

const std::string kWantPin = "\r\n+CPIN: SIM PIN\r\n" + OKL;

INSTANTIATE_TEST_SUITE_P(
    Modems, StartTest,
    ::testing::Values(
        StartCase{"Plain", PlainStart(), "", true, ""},
        // Echo on until ATE0, as every modem starts (V.250 6.2.4); the echo is dropped, not taken for an answer.
        StartCase{"EchoOn",
                  {{ESC, ""}, {"AT\r", "AT\r\r\nOK\r\n"}, {"ATE0\r", "ATE0\r\r\nOK\r\n"}, {"AT+CMEE=1\r", OKL},
                   {"AT+CPIN?\r", "\r\n+CPIN: READY\r\n" + OKL}, {"AT+CMGF=0\r", OKL}},
                  "", true, ""},
        // Huawei E1752 (gammu issue 126, 138): ^RSSI:, ^MODE:, ^SRVST: and +CREG: lines between the answers.
        StartCase{"HuaweiLinesBetween",
                  {{ESC, ""}, {"AT\r", "\r\n^RSSI:14\r\n" + OKL}, {"ATE0\r", "\r\n^MODE:5,4\r\n" + OKL},
                   {"AT+CMEE=1\r", "\r\n^SRVST:0\r\n" + OKL},
                   {"AT+CPIN?\r", "\r\n+CREG: 1, E006B, ABE0016\r\n\r\n+CPIN: READY\r\n" + OKL},
                   {"AT+CMGF=0\r", "\r\n^BOOT:20952066,0,0,0,6\r\n" + OKL}},
                  "", true, ""},
        // A modem still starting: the first two ATs go unanswered, the third is.
        StartCase{"AnswersTheThirdAt",
                  {{ESC, ""}, {"AT\r", ""}, {"AT\r", ""}, {"AT\r", OKL}, {"ATE0\r", OKL}, {"AT+CMEE=1\r", OKL},
                   {"AT+CPIN?\r", "\r\n+CPIN: READY\r\n" + OKL}, {"AT+CMGF=0\r", OKL}},
                  "", true, ""},
        StartCase{"NeverAnswers",
                  {{ESC, ""}, {"AT\r", ""}, {"AT\r", ""}, {"AT\r", ""}, {"AT\r", ""}, {"AT\r", ""}, {"AT\r", ""},
                   {"AT\r", ""}, {"AT\r", ""}, {"AT\r", ""}, {"AT\r", ""}},
                  "", false,
                  "no answer to AT within 10 s: is it the modem's AT port, is the modem on, is the speed (--baud) "
                  "right?"},
        StartCase{"PinGiven",
                  {{ESC, ""}, {"AT\r", OKL}, {"ATE0\r", OKL}, {"AT+CMEE=1\r", OKL}, {"AT+CPIN?\r", kWantPin},
                   {"AT+CPIN=\"1234\"\r", OKL}, {"AT+CMGF=0\r", OKL}},
                  "1234", true, ""},
        // A refused PIN is not tried again: the script has no second AT+CPIN=, so one would show as unexpected.
        StartCase{"PinRefused",
                  {{ESC, ""}, {"AT\r", OKL}, {"ATE0\r", OKL}, {"AT+CMEE=1\r", OKL}, {"AT+CPIN?\r", kWantPin},
                   {"AT+CPIN=\"1111\"\r", "\r\n+CME ERROR: 16\r\n"}},
                  "1111", false,
                  "the SIM refused the PIN (+CME ERROR: 16 (incorrect password)); it was not tried again, since "
                  "three wrong PINs lock the SIM: check it and try once more"},
        StartCase{"PinWantedNoneGiven",
                  {{ESC, ""}, {"AT\r", OKL}, {"ATE0\r", OKL}, {"AT+CMEE=1\r", OKL}, {"AT+CPIN?\r", kWantPin}},
                  "", false, "the SIM wants its PIN: give it with --pin PIN or in SMSPDU_PIN"},
        StartCase{"PukWanted",
                  {{ESC, ""}, {"AT\r", OKL}, {"ATE0\r", OKL}, {"AT+CMEE=1\r", OKL},
                   {"AT+CPIN?\r", "\r\n+CPIN: SIM PUK\r\n" + OKL}},
                  "", false, "the SIM wants SIM PUK, not a PIN: unlock it in a phone first"},
        // SIM busy right after start-up, twice, numeric then verbose, then ready; then the vendors' 515.
        StartCase{"SimBusyTwice",
                  {{ESC, ""}, {"AT\r", OKL}, {"ATE0\r", OKL}, {"AT+CMEE=1\r", OKL},
                   {"AT+CPIN?\r", "\r\n+CME ERROR: 14\r\n"}, {"AT+CPIN?\r", "\r\n+CME ERROR: SIM busy\r\n"},
                   {"AT+CPIN?\r", "\r\n+CPIN: READY\r\n" + OKL}, {"AT+CMGF=0\r", "\r\n+CME ERROR: 515\r\n"},
                   {"AT+CMGF=0\r", OKL}},
                  "", true, ""},
        StartCase{"NoSim",
                  {{ESC, ""}, {"AT\r", OKL}, {"ATE0\r", OKL}, {"AT+CMEE=1\r", OKL},
                   {"AT+CPIN?\r", "\r\n+CME ERROR: 10\r\n"}},
                  "", false, "there is no SIM in the modem (+CME ERROR: 10 (SIM not inserted))"},
        StartCase{"NoPduMode",
                  {{ESC, ""}, {"AT\r", OKL}, {"ATE0\r", OKL}, {"AT+CMEE=1\r", OKL},
                   {"AT+CPIN?\r", "\r\n+CPIN: READY\r\n" + OKL}, {"AT+CMGF=0\r", "\r\nERROR\r\n"}},
                  "", false, "the modem refuses PDU mode (AT+CMGF=0): ERROR"}),
    [](const ::testing::TestParamInfo<StartCase>& info) { return std::string(info.param.name); });

// One PDU sent (27.005 3.5.1): the command, the prompt, the PDU with Ctrl-Z, +CMGS.
struct SendCase {
    const char* name;
    std::vector<Step> script;
    FinalResult::Kind kind;
    int code;
    std::string reference;  // the +CMGS: field
};

class SendTest : public ::testing::TestWithParam<SendCase> {};

const std::string kPdu = "0001000C91947110325476000005E8329BFD06";
const std::string kPduSent = kPdu + "\x1A";

TEST_P(SendTest, FollowsTheScript) {
    const SendCase& c = GetParam();
    ScriptedStream modem(c.script);
    Session session(&modem, nullptr);
    Answer a = session.RunWithPdu("AT+CMGS=18", kPdu, kLimitMs, 60000);
    EXPECT_EQ(c.kind, a.result.kind);
    EXPECT_EQ(c.code, a.result.code);
    EXPECT_EQ(c.reference, a.Field("+CMGS:"));
    EXPECT_EQ(std::vector<std::string>{}, modem.unexpected);
    EXPECT_TRUE(modem.AllSent());
}

INSTANTIATE_TEST_SUITE_P(
    Modems, SendTest,
    ::testing::Values(
        // The prompt without its space, as some firmware sends it.
        SendCase{"PromptWithoutSpace", {{"AT+CMGS=18\r", "\r\n>"}, {kPduSent, "\r\n+CMGS: 200\r\n" + OKL}},
                 FinalResult::Ok, -1, "200"},
        // Echo on: the command and the PDU come back before the answer.
        SendCase{"Echoed",
                 {{"AT+CMGS=18\r", "AT+CMGS=18\r\r\n> "}, {kPduSent, kPduSent + "\r\n+CMGS: 5\r\n" + OKL}},
                 FinalResult::Ok, -1, "5"},
        SendCase{"Refused",
                 {{"AT+CMGS=18\r", "\r\n> "}, {kPduSent, "\r\n+CMS ERROR: 500\r\n"}}, FinalResult::CmsError, 500,
                 ""},
        SendCase{"RefusedBeforePrompt", {{"AT+CMGS=18\r", "\r\n+CMS ERROR: 304\r\n"}}, FinalResult::CmsError, 304,
                 ""},
        // A Sierra Wireless Fasttrak Supreme announced a message between AT+CMGS and its prompt (Sierra Wireless
        // forum, "Modem hangs with CME ERROR 515"): set aside, as one announced while the part goes out.
        SendCase{"AnnouncementBeforePrompt",
                 {{"AT+CMGS=18\r", "\r\n+CMTI: \"SM\",1\r\n\r\n> "}, {kPduSent, "\r\n+CMGS: 9\r\n" + OKL}},
                 FinalResult::Ok, -1, "9"},
        SendCase{"AnnouncementBetween",
                 {{"AT+CMGS=18\r", "\r\n> "}, {kPduSent, "\r\n+CMTI: \"SM\",4\r\n\r\n+CMGS: 9\r\n" + OKL}},
                 FinalResult::Ok, -1, "9"},
        SendCase{"VanishesMidPart", {{"AT+CMGS=18\r", "\r\n> "}, {kPduSent, "", true}}, FinalResult::PortFailed, -1,
                 ""},
        SendCase{"NoAnswerToPdu", {{"AT+CMGS=18\r", "\r\n> "}, {kPduSent, ""}}, FinalResult::Timeout, -1, ""},
        // No prompt: ESC takes the modem out of the PDU state should the prompt come late.
        SendCase{"NoPrompt", {{"AT+CMGS=18\r", ""}, {ESC, ""}}, FinalResult::Timeout, -1, ""}),
    [](const ::testing::TestParamInfo<SendCase>& info) { return std::string(info.param.name); });

TEST(Session, SetsAsideLinesTheModemSendsUnasked) {
    ScriptedStream modem({{"AT+CSQ\r", "\r\n+CMT: ,30\r\n07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07\r\n"
                                       "\r\n+CSQ: 20,99\r\n\r\nRING\r\n" + OKL}});
    Session session(&modem, nullptr);
    Answer a = session.Run("AT+CSQ", kLimitMs);
    EXPECT_EQ(std::vector<std::string>{"+CSQ: 20,99"}, a.lines);
    Unsolicited u;
    ASSERT_TRUE(session.NextUnsolicited(0, &u));
    EXPECT_EQ("+CMT: ,30", u.line);
    EXPECT_EQ("07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07", u.pdu);
    ASSERT_TRUE(session.NextUnsolicited(0, &u));
    EXPECT_EQ("RING", u.line);
    EXPECT_FALSE(session.NextUnsolicited(1000, &u));
}

TEST(Session, TakesItsOwnAnswerEvenWhenItLooksUnsolicited) {
    ScriptedStream modem(std::vector<Step>{{"AT+CREG?\r", "\r\n+CREG: 0,1\r\n" + OKL}});
    Session session(&modem, nullptr);
    EXPECT_EQ(std::vector<std::string>{"+CREG: 0,1"}, session.Run("AT+CREG?", kLimitMs).lines);
}

TEST(Session, GivesUpOnABusySimAfterItsTries) {
    std::vector<Step> script;
    for (int i = 0; i < 3; ++i) script.push_back({"AT+CMGL=4\r", "\r\n+CMS ERROR: 314\r\n"});
    ScriptedStream modem(script);
    Session session(&modem, nullptr);
    session.busyTries = 3;
    Answer a = session.RunWhileBusy("AT+CMGL=4", kLimitMs);
    EXPECT_EQ(314, a.result.code);
    EXPECT_TRUE(modem.AllSent());
    EXPECT_EQ(std::vector<std::string>{}, modem.unexpected);
}

TEST(Session, TimeLimitIsTheCommands) {
    ScriptedStream modem(std::vector<Step>{{"AT+COPS=?\r", ""}});
    Session session(&modem, nullptr);
    Answer a = session.Run("AT+COPS=?", 45000);
    EXPECT_EQ(FinalResult::Timeout, a.result.kind);
    EXPECT_EQ("no answer to AT+COPS=? within 45 s", a.result.text);
    EXPECT_EQ(45000, modem.NowMs());
}

TEST(Session, TraceShowsBothWaysWithTimesAndHidesThePin) {
    ScriptedStream modem({{"AT+CPIN=\"1234\"\r", OKL}, {"AT+CMGS=18\r", "\r\n> "}, {kPduSent, ""}});
    FILE* trace = tmpfile();
    ASSERT_NE(nullptr, trace);
    Session session(&modem, trace);
    session.Run("AT+CPIN=\"1234\"", kLimitMs, true);
    session.RunWithPdu("AT+CMGS=18", kPdu, kLimitMs, 2500);
    rewind(trace);
    char buffer[1024] = {0};
    buffer[fread(buffer, 1, sizeof buffer - 1, trace)] = '\0';
    fclose(trace);
    EXPECT_EQ(std::string("   0.000 -> AT+CPIN=\"****\"\n"
                          "   0.000 <- OK\n"
                          "   0.000 -> AT+CMGS=18\n"
                          "   0.000 <- > \n"
                          "   0.000 -> ") + kPdu + "<Ctrl-Z>\n",
              buffer);
}

}  // namespace
}  // namespace modem
