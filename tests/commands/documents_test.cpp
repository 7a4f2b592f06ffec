// Document commands: request frames, limits and result lines.
#include "commands/CommandTest.h"
#include "commands/Documents.h"

namespace eklz::test {
namespace {

class Documents : public CommandTest {};

TEST_F(Documents, EachOperationSendsItsFrame) {
  Device();
  const CalendarDate jan19{2005, 1, 19};
  ExpectFrames(t, *device, {
      {"sale worked example", [](EklzSession& s) { DoSale(s, 1, 1, 1.00, false, true); },
       "02 0B 10 01 00 00 10 00 00 00 00 01 00 0B"},
      {"purchase", [](EklzSession& s) { DoBuy(s, 2, 2.5, 12.50, false, true); },
       "02 0B 11 02 00 00 25 00 00 00 00 12 50 7F"},
      {"largest sale return, department 16",
       [](EklzSession& s) { DoReturnSale(s, 16, 99999.999, 99999999.99, false, true); },
       "02 0B 12 10 99 99 99 99 99 99 99 99 99 90"},
      {"zero purchase return", [](EklzSession& s) { DoReturnBuy(s, 1, 0, 0, false, true); },
       "02 0B 13 01 00 00 00 00 00 00 00 00 00 19"},
      {"tie to even down", [](EklzSession& s) { DoSale(s, 1, 1, 0.125, false, true); },
       "02 0B 10 01 00 00 10 00 00 00 00 00 12 18"},
      {"tie to even up", [](EklzSession& s) { DoSale(s, 1, 1, 0.375, false, true); },
       "02 0B 10 01 00 00 10 00 00 00 00 00 38 32"},
      {"discount", [](EklzSession& s) { DoDiscount(s, 10, false, true); },
       "02 06 16 00 00 00 10 00 00"},
      {"mark-up", [](EklzSession& s) { DoMargin(s, 0.05, false, true); },
       "02 06 17 00 00 00 00 05 14"},
      {"storno of a sale", [](EklzSession& s) { DoStorno(s, 0x10, 3, 3.00, 2, false, true); },
       "02 0C 18 10 03 00 00 20 00 00 00 00 03 00 24"},
      {"storno of a discount ignores department and quantity",
       [](EklzSession& s) { DoStorno(s, 0x16, 9, 1.50, 12345, false, true); },
       "02 07 18 16 00 00 00 01 50 58"},
      {"completion",
       [&](EklzSession& s) { DoFinishDocument(s, false, 1, jan19, {16, 47, 0}, false, true); },
       "02 07 19 05 01 19 16 47 01 53"},
      {"completion, text form",
       [](EklzSession& s) { DoFinishDocument(s, true, 255, {2024, 12, 31}, {23, 59, 0}, false, true); },
       "02 07 99 24 12 31 23 59 FF 1C"},
      {"abort", [](EklzSession& s) { DoAbort(s, false, true); }, "02 01 06 07"},
  });
}

TEST_F(Documents, LimitsAndNegativeValuesAreRefusedBeforeSending) {
  Device();
  EklzSession& s = t.session;
  struct Case {
    std::function<void()> run;
    const char* message;
  } cases[] = {
      {[&] { DoSale(s, 1, 100000, 1, false, true); }, "Слишком большая величина количества товара"},
      {[&] { DoBuy(s, 1, 1, 100000000, false, true); }, "Слишком большая величина суммы"},
      {[&] { DoStorno(s, 0x11, 1, 1, 100000, false, true); },
       "Слишком большая величина количества товара"},
      {[&] { DoStorno(s, 0x17, 1, 100000000, 0, false, true); }, "Слишком большая величина суммы"},
      {[&] { DoDiscount(s, 100000000, false, true); }, "Слишком большая величина скидки"},
      {[&] { DoMargin(s, 100000000, false, true); }, "Слишком большая величина наценки"},
      {[&] { DoSale(s, 1, -1, 1, false, true); }, "Количество товара не может быть отрицательным"},
      {[&] { DoReturnBuy(s, 1, 1, -0.01, false, true); }, "Сумма не может быть отрицательной"},
      {[&] { DoDiscount(s, -5, false, true); }, "Сумма скидки не может быть отрицательной"},
      {[&] { DoMargin(s, -5, false, true); }, "Сумма наценки не может быть отрицательной"},
  };
  for (const Case& c : cases) ExpectRefused(t, c.run, c.message);
  EXPECT_TRUE(Requests().empty());
}

TEST_F(Documents, ResultLines) {
  Device();
  DoSale(t.session, 1, 2.5, 1234.5, false, true);
  EXPECT_EQ(t.sink.result, (Lines{"Выполнение продажи", "    Отдел №1", "    Количество: 2,5",
                                  "    Сумма: 1234,5", "Запрос успешно отправлен",
                                  "Ожидание ответа...", "",
                                  "Состояние операции: Нормальное  завершение", "",
                                  "Результат операции: Операция успешно выполнена"}));
  Clear();
  DoStorno(t.session, 0x17, 1, 3, 0, false, true);
  EXPECT_EQ(t.sink.result[0], "Выполнение сторно наценки");
  EXPECT_EQ(t.sink.result[1], "    Сумма: 3");
  Clear();
  DoStorno(t.session, 0x20, 1, 3, 0, false, true);
  EXPECT_EQ(t.sink.result[0], "Выполнение сторно ");
  Clear();
  const std::string kpk = DoFinishDocument(t.session, false, 7, {2005, 1, 19}, {9, 5, 3}, false, true);
  EXPECT_EQ(kpk, "Строка КПК. Код фрагмента 0BH\r\n    Номер КПК:00000123\r\n"
                 "    Значение КПК:A1B2C3\r\n");
  EXPECT_EQ(t.sink.result,
            (Lines{"Завершение документа", "    Дата: 19.01.2005", "    Время: 9:05:03",
                   "    Оператор: 7", "Запрос успешно отправлен", "Ожидание ответа...", "",
                   "Состояние операции: Нормальное  завершение", "",
                   "Результат операции: Строка КПК. Код фрагмента 0BH", "    Номер КПК:00000123",
                   "    Значение КПК:A1B2C3", ""}));
}

TEST_F(Documents, TheTextFormCompletionDeliversTheReplyText) {
  Device([](const Bytes&) { return DeviceReply(0, B("8A 8F 8A 20 31")); });
  EXPECT_EQ(DoFinishDocument(t.session, true, 1, {2005, 1, 19}, {9, 5, 0}, false, true), "КПК 1");
}

TEST_F(Documents, ADeviceRefusalEndsWithoutTheResultLine) {
  Device([](const Bytes&) { return DeviceReply(0x02); });
  try {
    DoDiscount(t.session, 1, false, true);
    FAIL();
  } catch (const TEKLZException& e) {
    EXPECT_STREQ(e.what(), "Некорректное состояние ЭКЛЗ");
  }
  EXPECT_EQ(t.sink.result.back(), "");
  EXPECT_EQ(t.sink.result[t.sink.result.size() - 2],
            "Состояние операции: Некорректное состояние ЭКЛЗ");
}

}  // namespace
}  // namespace eklz::test
