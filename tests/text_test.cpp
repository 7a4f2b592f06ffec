// Code pages, regional formats and rounding.
#include <gtest/gtest.h>

#include "codec/CodePage.h"
#include "codec/Errors.h"
#include "codec/Regional.h"

#include <charconv>
#include <clocale>
#include <cstring>

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

// Saved views keep every line: what Windows-1251 lacks becomes "?".
TEST(CodePage, ARecordReplacesWhatTheTargetCannotHold) {
  EXPECT_EQ(FromUtf8Replacing("а╩б€", CodePage::Cp1251), "\xE0?\xE1\x88");
  EXPECT_EQ(FromUtf8Replacing("x\xFFy", CodePage::Cp1251), "x?y");
  EXPECT_THROW(FromUtf8("а╩б", CodePage::Cp1251), TEKLZException);
}

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

TEST(Regional, CountsTakeTheRussianPluralForm) {
  struct Case {
    long long n;
    const char* text;
  } cases[] = {
      {0, "0 страниц"},     {1, "1 страницу"},    {2, "2 страницы"},    {4, "4 страницы"},
      {5, "5 страниц"},     {11, "11 страниц"},   {12, "12 страниц"},   {14, "14 страниц"},
      {21, "21 страницу"},  {22, "22 страницы"},  {25, "25 страниц"},   {101, "101 страницу"},
      {111, "111 страниц"}, {8192, "8192 страницы"}, {1000001, "1000001 страницу"},
  };
  for (const Case& c : cases) EXPECT_EQ(Counted(c.n, "страницу", "страницы", "страниц"), c.text);
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


// A Russian desktop sets the C library's locale to one whose decimal
// separator is a comma (the window's application object adopts it). Numbers
// must read and print the same there.
class InACommaLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::setlocale(LC_ALL, nullptr);
    for (const char* name : {"ru_RU.UTF-8", "ru_RU.utf8", "Russian_Russia.1251"}) {
      if (std::setlocale(LC_ALL, name)) break;
    }
    ASSERT_STREQ(std::localeconv()->decimal_point, ",")
        << "no Russian locale on this machine (scripts/setup generates ru_RU.UTF-8)";
  }
  void TearDown() override { std::setlocale(LC_ALL, saved_.c_str()); }

 private:
  std::string saved_;
};

TEST_F(InACommaLocale, NumbersReadAndPrintAsInAnyOther) {
  struct Case {
    const char* typed;
    const char* shown;
  } cases[] = {
      {"2,5", "2,5"},           {"2.5", "2,5"},          {"0,125", "0,125"},
      {"0.12", "0,12"},         {"99999,999", "99999,999"},
      {"99999999.99", "99999999,99"}, {"-3,25", "-3,25"}, {"+7", "7"},
      {"0,0005", "0,0005"},     {"1.0015", "1,0015"},    {"000123,4500", "123,45"},
      {"12345678901234567890", "1,23456789012346E19"},
  };
  for (const Case& c : cases) {
    const long double v = ParseFloat(c.typed);
    EXPECT_EQ(FormatGeneral(v), c.shown) << c.typed;
    // The value the standard's locale-independent reader gives (compared as a
    // double: on Windows the x87 unit may round long doubles to 53 bits).
    std::string dotted = c.typed;
    for (char& ch : dotted) ch = ch == ',' ? '.' : ch;
    if (dotted[0] == '+') dotted.erase(0, 1);
    long double expected = 0;
    std::from_chars(dotted.data(), dotted.data() + dotted.size(), expected);
    EXPECT_EQ(static_cast<double>(v), static_cast<double>(expected)) << c.typed;
  }
  // Amounts rounded to what is sent: quantity in thousandths, sum in kopecks.
  EXPECT_EQ(RoundHalfEven(ParseFloat("2,5") * 1000), 2500);
  EXPECT_EQ(RoundHalfEven(ParseFloat("0,125") * 100), 12);
  EXPECT_THROW(ParseFloat("1 000,5"), EConvertError);
  EXPECT_THROW(ParseFloat("2,5,"), EConvertError);
}

}  // namespace
}  // namespace eklz
