// The SMS PDU converter: text in the Windows-1252 code page to the hex PDU
// form of its user data (GSM 7-bit default alphabet, packed) and back.
//
// PDU hex format: two upper-case hex digits per octet, high nibble first, no
// separators and no header. A text of n characters always gives n octets:
// the ceil(7n / 8) octets of the packed septets, then floor(n / 8) octets 00.
//
// Everything is built on the string runtime: results are temporaries (see
// runtime/strings.h) and intermediate values live in dynamic arrays.
//
// The converter's premise: it keeps the intermediate values its design
// gives (the characters taken apart, the groups of binary digits, the
// quotients and remainders of every halving, the code values) in arrays,
// written and never read back, so that its allocations and its cost stay
// those of that design, which the benchmarks compare with libGammu. An
// array that nothing reads is not a fault to tidy away here.
#pragma once
#include <cstdint>

#include "runtime/strings.h"

// Character map: LatinToGsm and GsmToLatin.
#include "codec/gsm_map.h"
// Binary digits: ToBinary7 and Binary4ToInt for the encoder, ToBinary4 and
// Binary7ToInt for the decoder.
#include "codec/binary.h"

// Encoder.
Tmp TextToPdu(StrArg text);

// Decoder.
Tmp PduToText(StrArg hex);
Tmp SwapPair(StrArg pair);        // last character, then first
int16_t HexDigitToInt(StrArg digit);
