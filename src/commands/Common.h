// Pieces every command operation shares.
#pragma once

#include <cstdint>
#include <string>

#include "codec/CommandCodes.h"
#include "protocol/Exchange.h"
#include "codec/HexFrame.h"
#include "protocol/Session.h"

namespace eklz {

// The code of a command's text form (code + 0x80) when `textForm`, else the code.
inline uint8_t FormCode(uint8_t command, bool textForm) {
  return textForm ? static_cast<uint8_t>(command + 0x80) : command;
}

// The lines around one exchange of SendForResult.
struct SendOptions {
  const char* sentLine = kRequestSent;      // after the request went out
  bool awaitLine = true;                    // "Ожидание ответа..." after it
  const char* resultLabel = kResultLabel;   // in front of the delivered data
  bool alwaysLogRequest = false;            // the request goes to the protocol view regardless
};

// The tail of an operation: empty the port and send, "Запрос успешно
// отправлен", "Ожидание ответа...", read the reply and deliver it as
// `delivery` says, then "Результат операции: " and the delivered text, which
// is returned. `options` changes those lines.
std::string SendForResult(EklzSession& session, const std::string& frame,
                          const ReplyDelivery& delivery, bool quiet, bool logExchange,
                          const SendOptions& options = {});

// Refuses with TEKLZException `message` unless low <= value <= high.
void RequireRange(long long value, long long low, long long high, const std::string& message);

// Decimal digits of a packed BCD field read as one number; raises
// EConvertError "'<digits>' is not a valid integer value" for a digit A-F.
int64_t BcdDigitsValue(const std::string& digits);

}  // namespace eklz
