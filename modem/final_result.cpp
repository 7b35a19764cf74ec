#include "modem/final_result.h"

#include <cstdlib>

#include "modem/error_codes.h"

namespace modem {
namespace {

// A numbered error's rest: a number ("14") or words ("SIM busy").
FinalResult Numbered(FinalResult::Kind kind, ErrorFamily family, const std::string& line, size_t restAt) {
    FinalResult r;
    r.kind = kind;
    r.text = line;
    size_t a = line.find_first_not_of(' ', restAt);
    std::string rest = a == std::string::npos ? "" : line.substr(a);
    while (!rest.empty() && rest.back() == ' ') rest.pop_back();
    if (!rest.empty() && rest.size() <= 5 && rest.find_first_not_of("0123456789") == std::string::npos)
        r.code = atoi(rest.c_str());
    else
        r.code = ErrorCodeFromText(family, rest);
    return r;
}

}  // namespace

FinalResult ReadFinalResult(const std::string& line) {
    FinalResult r;
    std::string s = line;
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    if (s == "OK") {
        r.kind = FinalResult::Ok;
    } else if (s == "ERROR" || s == "COMMAND NOT SUPPORT" || s == "TOO MANY PARAMETERS") {
        // The last two: answers of some Huawei and ZTE firmware in place of ERROR.
        r.kind = FinalResult::Error;
    } else if (s.compare(0, 11, "+CME ERROR:") == 0) {
        return Numbered(FinalResult::CmeError, ErrorFamily::Cme, s, 11);
    } else if (s.compare(0, 11, "+CMS ERROR:") == 0) {
        return Numbered(FinalResult::CmsError, ErrorFamily::Cms, s, 11);
    } else {
        return r;
    }
    r.text = s;
    return r;
}

std::string FinalResult::Describe() const {
    if (kind == CmeError || kind == CmsError) {
        ErrorFamily family = kind == CmeError ? ErrorFamily::Cme : ErrorFamily::Cms;
        std::string head = kind == CmeError ? "+CME ERROR: " : "+CMS ERROR: ";
        if (code < 0) return text;
        return head + std::to_string(code) + " (" + ErrorMeaning(family, code) + ")";
    }
    return text;
}

}  // namespace modem
