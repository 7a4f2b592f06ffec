// Status queries and the archive test.
#include "commands/CommandTest.h"
#include "commands/Status.h"

namespace eklz::test {
namespace {

class Status : public CommandTest {};

TEST_F(Status, FramesAndTheFullStatusView) {
  Device();
  std::string state;
  ExpectFrames(t, *device, {
      {"status", [](EklzSession& s) { AskStatus(s, false, true); }, "02 02 07 01 04"},
      {"shift status", [](EklzSession& s) { AskShiftStatus(s, false, true); }, "02 02 07 02 07"},
      {"archive test", [&](EklzSession& s) { state = DoArchiveTest(s, false, true); },
       "02 02 08 01 0B"},
  });
  Clear();
  AskStatus(t.session, false, true);
  EXPECT_EQ(t.sink.result,
            (Lines{"Запрос состояния ЭКЛЗ", "Запрос успешно отправлен", "",
                   "Результат операции: Нормальное  завершение", "", "Итог документа: 123,45",
                   "Дата: 19.01.25", "Время: 09:05", "Номер КПК: 300", "Номер ЭКЛЗ: 0000001234",
                   "Флаги состояния(hex):0x61", "  Флаг d=1 - Открыт документ ",
                   "  Флаг t=10 документ покупки", "  Флаг i=0 - Архив не открыт",
                   "  Флаг f=0 - ЭКЛЗ не активизирована ", "  Флаг w=0 - Отчеты не запрашивались",
                   "  Флаг s=1 - Открыта смена",
                   "  Флаг a=0 - Неисправимых ошибок в устройстве не обнаружено"}));
  // Four reads and the request: length, answer, 20 data bytes, checksum.
  EXPECT_EQ(t.sink.protocol.size(), 7u);
  Clear();
  AskShiftStatus(t.session, false, true);
  EXPECT_EQ(Lines(t.sink.result.begin() + 5, t.sink.result.end()),
            (Lines{"Номер смены: 12", "Итог по продажам за смену: 100",
                   "Итог по покупкам за смену: 0,5", "Итог по возвратам продаж за смену: 0",
                   "Итог по возвратам покупок за смену: 9999999999,99"}));
}

TEST_F(Status, FlagLines) {
  struct Case {
    uint8_t flags;
    Lines lines;
  } cases[] = {
      {0x00, {"  Флаг d=0 - Открытых документов нет ", "  Флаг t=00, верней его значение не определено",
              "  Флаг i=0 - Архив не открыт", "  Флаг f=0 - ЭКЛЗ не активизирована ",
              "  Флаг w=0 - Отчеты не запрашивались", "  Флаг s=0 - Cмена не открыта",
              "  Флаг a=0 - Неисправимых ошибок в устройстве не обнаружено"}},
      {0xFF, {"  Флаг d=1 - Открыт документ ", "  Флаг t=11 документ возврата покупки",
              "  Флаг i=1 - Архив открыт", "  Флаг f=1 - Выполнена активизация ЭКЛЗ",
              "  Флаг w=1 - Выполнен запрос отчета", "  Флаг s=1 - Открыта смена",
              "  Флаг a=1 - Неисправимая ошибка устройства"}},
  };
  for (const Case& c : cases) EXPECT_EQ(StatusFlagLines(c.flags), c.lines);
  EXPECT_EQ(StatusFlagLines(0x02)[1], "  Флаг t=00, верней его значение не определено");
  EXPECT_EQ(StatusFlagLines(0x20)[1], "  Флаг t=00 документ продажи");
  EXPECT_EQ(StatusFlagLines(0x22)[1], "  Флаг t=01 документ возврата продажи");
  // The s=0 text begins with a Latin C.
  EXPECT_EQ(StatusFlagLines(0x00)[5].substr(17, 1), "C");
}

TEST_F(Status, AmountsInTheirShortestForm) {
  EXPECT_EQ(ShortAmount("0000012345"), "123,45");
  EXPECT_EQ(ShortAmount("0000010000"), "100");
  EXPECT_EQ(ShortAmount("0000000050"), "0,5");
  EXPECT_EQ(ShortAmount("0000000000"), "0");
  EXPECT_EQ(ShortAmount("999999999999"), "9999999999,99");
  EXPECT_THROW(ShortAmount("00000001A3"), EConvertError);
}

TEST_F(Status, TheLengthByteDoesNotSetTheDataCount) {
  // L says 1, yet 20 data bytes are read; L enters the checksum as received.
  Device([](const Bytes&) {
    Bytes r = DeviceReply(0, B("00 00 00 00 00 25 01 19 09 05 00 00 00 00 00 00 00 00 00 00"));
    r[2] = 0x01;
    r.back() ^= 0x15 ^ 0x01;
    return r;
  });
  AskStatus(t.session, false, true);
  EXPECT_EQ(t.sink.result[5], "Итог документа: 0");
}

TEST_F(Status, ANonDecimalDigitStopsAtItsField) {
  Device([](const Bytes&) {
    return DeviceReply(0, B("00 00 00 1A 00 25 01 19 09 05 00 00 00 00 00 00 00 00 00 00"));
  });
  try {
    AskStatus(t.session, false, true);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'0000001A00' is not a valid integer value");
  }
  EXPECT_EQ(t.sink.result.back(), "");
}

TEST_F(Status, ArchiveTestOutcomes) {
  const std::string warning = "\r\nЭКЛЗ близка к заполнению (предупреждение)";
  struct Case {
    uint8_t answer;
    const char* state;
    std::string failure;  // empty: no failure
  } cases[] = {
      {0x00, "Архив в нормальном состоянии", ""},
      {0x03, "Архив повреждён!", "Авария  ЭКЛЗ"},
      {0x83, "Архив в нормальном состоянии", "Авария  ЭКЛЗ" + warning},
      {0x02, "Архив в нормальном состоянии", "Некорректное состояние ЭКЛЗ"},
  };
  for (const Case& c : cases) {
    Device([&](const Bytes&) { return DeviceReply(c.answer); });
    Clear();
    std::string state;
    try {
      state = DoArchiveTest(t.session, false, true);
      EXPECT_TRUE(c.failure.empty()) << int(c.answer);
    } catch (const TEKLZException& e) {
      EXPECT_EQ(e.what(), c.failure);
    }
    // A failure leaves with its exception; the state is the result view's last line.
    EXPECT_EQ(state, c.failure.empty() ? c.state : "");
    EXPECT_EQ(t.sink.result.back(), c.state);
    // No data read at all: request, ACK, STX, length, answer, checksum.
    EXPECT_EQ(t.sink.protocol.size(), 6u);
  }
}

TEST_F(Status, ANonZeroAnswerWritesNoDataLines) {
  Device([](const Bytes&) {
    return DeviceReply(0x05, Bytes(20, 0));
  });
  EXPECT_THROW(AskStatus(t.session, false, true), TEKLZException);
  EXPECT_EQ(t.sink.result,
            (Lines{"Запрос состояния ЭКЛЗ", "Запрос успешно отправлен", "",
                   "Результат операции: Исчерпан временной ресурс использования ЭКЛЗ", ""}));
  EXPECT_EQ(t.session.LastAnswer.Code, 5);
}

}  // namespace
}  // namespace eklz::test
