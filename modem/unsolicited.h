// Unsolicited result codes: lines a modem sends of its own accord, between
// or inside the answers to commands (27.007 and 27.005 name the standard ones,
// vendors add their own). Matched by one table, never taken for an answer.
#pragma once
#include <string>

namespace modem {

struct UnsolicitedKind {
    const char* prefix;
    bool pduFollows;  // the next line is a PDU that belongs to it (27.005 3.4.1: +CMT, +CDS, +CBM in PDU mode)
};

// The table's entry whose prefix starts `line`, or null.
const UnsolicitedKind* FindUnsolicited(const std::string& line);

}  // namespace modem
