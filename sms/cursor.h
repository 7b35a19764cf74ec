// Reading a PDU front to back through one cursor: every field is taken by one
// call that checks that its octets are there, moves past them, and records
// where it lay, so that the values, the errors and the octet-by-octet view
// all come from the same reading.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sms/text.h"

namespace sms {

struct ParseError {
    size_t offset = 0;  // octet of the PDU, or character of the hex text
    std::string what;
};

// One field where it lies: whole octets, or bits of one octet (`high` to
// `low`, 7 to 0) when `high` is not negative.
struct Span {
    size_t offset = 0, length = 0;  // octets from the start of the PDU
    std::string field;              // the 3GPP name: "TP-OA type"
    std::string meaning;            // "international, ISDN/telephone"
    int high = -1, low = -1;
    bool InsideOctet() const { return high >= 0; }
};

// One character of the user data: the septet, UTF-16 unit or octet it is
// (its number in the text), the octets of the PDU it lies in, its code and
// what it reads as.
struct CharacterSpan {
    enum Unit { Septet, Utf16Unit, Octet };
    Unit unit = Septet;
    size_t index = 0;
    std::vector<size_t> offsets;
    int code = 0;
    std::string text;  // the character as UTF-8, or empty for data
    std::string note;  // "escape", "extension table", "Turkish single shift", "high surrogate", ...
};

struct Trace {
    std::vector<Span> spans;
    std::vector<CharacterSpan> characters;
};

// printf of up to three numbers into a string.
std::string Format(const char* format, long a, long b = 0, long c = 0);
std::string Hex(const Bytes& octets);
std::string Hex(const uint8_t* octets, size_t count);
std::string Binary(int value, int bits);  // "010" for (2, 3)

class Cursor {
public:
    // Reads `pdu`; `error` is set by the first failure; `trace`, when given,
    // receives a span for every field taken.
    Cursor(const Bytes& pdu, ParseError* error, Trace* trace) : pdu_(pdu), error_(error), trace_(trace) {}

    size_t Offset() const { return pos_; }
    size_t Left() const { return pdu_.size() - pos_; }
    const Bytes& Pdu() const { return pdu_; }
    Trace* Tracing() const { return trace_; }

    // Takes `n` octets as `field` (its 3GPP name); `words` name it in the
    // error when fewer are left: "<words> is missing: the data ends here".
    bool Take(size_t n, const char* field, const std::string& words, const uint8_t** octets = nullptr);
    bool TakeOctet(const char* field, const std::string& words, int* value);
    // Takes `n` octets after a length field that promised them: the error,
    // at `lengthAt`, is `tooShort`.
    bool TakeCounted(size_t n, const char* field, size_t lengthAt, const std::string& tooShort,
                     const uint8_t** octets = nullptr);
    // The meaning of the field taken last.
    void Means(const std::string& meaning);
    // Records bits `high` to `low` of the octet at `offset` as `field`.
    void Bits(size_t offset, int high, int low, const char* field, const std::string& meaning);
    // The next octet without taking it, or -1 at the end.
    int Peek() const { return pos_ < pdu_.size() ? pdu_[pos_] : -1; }

    bool Fail(size_t at, const std::string& what);

private:
    void Record(size_t n, const char* field);

    const Bytes& pdu_;
    ParseError* error_;
    Trace* trace_;
    size_t pos_ = 0;
    bool recorded_ = false;  // the field taken last has a span (an empty one has none)
};

}  // namespace sms
