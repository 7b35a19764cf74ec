#include "cli/cbs_render.h"

#include <string>

namespace {

std::string Num(long v) { return std::to_string(v); }

void Add(std::vector<Field>* f, const std::string& label, const std::string& value, bool raw = false) {
    f->push_back(Field{label, value, Field::Both, raw, ""});
}

// "[1,3]" for the pages of `joined` that are (or are not) there.
std::string PageList(const CbsJoined& joined, bool present) {
    std::string list;
    for (int p = 1; p <= joined.parts; ++p) {
        bool have = false;
        for (int q : joined.present) have |= q == p;
        if (have == present) list += (list.empty() ? "" : ",") + Num(p);
    }
    return "[" + list + "]";
}

}  // namespace

std::vector<Field> CbsFields(const sms::CbsMessage& m, const CbsJoined* joined) {
    std::vector<Field> f;
    Add(&f, "type", "CBS");
    Add(&f, "serial number", Num(m.serialNumber), true);
    Add(&f, "geographical scope", sms::GeographicalScopeName(m.geographicalScope));
    Add(&f, "message code", Num(m.messageCode), true);
    Add(&f, "update number", Num(m.updateNumber), true);
    std::string meaning = sms::MessageIdentifierMeaning(m.messageIdentifier);
    f.push_back(Field{"message identifier", Num(m.messageIdentifier) + ", " + meaning, Field::PlainOnly, false, ""});
    f.push_back(Field{"message identifier", Num(m.messageIdentifier), Field::JsonOnly, true, ""});
    f.push_back(Field{"message identifier text", meaning, Field::JsonOnly, false, ""});
    Add(&f, "coding", sms::CodingName(m.coding.coding));
    if (m.coding.messageClass >= 0) Add(&f, "class", Num(m.coding.messageClass), true);
    if (!m.language.empty()) {
        const char* name = sms::CbsLanguageName(m.language);
        f.push_back(Field{"language", name ? std::string(name) + " (" + m.language + ")" : m.language, Field::PlainOnly,
                          false, ""});
        f.push_back(Field{"language", m.language, Field::JsonOnly, false, ""});
    }
    if (!m.header.empty()) Add(&f, "header", sms::Hex(m.header));
    if (joined) {
        Add(&f, "pages", Num(joined->parts), true);
        Add(&f, "pages present", PageList(*joined, true), true);
        if (static_cast<int>(joined->present.size()) < joined->parts) Add(&f, "missing pages", PageList(*joined, false), true);
    } else {
        Add(&f, "page", Num(m.page), true);
        Add(&f, "pages", Num(m.pages), true);
    }
    if (m.coding.coding == sms::Coding::Gsm7 || m.coding.coding == sms::Coding::Ucs2) Add(&f, "text", m.text);
    else Add(&f, "data", sms::Hex(m.data));
    return f;
}
