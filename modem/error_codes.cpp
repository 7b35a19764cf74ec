#include "modem/error_codes.h"

#include <cctype>
#include <cstddef>

namespace modem {
namespace {

struct Code {
    ErrorFamily family;
    int code;
    const char* words;
};

const ErrorFamily CME = ErrorFamily::Cme, CMS = ErrorFamily::Cms;

// 27.007 9.2.1 (general) and 9.2.2 (GPRS); 27.005 3.2.5 with, below 128, the
// RP causes of 24.011 E.2 and, from 128 to 255, the TP-FCS values of 23.040
// 9.2.3.22 that it refers to.
const Code kCodes[] = {
    {CME, 0, "phone failure"},
    {CME, 1, "no connection to phone"},
    {CME, 2, "phone-adaptor link reserved"},
    {CME, 3, "operation not allowed"},
    {CME, 4, "operation not supported"},
    {CME, 5, "PH-SIM PIN required"},
    {CME, 6, "PH-FSIM PIN required"},
    {CME, 7, "PH-FSIM PUK required"},
    {CME, 10, "SIM not inserted"},
    {CME, 11, "SIM PIN required"},
    {CME, 12, "SIM PUK required"},
    {CME, 13, "SIM failure"},
    {CME, 14, "SIM busy"},
    {CME, 15, "SIM wrong"},
    {CME, 16, "incorrect password"},
    {CME, 17, "SIM PIN2 required"},
    {CME, 18, "SIM PUK2 required"},
    {CME, 20, "memory full"},
    {CME, 21, "invalid index"},
    {CME, 22, "not found"},
    {CME, 23, "memory failure"},
    {CME, 24, "text string too long"},
    {CME, 25, "invalid characters in text string"},
    {CME, 26, "dial string too long"},
    {CME, 27, "invalid characters in dial string"},
    {CME, 30, "no network service"},
    {CME, 31, "network timeout"},
    {CME, 32, "network not allowed - emergency calls only"},
    {CME, 40, "network personalization PIN required"},
    {CME, 41, "network personalization PUK required"},
    {CME, 42, "network subset personalization PIN required"},
    {CME, 43, "network subset personalization PUK required"},
    {CME, 44, "service provider personalization PIN required"},
    {CME, 45, "service provider personalization PUK required"},
    {CME, 46, "corporate personalization PIN required"},
    {CME, 47, "corporate personalization PUK required"},
    {CME, 48, "hidden key required"},
    {CME, 49, "EAP method not supported"},
    {CME, 50, "incorrect parameters"},
    {CME, 100, "unknown"},
    {CME, 103, "illegal MS"},
    {CME, 106, "illegal ME"},
    {CME, 107, "GPRS services not allowed"},
    {CME, 111, "PLMN not allowed"},
    {CME, 112, "location area not allowed"},
    {CME, 113, "roaming not allowed in this location area"},
    {CME, 132, "service option not supported"},
    {CME, 133, "requested service option not subscribed"},
    {CME, 134, "service option temporarily out of order"},
    {CME, 148, "unspecified GPRS error"},
    {CME, 149, "PDP authentication failure"},
    {CME, 150, "invalid mobile class"},
    {CME, kCmeVendorPleaseWait, "please wait, initialisation or command processing in progress"},

    {CMS, 1, "unassigned (unallocated) number"},
    {CMS, 8, "operator determined barring"},
    {CMS, 10, "call barred"},
    {CMS, 21, "short message transfer rejected"},
    {CMS, 27, "destination out of service"},
    {CMS, 28, "unidentified subscriber"},
    {CMS, 29, "facility rejected"},
    {CMS, 30, "unknown subscriber"},
    {CMS, 38, "network out of order"},
    {CMS, 41, "temporary failure"},
    {CMS, 42, "congestion"},
    {CMS, 47, "resources unavailable, unspecified"},
    {CMS, 50, "requested facility not subscribed"},
    {CMS, 69, "requested facility not implemented"},
    {CMS, 81, "invalid short message transfer reference value"},
    {CMS, 95, "invalid message, unspecified"},
    {CMS, 96, "invalid mandatory information"},
    {CMS, 97, "message type non-existent or not implemented"},
    {CMS, 98, "message not compatible with short message protocol state"},
    {CMS, 99, "information element non-existent or not implemented"},
    {CMS, 111, "protocol error, unspecified"},
    {CMS, 127, "interworking, unspecified"},
    {CMS, 0x80, "telematic interworking not supported"},
    {CMS, 0x81, "short message type 0 not supported"},
    {CMS, 0x82, "cannot replace short message"},
    {CMS, 0x8F, "unspecified TP-PID error"},
    {CMS, 0x90, "data coding scheme (alphabet) not supported"},
    {CMS, 0x91, "message class not supported"},
    {CMS, 0x9F, "unspecified TP-DCS error"},
    {CMS, 0xA0, "command cannot be actioned"},
    {CMS, 0xA1, "command unsupported"},
    {CMS, 0xAF, "unspecified TP-Command error"},
    {CMS, 0xB0, "TPDU not supported"},
    {CMS, 0xC0, "SC busy"},
    {CMS, 0xC1, "no SC subscription"},
    {CMS, 0xC2, "SC system failure"},
    {CMS, 0xC3, "invalid SME address"},
    {CMS, 0xC4, "destination SME barred"},
    {CMS, 0xC5, "SM rejected-duplicate SM"},
    {CMS, 0xC6, "TP-VPF not supported"},
    {CMS, 0xC7, "TP-VP not supported"},
    {CMS, 0xD0, "SIM SMS storage full"},
    {CMS, 0xD1, "no SMS storage capability in SIM"},
    {CMS, 0xD2, "error in MS"},
    {CMS, 0xD3, "memory capacity exceeded"},
    {CMS, 0xD4, "SIM application toolkit busy"},
    {CMS, 0xD5, "SIM data download error"},
    {CMS, 0xFF, "unspecified error cause"},
    {CMS, 300, "ME failure"},
    {CMS, 301, "SMS service of ME reserved"},
    {CMS, 302, "operation not allowed"},
    {CMS, 303, "operation not supported"},
    {CMS, 304, "invalid PDU mode parameter"},
    {CMS, 305, "invalid text mode parameter"},
    {CMS, 310, "SIM not inserted"},
    {CMS, 311, "SIM PIN required"},
    {CMS, 312, "PH-SIM PIN required"},
    {CMS, 313, "SIM failure"},
    {CMS, kCmsSimBusy, "SIM busy"},
    {CMS, 315, "SIM wrong"},
    {CMS, 316, "SIM PUK required"},
    {CMS, 317, "SIM PIN2 required"},
    {CMS, 318, "SIM PUK2 required"},
    {CMS, 320, "memory failure"},
    {CMS, kCmsInvalidIndex, "invalid memory index"},
    {CMS, 322, "memory full"},
    {CMS, 330, "SMSC address unknown"},
    {CMS, 331, "no network service"},
    {CMS, 332, "network timeout"},
    {CMS, 340, "no +CNMA acknowledgement expected"},
    {CMS, 500, "unknown error"},
};

bool SameWords(const char* a, const std::string& b) {
    size_t i = 0;
    for (; a[i] && i < b.size(); ++i)
        if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i]))) return false;
    return !a[i] && i == b.size();
}

}  // namespace

std::string ErrorMeaning(ErrorFamily family, int code) {
    for (const Code& c : kCodes)
        if (c.family == family && c.code == code) return c.words;
    if (family == ErrorFamily::Cms) {
        // 27.005 3.2.5: 0 to 127 are RP causes, 128 to 255 TP failure causes,
        // 512 and up the manufacturer's.
        if (code >= 0 && code < 128) return "network cause, unspecified";
        if (code >= 0x80 && code <= 0x8F) return "TP-PID error";
        if (code >= 0x90 && code <= 0x9F) return "TP-DCS error";
        if (code >= 0xA0 && code <= 0xAF) return "TP-Command error";
        if (code >= 0xE0 && code <= 0xFE) return "error specific to the SC";
        if (code >= 512) return "manufacturer specific";
    } else if (code >= 256) {
        return "manufacturer specific";
    }
    return "reserved";
}

int ErrorCodeFromText(ErrorFamily family, const std::string& text) {
    for (const Code& c : kCodes)
        if (c.family == family && SameWords(c.words, text)) return c.code;
    // Modems spell the SIM words as 27.007 did before USIMs: "(U)SIM" is read as "SIM".
    size_t u = text.find("(U)");
    if (u != std::string::npos) return ErrorCodeFromText(family, text.substr(0, u) + text.substr(u + 3));
    return -1;
}

}  // namespace modem
