#include "sms/language.h"

#include <algorithm>
#include <utility>

#include "sms/national_tables.h"
#include "sms/user_data.h"

namespace sms {
namespace {

const uint8_t kEscape = 0x1B;
const char32_t kNoCharacter = 0xFFFD;  // a code the table leaves empty
const char* const kCodes[kNationalTableCount] = {"",   "tr", "es", "pt", "bn", "gu", "hi",
                                                  "kn", "ml", "or", "pa", "ta", "te", "ur"};

// Identifiers with no table read with the default ones (3GPP TS 23.040 9.2.3.24.15/16).
int LockingIndex(int id) { return id > 0 && id < kNationalTableCount && kNationalTables[id].locking ? id : 0; }
int SingleIndex(int id) { return id > 0 && id < kNationalTableCount ? id : 0; }

// A table's characters in order, each with its lowest code: the Indic and Urdu single shift tables hold '*' and '¡'
// twice.
class Reverse {
public:
    explicit Reverse(const char32_t* table) {
        for (int code = 0; code < 128; ++code)
            if (table[code]) byChar_.emplace_back(table[code], static_cast<uint8_t>(code));
        std::sort(byChar_.begin(), byChar_.end());  // by character, then code: the lowest code first
        byChar_.erase(std::unique(byChar_.begin(), byChar_.end(),
                                  [](const Entry& a, const Entry& b) { return a.first == b.first; }),
                      byChar_.end());
    }
    int Code(char32_t c) const {
        auto it = std::lower_bound(byChar_.begin(), byChar_.end(), Entry(c, 0));
        return it != byChar_.end() && it->first == c ? it->second : -1;
    }

private:
    using Entry = std::pair<char32_t, uint8_t>;
    std::vector<Entry> byChar_;
};

// The reverse of every table, made once: locking tables at even places, single shift tables at odd ones.
const Reverse& Reversed(int index, bool single) {
    static const std::vector<Reverse> all = [] {
        std::vector<Reverse> v;
        for (const NationalTables& t : kNationalTables) {
            v.emplace_back(t.locking ? t.locking : kNationalTables[0].locking);
            v.emplace_back(t.singleShift);
        }
        return v;
    }();
    return all[2 * index + single];
}

// The septets a character takes with those tables: 1 from the locking table, 2 from the single shift table, 0 when
// neither has it.
int Cost(char32_t c, ShiftTables t) {
    return Reversed(LockingIndex(t.locking), false).Code(c) >= 0  ? 1
           : Reversed(SingleIndex(t.single), true).Code(c) >= 0 ? 2
                                                                 : 0;
}

// The combinations tried, in the order that settles a tie: the default tables, then a single shift table alone (a
// phone without it still shows the rest of the text right), a locking table alone, both of one language, and last
// (for kAnyLanguage) a locking table with another language's single shift table; lower identifiers first.
std::vector<ShiftTables> Candidates(int language) {
    if (language < 0 || language >= kNationalTableCount) return {ShiftTables()};  // no language: the default tables
    int first = language == kAnyLanguage ? 1 : language, last = language == kAnyLanguage ? kNationalTableCount - 1 : language;
    auto hasLocking = [](int id) { return kNationalTables[id].locking != nullptr; };
    std::vector<ShiftTables> list{ShiftTables()};
    for (int id = first; id <= last; ++id) list.push_back({-1, id});
    for (int id = first; id <= last; ++id)
        if (hasLocking(id)) list.push_back({id, -1});
    for (int id = first; id <= last; ++id)
        if (hasLocking(id)) list.push_back({id, id});
    for (int lock = 1; language == kAnyLanguage && lock < kNationalTableCount; ++lock)
        for (int single = 1; hasLocking(lock) && single < kNationalTableCount; ++single)
            if (single != lock) list.push_back({lock, single});
    return list;
}

// The parts a text takes, and the septets left in its last one, when its characters cost cost[index[i]] septets:
// parts filled in order, an escape pair never split, as BuildSubmit splits them.
struct Fit {
    size_t parts, left;
};
Fit Count(const std::vector<uint32_t>& index, const std::vector<uint8_t>& cost, size_t single, size_t per) {
    size_t total = 0, used = 0, parts = 1;
    for (uint32_t i : index) {
        total += cost[i];
        if (used + cost[i] > per) {
            ++parts;
            used = 0;
        }
        used += cost[i];
    }
    return total <= single ? Fit{1, single - total} : Fit{parts, per - used};
}

}  // namespace

const char kLanguageCodes[] = "tr es pt bn gu hi kn ml or pa ta te ur";

const char* LanguageName(int id) { return id > 0 && id < kNationalTableCount ? kNationalTables[id].name : nullptr; }

int LanguageFromCode(const std::string& code) {
    std::string lower = code;
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower == "auto") return kAnyLanguage;
    for (int id = 1; id < kNationalTableCount; ++id)
        if (lower == kCodes[id]) return id;
    return -1;
}

bool ToSeptets(const std::u32string& text, ShiftTables tables, Bytes* septets) {
    const Reverse& locking = Reversed(LockingIndex(tables.locking), false);
    const Reverse& single = Reversed(SingleIndex(tables.single), true);
    septets->clear();
    for (char32_t c : text) {
        int code = locking.Code(c);
        if (code < 0 && (code = single.Code(c)) >= 0) septets->push_back(kEscape);
        if (code < 0) return false;
        septets->push_back(static_cast<uint8_t>(code));
    }
    return true;
}

std::string SeptetsToUtf8(const Bytes& septets, ShiftTables tables) {
    return JoinedSeptetsToUtf8({SeptetPart{&septets, tables}});
}

std::string JoinedSeptetsToUtf8(const std::vector<SeptetPart>& parts) {
    std::string out;
    bool escaped = false;
    NationalTables tables{}, escapeTables{};  // those of the part read, and of the part an escape came in
    for (const SeptetPart& part : parts) {
        tables.locking = kNationalTables[LockingIndex(part.tables.locking)].locking;
        tables.singleShift = kNationalTables[SingleIndex(part.tables.single)].singleShift;
        for (uint8_t septet : *part.septets) {
            uint8_t code = septet & 0x7F;
            char32_t c = tables.locking[code];
            if (escaped) {
                // 3GPP TS 23.038 6.2.1.1: a second escape shows a space; a code the single shift table lacks shows the
                // character of the locking table in use.
                const NationalTables& e = escapeTables;
                c = code == kEscape ? U' ' : e.singleShift[code] ? e.singleShift[code] : e.locking[code];
                escaped = false;
            } else if (code == kEscape) {
                escaped = true;
                escapeTables = tables;
                continue;
            }
            AppendUtf8(&out, c ? c : kNoCharacter);
        }
    }
    if (escaped) out += ' ';  // a lone escape at the end
    return out;
}

Bytes ShiftElements(ShiftTables tables) {
    Bytes elements;
    for (int id : {IE_SINGLE_SHIFT, IE_LOCKING_SHIFT}) {
        int language = id == IE_SINGLE_SHIFT ? tables.single : tables.locking;
        if (language < 0) continue;
        elements.push_back(static_cast<uint8_t>(id));
        elements.push_back(1);  // the element's length
        elements.push_back(static_cast<uint8_t>(language));
    }
    return elements;
}

bool ChooseTables(const std::u32string& text, int language, const SeptetRoom& room, ShiftTables* chosen) {
    // Each character as an index into the text's distinct characters, so that a combination costs one pass.
    std::vector<char32_t> distinct(text.begin(), text.end());
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    std::vector<uint32_t> index;
    index.reserve(text.size());
    for (char32_t c : text)
        index.push_back(static_cast<uint32_t>(std::lower_bound(distinct.begin(), distinct.end(), c) - distinct.begin()));

    bool found = false;
    Fit best{0, 0};
    std::vector<uint8_t> cost(distinct.size());
    for (ShiftTables t : Candidates(language)) {
        size_t d = 0;
        while (d < distinct.size() && (cost[d] = static_cast<uint8_t>(Cost(distinct[d], t))) != 0) ++d;
        if (d < distinct.size()) continue;
        Fit fit = Count(index, cost, room(t, false), room(t, true));
        if (!found || fit.parts < best.parts || (fit.parts == best.parts && fit.left > best.left)) {
            found = true;
            best = fit;
            *chosen = t;
        }
    }
    return found;
}

}  // namespace sms
