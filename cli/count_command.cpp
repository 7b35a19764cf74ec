// smspdu count: the coding, the parts and the room a text takes as submit
// would send it, from the same plan the builder follows, and when UCS-2 is
// forced the characters that force it.
#include "cli/render.h"
#include "cli/sms_commands.h"
#include "sms/national_tables.h"

namespace {

std::string Num(size_t v) { return std::to_string(v); }

// Whether `c` has a code in the default tables or in those of `language` (-1 none, kAnyLanguage any).
bool Writable(char32_t c, int language) {
    sms::Bytes codes;
    std::u32string one(1, c);
    if (sms::ToSeptets(one, &codes)) return true;
    int first = language == sms::kAnyLanguage ? 1 : language, last = language == sms::kAnyLanguage ? sms::kNationalTableCount - 1 : language;
    for (int id = first; language >= 0 && id <= last; ++id)
        if (sms::ToSeptets(one, {id, id}, &codes) || sms::ToSeptets(one, {-1, id}, &codes)) return true;
    return false;
}

// The coding, the size in its units, the parts and the room left in the last one.
void AddPlan(std::vector<Field>* f, const sms::SubmitPlan& plan, const sms::SubmitOptions& o) {
    const char* unit = plan.coding == sms::Coding::Ucs2 ? "units" : plan.coding == sms::Coding::Gsm7 ? "septets" : "octets";
    size_t total = plan.coding == sms::Coding::Ucs2 ? plan.units.size() : plan.codes.size(), parts = plan.ends.size();
    size_t lastStart = parts > 1 ? plan.ends[parts - 2] : 0;
    size_t room = sms::PartRoom(plan.coding, sms::PartHeader(o, plan.tables, plan.multi, plan.ref, parts, parts));
    f->push_back(Field{"coding", sms::CodingName(plan.coding), Field::Both, false, ""});
    if (plan.coding == sms::Coding::Gsm7) AddLanguageFields(f, plan.tables);
    f->push_back(Field{unit, Num(total), Field::Both, true, ""});
    f->push_back(Field{"parts", Num(parts), Field::Both, true, ""});
    f->push_back(Field{"room left", Num(room - (plan.ends.back() - lastStart)), Field::Both, true, ""});
}

}  // namespace

int CountCommand(const std::vector<std::string>& args, FILE* in, FILE* out, FILE* err) {
    sms::SubmitOptions o;
    std::string text;
    bool json = false;
    auto option = [&](const std::vector<std::string>& a, size_t* i, bool*, std::string*) {
        if (a[*i] != "--json") return false;
        json = true;
        return true;
    };
    int usage = ReadSubmitArguments(args, in, err, &o, &text, option, false);
    if (usage >= 0) return usage;
    sms::SubmitPlan plan;
    std::string error;
    if (!sms::PlanSubmit(text, o, &plan, &error)) {
        fprintf(err, "smspdu: %s\n", error.c_str());
        return 1;
    }
    std::vector<Field> fields;
    AddPlan(&fields, plan, o);
    bool forced = plan.coding == sms::Coding::Ucs2 && !o.ucs2;
    if (forced) {
        std::string plain, list;
        for (size_t i = 0; i < plan.characters.size(); ++i) {
            if (Writable(plan.characters[i], o.language)) continue;
            std::string c;
            sms::AppendUtf8(&c, plan.characters[i]);
            plain += (plain.empty() ? "" : ", ") + std::string("'") + c + "' (character " + Num(i + 1) + ")";
            list += (list.empty() ? "" : ", ") + std::string("{\"char\": \"") + Escaped(c, true) +
                    "\", \"position\": " + Num(i + 1) + "}";
        }
        fields.push_back(Field{"UCS-2 forced by", plain, Field::PlainOnly, false, ""});
        fields.push_back(Field{"forced_by", "[" + list + "]", Field::JsonOnly, true, ""});
    }
    if (forced && o.language != sms::kAnyLanguage) {
        sms::SubmitOptions automatic = o;
        automatic.language = sms::kAnyLanguage;
        sms::SubmitPlan other;
        std::vector<Field> with;
        if (sms::PlanSubmit(text, automatic, &other, &error)) AddPlan(&with, other, automatic);
        std::string plain;
        for (const Field& w : with)
            if (w.form != Field::JsonOnly) plain += (plain.empty() ? "" : ", ") + w.label + " " + w.value;
        fields.push_back(Field{"with --lang auto", plain, Field::PlainOnly, false, ""});
        std::string object = RenderJson(with);
        fields.push_back(Field{"lang_auto", object.substr(0, object.size() - 1), Field::JsonOnly, true, ""});
    }
    std::string printed = json ? RenderJson(fields) : RenderPlain(fields);
    fwrite(printed.data(), 1, printed.size(), out);
    return fflush(out) == 0 ? 0 : 1;
}
