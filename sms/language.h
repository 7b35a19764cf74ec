// National language shift tables for 7-bit text (3GPP TS 23.038 6.2.1.2 and
// Annex A), named in a part's user data header by elements 0x24 (single shift)
// and 0x25 (locking shift) of 3GPP TS 23.040 9.2.3.24.15 and 9.2.3.24.16:
// reading septets with them, writing text with them, and choosing the tables
// that send a text in the fewest parts.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "sms/text.h"

namespace sms {

// The tables of one part by national language identifier (3GPP TS 23.038
// 6.2.1.2.4), -1 where the header names none. An identifier with no table
// (a reserved one, or Spanish for the locking table) reads with the default
// alphabet or its extension table.
struct ShiftTables {
    int locking = -1;  // element 0x25
    int single = -1;   // element 0x24
};

// "Turkish" to "Urdu" for identifiers 1 to 13; nullptr for a reserved one.
const char* LanguageName(int id);

// What --lang takes: the ISO 639-1 code of a language to its identifier,
// "auto" to kAnyLanguage (either in any case), anything else to -1.
const int kAnyLanguage = 0;
int LanguageFromCode(const std::string& code);
extern const char kLanguageCodes[];  // "tr es pt ... ur"

// The septets of `text` in those tables: one per character of the locking
// table, the escape 0x1B and a code for one of the single shift table. False
// when a character is in neither.
bool ToSeptets(const std::u32string& text, ShiftTables tables, Bytes* septets);
std::string SeptetsToUtf8(const Bytes& septets, ShiftTables tables);

// The septets of the parts of one message, each part read with its own
// tables; an escape that ends a part takes its partner from the next one and
// is read with the tables of its own part.
struct SeptetPart {
    const Bytes* septets;
    ShiftTables tables;
};
std::string JoinedSeptetsToUtf8(const std::vector<SeptetPart>& parts);

// The header elements that name the tables (0x24, then 0x25, 3 octets each);
// none for the default tables.
Bytes ShiftElements(ShiftTables tables);

// The septets of text a part carries with those tables, alone or as one of
// several parts: the builder's room, whose header holds the tables' elements
// beside its other ones.
using SeptetRoom = std::function<size_t(ShiftTables tables, bool concatenated)>;

// The tables that send `text` in the fewest parts, then with the most septets
// left in the last part: among the default tables and every combination of a
// locking and a single shift table (kAnyLanguage), or among the default tables
// and those of one language (1 to 13). False when none carries the text.
bool ChooseTables(const std::u32string& text, int language, const SeptetRoom& room, ShiftTables* tables);

}  // namespace sms
