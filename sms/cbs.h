// Cell Broadcast pages (3GPP TS 23.041 9.4): the 88-octet page of GSM
// (9.4.1), the UMTS message with its pages (9.4.2), the Cell Broadcast data
// coding scheme (3GPP TS 23.038 5), and the pages of one message joined.
// Fields are read through the one cursor, as those of short messages.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sms/cursor.h"
#include "sms/parameters.h"

namespace sms {

const size_t kCbsPageOctets = 88;     // a GSM page (9.4.1)
const size_t kCbsContentOctets = 82;  // its content, and a UMTS page's (9.4.2.2.5)

// The data coding scheme of a page (23.038 5): the alphabet, a class, the
// language the coding group names, or that the language is carried in the
// text's first characters, or that the content starts with a user data header.
struct CbsCoding {
    Coding coding = Coding::Gsm7;
    int messageClass = -1;       // 0 to 3, or -1 when the group gives none
    std::string language;        // ISO 639-1 code from the coding group, or empty
    bool languageInText = false; // group 0001
    bool header = false;         // group 1001
};
CbsCoding ReadCbsCoding(int dcs);
// "7-bit, English", "UCS-2, language in the text", "8-bit, class 1", ...
std::string CbsCodingMeaning(int dcs);
// "English" for "en", of the languages the coding groups name; nullptr for another code.
const char* CbsLanguageName(const std::string& code);

// What 23.041 9.4.1.2.2 says of a message identifier, in words: "CMAS
// presidential alert (EU-Alert level 1)", "ETWS earthquake warning", ...
std::string MessageIdentifierMeaning(int id);
// The geographical scope (9.4.1.2.1): "cell wide, shown at once", "PLMN wide", ...
const char* GeographicalScopeName(int scope);

// One page, or pages joined.
struct CbsMessage {
    bool umts = false;             // read from the UMTS form
    int serialNumber = 0;          // the 16 bits, of which:
    int geographicalScope = 0;     //   bits 15-14
    int messageCode = 0;           //   bits 13-4
    int updateNumber = 0;          //   bits 3-0
    int messageIdentifier = 0;
    int dcs = 0;
    CbsCoding coding;
    std::string language;          // from the coding group or the text, or empty
    int page = 1, pages = 1;       // page i of n; a 0 in either reads as page 1 of 1 (9.4.1.2.4)
    Bytes content;                 // the octets the page carries (a UMTS page: its information length)
    Bytes header;                  // the user data header with its length octet (group 1001)
    std::string text;              // 7-bit or UCS-2, the padding carriage returns dropped
    Bytes data;                    // 8-bit or compressed content, the header left out
    std::vector<int> present;      // joined: the page numbers there, in order
};

// A GSM page of exactly 88 octets. With a trace, every field is recorded with
// its 3GPP name, and every character. False with the offset of the fault.
bool ParseCbsPage(const Bytes& page, CbsMessage* out, ParseError* error, Trace* trace = nullptr);
// The UMTS form (9.4.2.2): message type, message identifier, serial number,
// coding, number of pages, then each page of 82 octets and its information
// length. One message a page, in the order they come.
bool ParseCbsUmts(const Bytes& pdu, std::vector<CbsMessage>* pages, ParseError* error, Trace* trace = nullptr);

// What the pages of one message share: the serial number and the identifier.
uint32_t CbsKey(const CbsMessage& page);
// Pages of one message (the same key) as one: the first page's fields, the
// texts and data in page order, `present` the pages given; each page once.
CbsMessage JoinCbsPages(const std::vector<const CbsMessage*>& pages);

}  // namespace sms
