#include "codec/Regional.h"

#include <cerrno>
#include <cfenv>
#include <cmath>
#include <cstdio>
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
  // 15 significant digits: d.dddddddddddddde±x
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14Le", value);
  std::string s = buf;
  const bool negative = s[0] == '-';
  if (negative) s.erase(0, 1);
  const size_t ePos = s.find('e');
  int exponent = std::atoi(s.c_str() + ePos + 1);
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
  std::string s = text;
  for (char& c : s) {
    if (c == ',') c = '.';
  }
  const auto bad = [&] {
    return EConvertError("'" + text + "' is not a valid floating point value");
  };
  // Only an optional sign, digits and one separator: no exponent, no blanks,
  // no hexadecimal, no "inf" or "nan".
  size_t i = 0;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
  size_t digits = 0, points = 0;
  for (; i < s.size(); ++i) {
    if (s[i] >= '0' && s[i] <= '9') {
      ++digits;
    } else if (s[i] == '.') {
      ++points;
    } else {
      throw bad();
    }
  }
  if (digits == 0 || points > 1) throw bad();
  return std::strtold(s.c_str(), nullptr);
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
