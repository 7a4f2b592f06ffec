// Pieces every command operation shares.
#pragma once

#include <cstdint>
#include <string>

#include "protocol/Exchange.h"
#include "protocol/HexFrame.h"
#include "protocol/Session.h"

namespace eklz {

// The code of a command's text form (code + 0x80) when `textForm`, else the code.
inline uint8_t FormCode(uint8_t command, bool textForm) {
  return textForm ? static_cast<uint8_t>(command + 0x80) : command;
}

// "02 LL CC " for a command with `dataLength` data bytes; fields and the
// checksum are appended by the caller.
std::string RequestStart(uint8_t command, int dataLength);

// The tail of an operation whose reply carries nothing to show: empty the
// port and send, "Запрос успешно отправлен", "Ожидание ответа..." (unless
// `awaitLine` is off), read the reply with only the success text delivered,
// "Результат операции: " and that text. Returns the text.
std::string SendForResult(EklzSession& session, const std::string& frame, bool quiet,
                          bool logExchange, bool awaitLine = true, bool wait4s = false);

// Refuses with TEKLZException `message` unless low <= value <= high.
void RequireRange(long long value, long long low, long long high, const std::string& message);

// Decimal digits of a packed BCD field read as one number; raises
// EConvertError "'<digits>' is not a valid integer value" for a digit A-F.
int64_t BcdDigitsValue(const std::string& digits);

}  // namespace eklz
