// How new messages and status reports reach us (3GPP TS 27.005 3.4.1
// AT+CNMI), chosen from what the modem offers, and whether it wants each
// delivered one acknowledged (3.2.1 AT+CSMS service 1, 3.4.4 AT+CNMA).
#pragma once
#include <string>

#include "modem/session.h"

namespace modem {

struct IndicationSetting {
    int mode = 2, mt = 1, bm = 0, ds = 2, bfr = 0;
    std::string Command() const;  // "AT+CNMI=2,1,0,2,0"
};

// From the AT+CNMI=? answer: mode 2 (buffered while the link is busy) over
// 1; new messages stored and announced (mt 1: on the SIM before we see them,
// so none is lost should we stop) over delivered (2, 3); status reports
// stored and announced (ds 2) over delivered (1), or none where neither is
// offered. False when the answer offers no mode or no mt of these. For
// `reportsOnly` (a send waiting for its reports) mt 0 comes first: new
// messages are then stored without a word, for a later listen or list.
bool ChooseIndications(const Answer& test, IndicationSetting* out, bool reportsOnly = false);

// Whether the AT+CSMS? answer says service 1 (phase 2+): delivered messages
// and reports then wait for AT+CNMA.
bool NeedsAcknowledgement(const Answer& csms);

}  // namespace modem
