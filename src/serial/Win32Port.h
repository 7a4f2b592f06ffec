// The serial port on Windows: CreateFileW on \\.\COMn for exclusive use, the
// line by DCB, waits by COMMTIMEOUTS in short slices, purge by PurgeComm.
#pragma once

#include <cstdint>

#include "codec/Errors.h"
#include "serial/Port.h"

namespace eklz {

class Win32Port final : public BufferedPort {
 public:
  Win32Port(const std::string& name, uint32_t baudRate, uint8_t dataBits, uint8_t parity,
            uint8_t stopBits, const TCommTimeouts& timeouts, uint32_t flagWord);
  ~Win32Port() override;

  void Purge() override;
  void ChangeRate(uint32_t baudRate) override;
  size_t Write(const uint8_t* data, size_t size) override;

 private:
  bool Fill(int timeoutMs) override;
  // Sets how long the next ReadFile waits for a first byte (0: not at all).
  void SetReadWait(uint32_t ms);

  void* handle_ = nullptr;  // HANDLE
  uint32_t readWait_ = UINT32_MAX;  // the read wait the port is set to now
};

// The system's own message for a Win32 error code, in UTF-8, without the
// line break Windows ends it with.
std::string Win32ErrorText(uint32_t code);

// ESystemError for a Win32 error code ("System Error.  Code: ...").
ESystemError Win32SystemError(uint32_t code);

}  // namespace eklz
