// The builder's round trip: every PDU it gives parses back to its options,
// its parts are numbered in order, none is over size, and the joined text is
// the text given. Text that is not UTF-8 is refused.
#include "fuzz/fuzz_check.h"
#include "sms/pdu.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in{data, size};
    int flags = in.Byte();
    sms::SubmitOptions o;
    o.report = flags & 1, o.flash = flags & 2, o.ucs2 = flags & 4;
    o.validity = flags & 8 ? in.Byte() : -1;
    o.ref = flags & 16 ? in.Byte() : -1;
    o.to = flags & 32 ? "+" : "";
    for (int n = 1 + in.Byte() % 20; n > 0; --n) o.to += static_cast<char>('0' + in.Byte() % 10);
    if (flags & 64) o.to = "Shop " + std::to_string(in.Byte());
    o.smsc = flags & 128 ? "+4917" : "";
    std::string text(reinterpret_cast<const char*>(data + in.pos), size - in.pos), error, joined;
    std::vector<sms::SubmitPdu> pdus;
    std::u32string chars;
    size_t bad;
    sms::Bytes septets;
    bool utf8 = sms::DecodeUtf8(text, &chars, &bad), ucs2 = o.ucs2 || !sms::ToSeptets(chars, &septets);
    FUZZ_CHECK(sms::BuildSubmit(text, o, &pdus, &error) == utf8 || size > 17000);  // or over 255 parts
    for (size_t i = 0; i < pdus.size(); ++i) {
        sms::Message m;
        sms::ParseError e;
        FUZZ_CHECK(sms::ParsePdu(pdus[i].octets, true, &m, &e));
        FUZZ_CHECK(m.type == sms::MessageType::Submit && m.address.text == o.to && m.smsc.text == o.smsc);
        FUZZ_CHECK(pdus[i].tpduLength == pdus[i].octets.size() - (o.smsc.empty() ? 1 : 4));
        FUZZ_CHECK(m.coding == (ucs2 ? sms::Coding::Ucs2 : sms::Coding::Gsm7) && m.messageClass == (o.flash ? 0 : -1));
        FUZZ_CHECK(((m.firstOctet & 0x20) != 0) == o.report && m.validityFormat == (o.validity >= 0 ? 2 : 0) &&
                   (o.validity < 0 || m.validity == o.validity));
        FUZZ_CHECK(pdus.size() == 1 ? m.concatRef < 0 : m.part == static_cast<int>(i + 1) &&
                                          m.parts == static_cast<int>(pdus.size()) && (o.ref < 0 || m.concatRef == o.ref));
        FUZZ_CHECK(ucs2 ? m.units.size() * 2 + m.header.size() * 6 <= 140 : m.septets.size() + m.header.size() * 7 <= 160);
        joined += m.text;
    }
    FUZZ_CHECK(!utf8 || joined == text);
    return 0;
}
