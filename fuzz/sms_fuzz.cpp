// The first byte's low bit chooses (with bit 7 and without bit 2: a Cell Broadcast page, read as the parser's PDUs
// are). The parser, on octets (as any kind, or framed by a modem's length) and on hex text or modem lines, never reads
// past the data, what it accepts is whole (valid UTF-8 text, a part within its count), and
// the fields it records tile the PDU.
// The builder's round trip, also with national language tables: every PDU parses back to its options, its parts are
// numbered in order, the joined text or data is what was given; text not UTF-8 is refused.
#include "fuzz/fuzz_check.h"
#include "sms/cbs.h"
#include "sms/modem.h"
#include "sms/national_tables.h"
#include "sms/pdu.h"
#include "sms/trace_test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in{data, size};
    int flags = in.Byte();
    sms::Message m;
    sms::ParseError e;
    std::u32string chars;
    size_t bad;
    sms::Bytes octets;
    if ((flags & 0x85) == 0x81) {  // a Cell Broadcast page, or the UMTS form when bit 1 is set
        sms::Bytes pdu(data + in.pos, data + size);
        sms::Trace trace;
        std::vector<sms::CbsMessage> pages(1);
        bool read = flags & 2 ? sms::ParseCbsUmts(pdu, &pages, &e, &trace) : sms::ParseCbsPage(pdu, &pages[0], &e, &trace);
        FUZZ_CHECK(Tiling(trace, pdu.size(), read, e.offset) == "tiles");
        FUZZ_CHECK(read || (e.offset <= pdu.size() && !e.what.empty()));
        std::vector<const sms::CbsMessage*> all;
        std::string texts;
        for (const sms::CbsMessage& p : pages) {
            FUZZ_CHECK(!read || (sms::DecodeUtf8(p.text, &chars, &bad) && sms::DecodeUtf8(p.language, &chars, &bad) &&
                                 p.page >= 1 && p.page <= p.pages && p.pages <= 15 && CbsKey(p) == CbsKey(pages[0])));
            all.push_back(&p);
            texts += p.text;
        }
        FUZZ_CHECK(!read || sms::JoinCbsPages(all).text == texts);  // the UMTS pages come in page order
        return 0;
    }
    if (flags & 1) {
        std::optional<sms::MessageType> kind;
        if (flags & 4) kind = sms::kKinds[(flags >> 3) % sms::kKindCount].type;
        size_t length = flags & 64 ? in.Byte() : 0;
        sms::Bytes pdu(data + in.pos, data + size);
        sms::Trace trace;
        bool read = flags & 64 ? sms::ParseFramedPdu(pdu, length, "+CMT", &m, &e, kind, &trace)
                               : sms::ParsePdu(pdu, flags & 2, &m, &e, kind, &trace);
        // The fields of whole octets tile the PDU in order: to its end when read, at least to the fault when not;
        // a field inside an octet lies in one already covered.
        FUZZ_CHECK(Tiling(trace, pdu.size(), read, e.offset) == "tiles");
        if (read)
            FUZZ_CHECK(sms::DecodeUtf8(m.text, &chars, &bad) && sms::DecodeUtf8(m.address.text, &chars, &bad) &&
                       (m.concatRef < 0 || (m.part >= 1 && m.part <= m.parts)) && (!kind || m.type == *kind));
        else
            FUZZ_CHECK(e.offset < size && !e.what.empty());
        sms::ModemLine line = sms::ReadModemLine(in.Rest());
        if (sms::ParseHex(line.hex, &octets, &e)) sms::ParsePdu(octets, true, &m, &e);
        else FUZZ_CHECK(e.offset <= line.hex.size());
        return 0;
    }
    int more = in.Byte(), extra = more & 128 ? in.Byte() : 0, dest = extra & 2 ? static_cast<int>(in.Bytes(2)) : -1;
    sms::SubmitOptions o{.to = more & 32 ? "+" : "", .smsc = more & 64 ? "+4917" : "", .report = (flags & 2) != 0,
                         .flash = (flags & 4) != 0, .ucs2 = (flags & 8) != 0, .validity = flags & 16 ? in.Byte() : -1,
                         .ref = flags & 32 ? in.Byte() : -1, .data8 = (extra & 1) != 0, .destPort = dest,
                         .sourcePort = dest >= 0 && extra & 4 ? static_cast<int>(in.Bytes(2)) : -1,
                         .pid = extra & 8 ? in.Byte() : 0, .messageClass = extra & 16 ? in.Byte() % 4 : -1,
                         .replyPath = (extra & 32) != 0, .rejectDuplicates = (extra & 64) != 0,
                         .noSmsc = (extra & 128) != 0};
    if (flags & 128)
        o.validUntil = sms::Timestamp{1990 + in.Byte() % 100, 1 + in.Byte() % 12, 1 + in.Byte() % 28, in.Byte() % 24,
                                      in.Byte() % 60, in.Byte() % 60, in.Byte() % 159 - 79};
    for (int n = 1 + (more & 31) % 20; n > 0; --n) o.to += static_cast<char>('0' + in.Byte() % 10);
    if (flags & 64) o.to = "Shop " + std::to_string(in.Byte());
    if (more & 128) o.language = in.Byte() % sms::kNationalTableCount;  // kAnyLanguage or one language
    std::string text = in.Rest(), error, joined;
    std::vector<sms::SubmitPdu> pdus;
    bool utf8 = o.data8 || sms::DecodeUtf8(text, &chars, &bad);
    // Whether some tables carry the text does not depend on the room a part has; which ones send it best does.
    sms::ShiftTables tables, first;
    auto room = [](sms::ShiftTables, bool) { return size_t{160}; };
    bool gsm = o.language < 0 ? sms::ToSeptets(chars, &octets) : sms::ChooseTables(chars, o.language, room, &tables);
    sms::Coding coding = o.data8 ? sms::Coding::Data8 : o.ucs2 || !gsm ? sms::Coding::Ucs2 : sms::Coding::Gsm7;
    FUZZ_CHECK(sms::BuildSubmit(text, o, &pdus, &error) == utf8 || size > 17000);  // or over 255 parts
    for (int i = 0, n = static_cast<int>(pdus.size()); i < n; ++i) {
        FUZZ_CHECK(sms::ParsePdu(pdus[i].octets, !o.noSmsc, &m, &e) && m.type == sms::MessageType::Submit &&
                   m.address.text == o.to && m.smsc.text == (o.noSmsc ? "" : o.smsc) &&
                   ((m.firstOctet & sms::TP_SRR) != 0) == o.report && ((m.firstOctet & sms::TP_RP) != 0) == o.replyPath &&
                   ((m.firstOctet & sms::TP_RD) != 0) == o.rejectDuplicates && m.pid == o.pid &&
                   m.messageClass == (o.flash ? 0 : o.messageClass) && m.coding == coding &&
                   m.destPort == o.destPort && m.sourcePort == (o.sourcePort >= 0 ? o.sourcePort : o.destPort) &&
                   (o.validUntil ? m.validityFormat == sms::VPF_ABSOLUTE && m.validUntil.Iso() == o.validUntil->Iso()
                                 : m.validityFormat == (o.validity >= 0 ? sms::VPF_RELATIVE : sms::VPF_NONE)) &&
                   (o.validUntil || o.validity < 0 || m.validity == o.validity) &&
                   (coding == sms::Coding::Gsm7 && o.language >= 0 || (m.shift.locking < 0 && m.shift.single < 0)) &&
                   pdus[i].tpduLength == pdus[i].octets.size() - (o.noSmsc ? 0 : o.smsc.empty() ? 1 : 4));
        if (i == 0) first = m.shift;
        FUZZ_CHECK(m.shift.locking == first.locking && m.shift.single == first.single);  // every part names the same
        FUZZ_CHECK(n == 1 ? m.concatRef < 0 : m.part == i + 1 && m.parts == n && (o.ref < 0 || m.concatRef == o.ref));
        joined += o.data8 ? std::string(m.data.begin(), m.data.end()) : m.text;
    }
    FUZZ_CHECK(!utf8 || joined == text);
    return 0;
}
