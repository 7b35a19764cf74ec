// The first byte's low bit chooses. The parser, on octets and on hex text, never reads past the data and what it
// accepts is whole: valid UTF-8 text, a part within its count. The builder's round trip, also with national language
// tables: every PDU parses back to its options, its parts are numbered in order, the joined text is the text given;
// text not UTF-8 is refused.
#include "fuzz/fuzz_check.h"
#include "sms/national_tables.h"
#include "sms/pdu.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in{data, size};
    int flags = in.Byte();
    sms::Message m;
    sms::ParseError e;
    std::u32string chars;
    size_t bad;
    sms::Bytes octets;
    if (flags & 1) {
        if (sms::ParsePdu(sms::Bytes(data + in.pos, data + size), flags & 2, &m, &e))
            FUZZ_CHECK(sms::DecodeUtf8(m.text, &chars, &bad) && sms::DecodeUtf8(m.address.text, &chars, &bad) &&
                       (m.concatRef < 0 || (m.part >= 1 && m.part <= m.parts)));
        else
            FUZZ_CHECK(e.offset < size && !e.what.empty());
        if (sms::ParseHex(in.Rest(), &octets, &e)) sms::ParsePdu(octets, true, &m, &e);
        else FUZZ_CHECK(e.offset < size);
        return 0;
    }
    int more = in.Byte();
    sms::SubmitOptions o{more & 32 ? "+" : "", more & 64 ? "+4917" : "", (flags & 2) != 0, (flags & 4) != 0,
                         (flags & 8) != 0, flags & 16 ? in.Byte() : -1, flags & 32 ? in.Byte() : -1};
    for (int n = 1 + (more & 31) % 20; n > 0; --n) o.to += static_cast<char>('0' + in.Byte() % 10);
    if (flags & 64) o.to = "Shop " + std::to_string(in.Byte());
    if (more & 128) o.language = in.Byte() % sms::kNationalTableCount;  // kAnyLanguage or one language
    std::string text = in.Rest(), error, joined;
    std::vector<sms::SubmitPdu> pdus;
    sms::ShiftTables tables;
    bool utf8 = sms::DecodeUtf8(text, &chars, &bad);
    bool ucs2 = o.ucs2 || (o.language < 0 ? !sms::ToSeptets(chars, &octets) : !sms::ChooseTables(chars, o.language, &tables));
    FUZZ_CHECK(sms::BuildSubmit(text, o, &pdus, &error) == utf8 || size > 17000);  // or over 255 parts
    for (int i = 0, n = static_cast<int>(pdus.size()); i < n; ++i) {
        FUZZ_CHECK(sms::ParsePdu(pdus[i].octets, true, &m, &e) && m.type == sms::MessageType::Submit &&
                   m.address.text == o.to && m.smsc.text == o.smsc && ((m.firstOctet & 0x20) != 0) == o.report &&
                   m.messageClass == (o.flash ? 0 : -1) && m.coding == (ucs2 ? sms::Coding::Ucs2 : sms::Coding::Gsm7) &&
                   m.validityFormat == (o.validity >= 0 ? 2 : 0) && (o.validity < 0 || m.validity == o.validity) &&
                   m.shift.locking == tables.locking && m.shift.single == tables.single &&
                   pdus[i].tpduLength == pdus[i].octets.size() - (o.smsc.empty() ? 1 : 4));
        FUZZ_CHECK(n == 1 ? m.concatRef < 0 : m.part == i + 1 && m.parts == n && (o.ref < 0 || m.concatRef == o.ref));
        joined += m.text;
    }
    FUZZ_CHECK(!utf8 || joined == text);
    return 0;
}
