// Field encodings of the EKLZ line seen from the device side: packed BCD,
// dates and times, two-byte words. Encoding goes through the shared codec;
// decoding checks every nibble, because a request may carry anything.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "codec/HexFrame.h"
#include "codec/Regional.h"

namespace eklz::sim {

// A date and time as the device stores them (minutes, no seconds).
struct Stamp {
  CalendarDate date;
  ClockTime time;
  // A number that orders stamps in time.
  int64_t Key() const {
    return ((((int64_t{date.year} * 13 + date.month) * 32 + date.day) * 24 + time.hour) * 60) +
           time.minute;
  }
};

// How a field of a request failed to decode.
enum class FieldError { None, Malformed, BadDateTime };

// `value` as `digits` packed BCD digits (an even count), most significant first.
void AppendBcd(Bytes& out, uint64_t value, int digits);
// A text of decimal digits as packed BCD, two digits per byte.
void AppendBcdDigits(Bytes& out, const std::string& digits);
void AppendWord(Bytes& out, uint16_t value);  // high byte first
void AppendDate(Bytes& out, const CalendarDate& date);
void AppendTime(Bytes& out, const ClockTime& time);

// The value of `size` packed BCD bytes; nothing when a nibble is above 9.
std::optional<uint64_t> ReadBcd(const uint8_t* p, size_t size);
// The digits of `size` packed BCD bytes; nothing when a nibble is above 9.
std::optional<std::string> ReadBcdDigits(const uint8_t* p, size_t size);
inline uint16_t ReadWord(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// Three BCD bytes year (20YY), month, day. Malformed for a bad nibble,
// BadDateTime for a date the calendar does not have.
FieldError ReadDate(const uint8_t* p, CalendarDate& out);
// Two BCD bytes hour, minute. Malformed for a bad nibble, BadDateTime for
// an hour above 23 or a minute above 59.
FieldError ReadTime(const uint8_t* p, ClockTime& out);

// "DD.MM.YY" and "HH:MM" for the printed forms.
std::string ShortDate(const CalendarDate& date);
std::string ShortTime(const ClockTime& time);
// An amount in hundredths as "123.45", a quantity in thousandths as "1.500".
std::string MoneyText(int64_t hundredths);
std::string QuantityText(int64_t thousandths);

}  // namespace eklz::sim
