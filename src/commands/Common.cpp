#include "commands/Common.h"

#include "codec/Errors.h"

namespace eklz {

std::string SendForResult(EklzSession& session, const std::string& frame,
                          const ReplyDelivery& delivery, bool quiet, bool logExchange,
                          const SendOptions& options) {
  SendFrame(session, frame, logExchange || options.alwaysLogRequest);
  session.AppendResultLine(options.sentLine, quiet);
  if (options.awaitLine) session.AppendResultLine(kAwaitingReply, quiet);
  const std::string result = ReceiveReply(session, delivery, quiet, logExchange);
  session.AppendResultLine(options.resultLabel + result, quiet);
  return result;
}

void RequireRange(long long value, long long low, long long high, const std::string& message) {
  if (value < low || value > high) throw TEKLZException(message);
}

int64_t BcdDigitsValue(const std::string& digits) {
  if (digits.empty() || digits.size() > 18) throw InvalidInteger(digits);
  int64_t v = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') throw InvalidInteger(digits);
    v = v * 10 + (c - '0');
  }
  return v;
}

}  // namespace eklz
