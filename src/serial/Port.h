// TRSPort: the program's one serial port object. It opens a named port for
// exclusive use, sets the line parameters and time-outs, empties the port and
// reads bytes with a bounded wait. The link counts as open exactly while an
// object of this class exists.
//
// TRSPort is the interface the exchange engine talks to; TermiosPort
// (serial/TermiosPort.h) is the implementation on a POSIX terminal device.
// Another operating system's backend only needs another implementation and
// its own OpenSerialPort.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace eklz {

// Time-outs in milliseconds, in the meaning of the classic serial API: a read
// of n bytes may take n * ReadTotalTimeoutMultiplier + ReadTotalTimeoutConstant,
// a write of n bytes n * WriteTotalTimeoutMultiplier + WriteTotalTimeoutConstant.
struct TCommTimeouts {
  uint32_t ReadIntervalTimeout = 0;
  uint32_t ReadTotalTimeoutMultiplier = 0;
  uint32_t ReadTotalTimeoutConstant = 0;
  uint32_t WriteTotalTimeoutMultiplier = 0;
  uint32_t WriteTotalTimeoutConstant = 0;
};

// The time-out pattern every port of the program is created with, T being the
// configured time-out: a one-byte read gives up after 2000 + T ms of silence,
// a write of n bytes after 2 * n + 1000 ms.
inline TCommTimeouts StandardTimeouts(uint32_t t) { return {t, 2000, t, 2, 1000}; }

// Flag word of the line settings: binary mode, DTR and RTS asserted, no flow
// control, no parity checking.
inline constexpr uint32_t kStandardFlagWord = 0x1011;

// How long a read waits for one byte under `timeouts`: the multiplier plus
// the constant in milliseconds; -1 (for ever) when both are 0, 0 (only what
// has arrived) when besides the interval time-out is MAXDWORD.
int OneByteWaitMs(const TCommTimeouts& timeouts);

// How often a wait looks at the cancel request: a cancel ends a wait within
// this time (plus scheduling).
inline constexpr int kCancelCheckMs = 20;

// "COMn" names the n-th serial port, /dev/ttyS(n-1) (on Windows \\.\COMn);
// any other name is a path.
std::string PortDevicePath(const std::string& name);

class TRSPort {
 public:
  virtual ~TRSPort() = default;

  TRSPort(const TRSPort&) = delete;
  TRSPort& operator=(const TRSPort&) = delete;

  // Discards everything pending in both directions. Never raises.
  virtual void Purge() = 0;

  // Reads up to `count` bytes; each byte may take up to the one-byte time-out.
  // Returns the number read (0..count); a time-out ends the loop. A failing
  // read raises ESystemError; a cancel request seen while the line is silent
  // raises EOperationCancelled.
  virtual int ReadBytes(uint8_t* buffer, int count) = 0;
  int ReadByte(uint8_t* buffer) { return ReadBytes(buffer, 1); }

  // Calls ReadByte until it delivers a byte or `waitMs` have passed since the
  // start. Returns 1 when a byte was stored, 0 when none came. A port whose
  // silence is final (an in-memory byte source) may answer at once.
  virtual int ReadByteWait(uint8_t* buffer, uint32_t waitMs);

  // Copies up to `count` bytes that have already arrived and wait in the
  // port's buffer, without any system call; returns how many.
  virtual int TakeBuffered(uint8_t* buffer, int count) = 0;

  // Writes the whole block, bounded by the write time-out. Returns the number
  // of bytes written.
  virtual size_t Write(const uint8_t* data, size_t size) = 0;

  const std::string& Name() const { return name_; }
  uint32_t BaudRate() const { return baudRate_; }
  // Sets the line speed of the open port; nothing received or pending is
  // discarded (a line monitor follows a rate change this way). A port whose
  // speed means nothing (an in-memory byte source) only takes the number.
  // Raises ESystemError when the system refuses the speed.
  virtual void ChangeRate(uint32_t baudRate) { baudRate_ = baudRate; }

  // The cancel request the waits look at (nullptr: never cancelled). The
  // flag belongs to the caller and must outlive the port.
  void SetCancelFlag(const std::atomic<bool>* flag) { cancel_ = flag; }

 protected:
  TRSPort(const std::string& name, uint32_t baudRate) : name_(name), baudRate_(baudRate) {}

  bool CancelWatched() const { return cancel_ != nullptr; }
  bool CancelRequested() const {
    return cancel_ != nullptr && cancel_->load(std::memory_order_relaxed);
  }

 private:
  std::string name_;
  uint32_t baudRate_ = 0;
  const std::atomic<bool>* cancel_ = nullptr;
};

// A port that takes everything the system has received into its own buffer
// and hands it out byte by byte: a reply that arrives in one piece costs one
// system call, not one per byte. An implementation supplies Fill.
class BufferedPort : public TRSPort {
 public:
  int ReadBytes(uint8_t* buffer, int count) final;
  int TakeBuffered(uint8_t* buffer, int count) final;

 protected:
  BufferedPort(const std::string& name, uint32_t baudRate, const TCommTimeouts& timeouts)
      : TRSPort(name, baudRate), timeouts_(timeouts) {}

  // Waits for input up to `timeoutMs` (-1: for ever) and stores everything
  // available with Store. Returns false on time-out.
  virtual bool Fill(int timeoutMs) = 0;

  static constexpr size_t kBufferSize = 4096;
  // Where Fill reads to, and how many bytes it put there.
  uint8_t* BufferSpace() { return buffer_; }
  void Store(size_t count) {
    bufferPos_ = 0;
    bufferLen_ = count;
  }
  // Forgets the bytes not yet handed out (a purge).
  void DropBuffered() { bufferPos_ = bufferLen_ = 0; }

  TCommTimeouts timeouts_;

 private:
  uint8_t buffer_[kBufferSize];
  size_t bufferPos_ = 0;
  size_t bufferLen_ = 0;
};

// Whole milliseconds from now until `deadline`, rounded up so that a wait
// never ends before it; 0 once it has passed.
int MillisecondsLeft(std::chrono::steady_clock::time_point deadline);

// Create: opens and configures the serial port `name` on this system. Raises
// ESystemError ("System Error.  Code: %d.\r\n%s") when the port does not
// exist, is held by another program or refuses the settings.
// parity: 0 none, 1 odd, 2 even; stopBits: 0 one, 1 or 2 two.
std::unique_ptr<TRSPort> OpenSerialPort(const std::string& name, uint32_t baudRate,
                                        uint8_t dataBits, uint8_t parity, uint8_t stopBits,
                                        const TCommTimeouts& timeouts, uint32_t flagWord);

}  // namespace eklz
