// Identification and activation queries.
#include "commands/CommandTest.h"
#include "commands/Information.h"

namespace eklz::test {
namespace {

class Information : public CommandTest {};

// The 90 data bytes of a processor dump.
Bytes ProcessorDump(const std::string& date = "05 01 19") {
  std::string hex = "00 " + date + " 09 05 " + BytesToHex(std::string("123456789012")) +
                    "77 12 34 56 78 90 00 00 00 01 23 45 01 2C 00 " +
                    BytesToHex(std::string("KASSA-M") + std::string(33, ' ')) +
                    "00 00 00 00 DE AD BE EF 00 00 00 00 00 00 01 23 45";
  return B(hex);
}

TEST_F(Information, Frames) {
  Device();
  std::string r;
  ExpectFrames(t, *device, {
      {"reg number", [&](EklzSession& s) { r = AskRegNumber(s, false, false, true); }, "02 01 14 15"},
      {"reg number, text", [&](EklzSession& s) { r = AskRegNumber(s, true, false, true); }, "02 01 94 95"},
      {"activation result", [&](EklzSession& s) { r = AskActivationResult(s, false, false, true).text; },
       "02 01 24 25"},
      {"activation result, text",
       [&](EklzSession& s) { r = AskActivationResult(s, true, false, true).text; }, "02 01 A4 A5"},
      {"version", [&](EklzSession& s) { r = AskVersion(s, false, false, true); }, "02 01 2A 2B"},
      {"version, text", [&](EklzSession& s) { r = AskVersion(s, true, false, true); }, "02 01 AA AB"},
      {"crypto serial", [&](EklzSession& s) { r = AskCryptoSerial(s, false, true); }, "02 01 39 38"},
  });
}

TEST_F(Information, ResultLinesOfThePlainQueries) {
  std::string r;
  Device([](const Bytes& req) {
    switch (req[2]) {
      case 0x14: return DeviceReply(0, B("00 00 01 23 45"));
      case 0x2A: return DeviceReply(0, B("30 32 2E 30 31"));  // "02.01"
      case 0x39: return DeviceReply(0, B("12 AB"));
      default: return DeviceReply(0, B("00 00 01 2C"));     // 0x3C
    }
  });
  r = AskRegNumber(t.session, false, false, true);
  EXPECT_EQ(t.sink.result.back(), "Регистрационный номер ЭКЛЗ:0000012345");
  r = AskVersion(t.session, false, false, true);
  EXPECT_EQ(t.sink.result.back(), "Версия ЭКЛЗ:02.01");
  Clear();
  r = AskCryptoSerial(t.session, false, true);
  EXPECT_EQ(t.sink.result, (Lines{"Запрос серийного номера криптопроцессора",
                                  "Запрос успешно отправлен", "Ожидание ответа...", "",
                                  "Состояние операции: Нормальное  завершение", "",
                                  "Серийный номер криптопроцессора (HEX): 12AB"}));
  r = AskCurrentKpk(t.session, false, true);
  EXPECT_EQ(t.sink.result.back(), "Текущий номер КПК: 300");
  EXPECT_EQ(BytesToHex(Requests().back()), "02 01 3C 3D ");
}

TEST_F(Information, CurrentKpkWithoutANumberIsAConversionFailure) {
  Device([](const Bytes&) { return DeviceReply(0); });
  std::string r;
  try {
    r = AskCurrentKpk(t.session, false, true);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'$' is not a valid integer value");
  }
}

TEST_F(Information, TheActivationResultFetchesItsReport) {
  int step = 0;
  Device([&](const Bytes&) {
    switch (step++) {
      case 0: return DeviceReply(0, B("07 31 32 33 34 35 36 37 38 39 30 31 32 00 00 01 23 45 77 12 34 56 78 90"));
      case 1: return DeviceReply(0, B("05 41 42 43 20"));
      case 2: return DeviceReply(0, B("08 05 01 19 09 05 00 00 00 01 23 45 00 05"));
      default: return DeviceReply(8);
    }
  });
  const DecodedReply r = AskActivationResult(t.session, false, false, true);
  EXPECT_EQ(Lines(t.sink.result.begin() + 5, t.sink.result.end()),
            (Lines{"    Тип ККМ, Текст. Код фрагмента 05H",
                   "    Тип ККМ, Текст (16 или 40 символов)Win1251:ABC ", "",
                   "    Активизация. Код фрагмента 08H", "    Дата:19.01.05", "    Время:09:05",
                   "    Регистрационный номер ККМ:000000012345    Смена:5", "", "",
                   "Заголовок ККМ. Код фрагмента 07H", "    Заводской номер ККМ:123456789012",
                   "    Регистрационный номер ЭКЛЗ:0000012345", "    ИНН:771234567890", ""}));
  // The query returns what its fragments told, and the window hears it too.
  for (const KkmParticulars& kkm : {r.kkm, t.sink.kkm}) {
    EXPECT_EQ(kkm.serial, "123456789012");
    EXPECT_EQ(kkm.model, "ABC ");
    EXPECT_EQ(kkm.activationDate, (CalendarDate{2005, 1, 19}));
  }
}

TEST_F(Information, ProcessorDumpShowsAndStoresTheActivationData) {
  Device([](const Bytes&) { return DeviceReply(0, ProcessorDump()); });
  const DecodedReply r = AskProcessorDump(t.session, false, true);
  EXPECT_EQ(r.text.size(), 178u);  // 89 bytes: the first one is removed
  EXPECT_EQ(Lines(t.sink.result.begin() + 6, t.sink.result.end()),
            (Lines{"Дата активизации ЭКЛЗ: 19.01.05", "Время активизации:9:5",
                   "Заводской № ККМ:123456789012", "ИНН:771234567890",
                   "Регистрационный № ККМ:000000012345", "№ смены:300",
                   "Имя ККМ (тип):KASSA-M" + std::string(33, ' '),
                   "Серийный номер процессора:DEADBEEF", "Регистрационный № ЭКЛЗ:0000012345"}));
  for (const KkmParticulars& kkm : {r.kkm, t.sink.kkm}) {
    EXPECT_EQ(kkm.activationDate, (CalendarDate{2005, 1, 19}));
    EXPECT_EQ(kkm.model, "KASSA-M" + std::string(33, ' '));
    EXPECT_EQ(kkm.serial, "123456789012");
  }
}

TEST_F(Information, ProcessorDumpFailures) {
  std::string r;
  // A blank EKLZ: all nine lines, then the date fails and nothing is stored.
  Device([](const Bytes&) { return DeviceReply(0, ProcessorDump("00 00 00")); });
  try {
    r = AskProcessorDump(t.session, false, true).text;
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'00.00.00' is not a valid date");
  }
  EXPECT_EQ(t.sink.result.back(), "Регистрационный № ЭКЛЗ:0000012345");
  EXPECT_TRUE(t.sink.kkm.Empty());

  // Too short a reply is refused after the answer lines, before any data line.
  Device([](const Bytes&) { return DeviceReply(0, Bytes(89, 0x11)); });
  Clear();
  try {
    r = AskProcessorDump(t.session, false, true).text;
    FAIL();
  } catch (const TEKLZException& e) {
    EXPECT_STREQ(e.what(), "Ответ ЭКЛЗ слишком короткий: получено 89 байт данных вместо 90");
  }
  EXPECT_EQ(t.sink.result.back(), "");
}

}  // namespace
}  // namespace eklz::test
