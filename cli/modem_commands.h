// smspdu send, list, read, delete, listen and modem: the commands that talk
// to a GSM modem over its serial port.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

// Whether `name` is one of the modem commands.
bool IsModemCommand(const std::string& name);
// Runs modem command `name` with the arguments after it. Exit codes: 0 done,
// 1 the modem or the port failed (one line on `err`), 2 bad usage.
int ModemCommand(const std::string& name, const std::vector<std::string>& args, FILE* in, FILE* out, FILE* err);

extern const char kModemUsageLines[];  // the usage lines of the modem commands
extern const char kModemHelp[];        // what they do and their options
