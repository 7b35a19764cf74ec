// How smspdu prints a parsed message: its fields in one list, then one
// renderer for each output form (plain lines, a JSON object, the octet view).
#pragma once
#include <string>
#include <vector>

#include "sms/pdu.h"

// One field of a message. The label names it in plain output; its JSON key
// is the label with underscores for spaces, unless `key` says otherwise.
struct Field {
    enum Form { Both, PlainOnly, JsonOnly };
    std::string label, value;
    Form form = Both;
    bool raw = false;   // a JSON number or list of numbers, written as is
    std::string key;    // the JSON key, when it is not the label's
    std::string Key() const;
};

// The parts of a joined message: those present, in order, and the count announced.
struct Joined {
    std::vector<int> present;
    int parts = 0;
};

// The national language tables of a 7-bit text: "language: Turkish (single
// shift)" in plain output, "single_shift" and "locking_shift" in JSON.
void AddLanguageFields(std::vector<Field>* f, sms::ShiftTables tables);

// Every field of `m` that is there, in the order they are printed.
std::vector<Field> MessageFields(const sms::Message& m, const Joined* joined);

std::string RenderPlain(const std::vector<Field>& fields);
// One JSON object; `more` are members written after the fields (each
// "\"key\": value").
std::string RenderJson(const std::vector<Field>& fields, const std::vector<std::string>& more = {});

// The octet view: a line for every field where it lies, then each character.
std::string ExplainPlain(const sms::Trace& trace, const sms::Bytes& pdu);
// The same as two JSON members: "\"fields\": [...]" and "\"characters\": [...]".
std::vector<std::string> ExplainJson(const sms::Trace& trace, const sms::Bytes& pdu);

// The septets of bare packed user data as the converter reads it (one per
// octet of `hex`), each with the character `text` (the converter's result
// in Windows-1252, one character a septet) gives it, then the octets left over.
std::string ExplainPacked(const std::string& hex, const std::string& text);

// "a, b or c".
std::string WordList(const std::vector<std::string>& words);

// Text with its control characters and backslashes escaped, and for JSON its quotes.
std::string Escaped(const std::string& s, bool json);
