#include "codec/Regional.h"

#include <cerrno>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <charconv>
#include <cstdlib>
#include <ctime>

#include "codec/Errors.h"

namespace eklz {

namespace {

std::string TwoDigits(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}

bool AllDigits(const std::string& s, size_t from, size_t count) {
  if (from + count > s.size()) return false;
  for (size_t i = from; i < from + count; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
  }
  return true;
}

int Num(const std::string& s, size_t from, size_t count) {
  return std::atoi(s.substr(from, count).c_str());
}

std::tm LocalNow() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &t);
#else
  localtime_r(&t, &tm);
#endif
  return tm;
}

}  // namespace

bool IsValidDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int limit = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  return day <= limit;
}

CalendarDate Today() {
  const std::tm tm = LocalNow();
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

ClockTime TimeNow() {
  const std::tm tm = LocalNow();
  return {tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string FormatShortDate(const CalendarDate& d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", d.day, d.month, d.year);
  return buf;
}

std::string FormatLongTime(const ClockTime& t) {
  return std::to_string(t.hour) + ":" + TwoDigits(t.minute) + ":" + TwoDigits(t.second);
}

std::string FormatShortTime(const ClockTime& t) {
  return std::to_string(t.hour) + ":" + TwoDigits(t.minute);
}

std::string FormatGeneral(long double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
  // 15 significant digits: d.dddddddddddddde±x. The values shown are the
  // fields' doubles; std::to_chars of a double reads no locale on any system
  // (printf would write a decimal comma on a Russian desktop).
  char buf[64];
  const auto written = std::to_chars(buf, buf + sizeof buf, static_cast<double>(value),
                                     std::chars_format::scientific, 14);
  std::string s(buf, written.ptr);
  const bool negative = s[0] == '-';
  if (negative) s.erase(0, 1);
  const size_t ePos = s.find('e');
  int exponent = 0;
  const char* e = s.c_str() + ePos + 1;
  if (*e == '+') ++e;
  std::from_chars(e, s.c_str() + s.size(), exponent);
  std::string digits = s.substr(0, 1) + s.substr(2, ePos - 2);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out;
  if (exponent >= 15 || exponent < -5) {
    out = digits.substr(0, 1);
    if (digits.size() > 1) out += kDecimalSeparator + digits.substr(1);
    out += "E" + std::to_string(exponent);
  } else if (exponent < 0) {
    out = "0";
    out += kDecimalSeparator;
    out += std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
  } else {
    const size_t intDigits = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= intDigits) {
      out = digits + std::string(intDigits - digits.size(), '0');
    } else {
      out = digits.substr(0, intDigits) + kDecimalSeparator + digits.substr(intDigits);
    }
  }
  return negative ? "-" + out : out;
}

const char* PluralForm(long long n, const char* one, const char* few, const char* many) {
  const long long last2 = (n < 0 ? -n : n) % 100;
  const long long last = last2 % 10;
  if (last2 >= 11 && last2 <= 14) return many;
  if (last == 1) return one;
  if (last >= 2 && last <= 4) return few;
  return many;
}

std::string Counted(long long n, const char* one, const char* few, const char* many) {
  return std::to_string(n) + " " + PluralForm(n, one, few, many);
}

long double RoundHalfEven(long double value) {
  const int saved = std::fegetround();
  if (saved != FE_TONEAREST) std::fesetround(FE_TONEAREST);
  const long double r = std::nearbyintl(value);
  if (saved != FE_TONEAREST) std::fesetround(saved);
  return r;
}

CalendarDate ParseShortDateYY(const std::string& text) {
  if (text.size() == 8 && AllDigits(text, 0, 2) && text[2] == '.' && AllDigits(text, 3, 2) &&
      text[5] == '.' && AllDigits(text, 6, 2)) {
    CalendarDate d{2000 + Num(text, 6, 2), Num(text, 3, 2), Num(text, 0, 2)};
    if (IsValidDate(d.year, d.month, d.day)) return d;
  }
  throw EConvertError("'" + text + "' is not a valid date");
}

CalendarDate ParseShortDate(const std::string& text) {
  if (text.size() == 10 && AllDigits(text, 0, 2) && text[2] == '.' && AllDigits(text, 3, 2) &&
      text[5] == '.' && AllDigits(text, 6, 4)) {
    CalendarDate d{Num(text, 6, 4), Num(text, 3, 2), Num(text, 0, 2)};
    if (IsValidDate(d.year, d.month, d.day)) return d;
  }
  throw EConvertError("'" + text + "' is not a valid date");
}

ClockTime ParseTime(const std::string& text) {
  const size_t colon = text.find(':');
  if (colon != std::string::npos && colon >= 1 && colon <= 2 && AllDigits(text, 0, colon) &&
      AllDigits(text, colon + 1, 2)) {
    ClockTime t{Num(text, 0, colon), Num(text, colon + 1, 2), 0};
    size_t end = colon + 3;
    bool ok = true;
    if (end < text.size()) {
      ok = text[end] == ':' && end + 3 == text.size() && AllDigits(text, end + 1, 2);
      if (ok) t.second = Num(text, end + 1, 2);
    }
    if (ok && t.hour < 24 && t.minute < 60 && t.second < 60) return t;
  }
  throw EConvertError("'" + text + "' is not a valid time");
}

long double ParseFloat(const std::string& text) {
  const auto bad = [&] {
    return EConvertError("'" + text + "' is not a valid floating point value");
  };
  // Only an optional sign, digits and one separator ("," or "."): no
  // exponent, no blanks, no hexadecimal, no "inf" or "nan". The digits are
  // read here rather than by strtold, which takes its separator from the C
  // library's locale (a comma on a Russian desktop).
  size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) ++i;
  // Up to 19 significant digits are held exactly; the value is then one
  // division of two exact long doubles, rounded as strtold rounds it.
  constexpr int kExactDigits = 19;
  uint64_t mantissa = 0;
  int significant = 0, digits = 0, points = 0;
  int scale = 0;  // the value is mantissa * 10^scale
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      ++digits;
      if (significant < kExactDigits) {
        if (mantissa != 0 || c != '0') ++significant;
        mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
        if (points) --scale;
      } else if (!points) {
        ++scale;  // a digit beyond the exact ones in the whole part
      }
    } else if (c == '.' || c == ',') {
      ++points;
    } else {
      throw bad();
    }
  }
  if (digits == 0 || points > 1) throw bad();
  long double power = 1;
  for (int k = 0; k < (scale < 0 ? -scale : scale); ++k) power *= 10;
  long double value = static_cast<long double>(mantissa);
  value = scale < 0 ? value / power : value * power;
  return negative ? -value : value;
}

int32_t ParseInt(const std::string& text) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  if (i == text.size() || !AllDigits(text, i, text.size() - i)) throw InvalidInteger(text);
  errno = 0;
  const long long v = std::strtoll(text.c_str(), nullptr, 10);
  if (errno == ERANGE || v < INT32_MIN || v > INT32_MAX) throw InvalidInteger(text);
  return static_cast<int32_t>(v);
}

}  // namespace eklz
