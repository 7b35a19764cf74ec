// The kinds of TPDU, one row each, and the reader of each kind's fields
// (3GPP TS 23.040 9.2.2).
#include <string>

#include "sms/pdu.h"

namespace sms {
namespace {

bool ReadReference(Cursor& c, Message* m) {
    if (!c.TakeOctet("TP-MR", "message reference", &m->reference)) return false;
    if (c.Tracing()) c.Means(Format("%ld", m->reference));
    return true;
}

void TakeProtocol(Cursor& c, Message* m) {
    m->hasPid = true;
    if (c.Tracing()) c.Means(ProtocolMeaning(m->pid));
}

void TakeCoding(Cursor& c, Message* m) {
    m->hasDcs = true;
    if (!c.Tracing()) return;
    c.Means(DataCodingMeaning(m->dcs));
    for (const BitField& b : DataCodingBits(m->dcs)) c.Bits(c.Offset() - 1, b.high, b.low, b.name, b.meaning);
}

void SetCoding(Message* m) {
    DataCoding d = ReadDataCoding(m->dcs);
    m->coding = d.coding;
    m->messageClass = d.messageClass;
}

bool ReadPidDcs(Cursor& c, Message* m) {
    if (c.Left() < 2) return c.Fail(c.Offset(), "protocol identifier and data coding is missing: the data ends here");
    c.TakeOctet("TP-PID", "", &m->pid);
    TakeProtocol(c, m);
    c.TakeOctet("TP-DCS", "", &m->dcs);
    TakeCoding(c, m);
    SetCoding(m);
    return true;
}

bool ReadServiceCentreTime(Cursor& c, Message* m) {
    return m->hasTime = ReadTimestamp(c, "TP-SCTS", "timestamp", &m->time);
}

// The extension octets after a parameter indicator: no release gives them a field.
bool ReadIndicatorExtensions(Cursor& c, int indicator) {
    for (int last = indicator; last & TP_PI_EXTENSION;) {
        if (!c.TakeOctet("TP-PI extension", "parameter indicator extension", &last)) return false;
        if (c.Tracing()) c.Means("reserved, ignored");
    }
    return true;
}

// The parameter indicator with its extension octets (9.2.3.27). Only the first octet names fields; reserved bits
// are ignored.
bool ReadIndicator(Cursor& c, int* indicator) {
    if (!c.TakeOctet("TP-PI", "parameter indicator", indicator)) return false;
    if (!c.Tracing()) return ReadIndicatorExtensions(c, *indicator);
    size_t at = c.Offset() - 1;
    auto says = [&](int bit, const char* yes) { return *indicator & bit ? std::string(yes) : "absent"; };
    std::string follow;
    for (auto [bit, name] : {std::pair{TP_PI_PID, "TP-PID"}, {TP_PI_DCS, "TP-DCS"}, {TP_PI_UDL, "TP-UDL"}})
        if (*indicator & bit) follow += (follow.empty() ? "" : ", ") + std::string(name);
    if (c.Tracing()) c.Means(follow.empty() ? "no optional fields" : follow + (follow.find(',') == std::string::npos ? " follows" : " follow"));
    c.Bits(at, 7, 7, "TP-PI extension", says(TP_PI_EXTENSION, "another indicator octet follows"));
    c.Bits(at, 6, 3, "TP-PI reserved", "reserved, ignored");
    c.Bits(at, 2, 2, "TP-PI TP-UDL", says(TP_PI_UDL, "user data follows"));
    c.Bits(at, 1, 1, "TP-PI TP-DCS", says(TP_PI_DCS, "data coding follows"));
    c.Bits(at, 0, 0, "TP-PI TP-PID", says(TP_PI_PID, "protocol identifier follows"));
    return ReadIndicatorExtensions(c, *indicator);
}

// The optional fields the indicator names, in their order. Without a coding the user data is in the default
// alphabet (9.2.3.27).
bool ReadIndicatedFields(Cursor& c, Message* m, int indicator) {
    if (indicator & TP_PI_PID) {
        if (!c.TakeOctet("TP-PID", "protocol identifier", &m->pid)) return false;
        TakeProtocol(c, m);
    }
    if (indicator & TP_PI_DCS) {
        if (!c.TakeOctet("TP-DCS", "data coding", &m->dcs)) return false;
        TakeCoding(c, m);
    }
    SetCoding(m);
    m->hasUserData = indicator & TP_PI_UDL;
    return !m->hasUserData || ReadUserData(c, m);
}

// The RP-ERROR form of a report puts a failure cause before the indicator; the RP-ACK form has none. Causes start
// at 80 (9.2.3.22) and no release gives the indicator's extension bit a use, so an octet there with its high bit set
// is a cause.
bool ReadCause(Cursor& c, Message* m) {
    if (c.Peek() < kFirstCause) return true;
    c.TakeOctet("TP-FCS", "failure cause", &m->failureCause);
    if (c.Tracing()) c.Means(CauseText(m->failureCause));
    return true;
}

// SMS-DELIVER (9.2.2.1).
bool ReadDeliver(Cursor& c, Message* m) {
    return ReadAddress(c, "TP-OA", "originator", &m->address) && ReadPidDcs(c, m) && ReadServiceCentreTime(c, m) &&
           ReadUserData(c, m);
}

// SMS-DELIVER-REPORT (9.2.2.1a).
bool ReadDeliverReport(Cursor& c, Message* m) {
    int indicator = 0;
    return ReadCause(c, m) && ReadIndicator(c, &indicator) && ReadIndicatedFields(c, m, indicator);
}

bool ReadValidity(Cursor& c, Message* m) {
    m->validityFormat = (m->firstOctet & TP_VPF) >> TP_VPF_SHIFT;
    const uint8_t* p;
    switch (m->validityFormat) {
        case VPF_RELATIVE:
            if (!c.TakeOctet("TP-VP", "validity period", &m->validity)) return false;
            if (c.Tracing()) c.Means(DurationText(m->validity));
            return true;
        case VPF_ABSOLUTE: return ReadTimestamp(c, "TP-VP", "validity period", &m->validUntil);
        case VPF_ENHANCED:
            if (!c.Take(7, "TP-VP", "validity period", &p)) return false;
            m->validityEnhanced.assign(p, p + 7);
            if (c.Tracing()) c.Means("enhanced format");
            return true;
        default: return true;
    }
}

// SMS-SUBMIT (9.2.2.2).
bool ReadSubmit(Cursor& c, Message* m) {
    return ReadReference(c, m) && ReadAddress(c, "TP-DA", "destination", &m->address) && ReadPidDcs(c, m) &&
           ReadValidity(c, m) && ReadUserData(c, m);
}

// SMS-SUBMIT-REPORT (9.2.2.2a): the service centre's time after the indicator.
bool ReadSubmitReport(Cursor& c, Message* m) {
    int indicator = 0;
    return ReadCause(c, m) && ReadIndicator(c, &indicator) && ReadServiceCentreTime(c, m) &&
           ReadIndicatedFields(c, m, indicator);
}

// SMS-STATUS-REPORT (9.2.2.3): its parameter indicator is optional.
bool ReadStatusReport(Cursor& c, Message* m) {
    int indicator = 0;
    if (!ReadReference(c, m) || !ReadAddress(c, "TP-RA", "recipient", &m->address) || !ReadServiceCentreTime(c, m) ||
        !ReadTimestamp(c, "TP-DT", "discharge time", &m->discharge) || !c.TakeOctet("TP-ST", "status", &m->status))
        return false;
    if (c.Tracing()) c.Means(StatusText(m->status));
    if (c.Left() == 0) return true;
    return ReadIndicator(c, &indicator) && ReadIndicatedFields(c, m, indicator);
}

// SMS-COMMAND (9.2.2.4): what the service centre is asked to do with the message it holds.
bool ReadCommand(Cursor& c, Message* m) {
    if (!ReadReference(c, m)) return false;
    if (c.Left() < 3)
        return c.Fail(c.Offset(), "protocol identifier, command type and message number is missing: the data ends here");
    c.TakeOctet("TP-PID", "", &m->pid);
    TakeProtocol(c, m);
    c.TakeOctet("TP-CT", "", &m->commandType);
    if (c.Tracing()) c.Means(CommandText(m->commandType));
    c.TakeOctet("TP-MN", "", &m->messageNumber);
    if (c.Tracing()) c.Means(Format("%ld", m->messageNumber));
    int length = 0;
    if (!ReadAddress(c, "TP-DA", "destination", &m->address) ||
        !c.TakeOctet("TP-CDL", "command data length", &length))
        return false;
    if (c.Tracing()) c.Means(Format("%ld octets", length));
    const uint8_t* p;
    if (!c.TakeCounted(length, "TP-CD", c.Offset() - 1,
                       Format("command data length %ld points past the data (%ld octets are left)", length,
                              static_cast<long>(c.Left())),
                       &p))
        return false;
    m->commandData.assign(p, p + length);
    if (c.Tracing()) c.Means("command data");
    return true;
}

}  // namespace

const MessageKind kKinds[] = {
    {MessageType::Deliver, "SMS-DELIVER", "deliver", 0, true, ReadDeliver,
     FIELD_MMS | FIELD_LP | FIELD_SRI | FIELD_UDHI | FIELD_RP, "TP-OA", "from", true, false, false},
    {MessageType::Submit, "SMS-SUBMIT", "submit", 1, true, ReadSubmit,
     FIELD_RD | FIELD_VPF | FIELD_SRR | FIELD_UDHI | FIELD_RP, "TP-DA", "to", true, false, false},
    {MessageType::StatusReport, "SMS-STATUS-REPORT", "status-report", 2, true, ReadStatusReport,
     FIELD_MMS | FIELD_LP | FIELD_SRQ | FIELD_UDHI, "TP-RA", "recipient", false, false, true},
    {MessageType::DeliverReport, "SMS-DELIVER-REPORT", "deliver-report", 0, false, ReadDeliverReport, FIELD_UDHI,
     nullptr, nullptr, false, true, true},
    {MessageType::SubmitReport, "SMS-SUBMIT-REPORT", "submit-report", 1, false, ReadSubmitReport, FIELD_UDHI,
     nullptr, nullptr, false, true, true},
    {MessageType::Command, "SMS-COMMAND", "command", 2, false, ReadCommand, FIELD_SRR | FIELD_UDHI, "TP-DA", "to",
     false, false, false},
};
const size_t kKindCount = sizeof kKinds / sizeof kKinds[0];

const MessageKind& KindOf(MessageType type) {
    for (const MessageKind& k : kKinds)
        if (k.type == type) return k;
    return kKinds[0];
}

const char* TypeName(MessageType type) { return KindOf(type).name; }

bool KindFromName(const std::string& name, MessageType* kind) {
    for (const MessageKind& k : kKinds)
        if (name == k.option) {
            *kind = k.type;
            return true;
        }
    return false;
}

}  // namespace sms
