// UTF-8 <-> Windows-1252, the code page the converter works in.
#pragma once
#include <string>

// Each character with no Windows-1252 form, each malformed UTF-8 sequence and
// each code 0 becomes `unmapped`, a byte the converter treats as outside its
// character map, so it encodes as code 0 ('@') like any other such
// character instead of being dropped or ending the text.
std::string Utf8ToCp1252(const std::string& utf8, char unmapped);
// Bytes with no character in Windows-1252 (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// become U+FFFD.
std::string Cp1252ToUtf8(const std::string& text);
