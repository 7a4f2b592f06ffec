#include "commands/Common.h"

#include "protocol/Errors.h"

namespace eklz {

std::string RequestStart(uint8_t command, int dataLength) {
  return InsertFrameLength("02 " + ByteField(command), dataLength);
}

std::string SendForResult(EklzSession& session, const std::string& frame, bool quiet,
                          bool logExchange, bool awaitLine, bool wait4s) {
  SendFrame(session, frame, logExchange);
  session.AppendResultLine(kRequestSent, quiet);
  if (awaitLine) session.AppendResultLine(kAwaitingReply, quiet);
  std::string result;
  ReceiveReply(session, false, false, false, true, false, "", quiet, logExchange, wait4s, result);
  session.AppendResultLine(kResultLabel + result, quiet);
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
