#include "modem/ussd.h"

#include <cstdlib>

#include "sms/pdu.h"
#include "sms/text.h"

namespace modem {
namespace {

const uint8_t kCr = 0x0D;

enum class Alphabet { Gsm7, Data8, Ucs2 };

// The alphabet of a cell broadcast / USSD data coding scheme (23.038 5).
Alphabet AlphabetOf(int dcs) {
    int group = dcs >> 4;
    if (group == 0x0 || group == 0x2 || group == 0x3) return Alphabet::Gsm7;
    if (dcs == 0x10) return Alphabet::Gsm7;
    if (dcs == 0x11) return Alphabet::Ucs2;
    if ((group & 0xC) == 0x4 || group == 0x9) {
        int alphabet = (dcs >> 2) & 3;
        return alphabet == 1 ? Alphabet::Data8 : alphabet == 2 ? Alphabet::Ucs2 : Alphabet::Gsm7;
    }
    if (group == 0xF) return dcs & 4 ? Alphabet::Data8 : Alphabet::Gsm7;
    return Alphabet::Gsm7;
}

}  // namespace

bool PackUssd(const std::string& text, std::string* hex, std::string* why) {
    std::u32string chars;
    size_t bad = 0;
    sms::Bytes septets, octets;
    if (!sms::DecodeUtf8(text, &chars, &bad) || !sms::ToSeptets(chars, &septets)) {
        *why = "'" + text + "' has a character the GSM 7-bit alphabet lacks";
        return false;
    }
    // 23.038 6.1.2.3.1: seven spare bits would read as '@', so CR fills them; a wanted final CR that ends on an
    // octet boundary gets a second one.
    if (septets.size() % 8 == 7 || (septets.size() % 8 == 0 && !septets.empty() && septets.back() == kCr))
        septets.push_back(kCr);
    sms::PackSeptets(septets, 0, &octets);
    *hex = sms::Hex(octets);
    return true;
}

bool ReadUssdAnswer(const std::string& line, bool hex, UssdAnswer* out) {
    if (line.compare(0, 6, "+CUSD:") != 0) return false;
    std::string rest = line.substr(6);
    out->status = atoi(rest.c_str());
    size_t open = rest.find('"'), close = rest.rfind('"');
    if (open == std::string::npos || close == open) return true;  // <m> alone: no text
    std::string str = rest.substr(open + 1, close - open - 1);
    size_t comma = rest.find(',', close);
    out->dcs = comma == std::string::npos ? kUssdDcs : atoi(rest.c_str() + comma + 1);
    Alphabet alphabet = AlphabetOf(out->dcs);
    sms::Bytes octets;
    sms::ParseError e;
    bool isHex = str.size() % 2 == 0 && sms::ParseHex(str, &octets, &e);
    if (isHex && alphabet == Alphabet::Ucs2 && octets.size() % 2 == 0) {
        std::vector<uint16_t> units;
        for (size_t i = 0; i + 1 < octets.size(); i += 2) units.push_back(static_cast<uint16_t>(octets[i] << 8 | octets[i + 1]));
        out->text = sms::Utf16ToUtf8(units);
    } else if (isHex && hex && alphabet == Alphabet::Gsm7) {
        sms::Bytes septets = sms::UnpackSeptets(octets.data(), 0, octets.size() * 8 / 7);
        // The CR that filled the last octet's seven spare bits (23.038 6.1.2.3.1) is no character.
        if (septets.size() % 8 == 0 && !septets.empty() && septets.back() == kCr) septets.pop_back();
        out->text = sms::SeptetsToUtf8(septets);
    } else {
        out->text = str;
    }
    return true;
}

std::string UssdStatusName(int status) {
    static const char* const kNames[] = {"no further action required", "further action required",
                                         "terminated by network", "other local client has responded",
                                         "operation not supported", "network time out"};
    return status >= 0 && status <= 5 ? kNames[status] : "status " + std::to_string(status);
}

}  // namespace modem
