// Russian regional formats, used for every date, time and number the
// operator sees, and the rounding rule of every amount sent to the device.
#pragma once

#include <cstdint>
#include <string>

namespace eklz {

// A calendar date. The default value is the zero of the date scale
// (30.12.1899), which is what an unset date shows.
struct CalendarDate {
  int year = 1899;
  int month = 12;
  int day = 30;
  friend bool operator==(const CalendarDate&, const CalendarDate&) = default;
};

struct ClockTime {
  int hour = 0;
  int minute = 0;
  int second = 0;
  friend bool operator==(const ClockTime&, const ClockTime&) = default;
};

inline constexpr char kDecimalSeparator = ',';

bool IsValidDate(int year, int month, int day);

// The computer's local date and time.
CalendarDate Today();
ClockTime TimeNow();

// Short date "dd.MM.yyyy", long time "H:mm:ss", short time "H:mm".
std::string FormatShortDate(const CalendarDate& date);
std::string FormatLongTime(const ClockTime& time);
std::string FormatShortTime(const ClockTime& time);

// The general number format: up to 15 significant digits, the decimal comma,
// no digit grouping, no trailing zeros; scientific notation ("1E20") only for
// very large or very small values.
std::string FormatGeneral(long double value);

// The Russian form of a word that follows the number n: `one` after 1, 21,
// 101 ("страницу"), `few` after 2-4, 22-24 ("страницы"), `many` after 0,
// 5-20, 11-14, 111 ("страниц").
const char* PluralForm(long long n, const char* one, const char* few, const char* many);
// The number and its word: Counted(5, "страницу", "страницы", "страниц") is
// "5 страниц".
std::string Counted(long long n, const char* one, const char* few, const char* many);

// Rounds to the nearest integer, a tie going to the even neighbour.
long double RoundHalfEven(long double value);

// Parses "DD.MM.YY" (two-digit year meaning 20YY) into a date; raises
// EConvertError "'<text>' is not a valid date" for anything else.
CalendarDate ParseShortDateYY(const std::string& text);

// Parses "DD.MM.YYYY"; raises EConvertError "'<text>' is not a valid date".
CalendarDate ParseShortDate(const std::string& text);

// Parses "H:MM" or "H:MM:SS"; raises EConvertError "'<text>' is not a valid time".
ClockTime ParseTime(const std::string& text);

// Parses a decimal number with "," or "." as separator; raises EConvertError
// "'<text>' is not a valid floating point value".
long double ParseFloat(const std::string& text);

// Parses a signed 32-bit decimal integer (the conversion of a typed field);
// raises EConvertError "'<text>' is not a valid integer value".
int32_t ParseInt(const std::string& text);

}  // namespace eklz
