// Addresses (3GPP TS 23.040 9.1.2.5): the service centre's, and the
// originator, destination or recipient of a TPDU, read and written.
#pragma once
#include <string>

#include "sms/cursor.h"

namespace sms {

struct Address {
    std::string text;  // "+4917...", "0170...", or the alphanumeric name
    int type = 0x81;   // the type-of-address octet
    bool Alphanumeric() const { return (type & 0x70) == 0x50; }
};

// The type of number of a type-of-address octet, bits 6 to 4: "unknown",
// "international", "national", "network", "subscriber", "alphanumeric",
// "abbreviated", "reserved".
const char* NumberKind(int type);
// Its numbering plan, bits 3 to 0: "ISDN/telephone", "unknown", ...
const char* NumberingPlan(int type);

// The SMSC field: its length in octets, the type, the digits (27.005 3.1).
bool ReadSmsc(Cursor& c, Address* a, bool* present);
// TP-OA, TP-DA or TP-RA as `field`: the length in semi-octets, the type,
// the value. `words` name it in errors ("originator").
bool ReadAddress(Cursor& c, const char* field, const char* words, Address* a);

// A recipient as a person writes it to the number or name a PDU carries: a
// number may have spaces, dashes, dots and parentheses between its digits,
// and a trunk prefix "(0)" after its country code; text with a letter is a
// name. False with the reason in *why for anything else.
bool RecipientFromText(const std::string& written, std::string* out, std::string* why);
// A number as written, its separators gone; false with the reason.
bool NumberFromText(std::string s, std::string* out, std::string* why);

// The SMSC field of `number` (empty: a field of length 0, the phone's
// default); false when it is no number.
bool EncodeSmsc(const std::string& number, Bytes* out);
// Destination: length in semi-octets, type, value; `to` is what
// RecipientFromText gives.
void EncodeDestination(const std::string& to, Bytes* out);

}  // namespace sms
