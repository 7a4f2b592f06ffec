// The exchange engine: one request to the EKLZ and one reply back, with the
// raw traffic in the protocol view, progress and results in the result view
// and the state in the exchange status pane. Every failure ends the exchange
// with a TEKLZException (or the port's system error).
#pragma once

#include <string>

#include "codec/HexFrame.h"
#include "protocol/Particulars.h"
#include "protocol/Session.h"

namespace eklz {

// Texts written by the reply readers.
inline constexpr const char* kSuccessText = "Операция успешно выполнена";
inline constexpr const char* kRequestSent = "Запрос успешно отправлен";
inline constexpr const char* kAwaitingReply = "Ожидание ответа...";
inline constexpr const char* kStateLabel = "Состояние операции: ";
inline constexpr const char* kResultLabel = "Результат операции: ";
// The failures of a reply that the readers write before giving up.
inline constexpr const char* kNakText =
    "Ответ устройства: ошибка интерфейса (данные приняты с ошибкой или не распознан STX)";
inline constexpr const char* kBadAnswerText = "Некорректный ответ устройства";
inline constexpr const char* kNoStxText = "Не распознан STX ответа";
inline constexpr const char* kCancelled = "Запрос отменён";
inline constexpr const char* kBadChecksumText = "Некорректная контрольная сумма ответа";

// Sends one finished request: the port is emptied of everything pending in
// both directions and all bytes go out in one write, then the "==> "
// protocol line is written when `logExchange`; a frame that is no hex text
// raises before anything is sent or logged. The outcome of the write is not
// examined. A run whose cancel was requested sends nothing and ends with
// EOperationCancelled.
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
    DumpPage,    // a page: 512 data bytes with a good answer (L = 0x01); with an
                 // error answer and L = 0x01 a page or nothing, as the line
                 // shows, otherwise L - 1; any other L with a good answer is
                 // an incorrect reply
    Fixed        // exactly `fixedCount` data bytes with a good answer, L - 1 with
                 // an error answer; no read at all when `fixedCount` is 0
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
// each caller decides what a code means (RequireGoodAnswer for most).
Reply ReadReply(EklzSession& session, const ReplyShape& shape, bool quiet, bool logExchange);

// Raises TEKLZException with the answer's message unless LastAnswer is 0.
void RequireGoodAnswer(const EklzSession& session);

// The delivery step of ReceiveReply and the report-data request: the data
// as CP866 text (`text`) or decoded as report fragments with `prefix` in
// front. Particulars a fragment carried also go to the session's output.
DecodedReply DeliverReplyData(EklzSession& session, const Reply& reply, bool text,
                             const std::string& prefix = {});

// What ReceiveReply delivers of a reply.
struct ReplyDelivery {
  enum class Data {
    ResultOnly,  // the success text, whatever the data
    Hex,         // the data as hexadecimal digits without blanks
    Text,        // the data as CP866 text
    Fragments    // the data decoded as report fragments, `prefix` in front
  };
  // Fetching the rest of a report with the report-data request afterwards:
  // each further fragment as CP866 text or decoded.
  enum class Report { None, Text, Fragments };

  Data data = Data::ResultOnly;
  std::string prefix;  // Fragments: hexadecimal digits put before the data
  Report report = Report::None;
  bool wait4s = false;  // announce and wait 4 s after the acknowledgement

  static ReplyDelivery ResultOnly() { return {}; }
  static ReplyDelivery Hex() { return {Data::Hex, {}, Report::None, false}; }
  static ReplyDelivery Text() { return {Data::Text, {}, Report::None, false}; }
  static ReplyDelivery Fragments(std::string prefix = {}) {
    return {Data::Fragments, std::move(prefix), Report::None, false};
  }
  // The text form's text or the numeric form's fragments.
  static ReplyDelivery TextOrFragments(bool textForm) { return textForm ? Text() : Fragments(); }
  // The same, followed by the rest of the report in the same form.
  ReplyDelivery WithReport(bool textForm) const {
    ReplyDelivery d = *this;
    d.report = textForm ? Report::Text : Report::Fragments;
    return d;
  }
  // The choices of the arbitrary command: the success text only (and no
  // report fetch then), else the text form's text, else decoded fragments,
  // else hexadecimal digits; with the rest of the report fetched when asked.
  static ReplyDelivery FromChoices(bool textForm, bool fetchReport, bool resultOnly,
                                   bool decodeFragments) {
    ReplyDelivery d = resultOnly        ? ResultOnly()
                      : textForm        ? Text()
                      : decodeFragments ? Fragments()
                                        : Hex();
    return fetchReport && !resultOnly ? d.WithReport(textForm) : d;
  }
  ReplyDelivery WithWait4s() const {
    ReplyDelivery d = *this;
    d.wait4s = true;
    return d;
  }
};

// Reads, checks and delivers one complete reply as `delivery` says; with a
// report, the fetched fragments are written as result lines (indented by
// four blanks) once the whole report has come. Raises TEKLZException for
// every failure and for a non-zero answer code.
std::string ReceiveReply(EklzSession& session, const ReplyDelivery& delivery, bool quiet,
                         bool logExchange);
// The same, with the cash register's particulars that the decoded data and
// the fetched fragments carried (the later fragment wins).
DecodedReply ReceiveDecodedReply(EklzSession& session, const ReplyDelivery& delivery, bool quiet,
                                 bool logExchange);

}  // namespace eklz
