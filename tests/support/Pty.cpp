#include "support/Pty.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace eklz::test {

namespace {
using Clock = std::chrono::steady_clock;

int Left(Clock::time_point deadline) {
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return ms > 0 ? static_cast<int>(ms) : 0;
}

// Reads one byte from `fd` within `timeoutMs`; false on time-out or failure.
bool ReadByte(int fd, uint8_t& b, int timeoutMs) {
  struct pollfd p {fd, POLLIN, 0};
  if (::poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN)) return false;
  return ::read(fd, &b, 1) == 1;
}
}  // namespace

PtyPair::PtyPair() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    throw std::runtime_error("cannot create a pseudo-terminal");
  }
  slavePath_ = ::ptsname(master_);
  slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  struct termios tio {};
  ::tcgetattr(slave_, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(slave_, TCSANOW, &tio);
}

PtyPair::~PtyPair() {
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
}

void PtyPair::HangUp() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

void PtyPair::Write(const Bytes& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

Bytes PtyPair::ReadAvailable(int timeoutMs, int quietMs) {
  Bytes out;
  uint8_t b;
  if (!ReadByte(master_, b, timeoutMs)) return out;
  out.push_back(b);
  while (ReadByte(master_, b, quietMs)) out.push_back(b);
  return out;
}

Bytes PtyPair::ReadFrame(int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  Bytes frame;
  uint8_t b;
  // Skip anything before the STX.
  do {
    if (!ReadByte(master_, b, Left(deadline))) return {};
  } while (b != 0x02);
  // Once a frame has begun, its rest gets time of its own.
  const auto rest = Clock::now() + std::chrono::milliseconds(2000);
  if (deadline < rest) deadline = rest;
  frame.push_back(b);
  if (!ReadByte(master_, b, Left(deadline))) return {};
  frame.push_back(b);
  for (int i = 0; i <= frame[1]; ++i) {
    if (!ReadByte(master_, b, Left(deadline))) return {};
    frame.push_back(b);
  }
  return frame;
}

ScriptedPeer::ScriptedPeer(PtyPair& pty, Script script)
    : thread_([&pty, script = std::move(script)] { script(pty); }) {}

ScriptedPeer::~ScriptedPeer() { Join(); }

void ScriptedPeer::Join() {
  if (thread_.joinable()) thread_.join();
}

RespondingPeer::RespondingPeer(PtyPair& pty, Responder responder)
    : thread_([this, &pty, responder = std::move(responder)] {
        while (!stop_) {
          const Bytes request = pty.ReadFrame(50);
          if (request.empty()) continue;
          {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request);
          }
          pty.Write(responder(request));
        }
      }) {}

RespondingPeer::~RespondingPeer() {
  stop_ = true;
  thread_.join();
}

std::vector<Bytes> RespondingPeer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

PtySession::PtySession() : session(sink) { session.OpenPort(pty.SlavePath(), "9600", 10); }

}  // namespace eklz::test
