// USSD strings (3GPP TS 27.007 7.15 AT+CUSD, 23.038 6.1.2.3 and 5): the
// code as packed 7-bit hex for modems that want it so, and the answer's text
// by its data coding.
#pragma once
#include <string>

namespace modem {

// The data coding a request goes with: GSM 7-bit, language unspecified (23.038 5).
constexpr int kUssdDcs = 15;

// UTF-8 text to packed 7-bit hex, padded with CR where 23.038 6.1.2.3.1
// wants it (7 spare bits at the end, or a wanted CR that ends on an octet
// boundary). False with *why when a character is not in the GSM alphabet.
bool PackUssd(const std::string& text, std::string* hex, std::string* why);

struct UssdAnswer {
    int status = -1;   // <m>: 0 done, 1 the network wants an answer (a menu), 2 to 5 ended (see UssdStatusName)
    std::string text;  // UTF-8
    int dcs = -1;
};
// A +CUSD: line: `hex` when the string is hex (packed 7-bit or UCS-2 by its
// data coding, as modems give it after a packed request, and many give UCS-2
// whatever was asked); else the string is taken as it is.
bool ReadUssdAnswer(const std::string& line, bool hex, UssdAnswer* out);
// "terminated by network", "other local client has responded", "operation
// not supported", "network time out" for <m> 2 to 5.
std::string UssdStatusName(int status);

}  // namespace modem
