#include "modem/value_list.h"

#include <cstdlib>

namespace modem {

std::vector<std::set<int>> ReadValueLists(const std::string& text) {
    std::vector<std::set<int>> lists;
    size_t i = 0;
    while ((i = text.find('(', i)) != std::string::npos) {
        size_t end = text.find(')', i);
        if (end == std::string::npos) break;
        std::set<int> values;
        std::string group = text.substr(i + 1, end - i - 1);
        size_t at = 0;
        while (at < group.size()) {
            size_t comma = group.find(',', at);
            std::string item = group.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
            at = comma == std::string::npos ? group.size() : comma + 1;
            size_t dash = item.find('-');
            if (item.empty() || item.find_first_not_of("0123456789- ") != std::string::npos) continue;
            int first = atoi(item.c_str()), last = dash == std::string::npos ? first : atoi(item.c_str() + dash + 1);
            for (int v = first; v <= last && v - first < 1000; ++v) values.insert(v);
        }
        lists.push_back(values);
        i = end + 1;
    }
    return lists;
}

}  // namespace modem
