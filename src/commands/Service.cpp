#include "commands/Service.h"

#include "commands/Common.h"
#include "codec/CodePage.h"

namespace eklz {

std::string DoCloseShift(EklzSession& s, uint8_t operatorCode, const CalendarDate& date,
                         const ClockTime& time, bool quiet, bool logExchange) {
  s.AppendResultLine("Закрытие смены", quiet);
  s.AppendResultLine("    Дата: " + FormatShortDate(date), quiet);
  s.AppendResultLine("    Время: " + FormatLongTime(time), quiet);
  s.AppendResultLine("    Опертор: " + std::to_string(operatorCode), quiet);
  const std::string frame = BuildRequest(code::kCloseShift, DateField(date) + TimeField(time) +
                                                                ByteField(operatorCode));
  return SendForResult(s, frame, ReplyDelivery::ResultOnly(), quiet, logExchange);
}

std::string DoFreeText(EklzSession& s, int lengthChoice, int department, int binding,
                       const std::string& text, bool win1251, bool quiet, bool logExchange) {
  RequireRange(binding, 0, 7, "Не выбран код привязки текста");
  RequireRange(department, 0, 255, "Номер отдела должен быть в пределах от 0 до 255");
  const FreeTextBinding& bind = kFreeTextBindings[binding];
  const size_t n = lengthChoice == 0 ? 16 : 40;

  // The bytes are built first so that a character the code page cannot hold
  // is refused before any line is written.
  const std::string sent = Utf8Left(text, n);
  const std::string textField = TextField(sent, n, win1251 ? CodePage::Cp1251 : CodePage::Cp866);

  s.AppendResultLine("Ввод произольного текста", quiet);
  s.AppendResultLine(n == 16 ? "Длина текста 16 символов" : "Длина текста 40 символов", quiet);
  s.AppendResultLine("    Отдел №" + std::to_string(department), quiet);
  s.AppendResultLine("    Привязка к: \"" + std::string(bind.itemText) + "\".  код привязки" +
                         std::to_string(bind.code),
                     quiet);
  s.AppendResultLine("    Текст: " + text, quiet);
  const std::string frame =
      BuildRequest(code::kFreeText, ByteField(bind.code) +
                                        ByteField(static_cast<unsigned>(department)) + textField);
  SendOptions options;
  options.awaitLine = false;
  return SendForResult(s, frame, ReplyDelivery::ResultOnly(), quiet, logExchange, options);
}

std::string DoCloseArchive(EklzSession& s, bool quiet, bool logExchange) {
  s.AppendResultLine("Выполнение закрытия архива", quiet);
  return SendForResult(s, BuildRequest(code::kCloseArchive), ReplyDelivery::ResultOnly(), quiet,
                       logExchange);
}

std::string DoCancelCloseArchive(EklzSession& s, bool quiet, bool logExchange) {
  s.AppendResultLine("Выполнение снятия флага закрытия архива", quiet);
  return SendForResult(s, BuildRequest(code::kLiftArchiveClosed), ReplyDelivery::ResultOnly(),
                       quiet, logExchange);
}

std::string DoInitArchive(EklzSession& s, bool quiet, bool logExchange) {
  s.AppendResultLine("Выполнение инициализации архива", quiet);
  return SendForResult(s, BuildRequest(code::kInitArchive), ReplyDelivery::ResultOnly().WithWait4s(),
                       quiet, logExchange);
}

}  // namespace eklz
