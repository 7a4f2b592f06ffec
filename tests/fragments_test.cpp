// The report fragment decoder: every fragment code and the repair values.
#include <gtest/gtest.h>

#include "codec/Errors.h"
#include "protocol/Fragments.h"
#include "support/Recording.h"

namespace eklz {
namespace {

using test::RecordingSink;

std::string Lines(std::initializer_list<const char*> lines) {
  std::string out;
  for (const char* l : lines) out += std::string(l) + "\r\n";
  return out;
}

class Fragments : public ::testing::Test {
 protected:
  RecordingSink sink;
  EklzSession session{sink};
};

TEST_F(Fragments, EveryCodeDecodesToItsText) {
  const std::string z6 = "000000000000";
  struct Case {
    std::string hex;
    std::string text;
  } cases[] = {
      {"01100501191000 01",
       Lines({"Заголовок документа. Код фрагмента 01H", "    Команда:продажи код команды:16",
              "    Дата:19.01.05", "    Время:10:00", "    Код оператора:1"})},
      {"0114050119100001",
       Lines({"Заголовок документа. Код фрагмента 01H",
              "    Команда:НЕ РАСПОЗНАНА код команды:20", "    Дата:19.01.05", "    Время:10:00",
              "    Код оператора:1"})},
      {"0205000012500000123456",
       Lines({"Отдел. Код фрагмента 02H", "    Код отдела:5", "    Количество:1.250",
              "    Сумма:1234.56"})},
      {"030000000000", Lines({"Скидка. Код фрагмента 03H", "    Сумма скидки:0.00"})},
      {"040000012345", Lines({"Наценка. Код фрагмента 04H", "    Сумма наценки:123.45"})},
      {"060000000050", Lines({"Итог документа. Код фрагмента 06H", "    Сумма:0.50"})},
      {"07313233343536373839303132" "0000012345" "771234567890",
       Lines({"Заголовок ККМ. Код фрагмента 07H", "    Заводской номер ККМ:123456789012",
              "    Регистрационный номер ЭКЛЗ:0000012345", "    ИНН:771234567890"})},
      {"08050119090500000001234500 05",
       "Активизация. Код фрагмента 08H\r\n    Дата:19.01.05\r\n    Время:09:05\r\n"
       "    Регистрационный номер ККМ:000000012345    Смена:5\r\n\r\n"},
      {"09" "000000010000" "000000000250" + z6 + "999999999999",
       Lines({"Закрытие смены. Код фрагмента 09H", "    Сумма продажи:100.00",
              "    Сумма покупки:2.50", "    Сумма возврата продажи:0.00",
              "    Сумма возврата покупки:9999999999.99"})},
      {"0A" "000000010000" + z6 + z6 + z6,
       Lines({"Итог закрытия смены. Код фрагмента 0AH", "    Сумма продажи:100.00",
              "    Сумма покупки:0.00", "    Сумма возврата продажи:0.00",
              "    Сумма возврата покупки:0.00"})},
      {"0B00000123A1B2C3",
       Lines({"Строка КПК. Код фрагмента 0BH", "    Номер КПК:00000123", "    Значение КПК:A1B2C3"})},
      {"0C" "0000001500" "000000000300" "0000000000" + z6 + "0000002000" "000000000200" "0000000000" + z6,
       Lines({"Итог отдела. Код фрагмента 0CH", "    Количество продажи:1.500",
              "    Сумма продажи:3.00", "    Количество покупки:0.000", "    Сумма покупки:0.00",
              "    Количество возврата продажи:2.000", "    Сумма возврата продажи:2.00",
              "    Количество возврата покупки:0.000", "    Сумма возврата покупки:0.00"})},
      {"0E000C050119093001",
       Lines({"Заголовок смены. Код фрагмента 0EH", "    Смена:12", "    Дата:19.01.05",
              "    Время:09:30", "    Код оператора:1"})},
      {"10" "0100" "000000001000" + z6 + z6 + z6,
       Lines({"Х-Отчет. Код фрагмента 10H", "    Смена:256", "    Сумма продажи:10.00",
              "    Сумма покупки:0.00", "    Сумма возврата продажи:0.00",
              "    Сумма возврата покупки:0.00"})},
      // Codes without a layout come back as they were passed in.
      {"0D0102", "0D0102\r\n"},
      {"00", "00\r\n"},
      {"FF1234", "FF1234\r\n"},
      // Bytes after the last field are not shown.
      {"030000000100FFFF", Lines({"Скидка. Код фрагмента 03H", "    Сумма скидки:1.00"})},
  };
  for (Case& c : cases) {
    std::erase(c.hex, ' ');
    EXPECT_EQ(DecodeFragments(session, c.hex).text, c.text) << c.hex;
  }
}

TEST_F(Fragments, ShortFragmentsAreShownUndecodedInsteadOfReadPastTheirEnd) {
  const char* shortOnes[] = {"", "01100501", "0B000001", "08050119", "0E000C", "0C00", "10"};
  for (const char* hex : shortOnes) {
    const DecodedReply decoded = DecodeFragments(session, hex);
    EXPECT_EQ(decoded.text, std::string(hex) + "\r\n") << hex;
    EXPECT_FALSE(decoded.kkm.activationDate) << hex;
  }
}

TEST_F(Fragments, KkmTypeFollowsTheCodePageSetting) {
  // "Касса" in CP866 padded to 16 characters.
  const std::string cp866 = "8AA0E1E1A0" "2020202020202020202020";
  session.settings.Win1251 = false;
  const DecodedReply pc866 = DecodeFragments(session, "05" + cp866);
  EXPECT_EQ(pc866.text, Lines({"Тип ККМ, Текст. Код фрагмента 05H",
                               "    Тип ККМ, Текст (16 или 40 символов)PC866:Касса           "}));
  EXPECT_EQ(pc866.kkm.model, "Касса           ");

  // The same bytes with Win1251 on are shown as Windows-1251 characters.
  session.settings.Win1251 = true;
  const std::string text = DecodeFragments(session, "05" + cp866).text;
  EXPECT_EQ(text, Lines({"Тип ККМ, Текст. Код фрагмента 05H",
                         ("    Тип ККМ, Текст (16 или 40 символов)Win1251:" +
                          Cp1251ToUtf8("\x8A\xA0\xE1\xE1\xA0") + std::string(11, ' '))
                             .c_str()}));
  EXPECT_EQ(DecodeFragments(session, "05").text,
            Lines({"Тип ККМ, Текст. Код фрагмента 05H",
                   "    Тип ККМ, Текст (16 или 40 символов)Win1251:"}));
}

TEST_F(Fragments, RepairValuesAreRecordedFromActivationAndHeader) {
  EXPECT_EQ(DecodeFragments(session, "0805011909050000000123450005").kkm.activationDate,
            (CalendarDate{2005, 1, 19}));
  EXPECT_EQ(
      DecodeFragments(session, "07414243444546474849505152" "0000012345" "771234567890").kkm.serial,
      "ABCDEFGHIPQR");
}

TEST_F(Fragments, AnInvalidActivationDateFailsAndKeepsTheStoredDate) {
  KkmParticulars stored;
  stored.activationDate = CalendarDate{2010, 5, 6};
  try {
    stored.Update(DecodeFragments(session, "0800000009050000000123450005").kkm);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'00.00.00' is not a valid date");
  }
  EXPECT_EQ(stored.activationDate, (CalendarDate{2010, 5, 6}));
}

TEST(FragmentHelpers, Behave) {
  EXPECT_EQ(HexByteAt("0AFF", 3), 255);
  EXPECT_EQ(HexDigitsToText("414243"), "ABC");
  EXPECT_EQ(BcdDateText("050119"), "19.01.05");
  EXPECT_EQ(BcdTimeText("0930"), "09:30");
  EXPECT_EQ(StripLeadingZeros("0000123.45"), "123.45");
  EXPECT_EQ(StripLeadingZeros("0000000.00"), "0.00");
}

}  // namespace
}  // namespace eklz
