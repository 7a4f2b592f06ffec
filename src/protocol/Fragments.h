// The report fragment decoder: one numeric fragment of journal data (a
// fragment code byte and its fields, as hexadecimal digits) into readable
// Russian text. The fragments 05H, 07H and 08H also give the cash register's
// particulars printed on the repair request.
#pragma once

#include <string>

#include "protocol/Particulars.h"
#include "protocol/Session.h"

namespace eklz {

// Decodes one fragment given as upper-case hexadecimal digits without blanks,
// fragment code first. The text has CR LF between lines and at its end. A
// fragment shorter than its layout, or of an unknown code, is shown as its
// digits. An invalid activation date in 08H raises EConvertError. `kkm`
// holds the model (05H), the serial number (07H) or the activation date (08H).
DecodedReply DecodeFragments(EklzSession& session, const std::string& hexDigits);
// The same with the code page of the 05H text given: Windows-1251 when
// `win1251`, else CP866.
DecodedReply DecodeFragments(bool win1251, const std::string& hexDigits);

// The value of the two digits at a 1-based character position.
int HexByteAt(const std::string& hexDigits, size_t position);

// One character per byte, the bytes read as Windows-1251 (no conversion
// from another code page).
std::string HexDigitsToText(const std::string& hexDigits);

// "YYMMDD" -> "DD.MM.YY"; "HHMM" -> "HH:MM". Digits are copied as received.
std::string BcdDateText(const std::string& digits);
std::string BcdTimeText(const std::string& digits);

// "0000123.45" -> "123.45"; keeps the digit before the point.
std::string StripLeadingZeros(const std::string& text);

}  // namespace eklz
