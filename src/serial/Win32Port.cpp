#include "serial/Win32Port.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "codec/CodePage.h"

namespace eklz {

namespace {

using Clock = std::chrono::steady_clock;

// A wait without an end is made of waits this long.
constexpr uint32_t kLongWaitMs = 60000;

// The line settings: the flag word is the flag field of the classic DCB,
// bit for bit.
void ApplyFlagWord(DCB& dcb, uint32_t w) {
  dcb.fBinary = (w >> 0) & 1;
  dcb.fParity = (w >> 1) & 1;
  dcb.fOutxCtsFlow = (w >> 2) & 1;
  dcb.fOutxDsrFlow = (w >> 3) & 1;
  dcb.fDtrControl = (w >> 4) & 3;
  dcb.fDsrSensitivity = (w >> 6) & 1;
  dcb.fTXContinueOnXoff = (w >> 7) & 1;
  dcb.fOutX = (w >> 8) & 1;
  dcb.fInX = (w >> 9) & 1;
  dcb.fErrorChar = (w >> 10) & 1;
  dcb.fNull = (w >> 11) & 1;
  dcb.fRtsControl = (w >> 12) & 3;
  dcb.fAbortOnError = (w >> 14) & 1;
}

}  // namespace

std::string Win32ErrorText(uint32_t code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = n > 0 && text != nullptr ? std::wstring(text, n) : std::wstring();
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' ')) {
    message.pop_back();
  }
  return WideToUtf8(message);
}

ESystemError Win32SystemError(uint32_t code) {
  return SystemErrorWithText(static_cast<int>(code), Win32ErrorText(code));
}

Win32Port::Win32Port(const std::string& name, uint32_t baudRate, uint8_t dataBits, uint8_t parity,
                     uint8_t stopBits, const TCommTimeouts& timeouts, uint32_t flagWord)
    : BufferedPort(name, baudRate, timeouts) {
  // No sharing: a port another program holds fails with "access denied".
  HANDLE h = CreateFileW(Utf8ToWide(PortDevicePath(name)).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw Win32SystemError(GetLastError());
  handle_ = h;
  auto fail = [&]() {
    const DWORD err = GetLastError();
    CloseHandle(h);
    handle_ = nullptr;
    throw Win32SystemError(err);
  };

  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(h, &dcb)) fail();
  dcb.BaudRate = baudRate;
  dcb.ByteSize = dataBits;
  dcb.Parity = parity == 1 ? ODDPARITY : parity == 2 ? EVENPARITY : NOPARITY;
  dcb.StopBits = stopBits == 0 ? ONESTOPBIT : TWOSTOPBITS;
  ApplyFlagWord(dcb, flagWord);
  if (!SetCommState(h, &dcb)) fail();
  SetReadWait(0);
  if (readWait_ != 0) fail();
  Purge();
}

Win32Port::~Win32Port() {
  if (handle_ != nullptr) CloseHandle(handle_);
}

void Win32Port::SetReadWait(uint32_t ms) {
  if (ms == readWait_) return;
  // MAXDWORD / MAXDWORD / ms: a read returns at once with what has arrived,
  // else with the first byte that arrives, else after `ms` with nothing.
  // MAXDWORD / 0 / 0: a read returns at once, with or without bytes.
  COMMTIMEOUTS t{};
  t.ReadIntervalTimeout = MAXDWORD;
  t.ReadTotalTimeoutMultiplier = ms == 0 ? 0 : MAXDWORD;
  t.ReadTotalTimeoutConstant = ms;
  t.WriteTotalTimeoutMultiplier = timeouts_.WriteTotalTimeoutMultiplier;
  t.WriteTotalTimeoutConstant = timeouts_.WriteTotalTimeoutConstant;
  if (SetCommTimeouts(static_cast<HANDLE>(handle_), &t)) readWait_ = ms;
}

void Win32Port::ChangeRate(uint32_t baudRate) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(static_cast<HANDLE>(handle_), &dcb)) throw Win32SystemError(GetLastError());
  dcb.BaudRate = baudRate;
  if (!SetCommState(static_cast<HANDLE>(handle_), &dcb)) throw Win32SystemError(GetLastError());
  TRSPort::ChangeRate(baudRate);
}

void Win32Port::Purge() {
  PurgeComm(static_cast<HANDLE>(handle_), PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
  DropBuffered();
}

bool Win32Port::Fill(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    // Without a cancel request to watch, one read covers the whole wait;
    // with one, the wait goes in slices and the request is looked at
    // after each silent slice.
    uint32_t slice = timeoutMs < 0 ? kLongWaitMs : static_cast<uint32_t>(MillisecondsLeft(deadline));
    if (CancelWatched()) slice = std::min<uint32_t>(slice, kCancelCheckMs);
    SetReadWait(slice);
    if (readWait_ != slice) throw Win32SystemError(GetLastError());
    DWORD n = 0;
    if (!ReadFile(static_cast<HANDLE>(handle_), BufferSpace(), kBufferSize, &n, nullptr)) {
      throw Win32SystemError(GetLastError());
    }
    if (n > 0) {
      Store(n);
      return true;
    }
    if (CancelRequested()) throw EOperationCancelled();
    if (timeoutMs >= 0 && MillisecondsLeft(deadline) == 0) return false;
  }
}

size_t Win32Port::Write(const uint8_t* data, size_t size) {
  // The driver bounds the write by the write time-outs set with the reads'.
  size_t written = 0;
  while (written < size) {
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - written, 1 << 16));
    if (!WriteFile(static_cast<HANDLE>(handle_), data + written, chunk, &n, nullptr) || n == 0) break;
    written += n;
  }
  return written;
}

std::unique_ptr<TRSPort> OpenSerialPort(const std::string& name, uint32_t baudRate,
                                        uint8_t dataBits, uint8_t parity, uint8_t stopBits,
                                        const TCommTimeouts& timeouts, uint32_t flagWord) {
  return std::make_unique<Win32Port>(name, baudRate, dataBits, parity, stopBits, timeouts,
                                     flagWord);
}

}  // namespace eklz
