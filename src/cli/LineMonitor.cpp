#include "cli/LineMonitor.h"

#include <ctime>

#include "codec/CommandCodes.h"
#include "codec/Regional.h"

namespace eklz::cli {

namespace {

// Bytes that are neither a frame nor its start are reported once the line
// has been quiet this long after them.
constexpr std::chrono::milliseconds kStrayQuiet{100};

std::string Hex(const uint8_t* data, size_t size) {
  std::string hex = BytesToHex(data, size);
  if (!hex.empty()) hex.pop_back();
  return hex;
}
std::string Hex(const Bytes& bytes) { return Hex(bytes.data(), bytes.size()); }

std::string CommandHeading(const Bytes& request) {
  if (request.size() < 3) return "запрос";
  return CommandCodeName(request[2]) + " (" + IntToHex(request[2], 2) + "H)";
}

bool ReplyStart(uint8_t b) { return b == kAck || b == kNak; }

// What went wrong with a reply, for the fault line; empty for a sound one.
std::string ReplyFault(const Bytes& request, const Bytes& reply, bool silent) {
  if (reply.empty()) return silent ? "нет ответа" : std::string();
  if (reply[0] == kNak) return "NAK: ЭКЛЗ не приняла запрос";
  if (reply[0] != kAck) return "ответ не начинается с ACK";
  if (reply.size() >= 2 && reply[1] != kStx) return "нет STX после ACK";
  const size_t size = ReplyFrameSize(request, reply.data(), reply.size());
  if (size == 0 || reply.size() < size) return "ответ оборван";
  if (XorBytes(reply.data() + 2, size - 3) != reply[size - 1]) return "неверная контрольная сумма ответа";
  return {};
}

}  // namespace

LineMonitor::LineMonitor(Output output, int replyWaitMs, bool win1251)
    : out_(std::move(output)), replyWait_(replyWaitMs) {
  context_.win1251 = win1251;
}

std::string LineMonitor::TimeText(Clock::time_point when) {
  const std::time_t seconds = Clock::to_time_t(when);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() % 1000;
  const auto two = [](int n) { return std::string(1, static_cast<char>('0' + n / 10)) + static_cast<char>('0' + n % 10); };
  return two(local.tm_hour) + ":" + two(local.tm_min) + ":" + two(local.tm_sec) + "." +
         static_cast<char>('0' + ms / 100) + two(static_cast<int>(ms % 100));
}

void LineMonitor::Heading(Clock::time_point when, const std::string& text) {
  out_.line("[" + TimeText(when) + "] " + text);
}

void LineMonitor::Fault(Clock::time_point when, const std::string& text) {
  ++failures_;
  Heading(when, "!!! " + text);
}

void LineMonitor::Feed(LineSide side, const uint8_t* data, size_t size, Clock::time_point when) {
  if (size == 0) return;
  if (side == LineSide::Both) merged_ = true;
  Stream& stream = side == LineSide::Eklz ? replies_ : requests_;
  if (stream.bytes.empty()) stream.first = when;
  stream.bytes.insert(stream.bytes.end(), data, data + size);
  stream.last = when;
  if (side == LineSide::Eklz) {
    TakeReplies();
  } else {
    TakeRequests();
  }
}

void LineMonitor::TakeRequests() {
  Stream& s = requests_;
  while (!s.bytes.empty()) {
    if (merged_ && awaiting_) {
      TakeReplies();
      if (awaiting_) return;
      continue;
    }
    const uint8_t first = s.bytes[0];
    if (first != kStx && !(merged_ && ReplyStart(first))) {
      // Bytes up to the next frame's start are stray.
      size_t next = 1;
      while (next < s.bytes.size() && s.bytes[next] != kStx &&
             !(merged_ && ReplyStart(s.bytes[next]))) {
        ++next;
      }
      if (next == s.bytes.size()) return;  // reported once the line is quiet
      Stray(s, next, "байты между кадрами");
      continue;
    }
    if (first != kStx) {  // a reply on the merged line with no request before it
      const size_t size = ReplyFrameSize({}, s.bytes.data(), s.bytes.size());
      if (size == 0 || s.bytes.size() < size) return;
      Stray(s, size, "ответ без запроса");
      continue;
    }
    const size_t size = RequestFrameSize(s.bytes.data(), s.bytes.size());
    if (size == 0 || s.bytes.size() < size) return;
    // The two ports are read apart: a request seen before the reply to the
    // one before it waits for that reply (or for the reply's time to run out).
    if (awaiting_) return;
    Bytes frame(s.bytes.begin(), s.bytes.begin() + static_cast<std::ptrdiff_t>(size));
    s.bytes.erase(s.bytes.begin(), s.bytes.begin() + static_cast<std::ptrdiff_t>(size));
    StartExchange(std::move(frame), s.last);
  }
}

void LineMonitor::TakeReplies() {
  Stream& s = merged_ ? requests_ : replies_;
  while (!s.bytes.empty()) {
    // With no request waiting, what the EKLZ sent stays until its request
    // turns up (the two ports are read apart, so a reply may be seen first)
    // or the line has been quiet for a while (Tick).
    if (!awaiting_) return;
    const size_t size = ReplyFrameSize(request_, s.bytes.data(), s.bytes.size());
    if (size == 0 || s.bytes.size() < size) return;
    Bytes reply(s.bytes.begin(), s.bytes.begin() + static_cast<std::ptrdiff_t>(size));
    s.bytes.erase(s.bytes.begin(), s.bytes.begin() + static_cast<std::ptrdiff_t>(size));
    EndExchange(std::move(reply), s.last, false);
    if (!merged_) TakeRequests();
  }
}

void LineMonitor::Stray(Stream& stream, size_t count, const char* what) {
  Fault(stream.first, std::string(what) + ": " + Hex(stream.bytes.data(), count));
  stream.bytes.erase(stream.bytes.begin(), stream.bytes.begin() + static_cast<std::ptrdiff_t>(count));
  stream.first = stream.last;
}

void LineMonitor::StartExchange(Bytes request, Clock::time_point when) {
  request_ = std::move(request);
  requestEnd_ = when;
  awaiting_ = true;
  if (!merged_ && !replies_.bytes.empty() && replies_.last + kStrayQuiet < when) {
    // What the EKLZ sent well before this request is no part of its reply.
    SortOut(replies_);
  }
  if (out_.protocol) out_.protocol("==> " + Hex(request_));
  Heading(when, "==> " + CommandHeading(request_));
  if (const std::string fault = RequestFault(request_); !fault.empty()) Fault(when, fault);
  for (const std::string& line : DescribeRequest(request_, context_)) out_.line(line);
  if (!merged_) TakeReplies();
}

void LineMonitor::EndExchange(Bytes reply, Clock::time_point when, bool silent) {
  awaiting_ = false;
  ++exchanges_;
  ++byCommand_[request_.size() > 2 ? CommandCodeName(request_[2]) : "?"];
  if (!reply.empty() && out_.protocol) out_.protocol("<== " + Hex(reply));
  Heading(when, reply.empty() ? "<== " : "<== " + Hex(reply.data(), std::min<size_t>(reply.size(), 5)) +
                                             (reply.size() > 5 ? " ..." : ""));
  if (const std::string fault = ReplyFault(request_, reply, silent); !fault.empty()) {
    Fault(when, silent && !reply.empty() ? fault + ", затем тишина" : fault);
  }
  for (const std::string& line : DescribeReply(request_, reply, context_)) out_.line(line);
  if (const uint32_t rate = AgreedRate(request_, reply); rate != 0) {
    agreedRate_ = rate;
    Heading(when, "Скорость линии: " + std::to_string(rate) + " бод");
  }
}

void LineMonitor::Tick(Clock::time_point now) {
  if (awaiting_) {
    const Stream& r = merged_ ? requests_ : replies_;
    const Clock::time_point last = r.bytes.empty() ? requestEnd_ : std::max(requestEnd_, r.last);
    if (now - last > replyWait_) {
      Bytes partial = r.bytes;
      if (merged_) requests_.bytes.clear();
      replies_.bytes.clear();
      EndExchange(std::move(partial), now, true);
      TakeRequests();
    }
    if (awaiting_) return;
  }
  for (Stream* s : {&requests_, &replies_}) {
    if (s->bytes.empty()) continue;
    const bool frameStart = s->bytes[0] == kStx;
    if (now - s->last > (frameStart ? replyWait_ : kStrayQuiet)) {
      if (frameStart) {
        Stray(*s, s->bytes.size(), "оборванный кадр");
      } else {
        SortOut(*s);
      }
    }
  }
}

void LineMonitor::SortOut(Stream& s) {
  // Whole replies are replies without a request; anything else up to the
  // next reply's start is stray.
  while (!s.bytes.empty()) {
    if (ReplyStart(s.bytes[0])) {
      const size_t size = ReplyFrameSize({}, s.bytes.data(), s.bytes.size());
      Stray(s, size == 0 || size > s.bytes.size() ? s.bytes.size() : size, "ответ без запроса");
      continue;
    }
    size_t next = 1;
    while (next < s.bytes.size() && !ReplyStart(s.bytes[next])) ++next;
    Stray(s, next, "байты между кадрами");
  }
}

void LineMonitor::Finish(Clock::time_point now) {
  const auto late = now + replyWait_ + std::chrono::seconds(1);
  Tick(late);
  Tick(late);
}

uint32_t LineMonitor::TakeAgreedRate() {
  const uint32_t rate = agreedRate_;
  agreedRate_ = 0;
  return rate;
}

std::vector<std::string> LineMonitor::Summary() const {
  std::vector<std::string> lines{
      "Итого: " + Counted(static_cast<long long>(exchanges_), "обмен", "обмена", "обменов") +
      ", " + Counted(static_cast<long long>(failures_), "сбой", "сбоя", "сбоев")};
  for (const auto& [name, count] : byCommand_) {
    lines.push_back("    " + name + ": " + std::to_string(count));
  }
  return lines;
}

std::vector<std::string> DecodeRecordedExchange(size_t number, const Bytes& request,
                                                const Bytes& reply, LineContext& context) {
  std::vector<std::string> lines{"[" + std::to_string(number) + "] ==> " + CommandHeading(request)};
  for (std::string& line : DescribeRequest(request, context)) lines.push_back(std::move(line));
  lines.push_back("[" + std::to_string(number) + "] <== " +
                  (reply.empty() ? std::string("нет ответа") : Hex(reply.data(), std::min<size_t>(reply.size(), 5)) + (reply.size() > 5 ? " ..." : "")));
  for (std::string& line : DescribeReply(request, reply, context)) lines.push_back(std::move(line));
  return lines;
}

}  // namespace eklz::cli
