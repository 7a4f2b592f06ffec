// Pieces the fuzz targets share: a port that reads from memory and a sink
// that drops everything.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "protocol/Session.h"

namespace eklz::fuzz {

// A port whose line delivers the given bytes and then falls silent for good.
// Nothing is ever lost to a purge: the bytes stand for what the device sends
// after each request. Writes are swallowed.
class MemoryPort final : public TRSPort {
 public:
  MemoryPort(const uint8_t* data, size_t size)
      : TRSPort("memory", 9600), data_(data), size_(size) {}

  void Purge() override {}
  int ReadBytes(uint8_t* buffer, int count) override { return TakeBuffered(buffer, count); }
  int ReadByteWait(uint8_t* buffer, uint32_t) override { return ReadBytes(buffer, 1); }
  int TakeBuffered(uint8_t* buffer, int count) override {
    const size_t n = std::min(static_cast<size_t>(count < 0 ? 0 : count), size_ - pos_);
    if (n > 0) std::memcpy(buffer, data_ + pos_, n);
    pos_ += n;
    return static_cast<int>(n);
  }
  size_t Write(const uint8_t*, size_t size) override { return size; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

class NullSink final : public OutputSink {
 public:
  void ResultLine(const std::string&) override {}
  void ProtocolLine(const std::string&) override {}
};

// Takes `n` bytes off the front of the input; zeros past its end.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  const uint8_t* Rest() const { return data_ + pos_; }
  size_t RestSize() const { return size_ - pos_; }
  std::string RestText() const {
    return std::string(reinterpret_cast<const char*>(Rest()), RestSize());
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace eklz::fuzz
