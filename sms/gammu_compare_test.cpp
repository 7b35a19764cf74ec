// Builder and parser against libGammu on random texts (7-bit, extension, UCS-2 beyond U+FFFF, multipart) and numbers
// or names, and on random 8-bit data with libGammu's port headers: built by both (PDUs equal byte for byte), each
// part received from a random sender and read by both. Any difference fails but libGammu's names in ASCII codes and its
// 16-bit port element for ports up to 255 (counted); texts avoid '~' in UCS-2 and numbers starting 00.
#include <gammu.h>

#include <cstdio>
#include <random>

#include "sms/pdu.h"

// Exported by libGammu, though its public headers leave it out: splits a buffer into messages with a header type.
extern "C" void GSM_MakeMultiPartSMS(GSM_Debug_Info* di, GSM_MultiSMSMessage* sms, unsigned char* buffer, size_t length,
                                     GSM_UDH udh, GSM_Coding_Type coding, int messageClass, unsigned char rejectDuplicates);

namespace {

std::mt19937 rng;
int failures = 0, asciiNames = 0, widePorts = 0;
GSM_Debug_Info* const di = GSM_GetGlobalDebug();

int Pick(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }

// kind 0: the default alphabet, 1: and its extension, 2: and UCS-2 (beyond U+FFFF too), 3: a number. A set's last
// character is left out where libGammu departs: '~' in UCS-2, '0' starting a number (text has no 0: no name "00").
std::string Random(int kind, int length) {
    static const std::u32string sets[] = {U"aZ7 .@£èÇØÅΔ_ΩÆßÉ¤¡ÄÑ§¿üà\n?\"", U"^{}\\[]|€\f~", U"Ж中ğ😀𝄞🙂\uFFFDア",
                                          U"1234567890"};
    std::string s = kind == 3 && Pick(2) ? "+" : "";
    for (int i = 0, r = Pick(10); i < length; ++i, r = Pick(10)) {
        int set = kind == 3 ? 3 : kind && !r ? 1 : kind == 2 && r == 1 ? 2 : 0;
        bool last = kind == 3 ? i > 0 : set != 1 || kind != 2;
        sms::AppendUtf8(&s, sets[set][Pick(static_cast<int>(sets[set].size()) - !last)]);
    }
    return s;
}

std::string Utf8(const unsigned char* unicode) {
    static char s[4 * (GSM_MAX_SMS_LENGTH + 1)];
    EncodeUTF8(s, unicode);
    return s;
}

// Equal, or libGammu's name in ASCII codes (counted); any other difference fails.
void Compare(const std::string& what, const std::string& ours, const std::string& theirs, const std::string& detail) {
    sms::Bytes codes;  // libGammu's name in ASCII codes ('?' past ASCII) read as codes of the alphabet
    for (unsigned char c : theirs)
        if (c < 0x80 || c >= 0xC0) codes.push_back(c < 0x80 ? c : '?');
    if (ours != theirs && what == "name" && sms::SeptetsToUtf8(codes) == ours) ++asciiNames;
    else if (ours != theirs && failures++ < 10)
        printf("%s: ours '%s', libGammu '%s' (%s)\n", what.c_str(), ours.c_str(), theirs.c_str(), detail.c_str());
}

// The PDU libGammu's AT driver sends for `g` to or from `number`, from the frame of GSM_EncodeSMSFrame.
sms::Bytes Build(GSM_SMSMessage* g, const std::string& number, bool deliver) {
    const GSM_SMSMessageLayout& l = deliver ? PHONE_SMSDeliver : PHONE_SMSSubmit;
    unsigned char f[1000] = {0};
    int length = 0;
    g->PDU = deliver ? SMS_Deliver : SMS_Submit;
    DecodeUTF8(g->Number, number.c_str(), number.size());
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

// Both parsers on one PDU: its text and address (its parts are ours byte for byte, their headers read by our tests).
void ReadBoth(const sms::Bytes& pdu) {
    sms::Message m;
    sms::ParseError e;
    GSM_SMSMessage g;
    size_t end = 0;
    std::string hex = sms::Hex(pdu);
    if (!sms::ParsePdu(pdu, true, &m, &e) || GSM_DecodePDUFrame(di, &g, &pdu[0], pdu.size(), &end, TRUE) != ERR_NONE)
        return Compare("reading", e.what.empty() ? "read, but libGammu refused" : e.what, "", hex);
    if (m.coding == sms::Coding::Data8 || g.Coding == SMS_Coding_8bit) {
        std::string theirs = g.Coding == SMS_Coding_8bit ? sms::Hex(sms::Bytes(g.Text, g.Text + g.Length)) : "";
        Compare("data", sms::Hex(m.data), theirs, hex);
        Compare("part", std::to_string(m.part), std::to_string(std::max(g.UDH.PartNumber, 0)), hex);
    } else {
        Compare("text", m.text, Utf8(g.Text), hex);
    }
    Compare(m.address.Alphanumeric() ? "name" : "number", m.address.text, Utf8(g.Number), hex);
}

// Builds `content` as `o` says, with the reference libGammu chose, and compares the PDUs with libGammu's (but for its
// 16-bit port element, counted); each of its parts is then received from a random sender and read by both.
void CompareParts(const std::string& content, sms::SubmitOptions o, GSM_MultiSMSMessage& theirs) {
    std::string ourHex, theirHex, error, detail = o.data8 ? sms::Hex(sms::Bytes(content.begin(), content.end())) : content;
    std::vector<sms::SubmitPdu> ours;
    o.ref = theirs.SMS[0].UDH.ID8bit & 0xFF;
    if (!sms::BuildSubmit(content, o, &ours, &error)) return Compare("building", error, "", detail);
    for (const sms::SubmitPdu& p : ours) ourHex += sms::Hex(p.octets) + "\n";
    for (int i = 0; i < theirs.Number; ++i) {
        GSM_SMSMessage& g = theirs.SMS[i];
        DecodeUTF8(g.SMSC.Number, o.smsc.c_str(), o.smsc.size());
        g.SMSC.Location = 0;
        g.SMSC.Validity = GSM_SMSValidity{SMS_Validity_RelativeFormat, static_cast<GSM_ValidityPeriod>(o.validity)};
        theirHex += sms::Hex(Build(&g, o.to, false)) + "\n";
        g.DateTime = GSM_DateTime{0, 59, 59, 23, 31, 12, 2026};  // any valid time (not compared)
        ReadBoth(Build(&g, Pick(2) ? Random(0, 1 + Pick(11)) : Random(3, 1 + Pick(20)), true));
    }
    if (ourHex != theirHex && o.destPort >= 0 && o.destPort <= 255 && o.sourcePort <= 255) ++widePorts;
    else Compare("PDUs", ourHex, theirHex, detail);
}

void CompareOne(int kind, int length) {
    std::string text = Random(kind, length);
    GSM_MultiPartSMSInfo info;
    GSM_ClearMultiPartSMSInfo(&info);
    static unsigned char buffer[2 * 40000];
    DecodeUTF8(buffer, text.c_str(), text.size());
    info.EntriesNum = 1;
    info.Entries[0].ID = SMS_ConcatenatedAutoTextLong;  // libGammu chooses the coding itself
    info.Entries[0].Buffer = buffer;
    static GSM_MultiSMSMessage theirs;
    if (GSM_EncodeMultiPartSMS(di, &info, &theirs) != ERR_NONE) return Compare("building", "", "refused", text);
    CompareParts(text, {.to = Random(3, 1 + Pick(20)), .smsc = "+4917" + std::to_string(Pick(100000)),
                        .validity = Pick(256)}, theirs);
}

// libGammu's headers with ports (their source port 0 but for MMS notifications) and without; the long ones always
// carry a concatenation element, so they are compared on data that needs two parts at least.
struct PortHeader {
    GSM_UDH udh;
    int dest, source;
    bool concatenated;
} const kPortHeaders[] = {{UDH_NoUDH, -1, -1, false},           {UDH_ConcatenatedMessages, -1, -1, true},
                          {UDH_NokiaRingtone, 5505, 0, false},  {UDH_NokiaWAP, 49999, 0, false},
                          {UDH_NokiaRingtoneLong, 5505, 0, true}, {UDH_MMSIndicatorLong, 2948, 9200, true},
                          {UDH_NokiaWAPLong, 49999, 0, true},   {UDH_NokiaCalendarLong, 228, 0, true}};

void CompareData() {
    const PortHeader& h = kPortHeaders[Pick(8)];
    std::string data(h.concatenated ? 141 + Pick(600) : Pick(134), '\0');
    for (char& c : data) c = static_cast<char>(rng());
    static GSM_MultiSMSMessage theirs;
    theirs.Number = 0;  // it appends
    GSM_MakeMultiPartSMS(di, &theirs, reinterpret_cast<unsigned char*>(&data[0]), data.size(), h.udh, SMS_Coding_8bit,
                         -1, 0);
    CompareParts(data, {.to = Random(3, 1 + Pick(20)), .smsc = "+4917" + std::to_string(Pick(100000)),
                        .validity = Pick(256), .data8 = true, .destPort = h.dest, .sourcePort = h.source}, theirs);
}

}  // namespace

int main(int argc, char** argv) {
    int count = argc > 1 ? atoi(argv[1]) : 3000;
    rng.seed(argc > 2 ? static_cast<unsigned>(atoi(argv[2])) : 1u);
    for (int i = 0; i < count; ++i) CompareOne(i % 3, i % 5 == 4 ? 100 + Pick(1200) : Pick(i % 3 == 2 ? 75 : 165));
    for (int i = 0; i < count / 5; ++i) CompareData();
    printf("%d texts and %d 8-bit messages built by both, each part read by both; names in ASCII codes: %d; ports up to "
           "255 in libGammu's 16-bit element: %d; other differences: %d\n",
           count, count / 5, asciiNames, widePorts, failures);
    return failures ? 1 : 0;
}
