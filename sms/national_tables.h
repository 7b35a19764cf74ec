// The GSM 7-bit alphabets of 3GPP TS 23.038: the default alphabet and its
// extension table (6.2.1, 6.2.1.1), and the national language locking and
// single shift tables (Annex A.3, A.2), built in from the data file beside
// this header by gen_national_tables.py.
#pragma once

namespace sms {

// One language's tables, each the Unicode character of codes 0 to 127, 0
// where the table has none (0x1B, the escape, has none in any of them).
struct NationalTables {
    const char* name;              // "Default", "Turkish", ...
    const char32_t* locking;       // nullptr: the language has none (Spanish)
    const char32_t* singleShift;   // reached after the escape 0x1B
};

// By national language identifier (3GPP TS 23.038 6.2.1.2.4): 1 Turkish to
// 13 Urdu; entry 0 holds the default alphabet and its extension table.
const int kNationalTableCount = 14;
extern const NationalTables kNationalTables[kNationalTableCount];

}  // namespace sms
