#include "commands/Activation.h"

#include "commands/Common.h"
#include "commands/Limits.h"
#include "codec/CodePage.h"
#include "codec/Errors.h"

namespace eklz {

namespace {

bool TwelveDigits(const std::string& s) {
  if (s.size() != 12) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

std::string DoActivate(EklzSession& s, bool textForm, const std::string& serialNumber,
                       const CalendarDate& activationDate, const ClockTime& activationTime,
                       const std::string& inn, const std::string& regNumber,
                       const std::string& kkmName, int lineWidth, int lastShift, bool quiet,
                       bool logExchange) {
  // A request is only well formed with these lengths; refuse before anything.
  const std::string serialBytes = Utf8ToCp1251(serialNumber);
  if (serialBytes.size() != 12) {
    throw TEKLZException("Заводской номер ККМ должен содержать ровно 12 символов");
  }
  if (!TwelveDigits(inn)) throw TEKLZException("ИНН должен содержать ровно 12 цифр");
  if (!TwelveDigits(regNumber)) {
    throw TEKLZException("Регистрационный номер должен содержать ровно 12 цифр");
  }
  RequireRange(lastShift, 0, 65535, "Номер последней смены должен быть в пределах от 0 до 65535");
  RequireRange(lineWidth, 0, 255, "Ширина строки принтера должна быть в пределах от 0 до 255");
  const size_t nameLength = lineWidth == 16 ? 16 : 40;
  if (Utf8Length(kkmName) > nameLength) {
    throw TEKLZException("Имя ККМ (тип) не должно быть длиннее " + std::to_string(nameLength) +
                         " символов");
  }
  const std::string nameField =
      TextField(kkmName, nameLength, s.settings.Win1251 ? CodePage::Cp1251 : CodePage::Cp866);

  s.AppendResultLine("Активизация ЭКЛЗ:", quiet);
  std::string fields;
  s.AppendResultLine("    Дата активизации:" + FormatShortDate(activationDate), quiet);
  fields += DateField(activationDate);
  s.AppendResultLine("    Время активизации:" + FormatLongTime(activationTime), quiet);
  fields += TimeField(activationTime);
  fields += BytesToHex(serialBytes);
  s.AppendResultLine("    Заводской № ККМ:" + serialNumber, quiet);
  fields += DecimalToBcdHex(inn, 0);
  s.AppendResultLine("    ИНН:" + inn, quiet);
  fields += DecimalToBcdHex(regNumber, 0);
  s.AppendResultLine("    Регистрационный № ЭКЛЗ:" + regNumber, quiet);
  fields += WordField(static_cast<unsigned>(lastShift));
  s.AppendResultLine("    № последней смены:" + std::to_string(lastShift), quiet);
  fields += ByteField(static_cast<unsigned>(lineWidth));
  s.AppendResultLine("    Количество символов в строке ККМ:" + std::to_string(lineWidth), quiet);
  s.AppendResultLine("    Имя ККМ (тип):" + kkmName, quiet);
  fields += nameField;

  // The activation request always goes to the protocol view.
  SendOptions options;
  options.sentLine = "Запрос успешно отправлен.";
  options.awaitLine = false;
  options.resultLabel = "Результат активизации: ";
  options.alwaysLogRequest = true;
  return SendForResult(s, BuildRequest(FormCode(code::kActivate, textForm), fields),
                       textForm ? ReplyDelivery::Text() : ReplyDelivery::Fragments("0B"), quiet,
                       logExchange, options);
}

std::string DoSetExchangeParams(EklzSession& s, const std::string& portName, int rateIndex,
                                int timeout, const std::string& rateText, bool quiet,
                                bool logExchange) {
  RequireRange(rateIndex, 0, 5, "Не выбрана скорость обмена");
  RequireInRange(kExchangeTimeoutRange, timeout);
  s.AppendResultLine("Установка параметров обмена", quiet);
  const std::string frame =
      BuildRequest(code::kExchangeParams, ByteField(static_cast<unsigned>(rateIndex)) +
                                              ByteField(static_cast<unsigned>(timeout)));
  SendOptions options;
  options.awaitLine = false;
  const std::string result =
      SendForResult(s, frame, ReplyDelivery::ResultOnly(), quiet, logExchange, options);

  // The device now talks at the new rate: reopen the port to match it.
  s.ClosePort();
  s.settings.BoundRate = rateText;
  s.settings.TimeOuts = timeout;
  s.settings.ComPort = portName;
  s.OpenPort(portName, rateText, timeout);
  s.ShowLinkEstablished();
  s.AppendResultLine("Новые параметры обмена применены", quiet);
  return result;
}

}  // namespace eklz
