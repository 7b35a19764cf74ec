#include "modem/unsolicited.h"

namespace modem {
namespace {

const UnsolicitedKind kKinds[] = {
    // 27.005 3.4.1: new messages and status reports, stored or delivered.
    {"+CMTI:", false}, {"+CDSI:", false}, {"+CBMI:", false},
    {"+CMT:", true}, {"+CDS:", true}, {"+CBM:", true},
    // 27.007: calls, registration, USSD answers, SIM state at start-up.
    {"RING", false}, {"+CRING:", false}, {"+CLIP:", false}, {"+CCWA:", false}, {"NO CARRIER", false},
    {"+CREG:", false}, {"+CGREG:", false}, {"+CEREG:", false}, {"+CUSD:", false}, {"+CPIN:", false},
    {"+CIEV:", false}, {"+CTZV:", false}, {"+CTZE:", false},
    // Huawei: signal, boot, network mode and service state reports.
    {"^RSSI:", false}, {"^HCSQ:", false}, {"^BOOT:", false}, {"^MODE:", false}, {"^SRVST:", false},
    {"^SIMST:", false}, {"^DSFLOWRPT:", false}, {"^CEND:", false}, {"^ORIG:", false}, {"^CONF:", false},
    {"^CONN:", false}, {"^STIN:", false}, {"^SYSSTART", false},
    // SIMCom, Quectel, u-blox, Sierra, ZTE start-up and state lines.
    {"RDY", false}, {"Call Ready", false}, {"SMS Ready", false}, {"+CFUN:", false}, {"+QIND:", false},
    {"+QUSIM:", false}, {"+UUSIM", false}, {"+PACSP", false}, {"+ZPASR:", false}, {"+ZUSIMR:", false},
    {"*PSUTTZ:", false}, {"DST:", false}, {"+CSMINS:", false}, {"+SIM READY", false}, {"+ZEND", false},
};

}  // namespace

const UnsolicitedKind* FindUnsolicited(const std::string& line) {
    for (const UnsolicitedKind& k : kKinds)
        if (line.compare(0, std::string(k.prefix).size(), k.prefix) == 0) return &k;
    return nullptr;
}

}  // namespace modem
