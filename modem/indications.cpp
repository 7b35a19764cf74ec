#include "modem/indications.h"

#include <cstdlib>
#include <set>
#include <vector>

#include "modem/value_list.h"

namespace modem {
namespace {

// The first of `preferred` that `offered` holds, or -1.
int FirstOffered(const std::set<int>& offered, std::initializer_list<int> preferred) {
    for (int v : preferred)
        if (offered.count(v)) return v;
    return -1;
}

}  // namespace

std::string IndicationSetting::Command() const {
    return "AT+CNMI=" + std::to_string(mode) + "," + std::to_string(mt) + "," + std::to_string(bm) + "," +
           std::to_string(ds) + "," + std::to_string(bfr);
}

bool ChooseIndications(const Answer& test, IndicationSetting* out, bool reportsOnly) {
    std::vector<std::set<int>> lists = ReadValueLists(test.Field("+CNMI:"));
    if (!test.Ok() || lists.size() < 2) return false;
    lists.resize(5);
    IndicationSetting s;
    s.mode = FirstOffered(lists[0], {2, 1, 3});
    s.mt = reportsOnly ? FirstOffered(lists[1], {0, 1, 2, 3}) : FirstOffered(lists[1], {1, 2, 3});
    s.bm = lists[2].empty() ? 0 : FirstOffered(lists[2], {0, 1, 2, 3});
    s.ds = lists[3].empty() ? 0 : FirstOffered(lists[3], {2, 1, 0});
    s.bfr = lists[4].empty() ? 0 : FirstOffered(lists[4], {0, 1});
    if (s.mode < 0 || s.mt < 0) return false;
    *out = s;
    return true;
}

bool NeedsAcknowledgement(const Answer& csms) {
    std::string field = csms.Field("+CSMS:");
    return csms.Ok() && !field.empty() && atoi(field.c_str()) == 1;
}

}  // namespace modem
