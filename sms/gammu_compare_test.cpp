// The builder and the parser against libGammu on random messages: pure
// 7-bit, extension characters, UCS-2 beyond U+FFFF, long multipart texts,
// numeric and alphanumeric addresses. Usage: sms_gammu_compare [COUNT [SEED]]
#include <gammu.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>

#include "sms/pdu.h"

namespace {

std::mt19937 rng;
std::map<std::string, int> differences;  // kind -> count
int failures = 0;

int Pick(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }

std::string RandomText(int kind, int length) {
    static const char* const plain[] = {"a", "Z", "0", " ", ".", "@", "£", "è", "Ç", "Ø", "Å", "Δ", "_", "Ω",
                                        "Æ", "ß", "É", "¤", "¡", "Ä", "Ñ", "§", "¿", "ü", "à", "\n", "?", "\""};
    static const char* const extension[] = {"^", "{", "}", "\\", "[", "~", "]", "|", "€", "\f"};
    static const char* const wide[] = {"Ж", "中", "ğ", "😀", "𝄞", "🙂", "\xEF\xBF\xBD", "ア"};
    std::string s;
    for (int i = 0; i < length; ++i) {
        int r = Pick(10);
        if (kind >= 1 && r == 0) s += extension[Pick(10)];
        else if (kind == 2 && r == 1) s += wide[Pick(8)];
        else s += plain[Pick(28)];
    }
    return s;
}

std::string RandomNumber() {
    std::string s = Pick(2) ? "+" : "";
    for (int n = 1 + Pick(20); n > 0; --n) s += static_cast<char>('0' + Pick(10));
    return s;
}

std::string FromGammu(const unsigned char* unicode) {
    std::string s(4 * UnicodeLength(unicode) + 4, '\0');
    EncodeUTF8(&s[0], unicode);
    s.resize(strlen(s.c_str()));
    return s;
}

void ToGammu(unsigned char* unicode, const std::string& utf8) { DecodeUTF8(unicode, utf8.c_str(), utf8.size()); }

// Where two texts first differ, as code points.
std::string FirstDifference(const std::string& a, const std::string& b) {
    std::u32string x, y;
    size_t bad;
    sms::DecodeUtf8(a, &x, &bad);
    sms::DecodeUtf8(b, &y, &bad);
    size_t i = 0;
    while (i < x.size() && i < y.size() && x[i] == y[i]) ++i;
    char d[80];
    snprintf(d, sizeof d, "character %zu: U+%04X / U+%04X", i, i < x.size() ? unsigned(x[i]) : 0u,
             i < y.size() ? unsigned(y[i]) : 0u);
    return d;
}

// A difference: counted by kind, the first of each kind shown.
void Differ(const std::string& kind, const std::string& detail, bool known) {
    if (differences[kind]++ < (known ? 1 : 3)) printf("%s %s: %s\n", known ? "known:" : "DIFFERENCE", kind.c_str(), detail.c_str());
    if (!known) ++failures;
}

std::string Replace(std::string s, const std::string& from, const std::string& to) {
    for (size_t i = 0; (i = s.find(from, i)) != std::string::npos; i += to.size()) s.replace(i, from.size(), to);
    return s;
}

// What libGammu makes of a name: ASCII codes for the 7-bit ones, '?' for the rest.
std::string AsciiCodesInGsm(const std::string& name) {
    std::u32string chars;
    size_t bad;
    sms::DecodeUtf8(name, &chars, &bad);
    sms::Bytes codes;
    for (char32_t c : chars) codes.push_back(static_cast<uint8_t>(c < 0x80 ? c : '?'));
    return sms::SeptetsToUtf8(codes);
}

// The PDU libGammu's AT driver sends, from the frame of GSM_EncodeSMSFrame.
sms::Bytes Assemble(const unsigned char* f, const GSM_SMSMessageLayout& l, bool deliver) {
    sms::Bytes b(f + l.SMSCNumber, f + l.SMSCNumber + 1 + f[l.SMSCNumber]);
    b.push_back(f[l.firstbyte]);
    if (!deliver) b.push_back(f[l.TPMR]);
    b.insert(b.end(), f + l.Number, f + l.Number + 2 + (f[l.Number] + 1) / 2);
    b.push_back(f[l.TPPID]);
    b.push_back(f[l.TPDCS]);
    if (deliver) b.insert(b.end(), f + l.DateTime, f + l.DateTime + 7);
    if (!deliver && (f[l.firstbyte] & 0x18) == 0x10) b.push_back(f[l.TPVP]);
    b.push_back(f[l.TPUDL]);
    size_t octets = (f[l.TPDCS] & 0x0C) == 0 ? (f[l.TPUDL] * 7 + 7) / 8 : f[l.TPUDL];
    b.insert(b.end(), f + l.Text, f + l.Text + octets);
    return b;
}

std::string Iso(const GSM_DateTime& t) {
    char iso[40];
    snprintf(iso, sizeof iso, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", t.Year, t.Month, t.Day, t.Hour, t.Minute,
             t.Second, t.Timezone < 0 ? '-' : '+', abs(t.Timezone) / 3600, abs(t.Timezone) % 3600 / 60);
    return iso;
}

// Both parsers on one PDU, and the PDU against the text and address it was
// built from (by us when `ours`, else by libGammu).
// Returns our text.
std::string CompareParsers(const sms::Bytes& pdu, const std::string* text, const std::string& address, int part,
                           bool ours) {
    sms::Message m;
    sms::ParseError e;
    GSM_SMSMessage g;
    size_t end = 0;
    std::string hex = sms::Hex(pdu);
    if (!sms::ParsePdu(pdu, true, &m, &e)) {
        Differ("ours rejects", hex + ": " + e.what, false);
        return "";
    }
    if (GSM_DecodePDUFrame(GSM_GetGlobalDebug(), &g, pdu.data(), pdu.size(), &end, TRUE) != ERR_NONE) {
        Differ("libGammu rejects", hex, false);
        return m.text;
    }
    std::string theirText = FromGammu(g.Text), theirAddress = FromGammu(g.Number);
    if (m.text != theirText) {
        bool tilde = m.coding == sms::Coding::Ucs2 && Replace(theirText, "~~", "~") == m.text;
        Differ(tilde ? "libGammu reads UCS-2 '~' as '~~'" : "parsers: text",
               hex + ": " + FirstDifference(m.text, theirText), tilde);
    }
    if (m.address.text != theirAddress) {
        bool ascii = m.address.Alphanumeric() && AsciiCodesInGsm(theirAddress) == m.address.text;
        bool empty = m.address.text == "+" && theirAddress.empty();  // what libGammu makes of "00"
        Differ(ascii ? "libGammu reads names as ASCII codes" : empty ? "international number without digits" : "parsers: address",
               hex + ": " + m.address.text + " / " + theirAddress, ascii || empty);
    }
    if (m.type == sms::MessageType::Deliver && m.time.Iso() != Iso(g.DateTime))
        Differ("parsers: timestamp", hex + ": " + m.time.Iso() + " / " + Iso(g.DateTime), false);
    if (m.part != part || (part && (g.UDH.PartNumber != m.part || g.UDH.AllParts != m.parts || g.UDH.ID8bit != m.concatRef)))
        Differ("parsers: concatenation", hex, false);
    std::string builder = ours ? "our builder: " : "libGammu builder: ";
    if (text && m.text != *text) Differ(builder + "text", hex + ": " + FirstDifference(m.text, *text), false);
    if (m.address.text != address) {
        bool ascii = !ours && m.address.Alphanumeric() && AsciiCodesInGsm(address) == m.address.text;
        bool prefix = !ours && address.compare(0, 2, "00") == 0 && m.address.text == "+" + address.substr(2);
        Differ(builder + (ascii ? "names written in ASCII codes" : prefix ? "00 written as +" : "address"),
               hex + ": " + m.address.text + " for " + address, ascii || prefix);
    }
    return m.text;
}

// One random message built by both, and each PDU read by both parsers.
void CompareSubmit(int kind, int length) {
    std::string text = RandomText(kind, length), to = RandomNumber();
    std::u32string chars;
    size_t bad;
    sms::Bytes septets;
    sms::DecodeUtf8(text, &chars, &bad);
    bool ucs2 = !sms::ToSeptets(chars, &septets);

    GSM_MultiPartSMSInfo info;
    GSM_ClearMultiPartSMSInfo(&info);
    static unsigned char buffer[2 * 40000];
    ToGammu(buffer, ucs2 ? Replace(text, "~", "~~") : text);  // libGammu's UCS-2 buffers double '~'
    info.EntriesNum = 1;
    info.UnicodeCoding = ucs2;
    info.Entries[0].ID = SMS_ConcatenatedTextLong;
    info.Entries[0].Buffer = buffer;
    GSM_MultiSMSMessage theirs;
    if (GSM_EncodeMultiPartSMS(GSM_GetGlobalDebug(), &info, &theirs) != ERR_NONE) return Differ("libGammu build", text, false);

    sms::SubmitOptions o;
    o.to = to;
    o.smsc = "+4917" + std::to_string(Pick(100000));
    o.validity = Pick(256);
    o.ref = theirs.Number > 1 ? theirs.SMS[0].UDH.ID8bit : 0;
    std::vector<sms::SubmitPdu> ours;
    std::string error;
    if (!sms::BuildSubmit(text, o, &ours, &error)) return Differ("our build", error, false);
    std::vector<sms::Bytes> their;
    std::string ourText, theirText;  // theirs as our parser reads it
    for (int i = 0; i < theirs.Number; ++i) {
        GSM_SMSMessage& g = theirs.SMS[i];
        g.PDU = SMS_Submit;
        ToGammu(g.Number, to);
        g.SMSC.Location = 0;
        ToGammu(g.SMSC.Number, o.smsc);
        g.SMSC.Validity.Format = SMS_Validity_RelativeFormat;
        g.SMSC.Validity.Relative = static_cast<GSM_ValidityPeriod>(o.validity);
        unsigned char frame[1000] = {0};
        int frameLength = 0;
        GSM_EncodeSMSFrame(GSM_GetGlobalDebug(), &g, frame, PHONE_SMSSubmit, &frameLength, TRUE);
        their.push_back(Assemble(frame, PHONE_SMSSubmit, false));
        sms::Message m;
        sms::ParseError e;
        if (sms::ParsePdu(their.back(), true, &m, &e)) theirText += m.text;
    }
    for (size_t i = 0; i < ours.size(); ++i)
        ourText += CompareParsers(ours[i].octets, nullptr, to, ours.size() > 1 ? static_cast<int>(i + 1) : 0, true);
    if (ourText != text) Differ("our builder: text", FirstDifference(ourText, text), false);
    // libGammu's UCS-2 buffers take '~' as an escape: a tilde counts twice when splitting, and
    // one split from its double comes out as U+0001.
    bool tilde = ucs2 && Replace(Replace(theirText, "~", ""), "\x01", "") == Replace(text, "~", "");
    if (theirText != text)
        Differ(tilde ? "libGammu builder: UCS-2 '~' split from its escape" : "libGammu builder: text",
               FirstDifference(theirText, text), tilde);
    for (size_t i = 0; i < ours.size() || i < their.size(); ++i) {
        if (i < ours.size() && i < their.size() && ours[i].octets == their[i]) continue;
        std::string detail = "ours " + (i < ours.size() ? sms::Hex(ours[i].octets) : "none") + "\n  libGammu " +
                             (i < their.size() ? sms::Hex(their[i]) : "none");
        if (to.compare(0, 2, "00") == 0 && theirText == text && ours.size() == their.size())
            Differ("libGammu builder: 00 written as +", detail, true);
        else if (tilde && text.find('~') != std::string::npos)
            Differ("libGammu builder: '~' counted twice when splitting UCS-2", detail, true);
        else
            Differ("PDU", detail, false);
        break;
    }
}

// An SMS-DELIVER built by libGammu, from a number or a name, read by both.
void CompareDeliver(int kind) {
    std::string text = RandomText(kind, 1 + Pick(60)), from = RandomNumber();
    if (Pick(2)) from = RandomText(0, 1 + Pick(11));
    GSM_SMSMessage g;
    GSM_SetDefaultReceivedSMSData(&g);
    g.PDU = SMS_Deliver;
    ToGammu(g.Text, text);
    ToGammu(g.Number, from);
    std::u32string chars;
    size_t bad;
    sms::Bytes septets;
    sms::DecodeUtf8(text, &chars, &bad);
    bool ucs2 = !sms::ToSeptets(chars, &septets);
    g.Coding = ucs2 ? SMS_Coding_Unicode_No_Compression : SMS_Coding_Default_No_Compression;
    if (ucs2) ToGammu(g.Text, Replace(text, "~", "~~"));
    ToGammu(g.SMSC.Number, "+4917" + std::to_string(Pick(100000)));
    g.DateTime = GSM_DateTime{(Pick(97) - 48) * 900, 0, 0, 0, 0, 0, 0};
    g.DateTime.Year = 2000 + Pick(90);
    g.DateTime.Month = 1 + Pick(12);
    g.DateTime.Day = 1 + Pick(28);
    g.DateTime.Hour = Pick(24);
    g.DateTime.Minute = Pick(60);
    g.DateTime.Second = Pick(60);
    unsigned char frame[1000] = {0};
    int frameLength = 0;
    GSM_EncodeSMSFrame(GSM_GetGlobalDebug(), &g, frame, PHONE_SMSDeliver, &frameLength, TRUE);
    sms::Bytes pdu = Assemble(frame, PHONE_SMSDeliver, true);
    CompareParsers(pdu, &text, from, 0, false);
    sms::Message m;
    sms::ParseError e;
    if (sms::ParsePdu(pdu, true, &m, &e) && m.time.Iso() != Iso(g.DateTime)) {
        bool zone = m.time.zoneQuarters == 0 && m.time.Iso().substr(0, 19) == Iso(g.DateTime).substr(0, 19);
        Differ(zone ? "libGammu builder: time zone left out" : "libGammu builder: timestamp",
               sms::Hex(pdu) + ": " + m.time.Iso() + " for " + Iso(g.DateTime), zone);
    }
}

}  // namespace

int main(int argc, char** argv) {
    int count = argc > 1 ? atoi(argv[1]) : 3000;
    rng.seed(argc > 2 ? static_cast<unsigned>(atoi(argv[2])) : 1u);
    int messages = 0;
    for (int i = 0; i < count; ++i, messages += 2) {
        int kind = i % 3, length = i % 5 == 4 ? 100 + Pick(1200) : Pick(kind == 2 ? 75 : 165);
        CompareSubmit(kind, length);
        CompareDeliver(kind);
    }
    printf("%d random messages compared with libGammu (%d built by both, %d received ones parsed by both)\n",
           messages, count, count);
    for (const auto& d : differences) printf("  %s: %d\n", d.first.c_str(), d.second);
    return failures ? 1 : 0;
}
