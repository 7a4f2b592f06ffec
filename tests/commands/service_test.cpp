// Shift and archive service commands.
#include <chrono>

#include "commands/CommandTest.h"
#include "commands/Service.h"

namespace eklz::test {
namespace {

class Service : public CommandTest {};

TEST_F(Service, EachOperationSendsItsFrame) {
  Device();
  ExpectFrames(t, *device, {
      {"shift closing worked example",
       [](EklzSession& s) { DoCloseShift(s, 1, {2005, 1, 19}, {16, 47, 0}, false, true); },
       "02 07 09 05 01 19 16 47 01 43"},
      // The checksum follows the XOR rule over every byte after STX.
      {"free text ABC",
       [](EklzSession& s) { DoFreeText(s, 0, 1, 0, "ABC", false, false, true); },
       "02 13 04 10 01 41 42 43 20 20 20 20 20 20 20 20 20 20 20 20 20 66"},
      {"free text cut to 16 characters",
       [](EklzSession& s) { DoFreeText(s, 0, 1, 1, "12345678901234567890", false, false, true); },
       "02 13 04 11 01 31 32 33 34 35 36 37 38 39 30 31 32 33 34 35 36 01"},
      {"free text, 40 characters",
       [](EklzSession& s) { DoFreeText(s, 1, 99, 4, "12345678901234567890", false, false, true); },
       "02 2B 04 16 63 31 32 33 34 35 36 37 38 39 30 31 32 33 34 35 36 37 38 39 30 20 20 20 20 "
       "20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 5A"},
      {"Cyrillic in CP866",
       [](EklzSession& s) { DoFreeText(s, 0, 5, 7, "При", false, false, true); },
       "02 13 04 99 05 8F E0 A8 20 20 20 20 20 20 20 20 20 20 20 20 20 6C"},
      {"Cyrillic in Windows-1251",
       [](EklzSession& s) { DoFreeText(s, 0, 5, 7, "При", true, false, true); },
       "02 13 04 99 05 CF F0 E8 20 20 20 20 20 20 20 20 20 20 20 20 20 7C"},
      {"archive closing", [](EklzSession& s) { DoCloseArchive(s, false, true); }, "02 01 0A 0B"},
      {"archive flag lifted", [](EklzSession& s) { DoCancelCloseArchive(s, false, true); },
       "02 01 40 41"},
  });
}

TEST_F(Service, FreeTextLinesShowTheWholeTextAndNoWaitLine) {
  Device();
  DoFreeText(t.session, 0, 1, 0, "12345678901234567890", false, false, true);
  EXPECT_EQ(t.sink.result, (Lines{"Ввод произольного текста", "Длина текста 16 символов",
                                  "    Отдел №1",
                                  "    Привязка к: \"Продажа\".  код привязки16",
                                  "    Текст: 12345678901234567890", "Запрос успешно отправлен", "",
                                  "Состояние операции: Нормальное  завершение", "",
                                  "Результат операции: Операция успешно выполнена"}));
  Clear();
  DoCloseShift(t.session, 3, {2005, 1, 19}, {16, 47, 5}, false, true);
  EXPECT_EQ(Lines(t.sink.result.begin(), t.sink.result.begin() + 6),
            (Lines{"Закрытие смены", "    Дата: 19.01.2005", "    Время: 16:47:05",
                   "    Опертор: 3", "Запрос успешно отправлен", "Ожидание ответа..."}));
}

TEST_F(Service, FreeTextRefusals) {
  Device();
  ExpectRefused(t, [&] { DoFreeText(t.session, 0, 1, -1, "A", false, false, true); },
                "Не выбран код привязки текста");
  ExpectRefused(t, [&] { DoFreeText(t.session, 0, 256, 0, "A", false, false, true); },
                "Номер отдела должен быть в пределах от 0 до 255");
  ExpectRefused(t, [&] { DoFreeText(t.session, 0, 1, 0, "€", false, false, true); },
                "Символ \"€\" невозможно передать в кодировке CP866");
  EXPECT_TRUE(t.sink.result.empty());
}

TEST_F(Service, InitialisationWaitsFourSecondsAfterTheAck) {
  Device();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(DoInitArchive(t.session, false, true), "Операция успешно выполнена");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4000));
  EXPECT_EQ(BytesToHex(Requests().at(0)), "02 01 26 27 ");
  EXPECT_EQ(t.sink.result, (Lines{"Выполнение инициализации архива", "Запрос успешно отправлен",
                                  "Ожидание ответа...",
                                  "Задержка 4 секунды на выполнение операции...", "",
                                  "Состояние операции: Нормальное  завершение", "",
                                  "Результат операции: Операция успешно выполнена"}));
}

}  // namespace
}  // namespace eklz::test
