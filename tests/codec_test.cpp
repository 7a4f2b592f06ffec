// The hexadecimal frame codec, the field encodings and the answer codes.
#include <gtest/gtest.h>

#include "protocol/AnswerCodes.h"
#include "codec/Errors.h"
#include "codec/HexFrame.h"

namespace eklz {
namespace {

TEST(HexFrame, HexToBytesAcceptsBothEndsAndLowerCase) {
  EXPECT_EQ(HexToBytes("02 0B"), (Bytes{0x02, 0x0B}));
  EXPECT_EQ(HexToBytes("02 0B "), (Bytes{0x02, 0x0B}));
  EXPECT_EQ(HexToBytes("0a ff"), (Bytes{0x0A, 0xFF}));
  EXPECT_TRUE(HexToBytes("").empty());
}

TEST(HexFrame, HexToBytesRejectsMalformedPairsWithTheConversionText) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"0G", "'$0G' is not a valid integer value"},
      {"02 1", "'$1 ' is not a valid integer value"},
      {"02  0B", "'$ 0' is not a valid integer value"},
      {"-1 00", "'$-1' is not a valid integer value"},
  };
  for (const Case& c : cases) {
    try {
      HexToBytes(c.text);
      ADD_FAILURE() << c.text;
    } catch (const EConvertError& e) {
      EXPECT_STREQ(e.what(), c.message) << c.text;
    }
  }
}

TEST(HexFrame, BytesToHexWritesUpperCasePairsEachWithABlank) {
  EXPECT_EQ(BytesToHex(Bytes{0x00, 0xFF}), "00 FF ");
  EXPECT_EQ(BytesToHex(Bytes{}), "");
}

TEST(HexFrame, DecimalToBcdHex) {
  struct Case {
    const char* digits;
    int width;
    const char* expected;
  } cases[] = {
      {"100", 10, "00 00 00 01 00 "},
      {"123456789012", 10, "12 34 56 78 90 12 "},  // not cut
      {"123", 0, "12 3"},                          // odd count: last digit alone
      {"012C", 4, "01 2C "},                       // hexadecimal digits pass unchanged
      {"", 4, "00 00 "},
  };
  for (const Case& c : cases) EXPECT_EQ(DecimalToBcdHex(c.digits, c.width), c.expected) << c.digits;
}

TEST(HexFrame, LengthChecksumAndCommandCode) {
  EXPECT_EQ(InsertFrameLength("02 06 ", 0), "02 01 06 ");
  EXPECT_EQ(InsertFrameLength("02 10 ", 10), "02 0B 10 ");
  EXPECT_EQ(FrameChecksum("02 01 06"), "07");
  EXPECT_EQ(FrameChecksum("02 01 06 "), "07");
  EXPECT_EQ(FrameChecksum("02 "), "00");
  EXPECT_EQ(FrameChecksum("02 0B 10 01 00 00 10 00 00 00 00 01 00"), "0B");
  EXPECT_EQ(ExtractCommandCode("02 10 "), "10");
}

TEST(HexFrame, FieldEncodings) {
  EXPECT_EQ(ByteField(1), "01 ");
  EXPECT_EQ(ByteField(16), "10 ");
  EXPECT_EQ(WordField(300), "01 2C ");
  EXPECT_EQ(WordField(255), "00 FF ");
  EXPECT_EQ(BcdField(100, 10), "00 00 00 01 00 ");
  EXPECT_EQ(BcdField(1000, 8), "00 00 10 00 ");
  EXPECT_EQ(BcdField(9999999999, 10), "99 99 99 99 99 ");
  EXPECT_EQ(DateField({2024, 3, 15}), "24 03 15 ");
  EXPECT_EQ(TimeField({14, 5, 0}), "14 05 ");
  std::string fourteenBlanks;
  for (int i = 0; i < 14; ++i) fourteenBlanks += "20 ";
  EXPECT_EQ(TextField("AB", 16, CodePage::Cp866), "41 42 " + fourteenBlanks);
  EXPECT_EQ(TextField("При", 3, CodePage::Cp866), "8F E0 A8 ");
  EXPECT_EQ(TextField("При", 3, CodePage::Cp1251), "CF F0 E8 ");
}

TEST(HexFrame, TheSaleWorkedExampleAssembles) {
  std::string frame = InsertFrameLength("02 10 ", 10);
  frame += ByteField(1) + BcdField(1000, 8) + BcdField(100, 10);
  frame += FrameChecksum(frame);
  EXPECT_EQ(frame, "02 0B 10 01 00 00 10 00 00 00 00 01 00 0B");
}

TEST(AnswerCodes, DecodeTable) {
  const std::string warning = "\r\nЭКЛЗ близка к заполнению (предупреждение)";
  struct Case {
    uint8_t byte;
    uint8_t code;
    bool nearlyFull;
    std::string message;
  } cases[] = {
      {0x00, 0, false, "Нормальное  завершение"},
      {0x80, 0, true, "Нормальное  завершение" + warning},
      {0x01, 1, false, "Некорректный  формат или параметр команды"},
      {0x02, 2, false, "Некорректное состояние ЭКЛЗ"},
      {0x03, 3, false, "Авария  ЭКЛЗ"},
      {0x04, 4, false, "Авария  КС  (Криптографического сопроцессора) в составе ЭКЛЗ"},
      {0x05, 5, false, "Исчерпан временной ресурс использования ЭКЛЗ"},
      {0x86, 6, true, "ЭКЛЗ  переполнена" + warning},
      {0x07, 7, false, "Неверные  дата или время"},
      {0x88, 8, true, "Нет  запрошенных данных" + warning},
      {0x09, 9, false,
       "Переполнение (отрицательный итог документа, слишком много отделов для клиента) "},
      {0x0A, 10, false, "Неизвестное значение кода ответа"},
      {0x7F, 10, false, "Неизвестное значение кода ответа"},
      {0xFF, 10, true, "Неизвестное значение кода ответа" + warning},
  };
  for (const Case& c : cases) {
    const TAnswerInfo info = DecodeAnswerCode(c.byte);
    EXPECT_EQ(info.Code, c.code) << int(c.byte);
    EXPECT_EQ(info.NearlyFull, c.nearlyFull) << int(c.byte);
    EXPECT_EQ(info.Message, c.message) << int(c.byte);
  }
}

TEST(Errors, MessageBoxFullStopRule) {
  EXPECT_EQ(MessageBoxText("Нет соединения"), "Нет соединения.");
  EXPECT_EQ(MessageBoxText("'' is not a valid floating point value"),
            "'' is not a valid floating point value.");
  EXPECT_EQ(MessageBoxText("ЭКЛЗ близка к заполнению (предупреждение)"),
            "ЭКЛЗ близка к заполнению (предупреждение)");
  EXPECT_EQ(MessageBoxText("Переполнение (...) "), "Переполнение (...) ");
  EXPECT_EQ(MessageBoxText("Архив повреждён!"), "Архив повреждён!");
  EXPECT_EQ(MessageBoxText("Готово."), "Готово.");
  EXPECT_EQ(MessageBoxText("код 7"), "код 7.");
}

}  // namespace
}  // namespace eklz
