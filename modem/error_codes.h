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
// Not in 27.007: a vendor's code, "please wait, init or command processing in
// progress" as its meaning is usually quoted; Sierra Wireless (Wavecom)
// modems give it while starting or busy (their forum's threads "CME Error
// 536/515" and "Modem hangs with CME ERROR 515").
constexpr int kCmeVendorPleaseWait = 515;
constexpr int kCmsSimBusy = 314;
constexpr int kCmsInvalidIndex = 321;

}  // namespace modem
