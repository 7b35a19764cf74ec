// The lists of values a test command (AT+...=?) answers with (V.250 5.4.2.1):
// "(0-2),(0,1,3),(0)" read as one set of numbers per parameter.
#pragma once
#include <set>
#include <string>
#include <vector>

namespace modem {

// One set per parenthesised group, in order; a group of quoted names or
// other words gives an empty set. Ranges wider than 1000 values are cut there.
std::vector<std::set<int>> ReadValueLists(const std::string& text);

}  // namespace modem
