// smspdu submit and smspdu parse: real SMS PDUs for a GSM modem.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "sms/pdu.h"

// `args` are the arguments after the command name; `in`, `out` and `err`
// stand for standard input, output and error. Exit codes: 0 done, 1 bad input
// (a message on `err`), 2 bad usage.
int SubmitCommand(const std::vector<std::string>& args, FILE* in, FILE* out, FILE* err);
int ParseCommand(const std::vector<std::string>& args, FILE* in, FILE* out, FILE* err);

// A field a caller shows with a message, before its own: "index: 3" in plain
// output, "index": 3 in JSON (a number when `number`, else a string).
struct ExtraField {
    std::string label, key, value;
    bool number = false;
};
// One parsed message exactly as `smspdu parse` prints it: its plain lines,
// or one JSON object and its line break. `extra` fields come first.
std::string FormatMessage(const sms::Message& m, bool json, const std::vector<ExtraField>& extra = {});

extern const char kSmsUsageLines[];  // the usage lines of the two commands
extern const char kSmsHelp[];        // what they do and their options

// Shared by every command: a usage error on standard error (exit code 2),
// and the whole of a stream.
int UsageError(const std::string& message, FILE* err = stderr);
std::string ReadAll(FILE* in);
