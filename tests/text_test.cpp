// Code pages, regional formats and rounding.
#include <gtest/gtest.h>

#include "codec/CodePage.h"
#include "codec/Errors.h"
#include "codec/Regional.h"

#ifndef _WIN32
#include <iconv.h>
#endif

namespace eklz {
namespace {

TEST(CodePage, CyrillicRoundTripsThroughBothCodePages) {
  EXPECT_EQ(Cp866ToUtf8("\x8F\xE0\xA8"), "При");
  EXPECT_EQ(Utf8ToCp866("При"), "\x8F\xE0\xA8");
  EXPECT_EQ(Cp1251ToUtf8("\xCF\xF0\xE8"), "При");
  EXPECT_EQ(Utf8ToCp1251("При ёЁ №"), "\xCF\xF0\xE8 \xB8\xA8 \xB9");
  EXPECT_EQ(Cp866ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(CodePage, EveryByteDecodesAndTheUndefinedOneIsReplaced) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToCp866(Cp866ToUtf8(all)), all);
  EXPECT_EQ(Cp1251ToUtf8("\x98"), "\xEF\xBF\xBD");
}

#ifndef _WIN32
// The program's own tables agree, byte for byte, with the C library's
// converter (which leaves 0x98 of Windows-1251 undefined, as the tables do).
TEST(CodePage, TablesAgreeWithTheCLibrary) {
  for (const auto& [page, name] : {std::pair{CodePage::Cp866, "CP866"},
                                   std::pair{CodePage::Cp1251, "CP1251"}}) {
    iconv_t cd = iconv_open("UTF-8", name);
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1)) << name;
    for (int b = 0; b < 256; ++b) {
      char in = static_cast<char>(b);
      char out[8] = {};
      char* inPtr = &in;
      char* outPtr = out;
      size_t inLeft = 1, outLeft = sizeof out;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      const bool converted = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1);
      const std::string expected = converted ? std::string(out, outPtr) : "\xEF\xBF\xBD";
      EXPECT_EQ(ToUtf8(std::string(1, in), page), expected) << name << " byte " << b;
    }
    iconv_close(cd);
  }
}
#endif

TEST(CodePage, RefusesWhatTheTargetCannotHold) {
  struct Case {
    const char* text;
    CodePage to;
  } cases[] = {
      {"€", CodePage::Cp866},       // in Windows-1251 only
      {"╬", CodePage::Cp1251},      // box drawing: CP866 only
      {"日本", CodePage::Cp1251},
      {"\xFF\xFE", CodePage::Cp866},  // not UTF-8 at all
  };
  for (const Case& c : cases) {
    EXPECT_THROW(FromUtf8(c.text, c.to), TEKLZException) << c.text;
  }
  try {
    Utf8ToCp866("A€");
    FAIL();
  } catch (const TEKLZException& e) {
    EXPECT_STREQ(e.what(), "Символ \"€\" невозможно передать в кодировке CP866");
  }
}

TEST(CodePage, Utf8Helpers) {
  EXPECT_TRUE(IsValidUtf8("Привет"));
  EXPECT_FALSE(IsValidUtf8("\xCF\xF0"));
  EXPECT_EQ(Utf8Length("Привет!"), 7u);
  EXPECT_EQ(Utf8Left("Привет", 3), "При");
  EXPECT_EQ(Utf8Left("AB", 5), "AB");
}

TEST(Regional, GeneralNumberFormat) {
  struct Case {
    long double value;
    const char* text;
  } cases[] = {
      {0, "0"},          {1, "1"},
      {2.5L, "2,5"},     {99999.999L, "99999,999"},
      {99999999.99L, "99999999,99"},
      {0.1, "0,1"},      {-3.25L, "-3,25"},
      {1000000, "1000000"},
      {123456789012345.0L, "123456789012345"},
      {1e20L, "1E20"},   {0.0001L, "0,0001"},
      {1.0L / 3, "0,333333333333333"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatGeneral(c.value), c.text);
}

TEST(Regional, RoundingGoesToTheEvenNeighbourOnTies) {
  EXPECT_EQ(RoundHalfEven(0.125L * 100), 12);
  EXPECT_EQ(RoundHalfEven(0.375L * 100), 38);
  EXPECT_EQ(RoundHalfEven(2.5L), 2);
  EXPECT_EQ(RoundHalfEven(3.5L), 4);
  EXPECT_EQ(RoundHalfEven(-2.5L), -2);
  EXPECT_EQ(RoundHalfEven(static_cast<long double>(99999999.99) * 100), 9999999999.0L);
}

TEST(Regional, DatesAndTimes) {
  EXPECT_EQ(FormatShortDate({2005, 1, 19}), "19.01.2005");
  EXPECT_EQ(FormatShortDate(CalendarDate{}), "30.12.1899");
  EXPECT_EQ(FormatLongTime({9, 5, 7}), "9:05:07");
  EXPECT_EQ(FormatShortTime({16, 47, 0}), "16:47");
  EXPECT_EQ(ParseShortDateYY("19.01.05"), (CalendarDate{2005, 1, 19}));
  EXPECT_EQ(ParseShortDate("29.02.2024"), (CalendarDate{2024, 2, 29}));
  EXPECT_EQ(ParseTime("9:05"), (ClockTime{9, 5, 0}));
  EXPECT_EQ(ParseTime("16:47:30"), (ClockTime{16, 47, 30}));
  const char* badDates[] = {"00.00.00", "31.02.05", "1.1.05", ""};
  for (const char* d : badDates) EXPECT_THROW(ParseShortDateYY(d), EConvertError) << d;
  EXPECT_THROW(ParseShortDate("29.02.2023"), EConvertError);
  EXPECT_THROW(ParseTime("24:00"), EConvertError);
  try {
    ParseShortDateYY("00.00.00");
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'00.00.00' is not a valid date");
  }
}

TEST(Regional, NumberParsing) {
  EXPECT_EQ(ParseFloat("2,5"), 2.5L);
  EXPECT_EQ(ParseFloat("2.5"), 2.5L);
  EXPECT_EQ(ParseFloat("-1"), -1.0L);
  const char* badFloats[] = {"", ",", "1,2,3", "1e5", "abc", " 1"};
  for (const char* f : badFloats) {
    try {
      ParseFloat(f);
      ADD_FAILURE() << f;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.what(), "'" + std::string(f) + "' is not a valid floating point value");
    }
  }
  EXPECT_EQ(ParseInt("-2147483648"), INT32_MIN);
  const char* badInts[] = {"", "2147483648", "1.0", "1 000", "0x10"};
  for (const char* i : badInts) EXPECT_THROW(ParseInt(i), EConvertError) << i;
}

}  // namespace
}  // namespace eklz
