#include "codec/HexFrame.h"

#include <cstdio>

#include "codec/CommandCodes.h"
#include "codec/Errors.h"

namespace eklz {

namespace {
constexpr char kHex[] = "0123456789ABCDEF";
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

Bytes HexToBytes(const std::string& text) {
  Bytes out;
  out.reserve(text.size() / 3 + 1);
  // The text is read as if a blank followed its last pair when it lacks one:
  // each step takes two characters as a byte and drops three.
  const size_t n = text.size() + (text.empty() || text.back() == ' ' ? 0 : 1);
  const auto at = [&](size_t i) { return i < text.size() ? text[i] : ' '; };
  for (size_t pos = 0; pos < n; pos += 3) {
    const int hi = HexDigitValue(at(pos));
    const int lo = pos + 1 < n ? HexDigitValue(at(pos + 1)) : -1;
    if (hi < 0 || lo < 0) {
      std::string pair(1, at(pos));
      if (pos + 1 < n) pair += at(pos + 1);
      throw InvalidInteger("$" + pair);
    }
    out.push_back(static_cast<uint8_t>(hi * 16 + lo));
  }
  return out;
}

std::string BytesToHex(const uint8_t* data, size_t size) {
  std::string out(size * 3, ' ');
  for (size_t i = 0; i < size; ++i) {
    out[i * 3] = kHex[data[i] >> 4];
    out[i * 3 + 1] = kHex[data[i] & 0x0F];
  }
  return out;
}

std::string DecimalToBcdHex(const std::string& digits, int width) {
  std::string padded = digits;
  if (width > 0 && padded.size() < static_cast<size_t>(width)) {
    padded.insert(0, static_cast<size_t>(width) - padded.size(), '0');
  }
  std::string out;
  out.reserve(padded.size() * 3 / 2 + 1);
  for (size_t i = 0; i < padded.size(); ++i) {
    out += padded[i];
    if (i % 2 == 1) out += ' ';
  }
  return out;
}

std::string InsertFrameLength(const std::string& frame, int dataLength) {
  return frame.substr(0, 2) + " " + IntToHex(static_cast<uint64_t>(dataLength + 1) & 0xFF, 2) +
         frame.substr(2);
}

std::string BuildRequest(uint8_t command, const std::string& fields) {
  // Every data byte takes three characters: two digits and a blank.
  const int dataLength = static_cast<int>(fields.size() / 3);
  return FinishFrame(InsertFrameLength("02 " + ByteField(command), dataLength) + fields);
}

std::string FinishFrame(const std::string& frame) { return frame + FrameChecksum(frame); }

Bytes FrameBytes(uint8_t first, const Bytes& data) {
  Bytes f;
  f.reserve(data.size() + 4);
  f.push_back(kStx);
  f.push_back(static_cast<uint8_t>(data.size() + 1));
  f.push_back(first);
  f.insert(f.end(), data.begin(), data.end());
  f.push_back(XorBytes(f.data() + 1, f.size() - 1));
  return f;
}

uint8_t XorBytes(const uint8_t* data, size_t size) {
  uint8_t x = 0;
  for (size_t i = 0; i < size; ++i) x ^= data[i];
  return x;
}

std::string FrameChecksum(const std::string& frame) {
  std::string text = frame;
  if (!text.empty() && text.back() == ' ') text.pop_back();
  const Bytes bytes = HexToBytes(text);
  if (bytes.size() < 2) return "00";
  return IntToHex(XorBytes(bytes.data() + 1, bytes.size() - 1), 2);
}

std::string ExtractCommandCode(const std::string& prefix) {
  return prefix.size() >= 5 ? prefix.substr(3, 2) : std::string();
}

std::string RemoveBlanks(const std::string& hex) {
  std::string out(hex.size(), '\0');
  size_t n = 0;
  for (char c : hex) {
    if (c != ' ') out[n++] = c;
  }
  out.resize(n);
  return out;
}

std::string IntToHex(uint64_t value, int digits) {
  std::string out;
  do {
    out.insert(out.begin(), kHex[value & 0x0F]);
    value >>= 4;
  } while (value != 0);
  if (out.size() < static_cast<size_t>(digits)) out.insert(0, digits - out.size(), '0');
  return out;
}

std::string ByteField(unsigned value) { return IntToHex(value, 2) + " "; }

std::string WordField(unsigned value) { return DecimalToBcdHex(IntToHex(value, 4), 4); }

std::string BcdField(int64_t value, int width) {
  return DecimalToBcdHex(std::to_string(value), width);
}

std::string DateField(const CalendarDate& date) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d %02d %02d ", date.year % 100, date.month, date.day);
  return buf;
}

std::string TimeField(const ClockTime& time) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d %02d ", time.hour, time.minute);
  return buf;
}

std::string TextField(const std::string& text, size_t length, CodePage codePage) {
  std::string bytes = FromUtf8(text, codePage);
  if (bytes.size() < length) bytes.append(length - bytes.size(), ' ');
  return BytesToHex(bytes);
}

}  // namespace eklz
