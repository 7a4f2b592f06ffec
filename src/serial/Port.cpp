#include "serial/Port.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>

namespace eklz {

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
#ifdef _WIN32
      // The device namespace reaches every port, COM10 and above included.
      if (n >= 1) return "\\\\.\\COM" + std::to_string(n);
#else
      if (n >= 1) return "/dev/ttyS" + std::to_string(n - 1);
#endif
    }
  }
  return name;
}

int OneByteWaitMs(const TCommTimeouts& timeouts) {
  const uint64_t total = uint64_t{timeouts.ReadTotalTimeoutMultiplier} +
                         timeouts.ReadTotalTimeoutConstant;
  if (total == 0) return timeouts.ReadIntervalTimeout == UINT32_MAX ? 0 : -1;
  return static_cast<int>(total > INT32_MAX ? INT32_MAX : total);
}

int TRSPort::ReadByteWait(uint8_t* buffer, uint32_t waitMs) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  int result;
  do {
    result = ReadByte(buffer);
  } while (result != 1 &&
           std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count() <
               waitMs);
  return result;
}

int BufferedPort::TakeBuffered(uint8_t* buffer, int count) {
  const size_t n = std::min(static_cast<size_t>(count < 0 ? 0 : count), bufferLen_ - bufferPos_);
  std::memcpy(buffer, buffer_ + bufferPos_, n);
  bufferPos_ += n;
  return static_cast<int>(n);
}

int BufferedPort::ReadBytes(uint8_t* buffer, int count) {
  const int timeoutMs = OneByteWaitMs(timeouts_);
  int got = 0;
  while (got < count) {
    if (bufferPos_ == bufferLen_ && !Fill(timeoutMs)) break;
    buffer[got++] = buffer_[bufferPos_++];
  }
  return got;
}

int MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
          .count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace eklz
