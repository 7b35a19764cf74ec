#include <gtest/gtest.h>

#include <cstdio>

#include "cli/render.h"
#include "cli/sms_commands.h"

namespace {

// `smspdu submit ...`, `smspdu parse ...` or `smspdu count ...` with `input` on standard input: the exit code, then what it printed on
// standard output and on standard error, each after a '|'.
std::string RunCommand(const std::vector<std::string>& args, const std::string& input) {
    FILE* files[] = {fopen("sms_commands_in.txt", "w+b"), fopen("sms_commands_out.txt", "w+b"),
                     fopen("sms_commands_err.txt", "w+b")};
    fwrite(input.data(), 1, input.size(), files[0]);
    rewind(files[0]);
    auto command = args[0] == "submit" ? SubmitCommand : args[0] == "parse" ? ParseCommand : CountCommand;
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
        {{"parse", "--kind", "report"}, "", "2||smspdu: --kind 'report': give deliver, submit, status-report, deliver-report, submit-report, command, sim-record or cbs\nTry 'smspdu --help'.\n"},
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

// Fields at their edges, as the user sees them: the parts of a joined message each read with the tables their own
// header names (part 1 Turkish, part 2 Spanish: escape 47 is Ğ, then G from the default table), missing parts as a
// JSON list, a reserved language identifier named as such, the lowest failure cause (80) as the RP-ERROR form, a
// report's user data where its indicator's bits put it, an absolute validity west of UTC built,
// a port above 255 in the 16-bit port element, Cell Broadcast pages alone, announced by +CBM: and joined in page order, and what
// count says of a text that UCS-2 is forced on.
TEST(SmsCommands, ReadEdgeFields) {
    const std::string part1 = "41000491947100000D0800032A0201240101607304",
                      part2 = "41000491947100000D0800032A0202240102607304",
                      report = "060C038121F30111111111111101111111111111000";
    // Android's GsmSmsCbTest (frameworks/base, telephony tests): a 7-bit page padded with carriage returns, here as
    // pages 1 and 2 of 2 of message 50.
    const std::string content = "41D071DA0491CBE6709D4D0785D97074585CA683DAE5F93C7C2E83EE693A1A340ECBE5E9F0B90C9297E975B91B"
                                "040F93C969F7B9D168341A8D46A3D168341A8D46A3D168341A8D46A3D168341A8D46A3D100",
                      page1 = "C000003240" "12" + content, page2 = "C000003240" "22" + content,
                      padded = "A GSM default alphabet message with carriage return padding",
                      broadcast = "type: CBS\nserial number: 49152\ngeographical scope: cell wide\nmessage code: 0\n"
                                  "update number: 0\nmessage identifier: 50, allocated by the GSMA\ncoding: 7-bit\n";
    const std::string submitted = "0|type: SMS-SUBMIT\nto: +4917\nreference: 0\ncoding: 7-bit\nconcatenation reference: 42\n";
    struct Row {
        std::vector<std::string> args;
        std::string expect;
    } rows[] = {
        {{"parse", "--no-smsc", "--join", part1, part2},
         submitted + "parts: 2\nparts present: 1, 2\nlanguage: Turkish (single shift)\ntext: ĞG\n|"},
        {{"parse", "--no-smsc", "--join", "--json", "41000491947100000D0800032A0301240101607304"},
         "0|{\"type\": \"SMS-SUBMIT\", \"to\": \"+4917\", \"to_type\": \"international\", \"reference\": 0, \"coding\": "
         "\"7-bit\", \"concat_reference\": 42, \"parts\": 3, \"parts_present\": [1], \"missing_parts\": [2,3], "
         "\"single_shift\": \"Turkish\", \"text\": \"Ğ\"}\n|"},
        {{"parse", "--no-smsc", "41000491947100000D0800032A0101240100607304"},
         submitted + "part: 1\nparts: 1\nlanguage: reserved identifier 0 (single shift), read with the default table\n"
                     "text: G\n|"},
        {{"parse", "--no-smsc", "--kind", "deliver-report", "008000"},
         "0|type: SMS-DELIVER-REPORT\nform: RP-ERROR\nfailure cause: 80 (telematic interworking not supported)\n|"},
        {{"parse", "--no-smsc", report + "402E834"},
         "0|type: SMS-STATUS-REPORT\nrecipient: 123\nreference: 12\ntimestamp: 2010-11-11T11:11:11+02:45\n"
         "discharge time: 2010-11-11T11:11:11+02:45\nstatus: 00 (delivered)\nqualifier: SMS-SUBMIT\ncoding: 7-bit\n"
         "text: hi\n|"},
        {{"submit", "--no-smsc", "--to", "1", "--validity", "2026-12-24T18:00-05:00", "hi"},
         "0|19000181F100006221428100000A02E834 17\n|"},
        {{"submit", "--no-smsc", "--to", "1", "--port", "80:9200", "--data", "0A"}, "0|41000181F1000408060504005023F00A 16\n|"},
        {{"parse", "--kind", "cbs", page1}, "0|" + broadcast + "page: 1\npages: 2\ntext: " + padded + "\n|"},
        {{"parse", "--join", "+CBM: 88", page2, "+CBM: 88", page1},
         "0|" + broadcast + "pages: 2\npages present: 1, 2\ntext: " + padded + padded + "\n|"},
        {{"count", "Ğül €"}, "0|coding: UCS-2\nunits: 5\nparts: 1\nroom left: 65\nUCS-2 forced by: 'Ğ' (character 1)\n"
                             "with --lang auto: coding 7-bit, language Turkish (locking shift), septets 5, parts 1, "
                             "room left 150\n|"},
    };
    for (const Row& r : rows) EXPECT_EQ(RunCommand(r.args, ""), r.expect) << r.args.at(0) << " " << r.args.back();
}

namespace {

// The line of `parse --explain` (with `options` before the PDU) that shows `field` at octet `offset`, whole.
std::string ExplainedLine(std::vector<std::string> args, size_t offset, const std::string& field) {
    args.insert(args.begin(), {"parse", "--explain"});
    std::string out = RunCommand(args, ""), line;
    char at[16];
    snprintf(at, sizeof at, "%5zu  ", offset);
    for (size_t start = 0, end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
        line = out.substr(start, end - start);
        size_t name = line.size() > 12 && line.compare(7, 5, "  bit") == 0 ? 19 : 7;  // after the bits of a field inside an octet
        if (line.size() > name && line.compare(0, 7, at) == 0 && line.compare(name, field.size() + 1, field + " ") == 0)
            return line;
    }
    return "no line for " + field + " at " + std::to_string(offset) + " in:\n" + out;
}

}  // namespace

// The octet view of published PDUs, one line each: a received message with its SMSC (dreamfabric.com, "SMS
// messages and the PDU format": "hellohello" from a subscriber number, type C8), a message to send without one
// (the same page: validity AA, four days), a status report (amro.blogspot.com, 2007-09), and hand-checked ones: a
// part of a long message with its header and the fill bit after it, 8n-1 septets, an alphanumeric sender, a text in
// the Turkish single shift table, a report's indicator, a command, a PDU cut short, and the
// second part of a joined message.
TEST(SmsCommands, ExplainOctets) {
    const std::vector<std::string> received = {"07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37"},
        toSend = {"0011000B916407281553F80000AA0AE8329BFD4697D9EC37"},
        report = {"--kind", "status-report", "--no-smsc", "06000B910221815716F2709021510121807090215101718000"},
        long1 = {"0041000181F1000008050003FF0201C2"},
        seven = {"--no-smsc", "01000181F100000731D98C56B3DD00"},
        named = {"00040BD0C3B09C7D9A0300006221707155922A05C8329BFD06"},
        turkish = {"--no-smsc", "41000491947100000D0800032A0201240101607304"},
        reportPi = {"--no-smsc", "060C038121F30111111111111101111111111111000402E834"},
        command = {"--no-smsc", "--kind", "command", "02050001070A91947110325400"},
        cut = {"0001000A9194711032540000050102"},
        joined = {"--no-smsc", "--join", "41000491947100000D0800032A0201240101607304",
                  "41000491947100000D0800032A0202240102607304"};
    struct Row {
        const std::vector<std::string>& pdu;
        size_t offset;
        std::string field, line;
    } rows[] = {
        {received, 0, "SCA length", "    0  SCA length 07: 7 octets follow"},
        {received, 8, "TP-MTI", "    8    bits 1-0  TP-MTI 00: SMS-DELIVER"},
        {received, 10, "TP-OA type", "   10  TP-OA type C8: subscriber, national"},
        {received, 11, "TP-OA", "   11  TP-OA 7238880900F1: 27838890001"},
        {received, 19, "TP-SCTS", "   19  TP-SCTS 99309251619580: 1999-03-29T15:16:59+02:00"},
        {toSend, 1, "TP-VPF", "    1    bits 4-3  TP-VPF 10: relative, one octet"},
        {toSend, 13, "TP-VP", "   13  TP-VP AA: 4d"},
        {report, 0, "TP-SRQ", "    0    bit  5    TP-SRQ 0: reports on an SMS-SUBMIT"},
        {report, 2, "TP-RA length", "    2  TP-RA length 0B: 11 digits"},
        {report, 24, "TP-ST", "   24  TP-ST 00: delivered"},
        {long1, 9, "TP-UDHL", "    9  TP-UDHL 05: 5 octets of header"},
        {long1, 10, "IEI", "   10  IEI 00: concatenated message, 8-bit reference"},
        {long1, 12, "IED", "   12  IED FF0201: reference 255, part 1 of 2"},
        {long1, 15, "fill bits", "   15    bit  0    fill bits 0: 1 bit that starts the text on a septet boundary"},
        {long1, 15, "septet 0,", "   15  septet 0, octet 15: 61 'a'"},
        {seven, 14, "TP-UD unused bits",
         "   14    bits 7-1  TP-UD unused bits 0000000: seven zero bits after 8n-1 septets: padding, not a character, "
         "since TP-UDL counts 7 septets (read as a septet they would be '@')"},
        {named, 3, "TP-OA type of number", "    3    bits 6-4  TP-OA type of number 101: alphanumeric"},
        {named, 4, "TP-OA", "    4  TP-OA C3B09C7D9A03: Carl's (a name in 7-bit characters)"},
        {turkish, 17, "IED", "   17  IED 01: Turkish"},
        {turkish, 18, "septet 0,", "   18  septet 0, octets 18-19: 1B (escape to the Turkish single shift table)"},
        {turkish, 19, "septet 1,", "   19  septet 1, octets 19-20: 47 'Ğ' (Turkish single shift table)"},
        {reportPi, 21, "TP-PI TP-UDL", "   21    bit  2    TP-PI TP-UDL 1: user data follows"},
        {command, 3, "TP-CT", "    3  TP-CT 01: cancel its status report request"},
        {cut, 12, "fault:", "   12  fault: user data length 5 needs 5 octets, 2 are left"},
        {joined, 17, "IED 02:", "   17  IED 02: Spanish"},
    };
    for (const Row& r : rows) EXPECT_EQ(ExplainedLine(r.pdu, r.offset, r.field), r.line) << r.pdu.back();
}

// The JSON form of the octet view: every field with its offset, length, octets and (inside an octet) bits, and
// every character with the octets it lies in.
TEST(SmsCommands, ExplainOctetsAsJson) {
    std::string out = RunCommand({"parse", "--explain", "--json", "--no-smsc", "--kind", "deliver-report", "0000"}, "");
    EXPECT_EQ(out, "0|{\"type\": \"SMS-DELIVER-REPORT\", \"form\": \"RP-ACK\", \"fields\": [{\"offset\": 0, "
                   "\"length\": 1, \"hex\": \"00\", \"field\": \"first octet\", \"meaning\": \"SMS-DELIVER-REPORT\"}, "
                   "{\"offset\": 0, \"length\": 1, \"hex\": \"00\", \"field\": \"TP-MTI\", \"bits\": \"1-0\", "
                   "\"meaning\": \"SMS-DELIVER-REPORT\"}, {\"offset\": 0, \"length\": 1, \"hex\": \"00\", \"field\": "
                   "\"TP-UDHI\", \"bits\": \"6\", \"meaning\": \"no header\"}, {\"offset\": 1, \"length\": 1, \"hex\": "
                   "\"00\", \"field\": \"TP-PI\", \"meaning\": \"no optional fields\"}, {\"offset\": 1, \"length\": 1, "
                   "\"hex\": \"00\", \"field\": \"TP-PI extension\", \"bits\": \"7\", \"meaning\": \"absent\"}, "
                   "{\"offset\": 1, \"length\": 1, \"hex\": \"00\", \"field\": \"TP-PI reserved\", \"bits\": \"6-3\", "
                   "\"meaning\": \"reserved, ignored\"}, {\"offset\": 1, \"length\": 1, \"hex\": \"00\", \"field\": "
                   "\"TP-PI TP-UDL\", \"bits\": \"2\", \"meaning\": \"absent\"}, {\"offset\": 1, \"length\": 1, "
                   "\"hex\": \"00\", \"field\": \"TP-PI TP-DCS\", \"bits\": \"1\", \"meaning\": \"absent\"}, "
                   "{\"offset\": 1, \"length\": 1, \"hex\": \"00\", \"field\": \"TP-PI TP-PID\", \"bits\": \"0\", "
                   "\"meaning\": \"absent\"}], \"characters\": []}\n|");
    std::string hi = RunCommand({"parse", "--explain", "--json", "0001000181F1000002C834"}, "");
    size_t characters = hi.find("\"characters\"");
    EXPECT_EQ(hi.substr(characters), "\"characters\": [{\"septet\": 0, \"offsets\": [9], \"code\": 72, \"char\": \"H\"}, "
                                     "{\"septet\": 1, \"offsets\": [9, 10], \"code\": 105, \"char\": \"i\"}]}\n|");
}

// The converter's bare packed user data: each septet where it lies, and the octets 00 the converter adds.
TEST(SmsCommands, ExplainPackedUserData) {
    EXPECT_EQ(ExplainPacked("41E19058341E9100", "ABCDEFGH"),
              "explained:\n    0  septet 0, octet 0: 41 'A'\n    0  septet 1, octets 0-1: 42 'B'\n"
              "    1  septet 2, octets 1-2: 43 'C'\n    2  septet 3, octets 2-3: 44 'D'\n"
              "    3  septet 4, octets 3-4: 45 'E'\n    4  septet 5, octets 4-5: 46 'F'\n"
              "    5  septet 6, octets 5-6: 47 'G'\n    6  septet 7, octet 6: 48 'H'\n"
              "    7  1 octet 00: padding: the converter writes one octet per character\n");
    EXPECT_EQ(ExplainPacked("C834", "Hi"), "explained:\n    0  septet 0, octet 0: 48 'H'\n    0  septet 1, octets 0-1: "
                                           "69 'i'\n    1    bits 7-6  unused 00\n");
}
