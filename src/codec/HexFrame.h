// The hexadecimal text form of frames ("02 0B 10 ..."), the request layout
// with its length byte and checksum, and the encodings of the data fields.
// Requests are assembled, logged and checksummed in this form and turned into
// bytes only when they are written to the port.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codec/CodePage.h"
#include "codec/Regional.h"

namespace eklz {

using Bytes = std::vector<uint8_t>;

// Reads pairs of hexadecimal digits, each pair followed by one blank (the
// last blank may be missing). A pair that is not two hexadecimal digits
// raises EConvertError "'$XY' is not a valid integer value".
Bytes HexToBytes(const std::string& text);

// Each byte as two upper-case hexadecimal digits and a blank.
std::string BytesToHex(const uint8_t* data, size_t size);
inline std::string BytesToHex(const Bytes& b) { return BytesToHex(b.data(), b.size()); }
inline std::string BytesToHex(const std::string& b) {
  return BytesToHex(reinterpret_cast<const uint8_t*>(b.data()), b.size());
}

// Left-pads `digits` with "0" to `width` characters (width <= 0: no padding;
// a longer text is not cut), then writes the characters in pairs, a blank
// after every second one.
std::string DecimalToBcdHex(const std::string& digits, int width);

// "02 CC ..." becomes "02 LL CC ..." with LL = dataLength + 1.
std::string InsertFrameLength(const std::string& frame, int dataLength);

// A finished request in text form: STX, the length byte counted from
// `fields` (the data fields as pairs, each followed by a blank), the command,
// the fields and the checksum pair: BuildRequest(0x07, "01 ") is
// "02 02 07 01 04".
std::string BuildRequest(uint8_t command, const std::string& fields = "");

// Appends the checksum pair to a request assembled up to its last data field.
std::string FinishFrame(const std::string& frame);

// A frame as it goes on the line: STX, L (the low 8 bits of the data length
// plus one), `first` (a request's command or a reply's answer code), the data
// and the checksum, the XOR of every byte after STX.
Bytes FrameBytes(uint8_t first, const Bytes& data = {});

// Two hexadecimal digits: the XOR of every byte after the first.
std::string FrameChecksum(const std::string& frame);

// Characters 4 and 5 of a prefix such as "02 10 ".
std::string ExtractCommandCode(const std::string& prefix);

// The XOR of `size` bytes.
uint8_t XorBytes(const uint8_t* data, size_t size);

// A HexFrame text with its blanks removed (two digits per byte).
std::string RemoveBlanks(const std::string& hex);

// Field encodings appended to requests; each result ends with a blank.
std::string ByteField(unsigned value);                 // "01 "
std::string WordField(unsigned value);                 // 300 -> "01 2C "
std::string BcdField(int64_t value, int width);        // 100, 10 -> "00 00 00 01 00 "
std::string DateField(const CalendarDate& date);       // "24 03 15 "
std::string TimeField(const ClockTime& time);          // "14 05 "

// `text` padded with blanks on the right to `length` characters (a longer
// text is kept whole), converted to the code page and written as pairs.
// Raises TEKLZException for a character the code page cannot hold.
std::string TextField(const std::string& text, size_t length, CodePage codePage);

// Upper-case hexadecimal digits of `value`, at least `digits` of them.
std::string IntToHex(uint64_t value, int digits);

// Value of a hexadecimal digit, or -1.
int HexDigitValue(char c);

}  // namespace eklz
