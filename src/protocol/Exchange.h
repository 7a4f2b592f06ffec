// The exchange engine: one request to the EKLZ and one reply back, with the
// raw traffic in the protocol view, progress and results in the result view
// and the state in the exchange status pane. Every failure ends the exchange
// with a TEKLZException (or the port's system error).
#pragma once

#include <string>

#include "protocol/HexFrame.h"
#include "protocol/Session.h"

namespace eklz {

// Texts written by the reply readers.
inline constexpr const char* kSuccessText = "Операция успешно выполнена";
inline constexpr const char* kRequestSent = "Запрос успешно отправлен";
inline constexpr const char* kAwaitingReply = "Ожидание ответа...";
inline constexpr const char* kStateLabel = "Состояние операции: ";
inline constexpr const char* kResultLabel = "Результат операции: ";

// Appends the checksum pair to a request assembled up to its last data field.
std::string FinishFrame(const std::string& frame);

// Sends one finished request: the "==> " protocol line when `logExchange`,
// then the port is emptied of everything pending in both directions and all
// bytes go out in one write. The outcome of the write is not examined.
void SendFrame(EklzSession& session, const std::string& frame, bool logExchange);

// Reads `count` reply bytes into `text` as pairs without a trailing blank.
// A byte that does not come in time raises "Устройство не отвечает".
void ReadReplyBytes(EklzSession& session, int count, std::string& text, bool logExchange);

// How a reply reader reads and reports one reply. The readers of the tester
// differ only in these points; the checks, messages, purges and protocol
// lines are the same for all of them.
struct ReplyShape {
  enum class DataCount {
    FromLength,  // L - 1 data bytes (one read, also when that is 0 or less)
    DumpPage,    // L + 511 data bytes
    Fixed        // exactly `fixedCount` data bytes (no read at all when 0)
  };
  DataCount count = DataCount::FromLength;
  int fixedCount = 0;
  const char* resultLabel = kStateLabel;  // label of the answer line
  bool wait4s = false;                    // announce and wait 4 s after the ACK
};

struct Reply {
  uint8_t length = 0;
  uint8_t answerByte = 0;
  std::string dataText;  // the data as pairs with blanks between them
  Bytes data;            // the same data as bytes
};

// Reads and checks one reply: ACK (NAK and anything else fail, with a purge),
// STX (fails with a purge), length, answer, data, checksum (fails unless
// CrcOff). Decodes the answer into LastAnswer and writes the empty line, the
// answer line and the empty line. Does not fail on a non-zero answer code:
// each caller decides what a code means.
Reply ReadReply(EklzSession& session, const ReplyShape& shape, bool quiet, bool logExchange);

// Reads, checks and delivers one complete reply (see the flags' comments in
// the implementation). Raises TEKLZException for every failure and for a
// non-zero answer code.
void ReceiveReply(EklzSession& session, bool withPrefix, bool textForm, bool fetchReport,
                  bool resultOnly, bool decodeFragments, const std::string& prefix, bool quiet,
                  bool logExchange, bool wait4s, std::string& data);

}  // namespace eklz
