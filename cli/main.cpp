// smspdu: the command-line companion of the window program, over the same
// converter.
//
//   smspdu encode [--raw] [TEXT]   print the PDU hex of TEXT
//   smspdu decode [--raw] [HEX]    print the text of the PDU hex HEX
//
//   smspdu submit --to NUMBER ... [TEXT]   SMS-SUBMIT PDUs for a modem
//   smspdu parse [--json] ... [HEX ...]     the fields of received PDUs
//   smspdu --version                         the version
//
// Without TEXT or HEX, all of standard input is read (one final line break is
// dropped, as a shell pipe adds it). Text is UTF-8 on both sides unless --raw
// passes the converter's Windows-1252 bytes through unchanged.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#endif

#include "cli/cp1252.h"
#include "cli/modem_commands.h"
#include "cli/render.h"
#include "cli/sms_commands.h"
#include "codec/codec.h"
#include "runtime/runtime.h"

namespace {

const char kUsage[] =
    "usage: smspdu encode [--raw] [TEXT]\n"
    "       smspdu decode [--raw] [--explain] [HEX]\n"
    "%s"
    "%s"
    "\n"
    "encode  prints the PDU hex (GSM 7-bit default alphabet, packed) of TEXT\n"
    "decode  prints the text of the PDU hex HEX; white space in HEX is ignored\n"
    "\n"
    "Without TEXT or HEX, standard input is read whole (a final line break is\n"
    "dropped). Several TEXT words are joined with single spaces.\n"
    "\n"
    "  --raw      read and write Windows-1252 bytes instead of UTF-8\n"
    "  --explain  (decode) after the text, each septet: the octets it lies in,\n"
    "             its code and its character, then the octets left over\n"
    "  --help     show this help\n"
    "  --version  print the version and exit\n"
    "  --         end of options (for a TEXT that starts with '-')\n"
    "\n"
    "%s"
    "\n"
    "%s";

// The byte the converter maps to no character: stands for anything that has
// no Windows-1252 form, and for code 0, which would end the text.
const char kUnmapped = '\x7F';

std::vector<std::string> Arguments(int argc, char** argv) {
#ifdef _WIN32
    // The ANSI argv has already lost what the code page cannot hold: take the
    // wide command line and make it UTF-8.
    (void)argc;
    (void)argv;
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; wide && i < count; ++i) {
        int bytes = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(bytes > 0 ? static_cast<size_t>(bytes) : 1, '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, &arg[0], bytes, nullptr, nullptr);
        arg.resize(strlen(arg.c_str()));
        args.push_back(arg);
    }
    LocalFree(wide);
    return args;
#else
    return std::vector<std::string>(argv + 1, argv + argc);
#endif
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::vector<std::string> args = Arguments(argc, argv);
    // Like --help, --version counts wherever it stands before "--".
    for (const std::string& arg : args) {
        if (arg == "--") break;
        if (arg == "--version") {
            printf("smspdu %s\n", SMSPDU_VERSION);
            return fflush(stdout) == 0 ? 0 : 1;
        }
    }
    if (args.empty()) return UsageError("missing command (encode or decode)");
    if (args[0] == "submit" || args[0] == "parse" || args[0] == "count" || IsModemCommand(args[0])) {
        std::vector<std::string> rest(args.begin() + 1, args.end());
        for (const std::string& arg : rest)
            if (arg == "--help" || arg == "-h") {
                printf(kUsage, kSmsUsageLines, kModemUsageLines, SmsHelp().c_str(), kModemHelp);
                return 0;
            }
        if (IsModemCommand(args[0])) return ModemCommand(args[0], rest, stdin, stdout, stderr);
        auto command = args[0] == "submit" ? SubmitCommand : args[0] == "parse" ? ParseCommand : CountCommand;
        return command(rest, stdin, stdout, stderr);
    }

    std::string command;
    bool raw = false, endOfOptions = false, haveInput = false, explain = false;
    std::string input;
    for (const std::string& arg : args) {
        if (!endOfOptions && (arg == "--help" || arg == "-h")) {
            printf(kUsage, kSmsUsageLines, kModemUsageLines, SmsHelp().c_str(), kModemHelp);
            return 0;
        }
        if (!endOfOptions && arg == "--") {
            endOfOptions = true;
        } else if (!endOfOptions && arg == "--raw") {
            raw = true;
        } else if (!endOfOptions && arg == "--explain") {
            explain = true;
        } else if (!endOfOptions && arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option '" + arg + "'");
        } else if (command.empty()) {
            if (arg != "encode" && arg != "decode") return UsageError("unknown command '" + arg + "'");
            command = arg;
        } else {
            if (haveInput) input += ' ';
            input += arg;
            haveInput = true;
        }
    }
    if (command.empty()) return UsageError("missing command (encode or decode)");
    if (explain && command != "decode") return UsageError("--explain is for decode (and parse)");

    if (!haveInput) {
        input = ReadAll(stdin);
        if (!input.empty() && input.back() == '\n') input.pop_back();
        if (!input.empty() && input.back() == '\r') input.pop_back();
    }

    RuntimeInit();

    std::string text = raw ? input : Utf8ToCp1252(input, kUnmapped);
    if (raw) {
        for (char& c : text)
            if (c == '\0') c = kUnmapped;
    }
    StrArg in(text.data(), text.size());
    Str out = command == "encode" ? TextToPdu(in) : PduToText(in);
    std::string result(out.Text(), out.Length());
    std::string octetView = explain ? ExplainPacked(input, result) : "";
    if (command == "decode" && !raw) result = Cp1252ToUtf8(result);
    result += '\n' + octetView;
    if (fwrite(result.data(), 1, result.size(), stdout) != result.size() || fflush(stdout) != 0) {
        fprintf(stderr, "smspdu: cannot write the result\n");
        return 1;
    }
    return 0;
}
