#include "sms/parameters.h"

#include <string>

namespace sms {
namespace {

// Bits of the data coding octet in its general group (23.038 4): the alphabet in bits 2 and 3, a class in bits 0 and
// 1 when bit 4 is set, compression in bit 5, automatic deletion in bit 6.
const int DCS_ALPHABET_SHIFT = 2, DCS_HAS_CLASS = 0x10, DCS_COMPRESSED = 0x20;
const int GROUP_UCS2_WAITING = 0xE, GROUP_CLASS = 0xF;
const char* const kAlphabets[] = {"7-bit", "8-bit", "UCS-2", "reserved, read as 7-bit"};

std::string ClassText(int messageClass) {
    static const char* const kinds[] = {"class 0, shown at once", "class 1, stored in the phone",
                                        "class 2, stored on the SIM", "class 3, handed to an attached device"};
    return kinds[messageClass & 3];
}

}  // namespace

const char* CodingName(Coding coding) {
    switch (coding) {
        case Coding::Gsm7: return "7-bit";
        case Coding::Data8: return "8-bit";
        case Coding::Ucs2: return "UCS-2";
        default: return "compressed";
    }
}

DataCoding ReadDataCoding(int dcs) {
    DataCoding d;
    int group = dcs >> 4;
    int alphabet = 0;  // 0 default, 1 8-bit, 2 UCS-2
    if (group < 8) {
        alphabet = dcs >> DCS_ALPHABET_SHIFT & 3;
        if (dcs & DCS_HAS_CLASS) d.messageClass = dcs & 3;
        if (dcs & DCS_COMPRESSED) return d.coding = Coding::Compressed, d;
    } else if (group == GROUP_UCS2_WAITING) {
        alphabet = 2;
    } else if (group == GROUP_CLASS) {
        alphabet = dcs & 4 ? 1 : 0;
        d.messageClass = dcs & 3;
    }
    d.coding = alphabet == 1 ? Coding::Data8 : alphabet == 2 ? Coding::Ucs2 : Coding::Gsm7;
    return d;
}

int DataCodingOctet(Coding coding, int messageClass) {
    int alphabet = coding == Coding::Gsm7 ? 0 : coding == Coding::Data8 ? 1 : 2;
    return alphabet << DCS_ALPHABET_SHIFT | (messageClass >= 0 ? DCS_HAS_CLASS | messageClass : 0);
}

std::vector<BitField> DataCodingBits(int dcs) {
    int group = dcs >> 4;
    if (group < 8)
        return {{7, 6, "TP-DCS coding group",
                 dcs & 0x40 ? "general data coding, marked for automatic deletion" : "general data coding"},
                {5, 5, "TP-DCS compression", dcs & DCS_COMPRESSED ? "compressed" : "not compressed"},
                {4, 4, "TP-DCS class meaning", dcs & DCS_HAS_CLASS ? "bits 1-0 are the class" : "no class"},
                {3, 2, "TP-DCS alphabet", kAlphabets[dcs >> DCS_ALPHABET_SHIFT & 3]},
                {1, 0, "TP-DCS class", dcs & DCS_HAS_CLASS ? ClassText(dcs) : "no meaning"}};
    if (group == GROUP_CLASS)
        return {{7, 4, "TP-DCS coding group", "data coding and message class"},
                {3, 3, "TP-DCS reserved", "reserved"},
                {2, 2, "TP-DCS alphabet", dcs & 4 ? "8-bit" : "7-bit"},
                {1, 0, "TP-DCS class", ClassText(dcs)}};
    if (group >= 0xC) {
        static const char* const kinds[] = {"voicemail", "fax", "e-mail", "other"};
        const char* what = group == 0xC ? "message waiting, discard the message (7-bit)"
                           : group == 0xD ? "message waiting, store the message (7-bit)"
                                          : "message waiting, store the message (UCS-2)";
        return {{7, 4, "TP-DCS coding group", what},
                {3, 3, "TP-DCS indication", dcs & 8 ? "set the indication active" : "set the indication inactive"},
                {2, 2, "TP-DCS reserved", "reserved"},
                {1, 0, "TP-DCS indication type", kinds[dcs & 3]}};
    }
    return {{7, 4, "TP-DCS coding group", "reserved, read as 7-bit"}};
}

std::string DataCodingMeaning(int dcs) {
    DataCoding d = ReadDataCoding(dcs);
    std::string s = CodingName(d.coding);
    return d.messageClass >= 0 ? s + ", class " + std::to_string(d.messageClass) : s + ", no class";
}

std::string ProtocolMeaning(int pid) {
    int kind = pid >> 6, low = pid & 0x3F;
    if (kind == 0 && !(pid & 0x20)) return "SME-to-SME protocol";
    if (kind == 0) {
        static const char* const devices[] = {"implicit", "telex", "group 3 telefax", "group 4 telefax",
                                              "voice telephone", "ERMES", "national paging system", "Videotex",
                                              "teletex, carrier unspecified", "teletex, PSPDN", "teletex, CSPDN",
                                              "teletex, analog PSTN", "teletex, digital ISDN", "UCI",
                                              "reserved", "reserved", "a message handling facility",
                                              "any public X.400 message handling system", "Internet e-mail"};
        int device = pid & 0x1F;
        std::string name = device < 19 ? devices[device] : device >= 0x18 && device <= 0x1E ? "specific to the service centre"
                                                         : device == 0x1F ? "a GSM/UMTS mobile station" : "reserved";
        return "telematic interworking: " + name;
    }
    if (kind == 1) {
        if (low == 0) return "short message type 0";
        if (low <= 7) return "replace short message type " + std::to_string(low);
        if (low == 0x1E) return "Enhanced Message Service (obsolete)";
        if (low == 0x1F) return "return call message";
        if (low == 0x3C) return "ANSI-136 R-DATA";
        if (low == 0x3D) return "ME data download";
        if (low == 0x3E) return "ME de-personalization short message";
        if (low == 0x3F) return "(U)SIM data download";
        return "reserved";
    }
    return kind == 2 ? "reserved" : "specific to the service centre";
}

const char* StatusText(int status) {
    if (status <= 0x02) return status == 0 ? "delivered" : status == 1 ? "forwarded, delivery not confirmed" : "replaced";
    if (status < 0x20) return "delivered";
    if (status < 0x40) return "temporary error, still trying";
    if (status < 0x60) return "permanent error, not delivered";
    if (status < 0x80) return "temporary error, no longer trying";
    return "reserved";
}

// The failure causes of reports (23.040 9.2.3.22); the last of each range stands for the rest of it.
const char* CauseText(int cause) {
    struct Cause {
        int last;
        const char* text;
    };
    static const Cause kCauses[] = {
        {0x7F, "reserved"}, {0x80, "telematic interworking not supported"},
        {0x81, "short message type 0 not supported"}, {0x82, "cannot replace short message"},
        {0x8F, "unspecified protocol identifier error"}, {0x90, "data coding scheme not supported"},
        {0x91, "message class not supported"}, {0x9F, "unspecified data coding error"},
        {0xA0, "command cannot be actioned"}, {0xA1, "command unsupported"}, {0xAF, "unspecified command error"},
        {0xB0, "TPDU not supported"}, {0xBF, "reserved"}, {0xC0, "SC busy"}, {0xC1, "no SC subscription"},
        {0xC2, "SC system failure"}, {0xC3, "invalid SME address"}, {0xC4, "destination SME barred"},
        {0xC5, "rejected: duplicate message"}, {0xC6, "validity period format not supported"},
        {0xC7, "validity period not supported"}, {0xCF, "reserved"}, {0xD0, "SIM SMS storage full"},
        {0xD1, "no SMS storage capability in SIM"}, {0xD2, "error in MS"}, {0xD3, "memory capacity exceeded"},
        {0xD4, "SIM application toolkit busy"}, {0xD5, "SIM data download error"}, {0xDF, "reserved"},
        {0xFE, "specific to an application"}, {0xFF, "unspecified error cause"}};
    const Cause* c = kCauses;
    while (c->last < cause) ++c;
    return c->text;
}

const char* CommandText(int type) {
    static const char* const kinds[] = {"enquiry about a submitted message", "cancel its status report request",
                                        "delete the submitted message", "enable a status report request for it"};
    return type < 4 ? kinds[type] : type >= 0xE0 ? "specific to the service centre" : "reserved";
}

}  // namespace sms
