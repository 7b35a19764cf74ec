// The SMS-SUBMIT builder (3GPP TS 23.040 9.2.2.2): the parts of a text, each
// with its header, in 7-bit text (with national language tables where asked),
// UCS-2 or 8-bit data.
#include <algorithm>

#include "sms/pdu.h"

namespace sms {
namespace {

uint8_t DerivedReference(const std::string& text) {
    uint32_t h = 2166136261u;  // FNV-1a
    for (unsigned char c : text) h = (h ^ c) * 16777619u;
    return static_cast<uint8_t>(h ^ h >> 8 ^ h >> 16 ^ h >> 24);
}

}  // namespace

bool PlanSubmit(const std::string& text, const SubmitOptions& o, SubmitPlan* plan, std::string* error) {
    *plan = SubmitPlan();
    std::u32string chars;
    size_t bad;
    if (!o.data8 && !DecodeUtf8(text, &chars, &bad)) {
        *error = Format("the text is not valid UTF-8 (byte %ld)", bad);
        return false;
    }
    // What parts are counted in: the codes of 7-bit text or the octets of 8-bit data (codes), or UCS-2 units.
    uint8_t ref = plan->ref = static_cast<uint8_t>(o.ref >= 0 ? o.ref : DerivedReference(text));
    // National language tables: those that send the text in the fewest parts, their elements in every part's header.
    ShiftTables& tables = plan->tables;
    Bytes& codes = plan->codes;
    std::vector<uint16_t>& units = plan->units;
    auto septetRoom = [&](ShiftTables t, bool multi) { return PartRoom(Coding::Gsm7, PartHeader(o, t, multi, ref, 1, 1)); };
    bool gsm = !o.data8 && !o.ucs2 &&
               (o.language < 0 ? ToSeptets(chars, &codes)
                               : ChooseTables(chars, o.language, septetRoom, &tables) && ToSeptets(chars, tables, &codes));
    Coding coding = plan->coding = o.data8 ? Coding::Data8 : gsm ? Coding::Gsm7 : Coding::Ucs2;
    if (coding == Coding::Ucs2) units = ToUtf16(chars);
    plan->characters = chars;
    if (coding == Coding::Data8) codes.assign(text.begin(), text.end());

    // Part boundaries: each part's room comes from its own header; an escape pair or a surrogate pair stays whole.
    size_t total = coding == Coding::Ucs2 ? units.size() : codes.size();
    bool multi = plan->multi = total > PartRoom(coding, PartHeader(o, tables, false, ref, 1, 1));
    std::vector<size_t>& ends = plan->ends;
    for (size_t start = 0; start < total || ends.empty();) {
        size_t end = std::min(total, start + PartRoom(coding, PartHeader(o, tables, multi, ref, 1, ends.size() + 1)));
        if (coding == Coding::Gsm7 && end < total) {
            size_t i = start;
            while (i < end) i += codes[i] == 0x1B ? 2 : 1;
            if (i > end) end -= 1;
        } else if (coding == Coding::Ucs2 && end < total && units[end - 1] >= 0xD800 && units[end - 1] <= 0xDBFF) {
            end -= 1;
        }
        ends.push_back(end);
        start = end;
    }
    if (ends.size() > 255) {
        *error = Format(o.data8 ? "the data needs %ld messages, at most 255 can be joined"
                                : "the text needs %ld messages, at most 255 can be joined",
                        static_cast<long>(ends.size()));
        return false;
    }
    return true;
}

bool BuildSubmit(const std::string& text, const SubmitOptions& o, std::vector<SubmitPdu>* out, std::string* error) {
    out->clear();
    Bytes smsc, destination;
    std::string to, smscNumber, why;
    if (!o.noSmsc && !o.smsc.empty() && !NumberFromText(o.smsc, &smscNumber, &why))
        return *error = "SMSC '" + o.smsc + "' is not a number: " + why, false;
    if (!o.noSmsc && !EncodeSmsc(smscNumber, &smsc))
        return *error = "SMSC '" + o.smsc + "' is not a number: " + why, false;
    if (!RecipientFromText(o.to, &to, &why)) return *error = "recipient '" + o.to + "': " + why, false;
    EncodeDestination(to, &destination);
    SubmitPlan plan;
    if (!PlanSubmit(text, o, &plan, error)) return false;
    const Coding coding = plan.coding;
    const Bytes& codes = plan.codes;
    const std::vector<uint16_t>& units = plan.units;
    const std::vector<size_t>& ends = plan.ends;
    int messageClass = o.flash ? 0 : o.messageClass;
    int vpf = o.validUntil ? VPF_ABSOLUTE : o.validity >= 0 ? VPF_RELATIVE : VPF_NONE;
    size_t start = 0;
    for (size_t p = 0; p < ends.size(); ++p) {
        Bytes header = PartHeader(o, plan.tables, plan.multi, plan.ref, ends.size(), p + 1);
        SubmitPdu pdu;
        Bytes& b = pdu.octets;
        b = smsc;
        b.push_back(static_cast<uint8_t>(KindOf(MessageType::Submit).indicator | vpf << TP_VPF_SHIFT |
                                         (o.rejectDuplicates ? TP_RD : 0) | (o.report ? TP_SRR : 0) |
                                         (header.empty() ? 0 : TP_UDHI) | (o.replyPath ? TP_RP : 0)));
        b.push_back(0);  // message reference: the modem sets it
        b.insert(b.end(), destination.begin(), destination.end());
        b.push_back(static_cast<uint8_t>(o.pid));
        b.push_back(static_cast<uint8_t>(DataCodingOctet(coding, messageClass)));
        if (vpf == VPF_ABSOLUTE) AppendTimestamp(*o.validUntil, &b);
        if (vpf == VPF_RELATIVE) b.push_back(static_cast<uint8_t>(o.validity));
        if (coding == Coding::Gsm7) {
            int fill = FillBits(header.size());
            Bytes chunk(codes.begin() + start, codes.begin() + ends[p]);
            b.push_back(static_cast<uint8_t>((header.size() * 8 + fill) / 7 + chunk.size()));
            b.insert(b.end(), header.begin(), header.end());
            PackSeptets(chunk, fill, &b);
        } else if (coding == Coding::Ucs2) {
            b.push_back(static_cast<uint8_t>(header.size() + 2 * (ends[p] - start)));
            b.insert(b.end(), header.begin(), header.end());
            for (size_t i = start; i < ends[p]; ++i) {
                b.push_back(static_cast<uint8_t>(units[i] >> 8));
                b.push_back(static_cast<uint8_t>(units[i]));
            }
        } else {
            b.push_back(static_cast<uint8_t>(header.size() + ends[p] - start));
            b.insert(b.end(), header.begin(), header.end());
            b.insert(b.end(), codes.begin() + start, codes.begin() + ends[p]);
        }
        pdu.tpduLength = b.size() - smsc.size();
        out->push_back(pdu);
        start = ends[p];
    }
    return true;
}

}  // namespace sms
