// Reading a PDU: the SMSC field, the first octet, then the fields of the kind
// its type indicator (or the caller) names.
#include <string>

#include "sms/pdu.h"

namespace sms {
namespace {

const int kReservedIndicator = 3;

// The value of each byte as a hex digit, or -1: one look-up a digit, for the large files that are read.
struct HexValues {
    int8_t of[256];
    HexValues() {
        for (int c = 0; c < 256; ++c)
            of[c] = static_cast<int8_t>(c >= '0' && c <= '9'   ? c - '0'
                                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                               : -1);
    }
};
const HexValues kHexValue;

// The kind an indicator names in one direction: the listed one, or the other.
const MessageKind& Named(int indicator, bool listed) {
    for (size_t k = 0; k < kKindCount; ++k)
        if (kKinds[k].indicator == indicator && kKinds[k].listed == listed) return kKinds[k];
    return kKinds[0];
}

// The bit fields of the first octet that `kind` carries.
void ExplainFirstOctet(Cursor& c, const MessageKind& kind, int octet) {
    if (!c.Tracing()) return;
    size_t at = c.Offset() - 1;
    auto bit = [&](int mask) { return (octet & mask) != 0; };
    static const char* const kValidity[] = {"no validity period", "enhanced, seven octets", "relative, one octet",
                                            "absolute, seven octets"};
    unsigned f = kind.firstOctet;
    c.Bits(at, 1, 0, "TP-MTI", kind.name);
    if (f & FIELD_MMS) c.Bits(at, 2, 2, "TP-MMS", bit(TP_MMS) ? "no more messages waiting" : "more messages waiting");
    if (f & FIELD_RD) c.Bits(at, 2, 2, "TP-RD", bit(TP_RD) ? "reject duplicates" : "accept duplicates");
    if (f & FIELD_LP) c.Bits(at, 3, 3, "TP-LP", bit(TP_LP) ? "forwarded or spawned" : "not forwarded or spawned");
    if (f & FIELD_VPF) c.Bits(at, 4, 3, "TP-VPF", kValidity[(octet & TP_VPF) >> TP_VPF_SHIFT]);
    if (f & FIELD_SRI)
        c.Bits(at, 5, 5, "TP-SRI", bit(TP_SRI) ? "a status report will be returned" : "no status report will be returned");
    if (f & FIELD_SRR) c.Bits(at, 5, 5, "TP-SRR", bit(TP_SRR) ? "status report requested" : "no status report requested");
    if (f & FIELD_SRQ) c.Bits(at, 5, 5, "TP-SRQ", bit(TP_SRQ) ? "reports on an SMS-COMMAND" : "reports on an SMS-SUBMIT");
    if (f & FIELD_UDHI) c.Bits(at, 6, 6, "TP-UDHI", bit(TP_UDHI) ? "the user data starts with a header" : "no header");
    if (f & FIELD_RP) c.Bits(at, 7, 7, "TP-RP", bit(TP_RP) ? "reply path set" : "no reply path");
}

}  // namespace

bool ParseHex(const std::string& hex, Bytes* out, ParseError* error) {
    out->resize(hex.size() / 2);
    size_t n = 0;
    int high = -1;
    size_t highAt = 0;
    for (size_t i = 0; i < hex.size(); ++i) {
        char c = hex[i];
        int v = kHexValue.of[static_cast<unsigned char>(c)];
        if (v < 0 && (c == ' ' || c == '\t')) continue;
        if (v < 0) {
            out->clear();
            error->offset = i;
            error->what = Format("'%c' is not a hex digit", static_cast<unsigned char>(c) >= 0x20 &&
                                 static_cast<unsigned char>(c) < 0x7F ? c : '?');
            return false;
        }
        if (high < 0) {
            high = v;
            highAt = i;
        } else {
            (*out)[n++] = static_cast<uint8_t>(high << 4 | v);
            high = -1;
        }
    }
    out->resize(n);
    if (high >= 0) {
        out->clear();
        error->offset = highAt;
        error->what = "odd number of hex digits: this one has no partner";
        return false;
    }
    if (out->empty()) {
        error->offset = 0;
        error->what = "no hex digits";
        return false;
    }
    return true;
}

bool ReadPdu(Cursor& c, bool withSmsc, Message* m, std::optional<MessageType> asked) {
    *m = Message();
    if (withSmsc && !ReadSmsc(c, &m->smsc, &m->hasSmsc)) return false;
    if (!c.TakeOctet("first octet", "first octet", &m->firstOctet)) return false;
    int indicator = m->firstOctet & TP_MTI;
    if (indicator == kReservedIndicator)
        return c.Fail(c.Offset() - 1, Format("unknown message type 3 (first octet %02lX)", m->firstOctet));
    const MessageKind& kind = asked ? KindOf(*asked) : Named(indicator, true);
    m->type = kind.type;
    if (kind.indicator != indicator)
        return c.Fail(c.Offset() - 1, Format("first octet %02lX is ", m->firstOctet) + Named(indicator, true).name +
                                          " or " + Named(indicator, false).name + ", not " + kind.name);
    if (c.Tracing()) c.Means(kind.name);
    ExplainFirstOctet(c, kind, m->firstOctet);
    return kind.read(c, m);
}

bool ParsePdu(const Bytes& pdu, bool withSmsc, Message* m, ParseError* error, std::optional<MessageType> asked,
              Trace* trace) {
    Cursor c(pdu, error, trace);
    if (pdu.empty()) return *m = Message(), c.Fail(0, "the PDU is empty");
    if (!ReadPdu(c, withSmsc, m, asked)) return false;
    if (c.Left() == 0) return true;
    // A report ends where its parameter indicator says: the receiver ignores what follows (9.2.3.27).
    if (!KindOf(m->type).endsAtIndicator)
        return c.Fail(c.Offset(), Format("the data goes on past the end of the message (%ld more octets)",
                                         static_cast<long>(c.Left())));
    c.Take(c.Left(), "ignored", "");
    if (c.Tracing()) c.Means("octets after the report's last field");
    return true;
}

}  // namespace sms
