// The builder and the parser against libGammu on random messages: pure 7-bit, extension characters, UCS-2 beyond
// U+FFFF, long multipart texts, numeric and alphanumeric addresses. A difference passes only when one of libGammu's
// known departures from the standard explains it (counted by kind); any other fails. Arguments: [COUNT [SEED]].
#include <gammu.h>

#include <cstdio>
#include <map>
#include <random>

#include "sms/pdu.h"

namespace {

using Str = const std::string&;
std::mt19937 rng;
std::map<std::string, int> counts;
int failures = 0;
GSM_Debug_Info* const di = GSM_GetGlobalDebug();

int Pick(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }

// kind 0: the default alphabet, 1: and its extension, 2: and UCS-2 (beyond U+FFFF too), 3: a number.
std::string Random(int kind, int length, bool* ucs2 = nullptr) {
    static const std::u32string plain = U"aZ0 .@£èÇØÅΔ_ΩÆßÉ¤¡ÄÑ§¿üà\n?\"", extension = U"^{}\\[~]|€\f",
                                wide = U"Ж中ğ😀𝄞🙂\uFFFDア", digits = U"0123456789";
    std::string s = kind == 3 && Pick(2) ? "+" : "";
    for (int i = 0; i < length; ++i) {
        int r = Pick(10);
        const std::u32string& set = kind == 3 ? digits : kind && !r ? extension : kind == 2 && r == 1 ? wide : plain;
        sms::AppendUtf8(&s, set[Pick(static_cast<int>(set.size()))]);
        if (ucs2) *ucs2 = (i && *ucs2) || &set == &wide;
    }
    return s;
}

std::string Replace(std::string s, Str from, Str to) {
    for (size_t i = 0; (i = s.find(from, i)) != std::string::npos; i += to.size()) s.replace(i, from.size(), to);
    return s;
}

std::string Utf8(const unsigned char* unicode) {
    std::string s(4 * UnicodeLength(unicode) + 4, '\0');
    EncodeUTF8(&s[0], unicode);
    return s.c_str();
}

// libGammu's departures from the standard (3GPP TS 23.038/23.040), by what is compared.
const struct {
    const char *what, *kind;
    bool (*explains)(Str ours, Str theirs);
} kKnown[] = {
    {"UCS-2 text", "libGammu reads UCS-2 '~' as '~~' and U+0001 as '~'",
     [](Str ours, Str theirs) { return theirs == Replace(Replace(ours, "~", "~~"), "\x01", "~"); }},
    {"text of UCS-2 parts", "libGammu splits UCS-2 text counting '~' twice (a split '~~' reads as U+0001)",
     [](Str ours, Str theirs) { return ours == Replace(Replace(theirs, "~", ""), "\x01", ""); }},
    {"name", "libGammu writes and reads names in ASCII codes, not in the 7-bit alphabet",
     [](Str ours, Str theirs) {
         sms::Bytes codes;  // the ASCII codes of libGammu's name ('?' past ASCII) as codes of the alphabet
         for (unsigned char c : theirs)
             if (c < 0x80 || c >= 0xC0) codes.push_back(c < 0x80 ? c : '?');
         return sms::SeptetsToUtf8(codes) == ours;
     }},
    {"number", "libGammu reads an international number without digits as ''",
     [](Str ours, Str theirs) { return ours == "+" && theirs.empty(); }},
    {"PDUs to 00", "libGammu writes a number starting 00 as international", [](Str, Str) { return true; }},
};

// Equal, explained by a known departure (counted), or a failure; the first two of each kind are shown.
void Compare(Str what, Str ours, Str theirs, Str detail) {
    if (ours == theirs) return;
    const char* known = nullptr;
    for (const auto& k : kKnown)
        if (!known && what == k.what && k.explains(ours, theirs)) known = k.kind;
    failures += !known;
    std::string kind = known ? std::string("known: ") + known : "DIFFERENCE in " + what;
    if (counts[kind]++ < 2)
        printf("%s\n  ours '%s'\n  libGammu '%s'\n  %s\n", kind.c_str(), ours.c_str(), theirs.c_str(),
               detail.c_str());
}

// The PDU libGammu's AT driver sends, from the frame of GSM_EncodeSMSFrame.
sms::Bytes Build(GSM_SMSMessage* g, const GSM_SMSMessageLayout& l, bool deliver) {
    unsigned char f[1000] = {0};
    int length = 0;
    GSM_EncodeSMSFrame(di, g, f, l, &length, TRUE);
    sms::Bytes b(f + l.SMSCNumber, f + l.SMSCNumber + 1 + f[l.SMSCNumber]);
    b.push_back(f[l.firstbyte]);
    if (!deliver) b.push_back(f[l.TPMR]);
    b.insert(b.end(), f + l.Number, f + l.Number + 2 + (f[l.Number] + 1) / 2);
    b.insert(b.end(), {f[l.TPPID], f[l.TPDCS]});
    b.insert(b.end(), f + (deliver ? l.DateTime : l.TPVP), f + (deliver ? l.DateTime + 7 : l.TPVP + 1));
    b.push_back(f[l.TPUDL]);
    b.insert(b.end(), f + l.Text, f + l.Text + ((f[l.TPDCS] & 0x0C) ? f[l.TPUDL] : (f[l.TPUDL] * 7 + 7) / 8));
    return b;
}

// Both parsers on one PDU; returns our reading.
sms::Message ReadBoth(const sms::Bytes& pdu) {
    sms::Message m;
    sms::ParseError e;
    GSM_SMSMessage g;
    size_t end = 0;
    std::string hex = sms::Hex(pdu);
    bool ours = sms::ParsePdu(pdu, true, &m, &e);
    bool theirs = GSM_DecodePDUFrame(di, &g, pdu.data(), pdu.size(), &end, TRUE) == ERR_NONE;
    if (!ours || !theirs) {
        Compare("reading", ours ? "read" : e.what, theirs ? "read" : "refused", hex);
        return m;
    }
    const GSM_DateTime& t = g.DateTime;
    sms::Timestamp time{t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second, t.Timezone / 900};
    int theirRef = g.UDH.Type == UDH_NoUDH ? -1 : g.UDH.ID8bit, theirPart = std::max(g.UDH.PartNumber, 0);
    Compare(m.coding == sms::Coding::Ucs2 ? "UCS-2 text" : "text", m.text, Utf8(g.Text), hex);
    Compare(m.address.Alphanumeric() ? "name" : "number", m.address.text, Utf8(g.Number), hex);
    Compare("time", m.type == sms::MessageType::Deliver ? m.time.Iso() : "", g.PDU == SMS_Deliver ? time.Iso() : "",
            hex);
    Compare("concatenation", std::to_string(m.concatRef * 65536 + m.part * 256 + m.parts),
            std::to_string(theirRef * 65536 + theirPart * 256 + g.UDH.AllParts), hex);
    return m;
}

// A random text built by both, each PDU read by both; libGammu's first part then received, read by both.
void CompareOne(int kind, int length) {
    bool ucs2 = false;
    std::string text = Random(kind, length, &ucs2), ourHex, theirHex, ourText, theirText, error;
    std::string given = ucs2 ? Replace(text, "~", "~~") : text;  // in UCS-2 libGammu takes "~~" for '~'
    sms::SubmitOptions o;
    o.to = Random(3, 1 + Pick(20));
    o.smsc = "+4917" + std::to_string(Pick(100000));
    o.validity = Pick(256);
    GSM_MultiPartSMSInfo info;
    GSM_ClearMultiPartSMSInfo(&info);
    static unsigned char buffer[2 * 40000];
    DecodeUTF8(buffer, given.c_str(), given.size());
    info.EntriesNum = 1;
    info.Entries[0].ID = SMS_ConcatenatedAutoTextLong;  // libGammu chooses the coding itself
    info.Entries[0].Buffer = buffer;
    GSM_MultiSMSMessage theirs;
    std::vector<sms::SubmitPdu> ours;
    if (GSM_EncodeMultiPartSMS(di, &info, &theirs) != ERR_NONE) return Compare("building", "", "refused", text);
    o.ref = theirs.SMS[0].UDH.ID8bit & 0xFF;
    if (!sms::BuildSubmit(text, o, &ours, &error)) return Compare("building", error, "", text);
    for (int i = 0; i < theirs.Number; ++i) {
        GSM_SMSMessage& g = theirs.SMS[i];
        g.PDU = SMS_Submit;
        DecodeUTF8(g.Number, o.to.c_str(), o.to.size());
        DecodeUTF8(g.SMSC.Number, o.smsc.c_str(), o.smsc.size());
        g.SMSC.Location = 0;
        g.SMSC.Validity = GSM_SMSValidity{SMS_Validity_RelativeFormat, static_cast<GSM_ValidityPeriod>(o.validity)};
        sms::Bytes pdu = Build(&g, PHONE_SMSSubmit, false);
        theirText += ReadBoth(pdu).text;
        theirHex += sms::Hex(pdu) + "\n";
    }
    for (const sms::SubmitPdu& p : ours) {
        ourText += ReadBoth(p.octets).text;
        ourHex += sms::Hex(p.octets) + "\n";
    }
    Compare("round trip", ourText, text, ourHex);
    if (ucs2 && text.find('~') != std::string::npos && ourHex != theirHex)  // libGammu split it elsewhere
        Compare("text of UCS-2 parts", Replace(text, "~", ""), theirText, theirHex);
    else
        Compare(o.to.compare(0, 2, "00") ? "PDUs" : "PDUs to 00", ourHex, theirHex, text);

    GSM_SMSMessage& g = theirs.SMS[0];
    std::string from = Pick(2) ? Random(0, 1 + Pick(11)) : Random(3, 1 + Pick(20));
    DecodeUTF8(g.Number, from.c_str(), from.size());
    g.PDU = SMS_Deliver;
    g.DateTime = GSM_DateTime{(Pick(97) - 48) * 900, Pick(60), Pick(60), Pick(24), 1 + Pick(28), 1 + Pick(12),
                              2000 + Pick(90)};
    ReadBoth(Build(&g, PHONE_SMSDeliver, true));
}

}  // namespace

int main(int argc, char** argv) {
    int count = argc > 1 ? atoi(argv[1]) : 3000;
    rng.seed(argc > 2 ? static_cast<unsigned>(atoi(argv[2])) : 1u);
    for (int i = 0; i < count; ++i) CompareOne(i % 3, i % 5 == 4 ? 100 + Pick(1200) : Pick(i % 3 == 2 ? 75 : 165));
    printf("%d random messages compared with libGammu: %d built by both, %d received ones read by both\n", 2 * count,
           count, count);
    for (const auto& c : counts) printf("  %s: %d\n", c.first.c_str(), c.second);
    return failures ? 1 : 0;
}
