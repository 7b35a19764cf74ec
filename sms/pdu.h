// SMS PDUs as a GSM modem takes and gives them (3GPP TS 23.040): the kinds
// of TPDU, the parser for every kind and the SMS-SUBMIT builder. The fields
// are read and written in their own files: addresses, times, parameters and
// the user data.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "sms/address.h"
#include "sms/cursor.h"
#include "sms/language.h"
#include "sms/parameters.h"
#include "sms/text.h"
#include "sms/timestamp.h"
#include "sms/user_data.h"

namespace sms {

// The first octet of a TPDU (23.040 9.2.3): the message type indicator in the
// two low bits, the other bits named by the kinds that carry them.
constexpr int TP_MTI = 0x03;        // 9.2.3.1, a mask
constexpr int TP_MMS = 0x04;        // 9.2.3.2 more messages to send (SMS-DELIVER, SMS-STATUS-REPORT)
constexpr int TP_RD = 0x04;         // 9.2.3.25 reject duplicates (SMS-SUBMIT)
constexpr int TP_LP = 0x08;         // 9.2.3.28 loop prevention (SMS-DELIVER, SMS-STATUS-REPORT)
constexpr int TP_VPF = 0x18;        // 9.2.3.3 validity period format (SMS-SUBMIT), a mask: VPF_* << 3
constexpr int TP_VPF_SHIFT = 3;
constexpr int TP_SRR = 0x20;        // 9.2.3.5 status report request (SMS-SUBMIT, SMS-COMMAND)
constexpr int TP_SRI = 0x20;        // 9.2.3.4 status report indication (SMS-DELIVER)
constexpr int TP_SRQ = 0x20;        // 9.2.3.26 status report qualifier (SMS-STATUS-REPORT): on a command
constexpr int TP_UDHI = 0x40;       // 9.2.3.23 the user data starts with a header
constexpr int TP_RP = 0x80;         // 9.2.3.17 reply path
constexpr int VPF_NONE = 0, VPF_ENHANCED = 1, VPF_RELATIVE = 2, VPF_ABSOLUTE = 3;
// The parameter indicator of reports (9.2.3.27): which optional fields follow.
// Bits 3 to 6 are reserved; the extension bit announces one more indicator octet.
constexpr int TP_PI_PID = 0x01, TP_PI_DCS = 0x02, TP_PI_UDL = 0x04, TP_PI_EXTENSION = 0x80;

// The kinds of TPDU (9.2.2): SMS-DELIVER and its report, SMS-SUBMIT and its
// report, SMS-STATUS-REPORT and SMS-COMMAND. Each message type indicator
// names two, one for each direction (9.2.3.1).
enum class MessageType { Deliver, Submit, StatusReport, DeliverReport, SubmitReport, Command };

struct Message;

// The bit fields of the first octet a kind carries.
enum FirstOctetField : unsigned {
    FIELD_MMS = 1, FIELD_RD = 2, FIELD_LP = 4, FIELD_VPF = 8, FIELD_SRI = 16, FIELD_SRR = 32, FIELD_SRQ = 64,
    FIELD_UDHI = 128, FIELD_RP = 256
};

// One row for each kind: adding a kind is one row and its reader.
struct MessageKind {
    MessageType type;
    const char* name;    // "SMS-DELIVER"
    const char* option;  // "deliver", as --kind takes it
    int indicator;       // TP-MTI
    bool listed;         // what the indicator names when no kind is asked for: the kinds a modem lists
    // The fields after the first octet, in their order.
    bool (*read)(Cursor& c, Message* m);
    unsigned firstOctet;        // FirstOctetField bits
    const char* addressField;   // "TP-OA", "TP-DA", "TP-RA", or nullptr
    const char* addressRole;    // how the address is labelled: "from", "to", "recipient"
    bool userData;              // carries user data always (reports only as their indicator says)
    bool forms;                 // an RP-ACK and an RP-ERROR form, the latter with a failure cause
    bool endsAtIndicator;       // what follows its last indicated field is ignored (9.2.3.27)
};
extern const MessageKind kKinds[];
extern const size_t kKindCount;
const MessageKind& KindOf(MessageType type);

const char* TypeName(MessageType type);    // "SMS-DELIVER", ...
// "deliver", "submit", "status-report", "deliver-report", "submit-report",
// "command" to the kind; false for any other name.
bool KindFromName(const std::string& name, MessageType* kind);

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
    bool hasTime = false;
    Timestamp time;         // service centre time (SMS-DELIVER, SMS-STATUS-REPORT, SMS-SUBMIT-REPORT)
    Timestamp discharge;    // SMS-STATUS-REPORT
    int status = -1;        // SMS-STATUS-REPORT
    int validityFormat = VPF_NONE;  // SMS-SUBMIT: which of the fields below is there
    int validity = 0;       // the relative validity octet
    Timestamp validUntil;   // absolute validity
    Bytes validityEnhanced;
    int failureCause = -1;  // SMS-DELIVER-REPORT, SMS-SUBMIT-REPORT: the RP-ERROR form's cause, or -1
    int commandType = -1, messageNumber = -1;  // SMS-COMMAND
    Bytes commandData;                         // SMS-COMMAND
    std::vector<HeaderElement> header;
    int concatRef = -1, part = 0, parts = 0;  // from a concatenation element
    int destPort = -1, sourcePort = -1;       // from a port element
    ShiftTables shift;                        // from the national language elements of a 7-bit text
    Bytes septets;                  // 7-bit text, header and fill left out
    std::vector<uint16_t> units;    // UCS-2 text
    Bytes data;                     // 8-bit or compressed user data, header left out
    std::string text;               // the text as UTF-8 (empty for 8-bit data)
    // Reports carry their user data only when the parameter indicator says so; a command has none.
    bool HasUserData() const { return KindOf(type).userData || hasUserData; }
    bool hasUserData = false;
    bool hasPid = false, hasDcs = false;
};

// Hex text to octets; spaces and tabs are ignored. Offsets count characters.
bool ParseHex(const std::string& hex, Bytes* out, ParseError* error);
// One PDU that starts with the SMSC field when `withSmsc`, read as `kind`, or
// without one as what its type indicator names toward or from the phone
// (SMS-DELIVER, SMS-SUBMIT, SMS-STATUS-REPORT). With a trace, every field
// read (up to a fault) is recorded where it lies.
bool ParsePdu(const Bytes& pdu, bool withSmsc, Message* out, ParseError* error,
              std::optional<MessageType> kind = std::nullopt, Trace* trace = nullptr);
// The same from where `c` stands, up to the last field of the message: what
// follows is the caller's (a report's ignored octets, a SIM record's padding).
bool ReadPdu(Cursor& c, bool withSmsc, Message* out, std::optional<MessageType> kind);

struct SubmitOptions {
    std::string to;        // a number or a name as RecipientFromText takes them
    std::string smsc;      // empty: the phone's default
    bool report = false, flash = false, ucs2 = false;
    int validity = -1;     // relative validity octet, or -1 for none
    int ref = -1;          // concatenation reference, or -1 to derive it from the text
    bool data8 = false;    // the text is 8-bit data: its bytes go as they are
    int destPort = -1, sourcePort = -1;  // application ports, or -1 (no source port: the destination port)
    int pid = 0;           // protocol identifier (9.2.3.9)
    int messageClass = -1; // 0 to 3, or -1 for none; flash is class 0
    bool replyPath = false, rejectDuplicates = false;
    std::optional<Timestamp> validUntil;  // absolute validity, instead of the relative one
    bool noSmsc = false;   // the PDU starts with the first octet, for modems that take it so
    int language = -1;     // national language tables for 7-bit text: -1 none, kAnyLanguage, or 1 to 13
};

struct SubmitPdu {
    Bytes octets;           // the whole PDU, SMSC field first
    size_t tpduLength = 0;  // octets after the SMSC field: the length AT+CMGS takes
};

// The parts of one long message, in part order, as one message: the first
// part's fields and the text of all. 7-bit text is joined before it is read,
// each part with its own tables, so an escape or a surrogate pair split by
// the sender stays one character.
Message JoinParts(const std::vector<const Message*>& parts);
// What the parts of one long message share: type, address, reference and
// the count of parts.
using PartsKey = std::tuple<int, std::string, int, int>;
PartsKey PartsKeyOf(const Message& part);

// How the builder sends a text: the coding, the national language tables,
// what the parts are counted in and where each part ends.
struct SubmitPlan {
    Coding coding = Coding::Gsm7;
    ShiftTables tables;
    bool multi = false;  // several parts, each with a concatenation element
    uint8_t ref = 0;     // their reference
    std::u32string characters;    // the text's characters (not for 8-bit data)
    Bytes codes;                  // 7-bit codes (escapes included), or the octets of 8-bit data
    std::vector<uint16_t> units;  // UCS-2 units
    std::vector<size_t> ends;     // the end of each part, in codes or units
};
// The plan BuildSubmit follows for `text`, without building anything (and
// without reading the recipient or the SMSC). False with a message in
// *error for bad UTF-8 or more than 255 parts.
bool PlanSubmit(const std::string& text, const SubmitOptions& options, SubmitPlan* plan, std::string* error);

// Text as UTF-8 (or 8-bit data) to one PDU, or several with a concatenation
// header. False with a message in *error for a bad address, bad UTF-8 or more
// than 255 parts.
bool BuildSubmit(const std::string& text, const SubmitOptions& options, std::vector<SubmitPdu>* out,
                 std::string* error);

}  // namespace sms
