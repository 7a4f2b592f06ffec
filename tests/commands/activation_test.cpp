// Activation and exchange parameters.
#include "commands/Activation.h"
#include "commands/CommandTest.h"

namespace eklz::test {
namespace {

class Activation : public CommandTest {
 protected:
  void Activate(bool textForm, const std::string& serial, const std::string& inn,
                const std::string& reg, const std::string& name, int width, int shift,
                bool logExchange = true) {
    result = DoActivate(t.session, textForm, serial, {2005, 1, 19}, {16, 47, 0}, inn, reg, name,
                        width, shift, false, logExchange);
  }
  std::string result;
};

TEST_F(Activation, FramesOfBothWidthsAndForms) {
  Device();
  const std::string alphabet40 = "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMN";
  ExpectFrames(t, *device, {
      {"width 16, the name padded",
       [&](EklzSession&) { Activate(false, "123456789012", "771234567890", "000000012345", "ABC", 16, 300); },
       "02 31 01 05 01 19 16 47 31 32 33 34 35 36 37 38 39 30 31 32 77 12 34 56 78 90 00 00 00 "
       "01 23 45 01 2C 10 41 42 43 20 20 20 20 20 20 20 20 20 20 20 20 20 AB"},
      {"width 40 with a 40-character name",
       [&](EklzSession&) { Activate(false, "123456789012", "771234567890", "000000012345", alphabet40, 40, 5); },
       "02 49 01 05 01 19 16 47 31 32 33 34 35 36 37 38 39 30 31 32 77 12 34 56 78 90 00 00 00 "
       "01 23 45 00 05 28 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 51 52 53 54 55 56 57 "
       "58 59 5A 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E B7"},
      {"text form, Cyrillic name in CP866",
       [&](EklzSession& s) {
         s.settings.Win1251 = false;
         Activate(true, "123456789012", "771234567890", "000000012345", "Касса", 16, 300);
         s.settings.Win1251 = true;
       },
       "02 31 81 05 01 19 16 47 31 32 33 34 35 36 37 38 39 30 31 32 77 12 34 56 78 90 00 00 00 "
       "01 23 45 01 2C 10 8A A0 E1 E1 A0 20 20 20 20 20 20 20 20 20 20 20 E1"},
  });
}

TEST_F(Activation, LinesAndTheRequestIsAlwaysLogged) {
  Device();
  Activate(false, "123456789012", "771234567890", "000000012345", "ABC", 16, 300, false);
  EXPECT_EQ(t.sink.result,
            (Lines{"Активизация ЭКЛЗ:", "    Дата активизации:19.01.2005",
                   "    Время активизации:16:47:00", "    Заводской № ККМ:123456789012",
                   "    ИНН:771234567890", "    Регистрационный № ЭКЛЗ:000000012345",
                   "    № последней смены:300", "    Количество символов в строке ККМ:16",
                   "    Имя ККМ (тип):ABC", "Запрос успешно отправлен.", "",
                   "Состояние операции: Нормальное  завершение", "",
                   "Результат активизации: Строка КПК. Код фрагмента 0BH", "    Номер КПК:00000123",
                   "    Значение КПК:A1B2C3", ""}));
  // Only the request: the reply pieces follow logExchange.
  ASSERT_EQ(t.sink.protocol.size(), 1u);
  EXPECT_EQ(t.sink.protocol[0].substr(0, 13), "==> 02 31 01 ");
}

TEST_F(Activation, MalformedFieldsAreRefusedBeforeAnything) {
  Device();
  struct Case {
    std::string serial, inn, reg, name;
    int width, shift;
    const char* message;
  } cases[] = {
      {"12345678901", "771234567890", "000000012345", "A", 16, 1,
       "Заводской номер ККМ должен содержать ровно 12 символов"},
      {"123456789012", "77123456789", "000000012345", "A", 16, 1, "ИНН должен содержать ровно 12 цифр"},
      {"123456789012", "77123456789A", "000000012345", "A", 16, 1, "ИНН должен содержать ровно 12 цифр"},
      {"123456789012", "771234567890", "0000000123 5", "A", 16, 1,
       "Регистрационный номер должен содержать ровно 12 цифр"},
      {"123456789012", "771234567890", "000000012345", "12345678901234567", 16, 1,
       "Имя ККМ (тип) не должно быть длиннее 16 символов"},
      {"123456789012", "771234567890", "000000012345", "A", 16, 65536,
       "Номер последней смены должен быть в пределах от 0 до 65535"},
      {"123456789012", "771234567890", "000000012345", "A", 256, 1,
       "Ширина строки принтера должна быть в пределах от 0 до 255"},
  };
  for (const Case& c : cases) {
    ExpectRefused(t, [&] { Activate(false, c.serial, c.inn, c.reg, c.name, c.width, c.shift); },
                  c.message);
  }
  EXPECT_TRUE(t.sink.result.empty());
}

TEST_F(Activation, ExchangeParametersReopenThePortAtTheNewRate) {
  Device();
  std::string result = DoSetExchangeParams(t.session, t.pty.SlavePath(), 5, 255, "57600", false, true);
  EXPECT_EQ(BytesToHex(Requests().at(0)), "02 03 02 05 FF FB ");
  EXPECT_EQ(result, "Операция успешно выполнена");
  EXPECT_EQ(t.session.Port().BaudRate(), 57600u);
  EXPECT_EQ(t.session.settings.BoundRate, "57600");
  EXPECT_EQ(t.session.settings.TimeOuts, 255);
  EXPECT_EQ(t.session.settings.ComPort, t.pty.SlavePath());
  EXPECT_EQ(t.sink.connectionStatus, "Соединение установлено: " + t.pty.SlavePath() + ", 57600");
  EXPECT_EQ(Lines(t.sink.result.begin() + 5, t.sink.result.end()),
            (Lines{"Результат операции: Операция успешно выполнена",
                   "Новые параметры обмена применены"}));
  // The reopened port works.
  result = DoSetExchangeParams(t.session, t.pty.SlavePath(), 2, 10, "9600", false, true);
  EXPECT_EQ(BytesToHex(Requests().at(1)), "02 03 02 02 0A 09 ");
}

TEST_F(Activation, ExchangeParameterFailures) {
  Device([](const Bytes&) { return DeviceReply(0x01); });
  std::string result;
  ExpectRefused(t, [&] { result = DoSetExchangeParams(t.session, "COM1", -1, 10, "", false, true); },
                "Не выбрана скорость обмена");
  ExpectRefused(t, [&] { result = DoSetExchangeParams(t.session, "COM1", 2, 1, "9600", false, true); },
                "Тайм-аут должен быть в пределах от 2 до 255");

  // The device refuses: the old port and settings stay.
  EXPECT_THROW(result = DoSetExchangeParams(t.session, "COM9", 3, 20, "19200", false, true),
               TEKLZException);
  EXPECT_EQ(t.session.Port().BaudRate(), 9600u);
  EXPECT_EQ(t.session.settings.BoundRate, "9600");

  // Accepted, but the new port cannot be opened: the link is closed and the
  // settings already hold the new values.
  Device();
  EXPECT_THROW(result = DoSetExchangeParams(t.session, "/dev/eklz-missing", 3, 20, "19200", false, true),
               ESystemError);
  EXPECT_FALSE(t.session.LinkOpen());
  EXPECT_EQ(t.session.settings.BoundRate, "19200");
  EXPECT_EQ(t.session.settings.ComPort, "/dev/eklz-missing");
}

}  // namespace
}  // namespace eklz::test
