// Report queries.
#include "commands/CommandTest.h"
#include "commands/Reports.h"

namespace eklz::test {
namespace {

class Reports : public CommandTest {
 protected:
  std::string r;
};

TEST_F(Reports, Frames) {
  Device();
  ExpectFrames(t, *device, {
      {"tape of shift 1", [&](EklzSession& s) { r = AskControlTape(s, false, 1, false, true); },
       "02 03 20 00 01 22"},
      {"tape of shift 300, text", [&](EklzSession& s) { r = AskControlTape(s, true, 300, false, true); },
       "02 03 A0 01 2C 8E"},
      {"document 123", [&](EklzSession& s) { r = AskDocument(s, false, 123, false, true); },
       "02 05 21 00 00 01 23 06"},
      {"document 0", [&](EklzSession& s) { r = AskDocument(s, false, 0, false, true); },
       "02 05 21 00 00 00 00 24"},
      {"totals of shift 12", [&](EklzSession& s) { r = AskShiftTotals(s, false, 12, false, true); },
       "02 03 23 00 0C 2C"},
      {"totals of shift 255 (binary, not BCD)",
       [&](EklzSession& s) { r = AskShiftTotals(s, false, 255, false, true); }, "02 03 23 00 FF DF"},
      {"report type 4 by dates",
       [&](EklzSession& s) { r = AskReport(s, false, 4, {2005, 1, 19}, {2005, 1, 31}, 0, 0, false, true); },
       "02 08 22 04 05 01 19 05 01 31 06"},
      {"report type 5 by dates, text",
       [&](EklzSession& s) { r = AskReport(s, true, 5, {2005, 2, 1}, {2005, 2, 28}, 0, 0, false, true); },
       "02 08 A2 05 05 02 01 05 02 28 86"},
      {"report type 6 by shifts",
       [&](EklzSession& s) { r = AskReport(s, false, 6, {}, {}, 1, 10, false, true); },
       "02 06 22 06 00 01 00 0A 29"},
  });
}

TEST_F(Reports, TheFirstFourTypesAreRefusedWithoutARequest) {
  Device();
  for (int type = 0; type < 4; ++type) {
    Clear();
    r = AskReport(t.session, false, type, {2005, 1, 1}, {2005, 1, 2}, 1, 2, false, true);
    EXPECT_EQ(t.sink.result, (Lines{"Запрос отчета:",
                                    "Выбранный Вами тип отчета в данной версии ЭКЛЗ не подерживается"}));
    EXPECT_TRUE(t.sink.protocol.empty());
  }
  EXPECT_TRUE(Requests().empty());
}

TEST_F(Reports, ValuesTheRequestCannotCarryAreRefused) {
  Device();
  const std::string shift = "Номер смены должен быть в пределах от 0 до 32767";
  ExpectRefused(t, [&] { r = AskControlTape(t.session, false, 32768, false, true); }, shift);
  ExpectRefused(t, [&] { r = AskShiftTotals(t.session, false, -1, false, true); }, shift);
  ExpectRefused(t, [&] { r = AskReport(t.session, false, 7, {}, {}, 0, 40000, false, true); }, shift);
  ExpectRefused(t, [&] { r = AskDocument(t.session, false, 100000000, false, true); },
                "Номер КПК должен быть в пределах от 0 до 99999999");
  ExpectRefused(t, [&] { r = AskReport(t.session, false, 8, {}, {}, 0, 0, false, true); },
                "Тип отчёта должен быть в пределах от 0 до 7");
  EXPECT_TRUE(Requests().empty());
}

TEST_F(Reports, TheViewShowsFetchedFragmentsIndentedAndTheFirstLast) {
  int step = 0;
  Device([&](const Bytes&) {
    switch (step++) {
      case 0: return DeviceReply(0, B("0E 00 01 05 01 19 09 30 01"));
      case 1: return DeviceReply(0, B("06 00 00 00 10 00"));
      default: return DeviceReply(8);
    }
  });
  r = AskControlTape(t.session, false, 1, false, true);
  EXPECT_EQ(t.sink.result,
            (Lines{"Запрос контрольной ленты:", "    Смена №1", "Запрос успешно отправлен", "",
                   "Состояние операции: Нормальное  завершение", "",
                   "    Итог документа. Код фрагмента 06H", "    Сумма:10.00", "",
                   "Заголовок смены. Код фрагмента 0EH", "    Смена:1", "    Дата:19.01.05",
                   "    Время:09:30", "    Код оператора:1", ""}));

  // Text form: each fragment is one line.
  step = 0;
  Device([&](const Bytes&) {
    switch (step++) {
      case 0: return DeviceReply(0, B("91 8C 85 8D 80 20 31"));  // "СМЕНА 1"
      case 1: return DeviceReply(0, B("88 92 8E 83"));           // "ИТОГ"
      default: return DeviceReply(8);
    }
  });
  Clear();
  r = AskReport(t.session, true, 6, {}, {}, 1, 1, false, true);
  EXPECT_EQ(Lines(t.sink.result.begin() + 4, t.sink.result.end()),
            (Lines{"Запрос успешно отправлен", "", "Состояние операции: Нормальное  завершение", "",
                   "    ИТОГ", "СМЕНА 1"}));
  EXPECT_EQ(Lines(t.sink.result.begin(), t.sink.result.begin() + 4),
            (Lines{"Запрос отчета:", "    Отчет по сменам", "    № смены начала отчета:1",
                   "    № смены окончания отчета:1"}));
  Clear();
  step = 0;
  r = AskReport(t.session, false, 4, {2005, 1, 19}, {2005, 1, 31}, 0, 0, false, true);
  EXPECT_EQ(Lines(t.sink.result.begin(), t.sink.result.begin() + 4),
            (Lines{"Запрос отчета:", "    Отчет по Датам", "    Дата начала отчета:19.01.2005",
                   "    Дата окончания отчета:31.01.2005"}));
}

}  // namespace
}  // namespace eklz::test
