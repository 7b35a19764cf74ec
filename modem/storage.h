// The modem's message storage (3GPP TS 27.005 3.2.2 AT+CPMS, 3.4.2 AT+CMGL,
// 3.4.3 AT+CMGR, 3.5.4 AT+CMGD): listing, reading and deleting stored PDUs.
#pragma once
#include <string>
#include <vector>

#include "modem/session.h"

namespace modem {

// <stat> in PDU mode (27.005 3.1).
enum StoredStatus { kReceivedUnread = 0, kReceivedRead = 1, kStoredUnsent = 2, kStoredSent = 3, kAllStatus = 4 };
// "received unread", "received read", "stored unsent", "stored sent"; "status N" for others.
std::string StatusName(int status);

struct StoredPdu {
    int index = -1, status = -1;
    int length = -1;   // the TPDU length its +CMGL/+CMGR line gave
    std::string hex;   // the PDU line
    std::string fault; // a listing that did not frame it as 27.005 says: what was wrong
};

// Sets the storage that is read and deleted from (<mem1> only: where new
// messages are put, <mem3>, stays as the user set it). "" leaves it as it is.
Answer SelectStorage(Session* session, const std::string& storage, int limitMs);
// The +CMGL:/+CMGR: lines of `answer`, each with the PDU line after it.
// `withIndex`: +CMGL (index first); else +CMGR of `index`.
std::vector<StoredPdu> ReadListing(const Answer& answer, bool withIndex, int index = -1);

// 27.005 3.5.4 <delflag> values.
enum DeleteFlag { kDeleteOne = 0, kDeleteRead = 1, kDeleteReadAndSent = 2, kDeleteAllButUnread = 3, kDeleteAll = 4 };
// Whether an AT+CMGD=? answer offers `flag` ("+CMGD: (1-20),(0-4)").
bool OffersDeleteFlag(const Answer& test, int flag);

}  // namespace modem
