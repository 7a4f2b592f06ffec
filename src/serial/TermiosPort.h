// The serial port on a POSIX terminal device (termios): exclusive open, raw
// 8N1 line, DTR and RTS, time-outs by poll, purge by tcflush.
#pragma once

#include "serial/Port.h"

namespace eklz {

class TermiosPort final : public TRSPort {
 public:
  TermiosPort(const std::string& name, uint32_t baudRate, uint8_t dataBits, uint8_t parity,
              uint8_t stopBits, const TCommTimeouts& timeouts, uint32_t flagWord);
  ~TermiosPort() override;

  void Purge() override;
  int ReadBytes(uint8_t* buffer, int count) override;
  int TakeBuffered(uint8_t* buffer, int count) override;
  size_t Write(const uint8_t* data, size_t size) override;

  int Handle() const { return fd_; }

 private:
  // Waits for input up to `timeoutMs` (-1: forever) and fills the buffer with
  // everything available. Returns false on time-out.
  bool Fill(int timeoutMs);
  // poll() on the port that ends early, with EOperationCancelled, when a
  // cancel is requested. Returns poll's result.
  int PollCancellable(short events, int timeoutMs, short& revents);

  int fd_ = -1;
  TCommTimeouts timeouts_;
  // Bytes already read from the system and not yet handed out: a reply that
  // arrives in one piece costs one system call, not one per byte.
  uint8_t buffer_[4096];
  size_t bufferPos_ = 0;
  size_t bufferLen_ = 0;
};

}  // namespace eklz
