// What the one-octet parameters of a TPDU mean (3GPP TS 23.040 9.2.3, 3GPP
// TS 23.038 4): the data coding scheme read and written, and the names of
// protocol identifiers, statuses, failure causes and command types.
#pragma once
#include <string>
#include <vector>

namespace sms {

enum class Coding { Gsm7, Data8, Ucs2, Compressed };
const char* CodingName(Coding coding);  // "7-bit", "8-bit", "UCS-2", "compressed"

// TP-DCS (23.038 4): the coding of the user data, and its message class (0 to
// 3, or -1 when the coding gives none). Reserved codings read as the default
// alphabet.
struct DataCoding {
    Coding coding = Coding::Gsm7;
    int messageClass = -1;
};
DataCoding ReadDataCoding(int dcs);
// The octet of the general group for `coding` (not compressed) and a class.
int DataCodingOctet(Coding coding, int messageClass);

// One field inside an octet: bits `high` to `low` and what they say.
struct BitField {
    int high, low;
    const char* name;
    std::string meaning;
};
// The coding group of a TP-DCS octet and the fields of that group.
std::vector<BitField> DataCodingBits(int dcs);
std::string DataCodingMeaning(int dcs);  // "7-bit, class 0"

// TP-PID (9.2.3.9): "SME-to-SME protocol", "replace short message type 1", ...
std::string ProtocolMeaning(int pid);
// TP-ST (9.2.3.15): "delivered", "temporary error, still trying", ...
const char* StatusText(int status);
// TP-FCS (9.2.3.22): "SC busy", ...; causes below 80 are reserved.
const char* CauseText(int cause);
const int kFirstCause = 0x80;
// TP-CT (9.2.3.19): "enquiry about a submitted message", ...
const char* CommandText(int type);

}  // namespace sms
