#include "serial/Port.h"

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

#include "protocol/Errors.h"
#include "serial/LineSpeed.h"
#include "serial/PortSpeed.h"

namespace eklz {

namespace {

using Clock = std::chrono::steady_clock;

// Flag-word bits of the line settings that have a termios counterpart.
constexpr uint32_t kOutxCtsFlow = 0x0004;
constexpr uint32_t kOutX = 0x0100;
constexpr uint32_t kInX = 0x0200;

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

[[noreturn]] void FailAndClose(int fd, int err) {
  ::close(fd);
  throw SystemError(err);
}

}  // namespace

std::string PortDevicePath(const std::string& name) {
  if (name.size() > 3 && std::toupper(static_cast<unsigned char>(name[0])) == 'C' &&
      std::toupper(static_cast<unsigned char>(name[1])) == 'O' &&
      std::toupper(static_cast<unsigned char>(name[2])) == 'M') {
    bool digits = name.size() <= 6;
    for (size_t i = 3; i < name.size() && digits; ++i) {
      digits = std::isdigit(static_cast<unsigned char>(name[i])) != 0;
    }
    if (digits) {
      const int n = std::stoi(name.substr(3));
      if (n >= 1) return "/dev/ttyS" + std::to_string(n - 1);
    }
  }
  return name;
}

TRSPort::TRSPort(const std::string& name, uint32_t baudRate, uint8_t dataBits, uint8_t parity,
                 uint8_t stopBits, const TCommTimeouts& timeouts, uint32_t flagWord)
    : name_(name), baudRate_(baudRate), timeouts_(timeouts) {
  const std::string path = PortDevicePath(name);
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw SystemError(errno);

  // Exclusive use: TIOCEXCL keeps other openers out (except root), the lock
  // holds against every process that also asks for it.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    FailAndClose(fd, errno == EWOULDBLOCK ? EBUSY : errno);
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

TRSPort::~TRSPort() {
  if (fd_ >= 0) ::close(fd_);
}

void TRSPort::Purge() {
  ::tcflush(fd_, TCIOFLUSH);
  bufferPos_ = bufferLen_ = 0;
}

bool TRSPort::Fill(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    // Wait first: right after a request the reply has usually not come yet.
    const int wait = timeoutMs < 0 ? -1 : MillisecondsLeft(deadline);
    struct pollfd p {fd_, POLLIN, 0};
    const int r = ::poll(&p, 1, wait);
    if (r < 0 && errno != EINTR) throw SystemError(errno);
    if (r == 0) return false;
    if (r < 0) continue;  // a signal: wait on for the rest of the time
    const ssize_t n = ::read(fd_, buffer_, sizeof buffer_);
    if (n > 0) {
      bufferPos_ = 0;
      bufferLen_ = static_cast<size_t>(n);
      return true;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) throw SystemError(errno);
    // A line that hung up with nothing left to read would wake poll at once
    // for ever; it is an input/output failure of the port.
    if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) throw SystemError(n < 0 ? errno : EIO);
    if (timeoutMs >= 0 && MillisecondsLeft(deadline) == 0) return false;
  }
}

int TRSPort::TakeBuffered(uint8_t* buffer, int count) {
  const size_t n = std::min(static_cast<size_t>(count < 0 ? 0 : count), bufferLen_ - bufferPos_);
  std::memcpy(buffer, buffer_ + bufferPos_, n);
  bufferPos_ += n;
  return static_cast<int>(n);
}

int TRSPort::ReadBytes(uint8_t* buffer, int count) {
  const uint64_t total = uint64_t{timeouts_.ReadTotalTimeoutMultiplier} +
                         timeouts_.ReadTotalTimeoutConstant;
  int timeoutMs = total > 0 ? static_cast<int>(total > INT32_MAX ? INT32_MAX : total) : -1;
  if (total == 0 && timeouts_.ReadIntervalTimeout == UINT32_MAX) timeoutMs = 0;
  int got = 0;
  while (got < count) {
    if (bufferPos_ == bufferLen_ && !Fill(timeoutMs)) break;
    buffer[got++] = buffer_[bufferPos_++];
  }
  return got;
}

int TRSPort::ReadByteWait(uint8_t* buffer, uint32_t waitMs) {
  const auto start = Clock::now();
  int result;
  do {
    result = ReadByte(buffer);
  } while (result != 1 &&
           std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count() <
               waitMs);
  return result;
}

size_t TRSPort::Write(const uint8_t* data, size_t size) {
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
    struct pollfd p {fd_, POLLOUT, 0};
    if (::poll(&p, 1, wait) == 0) break;
  }
  return written;
}

}  // namespace eklz
