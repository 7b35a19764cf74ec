// The user data of a TPDU (3GPP TS 23.040 9.2.3.16, 9.2.3.24): its length,
// the header and its elements, the fill bits that start 7-bit text on a
// septet boundary, and the text or data itself.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "sms/cursor.h"
#include "sms/language.h"
#include "sms/parameters.h"

namespace sms {

struct Message;
struct SubmitOptions;

struct HeaderElement {
    int id = 0;
    Bytes data;
    size_t offset = 0;   // of its identifier octet, from the start of the PDU
    bool taken = false;  // its reader set fields of the message (of a repeated element the last counts)
};

// The header elements this reader knows (9.2.3.24), one row each: what it
// is called, the lengths it may have, and what it sets in the message.
// Adding an element is one row and its reader.
struct ElementKind {
    int id;
    const char* name;
    size_t length;  // the length its reader takes; other lengths are kept as they are
    // Sets fields of `m` from the element's data; false when they stay as they were.
    bool (*read)(Message* m, const Bytes& data);
    bool ownFields;  // shown by the fields it sets, never as hex
};
// The row of `id`, or nullptr for an element this reader does not know.
const ElementKind* FindElement(int id);
// Its name, or "unknown element" for one that is not in the table.
std::string ElementName(int id);

// Identifiers of the elements the builder writes.
const int IE_CONCAT_8 = 0x00, IE_PORTS_8 = 0x04, IE_PORTS_16 = 0x05, IE_CONCAT_16 = 0x08;
const int IE_SINGLE_SHIFT = 0x24, IE_LOCKING_SHIFT = 0x25;

const size_t kMaxUserData = 140;  // octets of user data one message carries (9.2.3.16)

// TP-UDL and TP-UD of `m` (its coding and first octet already read): the
// header elements, then the text or the data; with a trace, every character.
bool ReadUserData(Cursor& c, Message* m);

// One part's header with its length octet, or none, as the builder writes
// it: the ports, the concatenation, then the elements that name the national
// language tables.
Bytes PartHeader(const SubmitOptions& o, ShiftTables tables, bool multi, uint8_t ref, size_t parts, size_t part);
// What a part carries after `header`, in the units of its coding.
size_t PartRoom(Coding coding, const Bytes& header);

// Where septet `k` of text packed after `fill` bits (0 to 6) of the octets at
// `start` lies: the one or two octets of the PDU that hold it.
std::vector<size_t> SeptetOctets(size_t start, int fill, size_t k);
// Records each septet of `septets` (packed so) as a character read with
// `shift`, an escape and its partner apart; and each UTF-16 unit of text at
// `start` with its surrogates named. Short messages and Cell Broadcast pages
// both record their characters so.
void TraceSeptetCharacters(Trace* t, const Bytes& septets, ShiftTables shift, size_t start, int fill);
void TraceUtf16Units(Trace* t, const std::vector<uint16_t>& units, size_t start);

// The fill bits after a header of `headerOctets` octets (its length octet
// included) that start 7-bit text on a septet boundary.
int FillBits(size_t headerOctets);

}  // namespace sms
