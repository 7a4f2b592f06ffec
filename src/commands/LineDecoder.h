// Decoding of the line: a request frame and its reply frame turned into the
// lines the tester writes for the same exchange. Pure functions, bytes in and
// lines out, shared by the commands, the line monitor and `eklz decode`. They
// never throw: a frame that is cut, spoilt or unknown is described as such.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/HexFrame.h"

namespace eklz {

// What decoding one exchange needs from the exchanges before it.
struct LineContext {
  bool win1251 = false;     // text fields and the 05H fragment in Windows-1251, else CP866
  bool reportText = false;  // the report being fetched is in its text form
};

// The bytes a request frame takes (STX, L, command, L - 1 data bytes,
// checksum) once its length byte is there; 0 while fewer than two bytes have
// come or when the first byte is no STX.
size_t RequestFrameSize(const uint8_t* bytes, size_t size);

// The bytes the reply to `request` takes, counted from what has come of it:
// 1 for a lone NAK (or any first byte other than ACK), 0 while more bytes
// are needed to tell. A good dump page is 512 data bytes, a good status
// record 20 or 26, the archive test has none, every other reply L - 1.
size_t ReplyFrameSize(const Bytes& request, const uint8_t* bytes, size_t size);

// A fault of a request frame, or an empty text for a sound one.
std::string RequestFault(const Bytes& frame);

// The lines the tester writes before it sends `frame`: the heading of the
// command and its fields. A frame of an unknown command gives
// "неизвестная команда XX" and its bytes. A report request sets
// `context.reportText`.
std::vector<std::string> DescribeRequest(const Bytes& frame, LineContext& context);

// The lines the tester writes for the reply to `request`: a failure of the
// reply (NAK, no STX, bad checksum, a cut reply), else the answer line
// between empty lines and the data as the tester shows it.
std::vector<std::string> DescribeReply(const Bytes& request, const Bytes& reply,
                                       const LineContext& context);

// The reply data of the status queries as the tester shows them: document
// total, date, time, last KPK, EKLZ number and flags (20 bytes), or the shift
// number and its four totals (26 bytes). Shorter data give no lines. A field
// whose BCD digits are not decimal ends the lines; its digits go to
// `badDigits` when given.
std::vector<std::string> StatusRecordLines(const Bytes& data, std::string* badDigits = nullptr);
std::vector<std::string> ShiftStatusLines(const Bytes& data, std::string* badDigits = nullptr);

// Whether an exchange acknowledged the exchange-parameters request: the rate
// the line runs at from now on, else 0.
uint32_t AgreedRate(const Bytes& request, const Bytes& reply);

}  // namespace eklz
