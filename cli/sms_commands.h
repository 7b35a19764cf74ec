// smspdu submit and smspdu parse: real SMS PDUs for a GSM modem.
#pragma once
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "sms/pdu.h"

// `args` are the arguments after the command name; `in`, `out` and `err`
// stand for standard input, output and error. Exit codes: 0 done, 1 bad input
// (a message on `err`), 2 bad usage.
int SubmitCommand(const std::vector<std::string>& args, FILE* in, FILE* out, FILE* err);
int ParseCommand(const std::vector<std::string>& args, FILE* in, FILE* out, FILE* err);
// smspdu count: what a text costs as submit would send it, building nothing.
int CountCommand(const std::vector<std::string>& args, FILE* in, FILE* out, FILE* err);

// A field a caller shows with a message, before its own: "index: 3" in plain
// output, "index": 3 in JSON (a number when `number`, else a string).
struct ExtraField {
    std::string label, key, value;
    bool number = false;
};
// One parsed message exactly as `smspdu parse` prints it: its plain lines,
// or one JSON object and its line break. `extra` fields come first; a
// joined message (JoinParts) names the parts of `joined` present and missing.
struct Joined;
std::string FormatMessage(const sms::Message& m, bool json, const std::vector<ExtraField>& extra = {},
                          const Joined* joined = nullptr);

extern const char kSmsUsageLines[];  // the usage lines of the two commands
std::string SmsHelp();               // what they do and their options

// Reads submit's options and its TEXT (the words left, --data HEX, or else
// standard input) into *options and *text. An option submit does not know is
// offered to `other`, which takes it (moving *i past its value, setting
// *missing when the value is absent or *bad to a usage error) or returns
// false. Without `needsRecipient`, --to may be left out. Returns -1 when all
// is well, else the exit code of a usage error it wrote to `err`.
using OtherOption = std::function<bool(const std::vector<std::string>& args, size_t* i, bool* missing,
                                       std::string* bad)>;
int ReadSubmitArguments(const std::vector<std::string>& args, FILE* in, FILE* err, sms::SubmitOptions* options,
                        std::string* text, const OtherOption& other = nullptr, bool needsRecipient = true);
// "--name value" or "--name=value": true when args[*i] is that option, with
// its value in *value (*i moved past it), or *missing set when none follows.
bool TakeValue(const std::vector<std::string>& args, size_t* i, const std::string& name, std::string* value,
               bool* missing);

// Shared by every command: a usage error on standard error (exit code 2),
// and the whole of a stream.
int UsageError(const std::string& message, FILE* err = stderr);
std::string ReadAll(FILE* in);
