#include "modem/storage.h"

#include <cstdlib>

#include "modem/value_list.h"
#include "sms/modem.h"

namespace modem {
namespace {

bool Digits(const std::string& s) { return !s.empty() && s.find_first_not_of("0123456789 ") == std::string::npos; }

}  // namespace

std::string StatusName(int status) {
    static const char* const kNames[] = {"received unread", "received read", "stored unsent", "stored sent"};
    return status >= 0 && status < 4 ? kNames[status] : "status " + std::to_string(status);
}

Answer SelectStorage(Session* session, const std::string& storage, int limitMs) {
    if (storage.empty()) {
        Answer none;
        none.result.kind = FinalResult::Ok;
        return none;
    }
    return session->RunWhileBusy("AT+CPMS=\"" + storage + "\"", limitMs);
}

std::vector<StoredPdu> ReadListing(const Answer& answer, bool withIndex, int index) {
    std::vector<StoredPdu> stored;
    const std::string prefix = withIndex ? "+CMGL:" : "+CMGR:";
    for (size_t i = 0; i < answer.lines.size(); ++i) {
        const std::string& line = answer.lines[i];
        if (line.compare(0, prefix.size(), prefix) != 0) continue;
        StoredPdu s;
        std::string rest = line.substr(prefix.size());
        size_t comma = rest.find(',');
        std::string first = rest.substr(0, comma);
        std::string second = comma == std::string::npos ? "" : rest.substr(comma + 1, rest.find(',', comma + 1) - comma - 1);
        if (withIndex) {
            s.index = Digits(first) ? atoi(first.c_str()) : -1;
            s.status = Digits(second) ? atoi(second.c_str()) : -1;
        } else {
            s.index = index;
            s.status = Digits(first) ? atoi(first.c_str()) : -1;
        }
        sms::ModemLine framing = sms::ReadModemLine(line);
        s.length = framing.kind == sms::ModemLine::Length ? framing.length : -1;
        bool pduNext = i + 1 < answer.lines.size() && answer.lines[i + 1].compare(0, prefix.size(), prefix) != 0;
        if (pduNext) s.hex = answer.lines[++i];
        if (s.index < 0) s.fault = "its " + prefix + " line gives no index: " + line;
        else if (s.length < 0) s.fault = "its " + prefix + " line gives no length: " + line;
        else if (!pduNext) s.fault = "no PDU after its " + prefix + " line";
        stored.push_back(s);
    }
    return stored;
}

bool OffersDeleteFlag(const Answer& test, int flag) {
    std::vector<std::set<int>> lists = ReadValueLists(test.Field("+CMGD:"));
    return test.Ok() && lists.size() >= 2 && lists[1].count(flag);
}

}  // namespace modem
