// The line monitor's reading of the line: bytes seen going each way (or
// both on one line) are cut into requests and replies, each exchange is
// described with the line decoder, and what went wrong on the line is named.
// It never sends anything and never throws on what it sees.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "codec/HexFrame.h"
#include "commands/LineDecoder.h"

namespace eklz::cli {

// Where bytes were seen: on the cash register's side (requests), on the
// EKLZ's side (replies), or on one line that carries both.
enum class LineSide { Kkm, Eklz, Both };

class LineMonitor {
 public:
  using Clock = std::chrono::system_clock;

  struct Output {
    // One line for the operator: a heading with the time, or a decoded line.
    std::function<void(const std::string&)> line;
    // One line of the recording in the tester's protocol format.
    std::function<void(const std::string&)> protocol;
  };

  // `replyWaitMs`: how long the device may stay silent before a byte of its
  // reply (2000 ms and the link's time-out).
  LineMonitor(Output output, int replyWaitMs, bool win1251);

  void Feed(LineSide side, const uint8_t* data, size_t size, Clock::time_point when);
  // The time has come to `now`: a request whose reply is overdue ends as
  // unanswered, bytes that stopped coming are reported.
  void Tick(Clock::time_point now);
  // Ends what is pending, as at a time long after the last byte.
  void Finish(Clock::time_point now);

  // The rate an acknowledged exchange-parameters command set (the last one
  // when several did), once; 0 when none did since the last call. Each such
  // exchange is also told in the output.
  uint32_t TakeAgreedRate();

  uint64_t Exchanges() const { return exchanges_; }
  uint64_t Failures() const { return failures_; }
  // The summary lines: exchanges, failures, exchanges by command.
  std::vector<std::string> Summary() const;

  // "12:04:05.123" in local time.
  static std::string TimeText(Clock::time_point when);

 private:
  struct Stream {
    Bytes bytes;
    Clock::time_point first{}, last{};
  };
  void FeedRequests(const uint8_t* data, size_t size, Clock::time_point when);
  void FeedReplies(const uint8_t* data, size_t size, Clock::time_point when);
  void TakeRequests();
  void TakeReplies();
  void StartExchange(Bytes request, Clock::time_point when);
  void EndExchange(Bytes reply, Clock::time_point when, bool silent);
  void Stray(Stream& stream, size_t count, const char* what);
  // Reports everything in `stream` as replies without a request and bytes
  // between frames.
  void SortOut(Stream& stream);
  void Fault(Clock::time_point when, const std::string& text);
  void Heading(Clock::time_point when, const std::string& text);

  Output out_;
  std::chrono::milliseconds replyWait_;
  LineContext context_;
  bool merged_ = false;
  bool awaiting_ = false;
  Bytes request_;
  Clock::time_point requestEnd_{};
  Stream requests_, replies_;
  uint32_t agreedRate_ = 0;
  uint64_t exchanges_ = 0, failures_ = 0;
  std::map<std::string, uint64_t> byCommand_;
};

// The lines of one recorded exchange as `eklz decode` shows them: a heading
// with the exchange's number and command, then the decoded request and reply.
std::vector<std::string> DecodeRecordedExchange(size_t number, const Bytes& request,
                                                const Bytes& reply, LineContext& context);

}  // namespace eklz::cli
