#include "protocol/Exchange.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "codec/CodePage.h"
#include "codec/CommandCodes.h"
#include "codec/Errors.h"
#include "codec/HexFrame.h"
#include "protocol/Fragments.h"
#include "protocol/ReportData.h"

namespace eklz {

namespace {

constexpr uint32_t kByteWaitMs = 100;
constexpr int kPageSize = kArchivePageSize;
constexpr uint8_t kPageLength = (kPageSize + 1) & 0xFF;

const char* const kReportTooLong =
    "Отчёт ЭКЛЗ длиннее всего её архива: чтение отчёта прекращено";
// The whole archive memory. The smallest report record (discount, mark-up,
// document total) takes 6 bytes.
constexpr size_t kArchiveBytes = size_t{kArchivePages} * kPageSize;
constexpr size_t kSmallestFragment = 6;

// ReadReplyBytes that also hands out the bytes themselves. Bytes that have
// already arrived are taken in one go; each missing byte gets the full
// one-byte wait.
void ReadBytes(EklzSession& session, int count, std::string& text, Bytes* raw, bool logExchange) {
  session.SetExchangeStatus(kAwaitingReply);
  session.ProcessMessages();
  TRSPort& port = session.Port();
  const size_t n = count > 0 ? static_cast<size_t>(count) : 0;
  Bytes local;
  Bytes& bytes = raw ? *raw : local;
  bytes.resize(n);
  size_t got = 0;
  while (got < n) {
    const int taken = port.TakeBuffered(bytes.data() + got, static_cast<int>(n - got));
    if (taken > 0) {
      got += static_cast<size_t>(taken);
      continue;
    }
    if (port.ReadByteWait(&bytes[got], kByteWaitMs) != 1) {
      if (logExchange) session.AppendProtocolLine("<== " + BytesToHex(bytes.data(), got));
      session.SetExchangeStatus("Нет ответа");
      throw TEKLZException("Устройство не отвечает");
    }
    ++got;
  }
  text = BytesToHex(bytes);
  if (!text.empty()) text.pop_back();
  if (logExchange) session.AppendProtocolLine("<== " + text);
  session.SetExchangeStatus("Успешное чтение");
}

uint8_t ReadOneByte(EklzSession& session, bool logExchange) {
  std::string text;
  Bytes raw;
  ReadBytes(session, 1, text, &raw, logExchange);
  return raw[0];
}

// Takes one more byte when the device sends one within the one-byte wait;
// false when the line stays silent. Silence is an answer here, not a failure.
bool ReadFollowingByte(EklzSession& session, uint8_t& byte) {
  TRSPort& port = session.Port();
  return port.TakeBuffered(&byte, 1) == 1 || port.ReadByteWait(&byte, kByteWaitMs) == 1;
}

// The data of a page reply that carries an error answer. A device may send
// the answer alone (L = 01, then the checksum) or, as with a good answer,
// followed by a whole page: both have L = 01, so what follows the first byte
// decides. Returns false for the short form, whose checksum is `first`.
bool ReadErrorPage(EklzSession& session, Reply& reply, uint8_t& first, bool logExchange) {
  first = ReadOneByte(session, logExchange);
  uint8_t second = 0;
  if (!ReadFollowingByte(session, second)) return false;
  if (logExchange) session.AppendProtocolLine("<== " + BytesToHex(&second, 1).substr(0, 2));
  std::string restText;
  Bytes rest;
  ReadBytes(session, kPageSize - 2, restText, &rest, logExchange);
  reply.data = {first, second};
  reply.data.insert(reply.data.end(), rest.begin(), rest.end());
  reply.dataText = BytesToHex(reply.data);
  reply.dataText.pop_back();
  return true;
}

// A report left half read keeps the EKLZ from every document until it is
// ended: a stop while its fragments are fetched ends it with the abort
// command, sent in spite of the stop. The result view says what became of it.
void AbandonReport(EklzSession& session, bool logExchange) {
  EklzSession::CleanupScope cleanup(session);
  const TAnswerInfo stopped = session.LastAnswer;
  try {
    SendFrame(session, BuildRequest(code::kAbort), logExchange);
    ReadReply(session, ReplyShape{}, true, logExchange);
    RequireGoodAnswer(session);
    session.AppendResultLine("Чтение отчёта остановлено, отчёт отменён командой прекращения", false);
  } catch (const std::exception& e) {
    session.AppendResultLine(std::string("Чтение отчёта остановлено, отчёт не отменён: ") + e.what(), false);
  }
  session.LastAnswer = stopped;
}

[[noreturn]] void Cancel(EklzSession& session, const char* message, bool quiet) {
  session.AppendResultLine(message, quiet);
  session.AppendResultLine(kCancelled, quiet);
  session.Port().Purge();
  throw TEKLZException(message);
}

}  // namespace

void SendFrame(EklzSession& session, const std::string& frame, bool logExchange) {
  session.ThrowIfCancelled();
  session.Output().BeforeRequest();
  const Bytes bytes = HexToBytes(frame);
  TRSPort& port = session.Port();
  port.Purge();
  port.Write(bytes.data(), bytes.size());
  // Logged once it has gone out: a frame that does not convert or a port
  // that refuses it leaves no request in the protocol.
  if (logExchange) session.AppendProtocolLine("==> " + frame);
}

void ReadReplyBytes(EklzSession& session, int count, std::string& text, bool logExchange) {
  ReadBytes(session, count, text, nullptr, logExchange);
}

Reply ReadReply(EklzSession& session, const ReplyShape& shape, bool quiet, bool logExchange) {
  const uint8_t ack = ReadOneByte(session, logExchange);
  if (ack == kNak) Cancel(session, kNakText, quiet);
  if (ack != kAck) Cancel(session, kBadAnswerText, quiet);

  if (shape.wait4s) {
    session.AppendResultLine("Задержка 4 секунды на выполнение операции...", quiet);
    session.Pause(4000);
  }

  if (ReadOneByte(session, logExchange) != kStx) Cancel(session, kNoStxText, quiet);

  Reply reply;
  reply.length = ReadOneByte(session, logExchange);
  reply.answerByte = ReadOneByte(session, logExchange);
  // An error answer carries none of the data of a good one (a page, a status
  // record) and is read like any other reply: waiting for data that never
  // come would report a silent device instead of the device's answer. The
  // near-full bit alone is no error.
  const bool errorAnswer = DecodeAnswerCode(reply.answerByte).Code != 0;
  std::optional<uint8_t> shortChecksum;
  switch (shape.count) {
    case ReplyShape::DataCount::FromLength:
      ReadBytes(session, reply.length - 1, reply.dataText, &reply.data, logExchange);
      break;
    case ReplyShape::DataCount::DumpPage:
      // A page is 512 data bytes, so L is the low byte of 513.
      if (errorAnswer && reply.length == kPageLength) {
        uint8_t first = 0;
        if (!ReadErrorPage(session, reply, first, logExchange)) shortChecksum = first;
      } else if (errorAnswer) {
        ReadBytes(session, reply.length - 1, reply.dataText, &reply.data, logExchange);
      } else if (reply.length != kPageLength) {
        Cancel(session, kBadAnswerText, quiet);
      } else {
        ReadBytes(session, kPageSize, reply.dataText, &reply.data, logExchange);
      }
      break;
    case ReplyShape::DataCount::Fixed:
      if (shape.fixedCount > 0) {
        ReadBytes(session, errorAnswer ? reply.length - 1 : shape.fixedCount, reply.dataText,
                  &reply.data, logExchange);
      }
      break;
  }
  const uint8_t checksum = shortChecksum ? *shortChecksum : ReadOneByte(session, logExchange);

  const uint8_t expected = static_cast<uint8_t>(reply.length ^ reply.answerByte ^
                                                XorBytes(reply.data.data(), reply.data.size()));
  if (expected != checksum && !session.settings.CrcOff) {
    session.AppendResultLine(std::string(kBadChecksumText) + ". " + kCancelled, quiet);
    throw TEKLZException(kBadChecksumText);
  }

  session.LastAnswer = DecodeAnswerCode(reply.answerByte);
  session.AppendResultLine("", quiet);
  session.AppendResultLine(shape.resultLabel + session.LastAnswer.Message, quiet);
  session.AppendResultLine("", quiet);
  return reply;
}

void RequireGoodAnswer(const EklzSession& session) {
  if (session.LastAnswer.Code != 0) throw TEKLZException(session.LastAnswer.Message);
}

DecodedReply DeliverReplyData(EklzSession& session, const Reply& reply, bool text,
                              const std::string& prefix) {
  if (text) return {Cp866ToUtf8(std::string(reply.data.begin(), reply.data.end())), {}};
  DecodedReply decoded = DecodeFragments(session, prefix + RemoveBlanks(reply.dataText));
  if (!decoded.kkm.Empty()) session.Output().ParticularsLearned(decoded.kkm);
  return decoded;
}

std::string ReceiveReply(EklzSession& session, const ReplyDelivery& delivery, bool quiet,
                         bool logExchange) {
  return ReceiveDecodedReply(session, delivery, quiet, logExchange).text;
}

DecodedReply ReceiveDecodedReply(EklzSession& session, const ReplyDelivery& delivery, bool quiet,
                                 bool logExchange) {
  ReplyShape shape;
  shape.wait4s = delivery.wait4s;
  const bool report = delivery.report != ReplyDelivery::Report::None;
  Reply reply;
  try {
    reply = ReadReply(session, shape, quiet, logExchange);
  } catch (const EOperationCancelled&) {
    // Stopped in the wait for the reply that starts a report: the device
    // may have started it.
    if (report) AbandonReport(session, logExchange);
    throw;
  }
  RequireGoodAnswer(session);

  DecodedReply data;
  switch (delivery.data) {
    case ReplyDelivery::Data::ResultOnly: data.text = kSuccessText; break;
    case ReplyDelivery::Data::Hex: data.text = RemoveBlanks(reply.dataText); break;
    case ReplyDelivery::Data::Text:
    case ReplyDelivery::Data::Fragments:
      data = DeliverReplyData(session, reply, delivery.data == ReplyDelivery::Data::Text,
                              delivery.prefix);
      break;
  }

  if (report) {
    // The fragments are shown only when the whole report has come, so a
    // failure on the way leaves none of them in the result view.
    // A device that never ends its report must not keep the tester fetching
    // for ever: no report holds more than the whole archive, and every
    // fragment counts as at least the smallest record.
    const bool textForm = delivery.report == ReplyDelivery::Report::Text;
    std::vector<std::string> fragments;
    size_t reportBytes = 0;
    for (int number = 1;; ++number) {
      session.Output().StepProgress("Фрагмент отчёта", number, 0);
      size_t dataBytes = 0;
      DecodedReply fragment;
      try {
        fragment = RequestReportData(session, number, textForm, true, true, &dataBytes);
      } catch (const EOperationCancelled&) {
        AbandonReport(session, logExchange);
        throw;
      }
      if (fragment.text.empty()) break;
      data.kkm.Update(fragment.kkm);
      reportBytes += std::max(dataBytes, kSmallestFragment);
      if (reportBytes > kArchiveBytes) {
        session.AppendResultLine(kReportTooLong, quiet);
        session.Port().Purge();
        throw TEKLZException(kReportTooLong);
      }
      fragments.push_back(std::move(fragment.text));
    }
    for (const std::string& fragment : fragments) session.AppendResultLine("    " + fragment, quiet);
  }
  return data;
}

}  // namespace eklz
