#include "sms/address.h"

#include <cctype>

#include "sms/language.h"

namespace sms {
namespace {

const char kDigits[] = "0123456789*#abc";  // semi-octets 0 to 14; 15 is the fill
const int kTypeInternational = 0x91, kTypeUnknown = 0x81, kTypeAlphanumeric = 0xD0;
const int kMaxSmscOctets = 11, kMaxAddressOctets = 10, kMaxNameCharacters = 11;

// The value of `semiOctets` semi-octets in `octets` octets, taken as `field`.
bool ReadValue(Cursor& c, const char* field, int type, size_t semiOctets, size_t octets, Address* a) {
    const uint8_t* p;
    size_t at = c.Offset();
    c.TakeCounted(octets, field, at, "", &p);  // the length was checked against the data; shown up to a fault
    a->type = type;
    a->text.clear();
    if (a->Alphanumeric()) {
        a->text = SeptetsToUtf8(UnpackSeptets(p, 0, semiOctets * 4 / 7));
    } else {
        if ((type & 0x70) == 0x10) a->text = "+";
        for (size_t k = 0; k < semiOctets; ++k) {
            int nibble = k % 2 ? p[k / 2] >> 4 : p[k / 2] & 15;
            if (nibble == 15) return c.Fail(at + k / 2, "invalid semi-octet F inside a number");
            a->text += kDigits[nibble];
        }
    }
    if (c.Tracing()) c.Means(a->text.empty() ? "empty" : a->Alphanumeric() ? a->text + " (a name in 7-bit characters)" : a->text);
    return true;
}

// The type octet just taken as `field`, with its three parts.
void ExplainType(Cursor& c, const std::string& field, int type) {
    if (!c.Tracing()) return;
    size_t at = c.Offset() - 1;
    if (c.Tracing()) c.Means(std::string(NumberKind(type)) + ", " + NumberingPlan(type));
    c.Bits(at, 7, 7, (field + " extension").c_str(), type & 0x80 ? "no extension" : "extended (reserved)");
    c.Bits(at, 6, 4, (field + " type of number").c_str(), NumberKind(type));
    c.Bits(at, 3, 0, (field + " numbering plan").c_str(), NumberingPlan(type));
}

bool IsDigit(char c) { return (c >= '0' && c <= '9') || c == '*' || c == '#'; }

// A number of 1 to 20 digits (and * #), with a leading + when international.
bool EncodeNumber(const std::string& number, Bytes* digits, int* type) {
    size_t start = number.size() && number[0] == '+' ? 1 : 0;
    *type = start ? kTypeInternational : kTypeUnknown;
    size_t count = number.size() - start;
    if (count < 1 || count > 20) return false;
    digits->assign((count + 1) / 2, 0xFF);
    for (size_t k = 0; k < count; ++k) {
        char c = number[start + k];
        int v = c >= '0' && c <= '9' ? c - '0' : c == '*' ? 10 : c == '#' ? 11 : -1;
        if (v < 0) return false;
        uint8_t& octet = (*digits)[k / 2];
        octet = k % 2 ? (octet & 0x0F) | v << 4 : (octet & 0xF0) | v;
    }
    return true;
}

// Up to 11 characters of the 7-bit alphabet, the most an alphanumeric address holds (23.040 9.1.2.5).
bool NameSeptets(const std::string& name, Bytes* septets) {
    std::u32string chars;
    size_t bad;
    return DecodeUtf8(name, &chars, &bad) && ToSeptets(chars, septets) && !septets->empty() &&
           septets->size() <= kMaxNameCharacters;
}

}  // namespace

const char* NumberKind(int type) {
    static const char* const kinds[] = {"unknown", "international", "national", "network", "subscriber",
                                        "alphanumeric", "abbreviated", "reserved"};
    return kinds[type >> 4 & 7];
}

const char* NumberingPlan(int type) {
    switch (type & 15) {
        case 0: return "unknown";
        case 1: return "ISDN/telephone";
        case 3: return "data";
        case 4: return "telex";
        case 5:
        case 6: return "specific to the service centre";
        case 8: return "national";
        case 9: return "private";
        case 10: return "ERMES";
        default: return "reserved";
    }
}

bool ReadSmsc(Cursor& c, Address* a, bool* present) {
    size_t at = c.Offset();
    int length = 0;
    if (!c.TakeOctet("SCA length", "SMSC length", &length)) return false;
    *present = length > 0;
    if (c.Tracing()) c.Means(length == 0 ? "no SMSC: the phone's default" : Format("%ld octets follow", length));
    if (length == 0) return true;
    if (length > kMaxSmscOctets) return c.Fail(at, Format("SMSC length %ld is too long (at most 11 octets)", length));
    if (static_cast<size_t>(length) > c.Left())
        return c.Fail(at, Format("SMSC length %ld points past the data", length));
    int type = 0;
    c.TakeOctet("SCA type", "SMSC type", &type);
    ExplainType(c, "SCA", type);
    size_t octets = length - 1, semiOctets = octets * 2;
    if (semiOctets > 0 && c.Pdu()[c.Offset() + octets - 1] >> 4 == 15) --semiOctets;  // the fill
    return ReadValue(c, "SCA", type, semiOctets, octets, a);
}

bool ReadAddress(Cursor& c, const char* field, const char* words, Address* a) {
    size_t at = c.Offset();
    std::string name = field;
    if (c.Left() < 2) return c.Fail(at, std::string(words) + " is missing: the data ends here");
    int semiOctets = 0, type = 0;
    c.TakeOctet((name + " length").c_str(), words, &semiOctets);
    c.TakeOctet((name + " type").c_str(), words, &type);
    size_t octets = (semiOctets + 1) / 2;
    bool name7 = (type & 0x70) == 0x50;
    if (octets > kMaxAddressOctets)
        return c.Fail(at, words + Format(" length %ld is too long (at most 20 semi-octets)", semiOctets));
    if (octets > c.Left()) return c.Fail(at, words + Format(" length %ld points past the data", semiOctets));
    if (Trace* t = c.Tracing()) {  // the length's meaning, known once the type is
        t->spans[t->spans.size() - 2].meaning =
            name7 ? Format("%ld semi-octets: %ld characters", semiOctets, semiOctets * 4 / 7)
                  : Format(semiOctets == 1 ? "%ld digit" : "%ld digits", semiOctets);
    }
    ExplainType(c, name, type);
    return ReadValue(c, field, type, semiOctets, octets, a);
}

bool NumberFromText(std::string s, std::string* out, std::string* why) {
    size_t plus = !s.empty() && s[0] == '+', trunk = s.find("(0)");
    if (plus && trunk != std::string::npos && trunk > 1) s.erase(trunk, 3);
    *out = plus ? "+" : "";
    bool open = false;
    char last = 0;  // the separator or parenthesis since the last digit
    for (size_t i = plus; i < s.size(); ++i) {
        char c = s[i];
        bool started = out->size() > plus;
        if (IsDigit(c)) {
            *out += c;
            last = 0;
            continue;
        }
        if (c == '+') return *why = "a '+' may only start the number", false;
        bool fits = c == '(' ? !open && (!started || last) : c == ')' ? open && !last
                                                                   : (c == ' ' || c == '-' || c == '.') && started;
        if (!fits) return *why = std::string("'") + c + "' stands where only a digit can", false;
        open = c == '(' || (open && c != ')');
        last = c;
    }
    if (open) return *why = "a parenthesis is not closed", false;
    if (last && last != ')') return *why = std::string("'") + last + "' ends the number", false;
    size_t digits = out->size() - plus;
    if (digits < 1 || digits > 20)
        return *why = Format("%ld digits: a number has 1 to 20", static_cast<long>(digits)), false;
    return true;
}

bool RecipientFromText(const std::string& written, std::string* out, std::string* why) {
    size_t a = written.find_first_not_of(" \t"), b = written.find_last_not_of(" \t");
    std::string s = a == std::string::npos ? "" : written.substr(a, b - a + 1);
    bool letter = false;
    for (unsigned char c : s) letter = letter || isalpha(c) || c >= 0x80;
    Bytes septets;
    if (!letter) return NumberFromText(s, out, why);
    if (!NameSeptets(s, &septets))
        return *why = "a name has 1 to 11 characters of the GSM 7-bit alphabet", false;
    *out = s;
    return true;
}

bool EncodeSmsc(const std::string& number, Bytes* out) {
    Bytes digits;
    int type;
    if (number.empty()) return *out = {0}, true;
    if (!EncodeNumber(number, &digits, &type)) return false;
    *out = {static_cast<uint8_t>(digits.size() + 1), static_cast<uint8_t>(type)};
    out->insert(out->end(), digits.begin(), digits.end());
    return true;
}

void EncodeDestination(const std::string& to, Bytes* out) {
    Bytes value, septets;
    int type;
    size_t semiOctets = to.size() - (to.size() && to[0] == '+');
    if (!EncodeNumber(to, &value, &type)) {
        NameSeptets(to, &septets);
        value.clear();
        PackSeptets(septets, 0, &value);
        type = kTypeAlphanumeric;
        semiOctets = (septets.size() * 7 + 3) / 4;
    }
    out->push_back(static_cast<uint8_t>(semiOctets));
    out->push_back(static_cast<uint8_t>(type));
    out->insert(out->end(), value.begin(), value.end());
}

}  // namespace sms
