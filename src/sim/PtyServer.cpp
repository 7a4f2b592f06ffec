#include "sim/PtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "codec/CommandCodes.h"
#include "codec/HexFrame.h"
#include "serial/LineSpeed.h"

namespace eklz::sim {

namespace {

std::runtime_error Failure(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// Bytes as hexadecimal pairs separated by blanks.
std::string Hex(const uint8_t* data, size_t size) {
  std::string text = BytesToHex(data, size);
  if (!text.empty()) text.pop_back();
  return text;
}
std::string Hex(const Bytes& bytes) { return Hex(bytes.data(), bytes.size()); }

// The line speed a termios speed constant stands for, as text.
std::string RateText(speed_t speed) {
  for (int i = 0; i < kExchangeRateCount; ++i) {
    if (TermiosSpeed(ExchangeRateOfIndex(i)) == speed) return kExchangeRates[i];
  }
  return "другой";
}

// The request's command and its name, when the bytes are a frame at all.
std::string Named(const Bytes& frame) {
  if (frame.size() < 3 || frame[0] != kStx) return "";
  return "  " + CommandCodeName(frame[2]);
}

}  // namespace

PtyServer::PtyServer(Device& device, ServerOptions options)
    : device_(device), options_(std::move(options)), spoiler_(options_.faults) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  char name[128];
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
      ::ptsname_r(master_, name, sizeof name) != 0) {
    const auto e = Failure("не удалось создать псевдотерминал");
    CloseFd(master_);
    throw e;
  }
  slavePath_ = name;

  // We keep a slave descriptor of our own for the whole run. Without it the
  // master sees a hang-up (and EIO) whenever no client has the line open.
  // It also lets us put the line in raw mode at the device's rate before
  // any client comes (no echo of our replies), and clear the exclusive-use
  // flag a client leaves behind, which would refuse the next client that
  // is not root.
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slave_ < 0) {
    const auto e = Failure("не удалось открыть " + slavePath_);
    CloseFd(master_);
    throw e;
  }
  struct termios tio {};
  ::tcgetattr(slave_, &tio);
  ::cfmakeraw(&tio);
  if (const speed_t s = TermiosSpeed(device_.BaudRate()); s != B0) ::cfsetspeed(&tio, s);
  ::tcsetattr(slave_, TCSANOW, &tio);

  // Clients coming and going: the kernel reports every open and close of
  // the slave, ours (made above) excepted.
  notify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (notify_ >= 0 &&
      ::inotify_add_watch(notify_, name, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
    CloseFd(notify_);
  }

  if (::pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0) {
    const auto e = Failure("не удалось создать канал");
    CloseLine();
    throw e;
  }

  if (!options_.linkPath.empty()) {
    struct stat st {};
    if (::lstat(options_.linkPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      ::unlink(options_.linkPath.c_str());
    }
    if (::symlink(slavePath_.c_str(), options_.linkPath.c_str()) != 0) {
      const auto e = Failure("не удалось создать ссылку " + options_.linkPath);
      CloseLine();
      CloseFd(wake_[0]);
      CloseFd(wake_[1]);
      throw e;
    }
    linked_ = true;
  }

  try {
    if (options_.tap == TapMode::Split) {
      OpenTap(kkmTap_, ".kkm");
      OpenTap(eklzTap_, ".eklz");
    } else if (options_.tap == TapMode::Merged) {
      OpenTap(kkmTap_, ".both");
      eklzTap_ = kkmTap_;
    }
  } catch (...) {
    CloseTap(kkmTap_);
    if (options_.tap == TapMode::Split) CloseTap(eklzTap_);
    CloseLine();
    CloseFd(wake_[0]);
    CloseFd(wake_[1]);
    if (linked_) ::unlink(options_.linkPath.c_str());
    throw;
  }
}

void PtyServer::OpenTap(Tap& tap, const std::string& linkSuffix) {
  tap.master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  char name[128];
  if (tap.master < 0 || ::grantpt(tap.master) != 0 || ::unlockpt(tap.master) != 0 ||
      ::ptsname_r(tap.master, name, sizeof name) != 0) {
    throw Failure("не удалось создать псевдотерминал отвода");
  }
  tap.path = name;
  // As for the line: our own slave keeps the master from hanging up while
  // no monitor listens, and raw mode passes every byte unchanged.
  tap.slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (tap.slave < 0) throw Failure("не удалось открыть " + tap.path);
  struct termios tio {};
  ::tcgetattr(tap.slave, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(tap.slave, TCSANOW, &tio);
  if (!options_.linkPath.empty()) {
    const std::string link = options_.linkPath + linkSuffix;
    struct stat st {};
    if (::lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) ::unlink(link.c_str());
    if (::symlink(tap.path.c_str(), link.c_str()) != 0) {
      throw Failure("не удалось создать ссылку " + link);
    }
    tap.link = link;
  }
}

void PtyServer::CopyTo(const Tap& tap, const uint8_t* data, size_t size) {
  // A tap nobody reads fills up; the line itself must not wait for it.
  if (tap.master < 0) return;
  [[maybe_unused]] const ssize_t n = ::write(tap.master, data, size);
}

void PtyServer::CloseTap(Tap& tap) {
  if (!tap.link.empty()) {
    char target[PATH_MAX];
    const ssize_t n = ::readlink(tap.link.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<size_t>(n)) == tap.path) ::unlink(tap.link.c_str());
  }
  CloseFd(tap.slave);
  CloseFd(tap.master);
  tap.link.clear();
}

PtyServer::~PtyServer() {
  if (thread_.joinable()) Stop();
  CloseTap(kkmTap_);
  if (options_.tap == TapMode::Split) CloseTap(eklzTap_);
  CloseLine();
  CloseFd(wake_[0]);
  CloseFd(wake_[1]);
  if (linked_) {
    // Remove the link only while it is still ours.
    char target[PATH_MAX];
    const ssize_t n = ::readlink(options_.linkPath.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<size_t>(n)) == slavePath_) {
      ::unlink(options_.linkPath.c_str());
    }
  }
}

void PtyServer::CloseLine() {
  CloseFd(notify_);
  CloseFd(slave_);
  CloseFd(master_);
}

void PtyServer::Start() {
  thread_ = std::thread([this] { reason_ = Run(); });
}

StopReason PtyServer::Stop() {
  RequestStop();
  return Wait();
}

StopReason PtyServer::Wait() {
  if (thread_.joinable()) thread_.join();
  return reason_;
}

void PtyServer::RequestStop() {
  const char b = 1;
  [[maybe_unused]] const ssize_t n = ::write(wake_[1], &b, 1);
}

StopReason PtyServer::Run() {
  if (master_ < 0) return StopReason::HungUp;
  uint8_t buffer[4096];
  for (;;) {
    struct pollfd p[3] = {
        {master_, static_cast<short>(POLLIN | (sent_ < out_.size() ? POLLOUT : 0)), 0},
        {wake_[0], POLLIN, 0},
        {notify_, POLLIN, 0}};
    // The wait is as fine as the clock: a paced reply at 57600 baud has a
    // byte due every 174 microseconds.
    const std::optional<Clock::duration> wait = TimeToNextEvent();
    struct timespec timeout {};
    if (wait) {
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(*wait).count();
      timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
      timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
    }
    // While output waits for its time, POLLOUT would wake us at once.
    if (sent_ < out_.size() && DueTime(sent_) > Clock::now()) p[0].events = POLLIN;
    const int r = ::ppoll(p, notify_ >= 0 ? 3 : 2, wait ? &timeout : nullptr, nullptr);
    if (r < 0 && errno != EINTR) return StopReason::Stopped;
    if (p[1].revents & POLLIN) return StopReason::Stopped;
    if (notify_ >= 0 && (p[2].revents & POLLIN)) {
      const int before = clients_;
      OnClientEvents();
      if (before > 0 && clients_ == 0) {
        ClientGone();
        if (options_.exitOnHangup) return StopReason::ClientHungUp;
      }
    }
    if (p[0].revents & POLLIN) {
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n > 0) OnBytes(buffer, static_cast<size_t>(n));
      if (hungUp_) return StopReason::HungUp;
    } else if (p[0].revents & (POLLHUP | POLLERR)) {
      ::usleep(10000);  // cannot last while our own slave descriptor is open
    }

    const auto now = Clock::now();
    if (input_ == Input::Discard && now - lastByte_ >= std::chrono::milliseconds(options_.quietMs)) {
      input_ = Input::Idle;
    }
    if (options_.replay) {
      // A replayed request that stopped short of the recorded one, or that
      // left it, is whole once the line is quiet.
      if ((input_ == Input::Frame || input_ == Input::Differs) &&
          now - lastByte_ >= std::chrono::milliseconds(options_.quietMs)) {
        OnReplayRequest();
      }
    } else if (input_ == Input::Frame &&
               now - lastByte_ >= std::chrono::milliseconds(options_.stallMs)) {
      Trace("пропущен оборванный запрос (" + std::to_string(frame_.size()) + " байт из " +
            std::to_string(frame_.size() >= 2 ? frame_[1] + 3 : 0) + "): " + Hex(frame_));
      input_ = Input::Idle;  // a request that stalled half-way is dropped unanswered
      frame_.clear();
    }
    Flush();
  }
}

void PtyServer::Trace(const std::string& line) const {
  if (options_.trace) options_.trace(line);
}

void PtyServer::Report(const std::string& line) const {
  if (options_.report) options_.report(line);
}

void PtyServer::OnClientEvents() {
  alignas(struct inotify_event) char buf[4096];
  for (;;) {
    const ssize_t n = ::read(notify_, buf, sizeof buf);
    if (n <= 0) return;
    for (ssize_t i = 0; i < n;) {
      const auto* e = reinterpret_cast<const struct inotify_event*>(buf + i);
      if (e->mask & IN_OPEN) ++clients_;
      if ((e->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) && clients_ > 0) --clients_;
      i += static_cast<ssize_t>(sizeof(struct inotify_event) + e->len);
    }
  }
}

void PtyServer::ClientGone() {
  // The client may have claimed the line for exclusive use; the claim
  // outlives its descriptor on a pseudo-terminal.
  ::ioctl(slave_, TIOCNXCL);
  input_ = Input::Idle;
  frame_.clear();
  out_.clear();
  sent_ = 0;
}

bool PtyServer::ClientRateMatches() const {
  if (!options_.rateCheck) return true;
  // On a pseudo-terminal master, TCGETS reports the slave's settings: the
  // speed the client configured its port for.
  struct termios tio {};
  if (::tcgetattr(master_, &tio) != 0) return true;
  if (::cfgetospeed(&tio) == TermiosSpeed(device_.BaudRate())) return true;
  Trace("пропущен запрос на скорости " + RateText(::cfgetospeed(&tio)) + ", у ЭКЛЗ " +
        std::to_string(device_.BaudRate()));
  return false;
}

uint32_t PtyServer::ClientBaud() const {
  struct termios tio {};
  if (::tcgetattr(master_, &tio) == 0) {
    for (int i = 0; i < kExchangeRateCount; ++i) {
      if (TermiosSpeed(ExchangeRateOfIndex(i)) == ::cfgetospeed(&tio)) return ExchangeRateOfIndex(i);
    }
  }
  return device_.BaudRate();
}

void PtyServer::OnBytes(const uint8_t* data, size_t size) {
  lastByte_ = Clock::now();
  CopyTo(kkmTap_, data, size);
  if (options_.replay) {
    OnReplayBytes(data, size);
    return;
  }
  for (size_t i = 0; i < size && !hungUp_; ++i) {
    const uint8_t b = data[i];
    switch (input_) {
      case Input::Discard:
        break;
      case Input::Idle:
        if (!ClientRateMatches()) {
          // At another speed the device hears noise, not a request.
          input_ = Input::Discard;
        } else if (b != kStx) {
          input_ = Input::Discard;
          Trace("пропущен байт " + Hex(&b, 1) + " вместо STX" +
                (options_.faults.silent ? "" : ", ответ NAK"));
          if (!options_.faults.silent) Send(Response{{kNak}}, device_.BaudRate());
        } else {
          frame_.assign(1, b);
          frameStart_ = lastByte_;
          input_ = Input::Frame;
        }
        break;
      case Input::Differs:  // replay only
      case Input::Frame:
        frame_.push_back(b);
        if (frame_.size() >= 2 && frame_.size() == size_t{frame_[1]} + 3u) {
          input_ = Input::Idle;
          OnFrame();
        }
        break;
    }
  }
}

void PtyServer::OnFrame() {
  const int n = static_cast<int>(++requests_);
  const FaultPlan& plan = options_.faults;
  Trace("==> " + Hex(frame_) + "  " + CommandCodeName(frame_[2]));
  switch (FateOf(plan, n)) {
    case RequestFate::HangUp:
      Trace("обрыв линии (--hangup-after)");
      CloseLine();
      hungUp_ = true;
      return;
    case RequestFate::Silent:
      Trace("без ответа (--silent, --silent-after)");
      out_.clear();
      sent_ = 0;
      return;
    case RequestFate::Nak:
      // The frame came whole: the next request is heard, however soon.
      Trace("<== 15  NAK (--nak)");
      Send(Response{{kNak}}, device_.BaudRate(), frame_.size());
      return;
    case RequestFate::Handle:
      break;
  }
  const uint32_t baud = device_.BaudRate();  // the reply goes out at the old rate
  std::optional<Device> before;
  if (plan.Refuses(frame_[2])) before = device_;
  Response response = device_.Handle(frame_);
  if (before) device_ = std::move(*before);
  if (response.bytes.size() == 1) {
    input_ = Input::Discard;  // NAK: drop the rest of the noise
    const bool badSum = XorBytes(frame_.data() + 1, frame_.size() - 2) != frame_.back();
    Trace(std::string("<== 15  NAK: ") + (badSum ? "неверная контрольная сумма" : "неверный кадр"));
  }
  ApplyReplyFaults(plan, response);
  if (spoiler_.Spoil(response)) ++spoiled_;
  if (response.bytes.size() > 1) Trace("<== " + Hex(response.bytes));
  Send(std::move(response), baud, frame_.size());
  if (options_.afterRequest) options_.afterRequest(device_);
}

void PtyServer::OnReplayBytes(const uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    if (input_ == Input::Idle) {
      frame_.clear();
      frameStart_ = lastByte_;
      input_ = Input::Frame;
    }
    frame_.push_back(data[i]);
    if (input_ != Input::Frame) continue;
    const RecordedExchange* next = options_.replay->Next();
    if (next && frame_ == next->request) {
      OnReplayRequest();
    } else if (!options_.replay->CouldMatch(frame_)) {
      input_ = Input::Differs;
    }
  }
}

void PtyServer::OnReplayRequest() {
  input_ = Input::Idle;
  ++requests_;
  Replay& replay = *options_.replay;
  const Replay::Step step = replay.Take(frame_);
  const std::string number = std::to_string(step.number);
  const std::string of = " из " + std::to_string(replay.Size());
  Trace("==> " + Hex(frame_) + Named(frame_));
  if (step.matched) {
    const Bytes& reply = step.recorded->reply;
    Trace("<== " + (reply.empty() ? std::string("(в записи ответа нет)") : Hex(reply)) +
          "  (обмен " + number + of + ")");
    if (!reply.empty()) Send(Response{reply}, ClientBaud(), frame_.size());
  } else if (step.recorded) {
    Report("обмен " + number + of + " не совпал с записью (строка " +
           std::to_string(step.recorded->line) + "), ответа нет:");
    Report("  получен: " + Hex(frame_));
    Report("  записан: " + Hex(step.recorded->request));
  } else {
    Report("запрос " + number + " сверх записи (записано обменов: " +
           std::to_string(replay.Size()) + "), ответа нет: " + Hex(frame_));
  }
  frame_.clear();
}

void PtyServer::Send(Response response, uint32_t baud, size_t requestBytes) {
  // A new reply replaces one still on its way: the client gave up on it.
  out_ = std::move(response.bytes);
  sent_ = 0;
  holdAt_ = response.holdAt;
  hold_ = std::chrono::milliseconds(response.holdMs);
  byteDelay_ = std::chrono::milliseconds(options_.faults.byteDelayMs);
  pace_ = std::chrono::nanoseconds(0);
  outStart_ = Clock::now();
  if (options_.faults.pace && baud > 0) {
    pace_ = std::chrono::nanoseconds(10'000'000'000LL / baud);
    // The request came through the pseudo-terminal at once; on a line its
    // last bit arrives only after all of its bytes' time.
    outStart_ = std::max(outStart_, frameStart_ + pace_ * static_cast<int64_t>(requestBytes));
  }
  Flush();
}

PtyServer::Clock::time_point PtyServer::DueTime(size_t index) const {
  const auto i = static_cast<int64_t>(index);
  auto due = outStart_ + byteDelay_ * i + pace_ * (i + 1);
  if (holdAt_ > 0 && index >= holdAt_) due += hold_;
  return due;
}

void PtyServer::Flush() {
  if (sent_ >= out_.size() || master_ < 0) return;
  const auto now = Clock::now();
  size_t end = sent_;
  if (byteDelay_.count() == 0 && pace_.count() == 0 && holdAt_ == 0) {
    end = out_.size();
  } else {
    while (end < out_.size() && DueTime(end) <= now) ++end;
  }
  if (end == sent_) return;
  const ssize_t n = ::write(master_, out_.data() + sent_, end - sent_);
  if (n > 0) {
    CopyTo(eklzTap_, out_.data() + sent_, static_cast<size_t>(n));
    sent_ += static_cast<size_t>(n);
  }
  if (sent_ >= out_.size()) {
    out_.clear();
    sent_ = 0;
  }
}

std::optional<PtyServer::Clock::duration> PtyServer::TimeToNextEvent() const {
  const auto now = Clock::now();
  std::optional<Clock::time_point> next;
  auto consider = [&next](Clock::time_point t) {
    if (!next || t < *next) next = t;
  };
  if (sent_ < out_.size()) consider(DueTime(sent_));
  const auto quiet = lastByte_ + std::chrono::milliseconds(options_.quietMs);
  if (input_ == Input::Discard || input_ == Input::Differs) consider(quiet);
  if (input_ == Input::Frame) {
    consider(options_.replay ? quiet : lastByte_ + std::chrono::milliseconds(options_.stallMs));
  }
  if (!next) return std::nullopt;
  return *next <= now ? Clock::duration::zero() : *next - now;
}

}  // namespace eklz::sim
