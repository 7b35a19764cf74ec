// Message text: UTF-8, the GSM 7-bit default alphabet with its extension
// table, septet packing, and UTF-16 (the UCS-2 of short messages).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sms {

using Bytes = std::vector<uint8_t>;

// Decodes UTF-8 into code points. On a malformed sequence (overlong forms,
// surrogates and values past U+10FFFF included) returns false and sets *bad
// to its byte offset.
bool DecodeUtf8(const std::string& text, std::u32string* out, size_t* bad);
void AppendUtf8(std::string* out, char32_t c);

// The 7-bit codes of `text`: one per character of the default alphabet, the
// escape 0x1B and a second code for each character of the extension table.
// Returns false when a character has neither.
bool ToSeptets(const std::u32string& text, Bytes* septets);
// The text of 7-bit codes. An escape followed by a code the extension table
// lacks stands for that code's default character; a final lone escape and
// the escape after an escape read as a space.
std::string SeptetsToUtf8(const Bytes& septets);

// Appends the septets packed least significant bit first after `fill` zero
// bits (0 to 6): ceil((fill + 7n) / 8) octets.
void PackSeptets(const Bytes& septets, int fill, Bytes* out);
// Reads `count` septets packed after `fill` bits; `data` holds at least
// ceil((fill + 7 * count) / 8) octets.
Bytes UnpackSeptets(const uint8_t* data, int fill, size_t count);

// UTF-16 code units, characters past U+FFFF as surrogate pairs.
std::vector<uint16_t> ToUtf16(const std::u32string& text);
// Unpaired surrogates read as U+FFFD.
std::string Utf16ToUtf8(const std::vector<uint16_t>& units);

}  // namespace sms
