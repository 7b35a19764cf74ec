// The PDU parser on arbitrary octets and hex text: it never reads past the
// data, and what it accepts is whole: valid UTF-8 text, a part within its
// count, and hex that reads back to the same octets. Septets packed after
// any fill read back the same.
#include "fuzz/fuzz_check.h"
#include "sms/pdu.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    sms::Bytes pdu(data + 1, data + size), again;
    sms::Message m;
    sms::ParseError e;
    if (sms::ParsePdu(pdu, data[0] & 1, &m, &e)) {
        std::u32string chars;
        size_t bad;
        FUZZ_CHECK(sms::DecodeUtf8(m.text, &chars, &bad) && sms::DecodeUtf8(m.address.text, &chars, &bad));
        FUZZ_CHECK(m.concatRef < 0 || (m.part >= 1 && m.part <= m.parts));
        FUZZ_CHECK(m.septets.size() <= 255 && m.units.size() <= 128 && m.data.size() <= 255);
    } else {
        FUZZ_CHECK(e.offset < pdu.size() + 1 && !e.what.empty());
    }
    FUZZ_CHECK(pdu.empty() || (sms::ParseHex(sms::Hex(pdu), &again, &e) && again == pdu));
    sms::Bytes septets(pdu.size()), packed;  // packing after any fill reads back
    for (size_t i = 0; i < pdu.size(); ++i) septets[i] = pdu[i] & 0x7F;
    sms::PackSeptets(septets, data[0] % 7, &packed);
    FUZZ_CHECK(packed.size() == (data[0] % 7 + 7 * septets.size() + 7) / 8 &&
               sms::UnpackSeptets(packed.data(), data[0] % 7, septets.size()) == septets);
    std::string hex(reinterpret_cast<const char*>(data), size);
    if (sms::ParseHex(hex, &again, &e)) sms::ParsePdu(again, true, &m, &e);
    else FUZZ_CHECK(e.offset < size || (size == 0 && e.offset == 0));
    return 0;
}
