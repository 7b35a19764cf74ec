// The builder and the parser against libGammu on random messages: pure 7-bit, extension characters, UCS-2 beyond
// U+FFFF, long multipart texts, numeric and alphanumeric addresses. Each text is built by both (the PDUs compared byte
// for byte, ours read by both), and libGammu's first part is then received from a random sender and read by both.
// The texts leave out two of libGammu's departures from the standard: '~' in UCS-2 (it doubles it) and numbers that
// start with 0 (it makes 00 international). The one difference allowed is the third, counted: libGammu writes and
// reads names in ASCII codes, not in the 7-bit alphabet. Arguments: [COUNT [SEED]].
#include <gammu.h>

#include <cstdio>
#include <random>

#include "sms/pdu.h"

namespace {

using Str = const std::string&;
std::mt19937 rng;
int failures = 0, asciiNames = 0;
GSM_Debug_Info* const di = GSM_GetGlobalDebug();

int Pick(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }

// kind 0: the default alphabet, 1: and its extension, 2: and UCS-2 (beyond U+FFFF too), 3: a number. The last
// character of a set is left out where libGammu departs: '~' in text that may be UCS-2, '0' starting a number
// (text has no 0, so no name is taken for one that starts 00).
std::string Random(int kind, int length) {
    static const std::u32string plain = U"aZ7 .@£èÇØÅΔ_ΩÆßÉ¤¡ÄÑ§¿üà\n?\"", extension = U"^{}\\[]|€\f~",
                                wide = U"Ж中ğ😀𝄞🙂\uFFFDア", digits = U"1234567890";
    std::string s = kind == 3 && Pick(2) ? "+" : "";
    for (int i = 0; i < length; ++i) {
        int r = Pick(10);
        const std::u32string& set = kind == 3 ? digits : kind && !r ? extension : kind == 2 && r == 1 ? wide : plain;
        bool last = kind == 3 ? i > 0 : &set != &extension || kind != 2;
        sms::AppendUtf8(&s, set[Pick(static_cast<int>(set.size()) - !last)]);
    }
    return s;
}

std::string Utf8(const unsigned char* unicode) {
    std::string s(4 * UnicodeLength(unicode) + 4, '\0');
    EncodeUTF8(&s[0], unicode);
    return s.c_str();
}

// Equal, or libGammu's name in ASCII codes (counted); any other difference fails.
void Compare(Str what, Str ours, Str theirs, Str detail) {
    sms::Bytes codes;  // libGammu's name in ASCII codes ('?' past ASCII) read as codes of the alphabet
    for (unsigned char c : theirs)
        if (c < 0x80 || c >= 0xC0) codes.push_back(c < 0x80 ? c : '?');
    if (ours != theirs && what == "name" && sms::SeptetsToUtf8(codes) == ours) ++asciiNames;
    else if (ours != theirs && failures++ < 10)
        printf("DIFFERENCE in %s\n  ours '%s'\n  libGammu '%s'\n  %s\n", what.c_str(), ours.c_str(), theirs.c_str(),
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

// Both parsers on one PDU: text, address, service centre time and concatenation.
void ReadBoth(const sms::Bytes& pdu) {
    sms::Message m;
    sms::ParseError e;
    GSM_SMSMessage g;
    size_t end = 0;
    std::string hex = sms::Hex(pdu);
    bool ours = sms::ParsePdu(pdu, true, &m, &e);
    bool theirs = GSM_DecodePDUFrame(di, &g, pdu.data(), pdu.size(), &end, TRUE) == ERR_NONE;
    if (!ours || !theirs) return Compare("reading", ours ? "read" : e.what, theirs ? "read" : "refused", hex);
    const GSM_DateTime& t = g.DateTime;
    sms::Timestamp time{t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second, t.Timezone / 900};
    int theirRef = g.UDH.Type == UDH_NoUDH ? -1 : g.UDH.ID8bit, theirPart = std::max(g.UDH.PartNumber, 0);
    Compare("text", m.text, Utf8(g.Text), hex);
    Compare(m.address.Alphanumeric() ? "name" : "number", m.address.text, Utf8(g.Number), hex);
    Compare("time and concatenation",
            (m.type == sms::MessageType::Deliver ? m.time.Iso() : "") + " " +
                std::to_string(m.concatRef * 65536 + m.part * 256 + m.parts),
            (g.PDU == SMS_Deliver ? time.Iso() : "") + " " +
                std::to_string(theirRef * 65536 + theirPart * 256 + g.UDH.AllParts),
            hex);
}

void CompareOne(int kind, int length) {
    std::string text = Random(kind, length), ourHex, theirHex, error;
    sms::SubmitOptions o;
    o.to = Random(3, 1 + Pick(20));
    o.smsc = "+4917" + std::to_string(Pick(100000));
    o.validity = Pick(256);
    GSM_MultiPartSMSInfo info;
    GSM_ClearMultiPartSMSInfo(&info);
    static unsigned char buffer[2 * 40000];
    DecodeUTF8(buffer, text.c_str(), text.size());
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
        theirHex += sms::Hex(Build(&g, PHONE_SMSSubmit, false)) + "\n";
    }
    for (const sms::SubmitPdu& p : ours) {
        ReadBoth(p.octets);
        ourHex += sms::Hex(p.octets) + "\n";
    }
    Compare("PDUs", ourHex, theirHex, text);

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
    printf("%d random messages compared with libGammu: %d built by both, %d received ones read by both; names in "
           "ASCII codes: %d; other differences: %d\n", 2 * count, count, count, asciiNames, failures);
    return failures ? 1 : 0;
}
