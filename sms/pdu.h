// SMS PDUs as a GSM modem takes and gives them: the SMS-SUBMIT builder and
// the parser for SMS-DELIVER, SMS-SUBMIT and SMS-STATUS-REPORT.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sms/language.h"
#include "sms/text.h"

namespace sms {

enum class MessageType { Deliver, Submit, StatusReport };
enum class Coding { Gsm7, Data8, Ucs2, Compressed };

const char* TypeName(MessageType type);    // "SMS-DELIVER", ...
const char* CodingName(Coding coding);      // "7-bit", "8-bit", "UCS-2", "compressed"

struct Address {
    std::string text;  // "+4917...", "0170...", or the alphanumeric name
    int type = 0x81;   // the type-of-address octet
    bool Alphanumeric() const { return (type & 0x70) == 0x50; }
};

struct Timestamp {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int zoneQuarters = 0;  // offset from UTC in quarter hours
    std::string Iso() const;  // 2026-12-07T17:55:29+01:00
};

struct HeaderElement {
    int id = 0;
    Bytes data;
};

struct Message {
    MessageType type = MessageType::Deliver;
    bool hasSmsc = false;
    Address smsc;           // when hasSmsc and the field is not empty
    int firstOctet = 0;
    Address address;        // originator, destination or recipient
    int reference = -1;     // message reference (SMS-SUBMIT, SMS-STATUS-REPORT)
    int pid = 0, dcs = 0;
    Coding coding = Coding::Gsm7;
    int messageClass = -1;  // 0 to 3, or -1 when the coding gives none
    Timestamp time;         // service centre time (SMS-DELIVER, SMS-STATUS-REPORT)
    Timestamp discharge;    // SMS-STATUS-REPORT
    int status = -1;        // SMS-STATUS-REPORT
    int validityFormat = 0; // SMS-SUBMIT: 0 none, 2 relative, 3 absolute, 1 enhanced
    int validity = 0;       // the relative validity octet
    Timestamp validUntil;   // absolute validity
    Bytes validityEnhanced;
    std::vector<HeaderElement> header;
    int concatRef = -1, part = 0, parts = 0;  // from a concatenation element
    int destPort = -1, sourcePort = -1;       // from a port element
    ShiftTables shift;                        // from elements 0x24 and 0x25 of a 7-bit text
    Bytes septets;                  // 7-bit text, header and fill left out
    std::vector<uint16_t> units;    // UCS-2 text
    Bytes data;                     // 8-bit or compressed user data, header left out
    std::string text;               // the text as UTF-8 (empty for 8-bit data)
    bool HasUserData() const { return type != MessageType::StatusReport || hasUserData; }
    bool hasUserData = false;       // SMS-STATUS-REPORT carries its optional fields
    bool hasPid = false, hasDcs = false;
};

struct ParseError {
    size_t offset = 0;  // octet of the PDU, or character of the hex text
    std::string what;
};

// Hex text to octets; spaces and tabs are ignored. Offsets count characters.
bool ParseHex(const std::string& hex, Bytes* out, ParseError* error);
// One PDU that starts with the SMSC field when `withSmsc`.
bool ParsePdu(const Bytes& pdu, bool withSmsc, Message* out, ParseError* error);

std::string Hex(const Bytes& octets);

// Minutes a relative validity octet stands for.
int ValidityMinutes(int octet);
// "30m", "12h", "7d", "5w" or sums like "1d12h" to the smallest octet that
// keeps the message at least that long; false when empty, malformed, zero or
// longer than 63 weeks.
bool ValidityFromDuration(const std::string& duration, int* octet);
// The duration of a relative validity octet: "5m", "12h30m", "3d", "5w".
std::string DurationText(int octet);

struct SubmitOptions {
    std::string to;        // "+4917...", "0170...", or up to 11 characters of a name
    std::string smsc;      // empty: the phone's default
    bool report = false, flash = false, ucs2 = false;
    int validity = -1;     // relative validity octet, or -1 for none
    int ref = -1;          // concatenation reference, or -1 to derive it from the text
    int language = -1;     // national language tables for 7-bit text: -1 none, kAnyLanguage, or 1 to 13
};

struct SubmitPdu {
    Bytes octets;           // the whole PDU, SMSC field first
    size_t tpduLength = 0;  // octets after the SMSC field: the length AT+CMGS takes
};

// Text as UTF-8 to one PDU, or several with a concatenation header. False
// with a message in *error for a bad address, bad UTF-8 or more than 255 parts.
bool BuildSubmit(const std::string& text, const SubmitOptions& options, std::vector<SubmitPdu>* out,
                 std::string* error);

}  // namespace sms
