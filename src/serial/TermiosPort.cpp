#include "serial/TermiosPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "codec/Errors.h"
#include "serial/SystemErrors.h"
#include "serial/LineSpeed.h"
#include "serial/PortSpeed.h"

namespace eklz {

namespace {

using Clock = std::chrono::steady_clock;

// Flag-word bits of the line settings that have a termios counterpart.
constexpr uint32_t kOutxCtsFlow = 0x0004;
constexpr uint32_t kOutX = 0x0100;
constexpr uint32_t kInX = 0x0200;

// Closes a port that failed to open; `claimed`: our exclusive claim is on
// the line and is released first (never another holder's).
[[noreturn]] void FailAndClose(int fd, int err, bool claimed = true) {
  if (claimed) ::ioctl(fd, TIOCNXCL);
  ::close(fd);
  throw SystemError(err);
}

}  // namespace

TermiosPort::TermiosPort(const std::string& name, uint32_t baudRate, uint8_t dataBits,
                         uint8_t parity, uint8_t stopBits, const TCommTimeouts& timeouts,
                         uint32_t flagWord)
    : BufferedPort(name, baudRate, timeouts) {
  const std::string path = PortDevicePath(name);
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw SystemError(errno);

  // Exclusive use: TIOCEXCL keeps other openers out (except root), the lock
  // holds against every process that also asks for it.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    FailAndClose(fd, errno == EWOULDBLOCK ? EBUSY : errno, false);
  }
  ::ioctl(fd, TIOCEXCL);
  fd_ = fd;
  Purge();

  struct termios tio {};
  if (::tcgetattr(fd, &tio) != 0) FailAndClose(fd, errno);
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  switch (dataBits) {
    case 5: tio.c_cflag |= CS5; break;
    case 6: tio.c_cflag |= CS6; break;
    case 7: tio.c_cflag |= CS7; break;
    default: tio.c_cflag |= CS8; break;
  }
  if (parity == 1) tio.c_cflag |= PARENB | PARODD;
  if (parity == 2) tio.c_cflag |= PARENB;
  if (stopBits != 0) tio.c_cflag |= CSTOPB;
  if (flagWord & kOutxCtsFlow) tio.c_cflag |= CRTSCTS;
  tio.c_iflag &= ~(IXON | IXOFF | IXANY);
  if (flagWord & kOutX) tio.c_iflag |= IXON;
  if (flagWord & kInX) tio.c_iflag |= IXOFF;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;

  const speed_t speed = TermiosSpeed(baudRate);
  if (speed != B0) {
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
  }
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) FailAndClose(fd, errno);
  if (speed == B0 && !SetArbitraryBaudRate(fd, baudRate)) FailAndClose(fd, errno);

  // DTR and RTS on. A pseudo-terminal has no modem lines and refuses this.
  int lines = TIOCM_DTR | TIOCM_RTS;
  ::ioctl(fd, TIOCMBIS, &lines);
}

TermiosPort::~TermiosPort() {
  if (fd_ < 0) return;
  // The exclusive claim belongs to the line, not to our descriptor: left in
  // place it would refuse the next opener that is not root while any other
  // process still holds the line open.
  ::ioctl(fd_, TIOCNXCL);
  ::close(fd_);
}

void TermiosPort::ChangeRate(uint32_t baudRate) {
  struct termios tio {};
  if (::tcgetattr(fd_, &tio) != 0) throw SystemError(errno);
  const speed_t speed = TermiosSpeed(baudRate);
  if (speed != B0) {
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0) throw SystemError(errno);
  } else if (!SetArbitraryBaudRate(fd_, baudRate)) {
    throw SystemError(errno);
  }
  TRSPort::ChangeRate(baudRate);
}

void TermiosPort::Purge() {
  ::tcflush(fd_, TCIOFLUSH);
  DropBuffered();
}

int TermiosPort::PollCancellable(short events, int timeoutMs, short& revents) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    // Without a cancel request to watch, one poll covers the whole wait.
    const int left = timeoutMs < 0 ? -1 : MillisecondsLeft(deadline);
    int slice = left;
    if (CancelWatched()) slice = left < 0 || left > kCancelCheckMs ? kCancelCheckMs : left;
    struct pollfd p {fd_, events, 0};
    const int r = ::poll(&p, 1, slice);
    if (r != 0 || slice == left) {
      revents = p.revents;
      return r;
    }
    // Silence for a whole slice: the moment to look at the cancel request.
    if (CancelRequested()) throw EOperationCancelled();
  }
}

bool TermiosPort::Fill(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    // Wait first: right after a request the reply has usually not come yet.
    const int wait = timeoutMs < 0 ? -1 : MillisecondsLeft(deadline);
    short revents = 0;
    const int r = PollCancellable(POLLIN, wait, revents);
    if (r < 0 && errno != EINTR) throw SystemError(errno);
    if (r == 0) {
      if (CancelRequested()) throw EOperationCancelled();
      return false;
    }
    if (r < 0) continue;  // a signal: wait on for the rest of the time
    const ssize_t n = ::read(fd_, BufferSpace(), kBufferSize);
    if (n > 0) {
      Store(static_cast<size_t>(n));
      return true;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) throw SystemError(errno);
    // A line that hung up with nothing left to read would wake poll at once
    // for ever; it is an input/output failure of the port.
    if (revents & (POLLHUP | POLLERR | POLLNVAL)) throw SystemError(n < 0 ? errno : EIO);
    if (timeoutMs >= 0 && MillisecondsLeft(deadline) == 0) return false;
  }
}

size_t TermiosPort::Write(const uint8_t* data, size_t size) {
  const uint64_t limit = uint64_t{timeouts_.WriteTotalTimeoutMultiplier} * size +
                         timeouts_.WriteTotalTimeoutConstant;
  const auto deadline = Clock::now() + std::chrono::milliseconds(limit);
  size_t written = 0;
  while (written < size) {
    const ssize_t n = ::write(fd_, data + written, size - written);
    if (n > 0) {
      written += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) break;
    const int wait = limit == 0 ? -1 : MillisecondsLeft(deadline);
    if (limit != 0 && wait == 0) break;
    short revents = 0;
    if (PollCancellable(POLLOUT, wait, revents) == 0) break;
  }
  return written;
}

std::unique_ptr<TRSPort> OpenSerialPort(const std::string& name, uint32_t baudRate,
                                        uint8_t dataBits, uint8_t parity, uint8_t stopBits,
                                        const TCommTimeouts& timeouts, uint32_t flagWord) {
  return std::make_unique<TermiosPort>(name, baudRate, dataBits, parity, stopBits, timeouts,
                                       flagWord);
}

}  // namespace eklz
