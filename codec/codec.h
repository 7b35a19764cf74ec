// The SMS PDU converter: text in the Windows-1252 code page to the hex PDU
// form of its user data (GSM 7-bit default alphabet, packed) and back.
//
// PDU hex format: two upper-case hex digits per octet, high nibble first, no
// separators and no header. A text of n characters always gives n octets:
// the ceil(7n / 8) octets of the packed septets, then floor(n / 8) octets 00.
//
// Everything is built on the string runtime: results are temporaries (see
// runtime/strings.h) and intermediate values live in dynamic arrays.
#pragma once
#include <cstdint>

#include "runtime/strings.h"

// Character map: LatinToGsm and GsmToLatin.
#include "codec/gsm_map.h"

// Encoder.
Tmp TextToPdu(StrArg text);
Tmp ToBinary7(int16_t value);     // at least seven binary digits
int16_t Binary4ToInt(StrArg bits);

// Decoder.
Tmp PduToText(StrArg hex);
Tmp SwapPair(StrArg pair);        // last character, then first
int16_t HexDigitToInt(StrArg digit);
Tmp ToBinary4(int16_t value);     // at least four binary digits
int16_t Binary7ToInt(StrArg bits);
