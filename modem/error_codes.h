// The numbered errors a modem gives: +CME ERROR (3GPP TS 27.007 9.2) and
// +CMS ERROR (27.005 3.2.5), one table, each code with its words.
#pragma once
#include <string>

namespace modem {

enum class ErrorFamily { Cme, Cms };

// The words for a code: the table's, or the range it falls in
// ("manufacturer specific", "reserved"); never empty.
std::string ErrorMeaning(ErrorFamily family, int code);
// The code of a verbose result (AT+CMEE=2, or a modem that gives words
// whatever it is told): its text compared without case; -1 when not in the table.
int ErrorCodeFromText(ErrorFamily family, const std::string& text);

// Codes the dialogue acts on by name.
constexpr int kCmeSimPinRequired = 11;
constexpr int kCmeSimPukRequired = 12;
constexpr int kCmeSimBusy = 14;
constexpr int kCmeIncorrectPassword = 16;
// Not in 27.007: "please wait, init or command processing in progress", as
// SIMCom, Quectel and Telit modems give it while the SIM is read after start.
constexpr int kCmeVendorPleaseWait = 515;
constexpr int kCmsSimBusy = 314;
constexpr int kCmsInvalidIndex = 321;

}  // namespace modem
