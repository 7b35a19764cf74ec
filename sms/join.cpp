// The parts of a long message put together (3GPP TS 23.040 9.2.3.24.1).
#include "sms/pdu.h"

namespace sms {

Message JoinParts(const std::vector<const Message*>& parts) {
    Message m = *parts[0];
    bool sameCoding = true;
    for (const Message* p : parts) sameCoding = sameCoding && p->coding == m.coding;
    m.septets.clear();
    m.units.clear();
    m.data.clear();
    m.text.clear();
    for (const Message* p : parts) {
        m.septets.insert(m.septets.end(), p->septets.begin(), p->septets.end());
        m.units.insert(m.units.end(), p->units.begin(), p->units.end());
        m.data.insert(m.data.end(), p->data.begin(), p->data.end());
        m.text += p->text;
    }
    // Joined before decoding: an escape or a surrogate pair split by the sender stays one character.
    if (sameCoding && m.coding == Coding::Gsm7) {
        std::vector<SeptetPart> septets;  // each part with the tables its own header names
        for (const Message* p : parts) septets.push_back({&p->septets, p->shift});
        m.text = JoinedSeptetsToUtf8(septets);
    }
    if (sameCoding && m.coding == Coding::Ucs2) m.text = Utf16ToUtf8(m.units);
    return m;
}

PartsKey PartsKeyOf(const Message& m) {
    return PartsKey(static_cast<int>(m.type), m.address.text, m.concatRef, m.parts);
}

}  // namespace sms
