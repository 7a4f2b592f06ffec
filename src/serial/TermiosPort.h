// The serial port on a POSIX terminal device (termios): exclusive open, raw
// 8N1 line, DTR and RTS, time-outs by poll, purge by tcflush.
#pragma once

#include "serial/Port.h"

namespace eklz {

class TermiosPort final : public BufferedPort {
 public:
  TermiosPort(const std::string& name, uint32_t baudRate, uint8_t dataBits, uint8_t parity,
              uint8_t stopBits, const TCommTimeouts& timeouts, uint32_t flagWord);
  ~TermiosPort() override;

  void Purge() override;
  void ChangeRate(uint32_t baudRate) override;
  size_t Write(const uint8_t* data, size_t size) override;

  int Handle() const { return fd_; }

 private:
  bool Fill(int timeoutMs) override;
  // poll() on the port that ends early, with EOperationCancelled, when a
  // cancel is requested. Returns poll's result.
  int PollCancellable(short events, int timeoutMs, short& revents);

  int fd_ = -1;
};

}  // namespace eklz
