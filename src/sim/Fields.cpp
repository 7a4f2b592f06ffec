#include "sim/Fields.h"

#include <cstdio>

namespace eklz::sim {

namespace {
void AppendHex(Bytes& out, const std::string& hex) {
  const Bytes b = HexToBytes(hex);
  out.insert(out.end(), b.begin(), b.end());
}

std::string Fixed(int64_t value, int64_t scale, int decimals) {
  const char* sign = value < 0 ? "-" : "";
  const uint64_t magnitude = value < 0 ? static_cast<uint64_t>(-value) : static_cast<uint64_t>(value);
  char text[48];
  std::snprintf(text, sizeof text, "%s%llu.%0*llu", sign,
                static_cast<unsigned long long>(magnitude / static_cast<uint64_t>(scale)), decimals,
                static_cast<unsigned long long>(magnitude % static_cast<uint64_t>(scale)));
  return text;
}
}  // namespace

void AppendBcd(Bytes& out, uint64_t value, int digits) {
  AppendHex(out, BcdField(static_cast<int64_t>(value), digits));
}

void AppendBcdDigits(Bytes& out, const std::string& digits) {
  AppendHex(out, DecimalToBcdHex(digits, 0));
}

void AppendWord(Bytes& out, uint16_t value) { AppendHex(out, WordField(value)); }
void AppendDate(Bytes& out, const CalendarDate& date) { AppendHex(out, DateField(date)); }
void AppendTime(Bytes& out, const ClockTime& time) { AppendHex(out, TimeField(time)); }

std::optional<std::string> ReadBcdDigits(const uint8_t* p, size_t size) {
  std::string digits;
  digits.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    const int hi = p[i] >> 4, lo = p[i] & 0x0F;
    if (hi > 9 || lo > 9) return std::nullopt;
    digits.push_back(static_cast<char>('0' + hi));
    digits.push_back(static_cast<char>('0' + lo));
  }
  return digits;
}

std::optional<uint64_t> ReadBcd(const uint8_t* p, size_t size) {
  const auto digits = ReadBcdDigits(p, size);
  if (!digits) return std::nullopt;
  uint64_t value = 0;
  for (char c : *digits) value = value * 10 + static_cast<uint64_t>(c - '0');
  return value;
}

FieldError ReadDate(const uint8_t* p, CalendarDate& out) {
  const auto y = ReadBcd(p, 1), m = ReadBcd(p + 1, 1), d = ReadBcd(p + 2, 1);
  if (!y || !m || !d) return FieldError::Malformed;
  const CalendarDate date{2000 + static_cast<int>(*y), static_cast<int>(*m), static_cast<int>(*d)};
  if (!IsValidDate(date.year, date.month, date.day)) return FieldError::BadDateTime;
  out = date;
  return FieldError::None;
}

FieldError ReadTime(const uint8_t* p, ClockTime& out) {
  const auto h = ReadBcd(p, 1), m = ReadBcd(p + 1, 1);
  if (!h || !m) return FieldError::Malformed;
  if (*h > 23 || *m > 59) return FieldError::BadDateTime;
  out = ClockTime{static_cast<int>(*h), static_cast<int>(*m), 0};
  return FieldError::None;
}

std::string ShortDate(const CalendarDate& date) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d.%02d.%02d", date.day % 100, date.month % 100,
                date.year % 100);
  return text;
}

std::string ShortTime(const ClockTime& time) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", time.hour % 100, time.minute % 100);
  return text;
}

std::string MoneyText(int64_t hundredths) { return Fixed(hundredths, 100, 2); }
std::string QuantityText(int64_t thousandths) { return Fixed(thousandths, 1000, 3); }

}  // namespace eklz::sim
