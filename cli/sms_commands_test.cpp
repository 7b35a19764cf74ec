#include <gtest/gtest.h>

#include <cstdio>

#include "cli/sms_commands.h"

namespace {

// `smspdu submit ...` or `smspdu parse ...` with `input` on standard input: the exit code, then what it printed on
// standard output and on standard error, each after a '|'.
std::string RunCommand(const std::vector<std::string>& args, const std::string& input) {
    FILE* files[] = {fopen("sms_commands_in.txt", "w+b"), fopen("sms_commands_out.txt", "w+b"),
                     fopen("sms_commands_err.txt", "w+b")};
    fwrite(input.data(), 1, input.size(), files[0]);
    rewind(files[0]);
    auto command = args[0] == "submit" ? SubmitCommand : ParseCommand;
    std::string result = std::to_string(command({args.begin() + 1, args.end()}, files[0], files[1], files[2]));
    for (FILE* f : files) {
        rewind(f);
        result += f == files[0] ? "" : "|" + ReadAll(f);
        fclose(f);
    }
    return result;
}

}  // namespace

// Each new option and its bad values (exit code 2), the new kinds and fields, and modem lines as the user sees them:
// the length of a listing, a received message or a send tells whether the PDU after it has its SMSC field, also from
// modems that count its octets; a PDU that fits no reading names both lengths (the +CDS example of Nordic
// Semiconductor's AT command reference gives 25 before 24 octets: it lacks the message reference).
TEST(SmsCommands, TakeOptionsAndModemLines) {
    const std::string cds = "000600038121F3011111111111110111111111111100", published =
        "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37",
        hello = "0|type: SMS-DELIVER\nsmsc: +27381000015\nfrom: 27838890001\ntimestamp: 1999-03-29T15:16:59+02:00\n"
                "coding: 7-bit\ntext: hellohello\n|";
    struct Row {
        std::vector<std::string> args;
        std::string input, expect;  // the exit code, then what is printed
    } rows[] = {
        {{"submit", "--to", "1+2", "x"}, "", "2||smspdu: --to '1+2': a '+' may only start the number\nTry 'smspdu --help'.\n"},
        {{"submit", "--to", "0171 1234", "hi"}, "", "0|000100088110172143000002E834 13\n|"},
        {{"submit", "--to", "1", "--ref", "256", "x"}, "", "2||smspdu: --ref '256': give a number from 0 to 255\nTry 'smspdu --help'.\n"},
        {{"submit", "--to", "1", "--ref", "255", std::string(161, 'a')}, "", "0|0041000181F10000A0050003FF0201C2E170381C0E87C3E170381C0E87C3E170381C0E87C3E170381C0E87C3E170381C0E87C3E170381C0E87C3E170381C0E87C3E170381C0E87C3E170381C0E87C3E170381C0E87C3E170381C0E87C3E170381C0E87C3E170381C0E87C3E170381C0E87C3E170381C0E87C3E170381C0E87C3E170381C0E87C3E170381C0E87C3E170381C0E87C3 148\n0041000181F100000F050003FF0202C2E170381C0E8701 22\n|"},
        {{"submit", "--to", "1", "--class", "4", "x"}, "", "2||smspdu: --class '4': give a class from 0 to 3\nTry 'smspdu --help'.\n"},
        {{"submit", "--to", "1", "--flash", "--class=1", "x"}, "", "2||smspdu: --flash is class 0: give one of --flash and --class\nTry 'smspdu --help'.\n"},
        {{"submit", "--to", "1", "--smsc", "+4917", "--no-smsc", "x"}, "", "2||smspdu: give one of --smsc and --no-smsc\nTry 'smspdu --help'.\n"},
        {{"submit", "--to", "1", "--smsc", "Shop", "x"}, "", "2||smspdu: --smsc 'Shop': give a number, not a name\nTry 'smspdu --help'.\n"},
        {{"submit", "--to", "1", "--data", "0A0G"}, "", "2||smspdu: --data: character 4: 'G' is not a hex digit\nTry 'smspdu --help'.\n"},
        {{"submit", "--to", "1", "--data", "0A", "x"}, "", "2||smspdu: --data sends octets: give no TEXT and no --ucs2\nTry 'smspdu --help'.\n"},
        {{"submit", "--to", "1", "--port", "65536", "x"}, "", "2||smspdu: --port '65536': give DEST or DEST:SRC, each 0 to 65535\nTry 'smspdu --help'.\n"},
        {{"submit", "--to", "1", "--pid", "0x100", "x"}, "", "2||smspdu: --pid '0x100': give a number from 0 to 255\nTry 'smspdu --help'.\n"},
        {{"submit", "--to", "1", "--validity", "2026-12-24T18:00+01:10", "x"}, "", "2||smspdu: --validity '2026-12-24T18:00+01:10': a message carries a time zone in whole quarter hours, up to 19:45\nTry 'smspdu --help'.\n"},
        {{"submit", "--to", "+4917", "--no-smsc", "--pid", "0x41", "--reply-path", "--reject-duplicates", "--data",
          "0A0B0C", "--port", "2948:9200"}, "", "0|C5000491947141040A0605040B8423F00A0B0C 19\n|"},
        {{"parse", "--no-smsc", "C5000491947141040A0605040B8423F00A0B0C"}, "",
         "0|type: SMS-SUBMIT\nto: +4917\nreference: 0\nreply path: true\nreject duplicates: true\n"
         "protocol identifier: 65\ncoding: 8-bit\ndestination port: 2948\nsource port: 9200\ndata: 0A0B0C\n|"},
        {{"parse", "--kind", "report"}, "", "2||smspdu: --kind 'report': give deliver, submit, status-report, deliver-report, submit-report or command\nTry 'smspdu --help'.\n"},
        {{"parse", "+CMGS: 17,\"010062217071559240\""}, "",
         "0|type: SMS-SUBMIT-REPORT\nreference: 17\nform: RP-ACK\ntimestamp: 2026-12-07T17:55:29+01:00\n|"},
        {{"parse", "--no-smsc", "--kind", "submit-report", "01C50062217071559240"}, "",
         "0|type: SMS-SUBMIT-REPORT\nform: RP-ERROR\nfailure cause: C5 (rejected: duplicate message)\ntimestamp: 2026-12-07T17:55:29+01:00\n|"},
        {{"parse", "--json", "--no-smsc", "--kind", "command", "02050001070A91947110325400"}, "",
         "0|{\"type\": \"SMS-COMMAND\", \"to\": \"+4917012345\", \"to_type\": \"international\", \"reference\": 5, \"command\": 1, \"command_text\": \"cancel its status report request\", \"message_number\": 7, \"command_data\": \"\"}\n|"},
        {{"parse", "--json", "0026" + cds.substr(4)}, "", "0|{\"type\": \"SMS-STATUS-REPORT\", \"recipient\": \"123\", \"recipient_type\": \"unknown\", \"reference\": 0, \"timestamp\": \"2010-11-11T11:11:11+02:45\", \"discharge_time\": \"2010-11-11T11:11:11+02:45\", \"status\": 0, \"status_text\": \"delivered\", \"qualifier\": \"SMS-COMMAND\"}\n|"},
        {{"parse"}, "+CMGL: 1,0,\"Smith, J\",28\r\n" + published + "\r\n", hello},
        {{"parse"}, "+CMT: \"\",28\r\n" + published.substr(16) + "\r\n", "0|type: SMS-DELIVER\nfrom: 27838890001\ntimestamp: 1999-03-29T15:16:59+02:00\ncoding: 7-bit\ntext: hellohello\n|"},
        {{"parse"}, "+CMGR: 0,,36\r\n" + published + "\r\nOK\r\n", hello},
        {{"parse"}, "+CMGR: 0,,29\r\n" + published + "\r\n", "1||smspdu: line 2: octet 0: the +CMGR line gives a "
                                                                  "TPDU of 29 octets, the PDU has 36, 28 after its SMSC field\n"},
        {{"parse"}, "+CDS: 25\r\n060C91534810325476171160316255001711603152120000\r\n",
         "1||smspdu: line 2: octet 0: the +CDS line gives a TPDU of 25 octets, the PDU has 24, 17 after its SMSC field\n"},
        {{"parse"}, "AT+CMGS=17\r\n> 0041000491947100040804040205050A0B0C\x1A\r\n+CMGS: 17\r\nOK\r\n",
         "0|type: SMS-SUBMIT\nto: +4917\nreference: 0\ncoding: 8-bit\ndestination port: 5\nsource port: 5\ndata: 0A0B0C\n|"}};
    for (const Row& r : rows) EXPECT_EQ(RunCommand(r.args, r.input), r.expect) << r.args.at(0) << " " << r.args.back();
}
