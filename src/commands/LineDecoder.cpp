#include "commands/LineDecoder.h"

#include "codec/CodePage.h"
#include "codec/CommandCodes.h"
#include "codec/Errors.h"
#include "commands/Common.h"
#include "commands/Documents.h"
#include "commands/Service.h"
#include "commands/Status.h"
#include "protocol/AnswerCodes.h"
#include "protocol/Exchange.h"
#include "protocol/Fragments.h"
#include "protocol/Session.h"

namespace eklz {

namespace {

constexpr size_t kStatusBytes = 20;
constexpr size_t kShiftStatusBytes = 26;

// Hexadecimal digits of `size` bytes from `at`, without blanks.
std::string Digits(const Bytes& data, size_t at, size_t size) {
  if (at >= data.size()) return {};
  return RemoveBlanks(BytesToHex(data.data() + at, std::min(size, data.size() - at)));
}

bool AllDecimal(const std::string& digits) {
  if (digits.empty()) return false;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// A BCD field as a number in the general format with `decimals` places, or
// its digits as they came when one is not decimal.
std::string BcdNumber(const Bytes& data, size_t at, size_t size, int decimals) {
  const std::string digits = Digits(data, at, size);
  if (!AllDecimal(digits)) return digits;
  long double value = static_cast<long double>(BcdDigitsValue(digits));
  for (int i = 0; i < decimals; ++i) value /= 10;
  return FormatGeneral(value);
}

unsigned Word(const Bytes& data, size_t at) {
  return at + 1 < data.size() ? data[at] * 256u + data[at + 1] : 0;
}

unsigned Byte(const Bytes& data, size_t at) { return at < data.size() ? data[at] : 0; }

// A date field (YY MM DD) in the short date format; digits that make no
// date are shown as they came.
std::string DateText(const Bytes& data, size_t at) {
  if (at + 3 > data.size()) return Digits(data, at, 3);
  const std::string digits = Digits(data, at, 3);
  if (!AllDecimal(digits)) return digits;
  const int yy = std::stoi(digits.substr(0, 2)), mm = std::stoi(digits.substr(2, 2)),
            dd = std::stoi(digits.substr(4, 2));
  if (!IsValidDate(2000 + yy, mm, dd)) return digits;
  return FormatShortDate(CalendarDate{2000 + yy, mm, dd});
}

// A time field (HH MM, binary) in the long time format.
std::string TimeText(const Bytes& data, size_t at) {
  return FormatLongTime(ClockTime{static_cast<int>(Byte(data, at)),
                                  static_cast<int>(Byte(data, at + 1)), 0});
}

std::string Number(unsigned n) { return std::to_string(n); }

// Text bytes of a frame without the blanks that pad them on the right.
std::string TextBytes(const Bytes& data, size_t at, const LineContext& context) {
  if (at >= data.size()) return {};
  std::string bytes(data.begin() + static_cast<std::ptrdiff_t>(at), data.end());
  while (!bytes.empty() && bytes.back() == ' ') bytes.pop_back();
  return ToUtf8(bytes, context.win1251 ? CodePage::Cp1251 : CodePage::Cp866);
}

const char* ItemHeading(uint8_t command) {
  switch (command) {
    case code::kSale: return "Выполнение продажи";
    case code::kPurchase: return "Выполнение покупки";
    case code::kSaleReturn: return "Выполнение возврата продажи";
    default: return "Выполнение возврата покупки";
  }
}

const char* ReportHeading(uint8_t base) {
  switch (base) {
    case code::kControlTape: return "Запрос контрольной ленты:";
    case code::kShiftTotals: return "Запрос итогов смены:";
    default: return "Запрос документа:";
  }
}

// The request's data: every byte after the command up to the checksum.
Bytes RequestData(const Bytes& frame) {
  if (frame.size() < 4) return {};
  return Bytes(frame.begin() + 3, frame.end() - 1);
}

// Lines of a request whose fields are not what the command takes.
std::vector<std::string> RawRequest(const std::string& what, const Bytes& frame) {
  std::string hex = BytesToHex(frame);
  if (!hex.empty()) hex.pop_back();
  return {what, "    " + hex};
}

std::string AnswerLine(uint8_t command) {
  switch (command) {
    case code::kStatus:
    case code::kArchiveTest:
    case code::kDump: return kResultLabel;
    default: return kStateLabel;
  }
}

// Report data decoded as the tester shows it: CP866 text or fragments.
std::string ReportText(const Bytes& data, bool text, const std::string& prefix, bool win1251) {
  if (text) return Cp866ToUtf8(std::string(data.begin(), data.end()));
  try {
    return DecodeFragments(win1251, prefix + Digits(data, 0, data.size())).text;
  } catch (const std::exception&) {
    // An activation date that is no date: the fragment as it came.
    return prefix + Digits(data, 0, data.size());
  }
}

// The data lines of a reply with a good answer to `command`.
std::vector<std::string> DataLines(uint8_t command, const Bytes& request, const Bytes& data,
                                   const LineContext& context) {
  const uint8_t base = command & static_cast<uint8_t>(~code::kTextForm);
  const bool text = (command & code::kTextForm) != 0;
  const std::string hex = Digits(data, 0, data.size());
  switch (base) {
    case code::kStatus: {
      std::string bad;
      std::vector<std::string> lines = Byte(RequestData(request), 0) == 0x02
                                           ? ShiftStatusLines(data, &bad)
                                           : StatusRecordLines(data, &bad);
      if (!bad.empty()) lines.push_back("Недесятичные цифры в поле: " + bad);
      return lines;
    }
    case code::kDump: return {"Дамп:", hex};
    case code::kReportData:
      if (data.empty()) return {};
      return {"    " + ReportText(data, context.reportText, {}, context.win1251)};
    case code::kComplete:
      return {kResultLabel + ReportText(data, text, "0B", context.win1251)};
    case code::kControlTape:
    case code::kDocument:
    case code::kReport:
    case code::kShiftTotals:
    case code::kActivationResult:
    case code::kActivate:
      return {ReportText(data, text, {}, context.win1251)};
    case code::kRegNumber:
      return {"Регистрационный номер ЭКЛЗ:" +
              (text ? Cp866ToUtf8(std::string(data.begin(), data.end())) : hex)};
    case code::kVersion:
      return {"Версия ЭКЛЗ:" + Cp866ToUtf8(std::string(data.begin(), data.end()))};
    case code::kCryptoSerial: return {"Серийный номер криптопроцессора (HEX): " + hex};
    case code::kCurrentKpk:
      if (hex.empty() || hex.size() > 8) return {"Текущий номер КПК (HEX): " + hex};
      return {"Текущий номер КПК: " +
              std::to_string(static_cast<int32_t>(std::stoul(hex, nullptr, 16)))};
    case code::kProcessorDump: return {"Дамп процессора (HEX): " + hex};
    case code::kArchiveTest: return {};
    default: return {kResultLabel + std::string(kSuccessText)};
  }
}

}  // namespace

std::vector<std::string> StatusRecordLines(const Bytes& data, std::string* badDigits) {
  if (data.size() < kStatusBytes) return {};
  const std::string d = Digits(data, 0, kStatusBytes);
  std::vector<std::string> lines;
  const auto decimal = [&](const std::string& digits) {
    if (AllDecimal(digits)) return true;
    if (badDigits) *badDigits = digits;
    return false;
  };
  if (!decimal(d.substr(0, 10))) return lines;
  lines.push_back("Итог документа: " + ShortAmount(d.substr(0, 10)));
  lines.push_back("Дата: " + d.substr(14, 2) + "." + d.substr(12, 2) + "." + d.substr(10, 2));
  lines.push_back("Время: " + d.substr(16, 2) + ":" + d.substr(18, 2));
  if (!decimal(d.substr(20, 8))) return lines;
  lines.push_back("Номер КПК: " + std::to_string(BcdDigitsValue(d.substr(20, 8))));
  lines.push_back("Номер ЭКЛЗ: " + d.substr(28, 10));
  lines.push_back("Флаги состояния(hex):0x" + d.substr(38, 2));
  for (std::string& line : StatusFlagLines(data[19])) lines.push_back(std::move(line));
  return lines;
}

std::vector<std::string> ShiftStatusLines(const Bytes& data, std::string* badDigits) {
  if (data.size() < kShiftStatusBytes) return {};
  const std::string d = Digits(data, 0, kShiftStatusBytes);
  std::vector<std::string> lines{"Номер смены: " + std::to_string(data[0] * 256 + data[1])};
  static const char* const kLabels[] = {
      "Итог по продажам за смену: ", "Итог по покупкам за смену: ",
      "Итог по возвратам продаж за смену: ", "Итог по возвратам покупок за смену: "};
  for (int i = 0; i < 4; ++i) {
    const std::string digits = d.substr(4 + 12 * i, 12);
    if (!AllDecimal(digits)) {
      if (badDigits) *badDigits = digits;
      break;
    }
    lines.push_back(kLabels[i] + ShortAmount(digits));
  }
  return lines;
}

size_t RequestFrameSize(const uint8_t* bytes, size_t size) {
  if (size < 2 || bytes[0] != kStx) return 0;
  return static_cast<size_t>(bytes[1]) + 3;
}

size_t ReplyFrameSize(const Bytes& request, const uint8_t* bytes, size_t size) {
  if (size == 0) return 0;
  if (bytes[0] != kAck) return 1;
  if (size < 2) return 0;
  if (bytes[1] != kStx) return 2;
  if (size < 4) return 0;
  const uint8_t length = bytes[2];
  const bool good = DecodeAnswerCode(bytes[3]).Code == 0;
  const uint8_t command = request.size() > 2 ? request[2] : 0;
  const uint8_t selector = request.size() > 3 ? request[3] : 0;
  size_t data = length > 0 ? length - 1u : 0;
  if (command == code::kDump && good && length == ((kArchivePageSize + 1) & 0xFF)) {
    data = kArchivePageSize;
  } else if (command == code::kStatus && good) {
    data = selector == 0x02 ? kShiftStatusBytes : kStatusBytes;
  } else if (command == code::kArchiveTest) {
    data = 0;
  }
  return 4 + data + 1;
}

std::string RequestFault(const Bytes& frame) {
  if (frame.empty() || frame[0] != kStx) return "нет STX в начале запроса";
  if (frame.size() < 4 || frame.size() != static_cast<size_t>(frame[1]) + 3) {
    return "неверная длина запроса";
  }
  if (XorBytes(frame.data() + 1, frame.size() - 2) != frame.back()) {
    return "неверная контрольная сумма запроса";
  }
  return {};
}

std::vector<std::string> DescribeRequest(const Bytes& frame, LineContext& context) {
  const std::string fault = RequestFault(frame);
  if (!fault.empty()) return RawRequest("Запрос: " + fault, frame);
  const uint8_t command = frame[2];
  const uint8_t base = command & static_cast<uint8_t>(~code::kTextForm);
  const bool text = (command & code::kTextForm) != 0;
  const Bytes d = RequestData(frame);
  const auto need = [&](size_t n) { return d.size() >= n; };
  const auto unexpected = [&] {
    return RawRequest(CommandCodeName(command) + ": неожиданные поля", frame);
  };

  switch (base) {
    case code::kSale:
    case code::kPurchase:
    case code::kSaleReturn:
    case code::kPurchaseReturn:
      if (text || !need(10)) return unexpected();
      return {ItemHeading(base), "    Отдел №" + Number(d[0]),
              "    Количество: " + BcdNumber(d, 1, 4, 3), "    Сумма: " + BcdNumber(d, 5, 5, 2)};
    case code::kDiscount:
    case code::kMarkup:
      if (text || !need(5)) return unexpected();
      return {base == code::kDiscount ? "Выполнение скидки" : "Выполнение наценки",
              "    Сумма: " + BcdNumber(d, 0, 5, 2)};
    case code::kStorno: {
      if (text || !need(1)) return unexpected();
      const size_t sumAt = d[0] < 0x14 ? 6 : 1;
      if (!need(sumAt + 5)) return unexpected();
      return {"Выполнение сторно " + ReversedCommandName(d[0]),
              "    Сумма: " + BcdNumber(d, sumAt, 5, 2)};
    }
    case code::kComplete:
      if (!need(6)) return unexpected();
      return {"Завершение документа", "    Дата: " + DateText(d, 0),
              "    Время: " + TimeText(d, 3), "    Оператор: " + Number(d[5])};
    case code::kCloseShift:
      if (text || !need(6)) return unexpected();
      return {"Закрытие смены", "    Дата: " + DateText(d, 0), "    Время: " + TimeText(d, 3),
              "    Опертор: " + Number(d[5])};
    case code::kAbort:
      return {"Выполнение отмены документа или формирования отчёта"};
    case code::kStatus:
      if (!need(1)) return unexpected();
      return {d[0] == 0x02 ? "Запрос состояния ЭКЛЗ по смене" : "Запрос состояния ЭКЛЗ"};
    case code::kArchiveTest: return {"Тест архива"};
    case code::kDump:
      if (!need(2)) return unexpected();
      return {"Запрос дампа архива:", "    Страница №" + Number(Word(d, 0))};
    case code::kReportData: return {};
    case code::kExchangeParams: return {"Установка параметров обмена"};
    case code::kCloseArchive: return {"Выполнение закрытия архива"};
    case code::kLiftArchiveClosed: return {"Выполнение снятия флага закрытия архива"};
    case code::kInitArchive: return {"Выполнение инициализации архива"};
    case code::kFreeText: {
      if (text || !need(2)) return unexpected();
      std::vector<std::string> lines{"Ввод произольного текста",
                                     d.size() - 2 <= 16 ? "Длина текста 16 символов"
                                                        : "Длина текста 40 символов",
                                     "    Отдел №" + Number(d[1])};
      for (const FreeTextBinding& bind : kFreeTextBindings) {
        if (bind.code == d[0]) {
          lines.push_back("    Привязка к: \"" + std::string(bind.itemText) + "\".  код привязки" +
                          Number(bind.code));
        }
      }
      lines.push_back("    Текст: " + TextBytes(d, 2, context));
      return lines;
    }
    case code::kControlTape:
    case code::kShiftTotals:
      if (!need(2)) return unexpected();
      context.reportText = text;
      return {ReportHeading(base), "    Смена №" + Number(Word(d, 0))};
    case code::kDocument:
      if (!need(4)) return unexpected();
      context.reportText = text;
      return {ReportHeading(base), "    Номер КПК:" + BcdNumber(d, 0, 4, 0)};
    case code::kReport: {
      if (!need(1)) return unexpected();
      context.reportText = text;
      std::vector<std::string> lines{"Запрос отчета:"};
      if (d[0] >= 6 && need(5)) {
        lines.push_back("    Отчет по сменам");
        lines.push_back("    № смены начала отчета:" + Number(Word(d, 1)));
        lines.push_back("    № смены окончания отчета:" + Number(Word(d, 3)));
      } else if (d[0] < 6 && need(7)) {
        lines.push_back("    Отчет по Датам");
        lines.push_back("    Дата начала отчета:" + DateText(d, 1));
        lines.push_back("    Дата окончания отчета:" + DateText(d, 4));
      } else {
        return unexpected();
      }
      return lines;
    }
    case code::kActivationResult:
      context.reportText = text;
      return {"Запрос итога активизации"};
    case code::kRegNumber: return {"Запрос регистрационного номера ЭКЛЗ"};
    case code::kVersion: return {"Запрос версии ЭКЛЗ"};
    case code::kCryptoSerial: return {"Запрос серийного номера криптопроцессора"};
    case code::kCurrentKpk: return {"Запрос текущего номера КПК"};
    case code::kProcessorDump: return {"Запрос дампа одного из процессоров (?)"};
    case code::kActivate:
      context.reportText = text;
      return {"Активизация ЭКЛЗ:"};
    default: {
      std::string hex = BytesToHex(frame);
      hex.pop_back();
      return {"неизвестная команда " + IntToHex(command, 2) + "H", "    " + hex};
    }
  }
}

std::vector<std::string> DescribeReply(const Bytes& request, const Bytes& reply,
                                       const LineContext& context) {
  if (reply.empty()) return {"Устройство не отвечает"};
  if (reply[0] == kNak) return {kNakText, kCancelled};
  if (reply[0] != kAck) return {kBadAnswerText, kCancelled};
  if (reply.size() < 2) return {"Ответ оборван после ACK"};
  if (reply[1] != kStx) return {kNoStxText, kCancelled};
  const size_t size = ReplyFrameSize(request, reply.data(), reply.size());
  if (reply.size() < 4 || reply.size() < size) {
    return {"Ответ оборван: получено " + Counted(static_cast<long long>(reply.size()), "байт",
                                                  "байта", "байт") +
            " из " + (size > 0 ? std::to_string(size) : std::string("?"))};
  }
  const Bytes data(reply.begin() + 4, reply.begin() + static_cast<std::ptrdiff_t>(size) - 1);
  const uint8_t checksum = reply[size - 1];
  if (XorBytes(reply.data() + 2, size - 3) != checksum) {
    return {std::string(kBadChecksumText) + ". " + kCancelled};
  }
  const uint8_t command = request.size() > 2 ? request[2] : 0;
  const uint8_t answerByte = reply[3];
  const TAnswerInfo answer = DecodeAnswerCode(answerByte);
  std::vector<std::string> lines{"", AnswerLine(command) + answer.Message, ""};
  if (command == code::kArchiveTest) {
    lines.push_back(answerByte == 0x03 ? "Архив повреждён!" : "Архив в нормальном состоянии");
  }
  if (answer.Code != 0) return lines;
  for (const std::string& text : DataLines(command, request, data, context)) {
    for (std::string& line : ShownLines(text)) lines.push_back(std::move(line));
  }
  return lines;
}

uint32_t AgreedRate(const Bytes& request, const Bytes& reply) {
  if (!RequestFault(request).empty() || request[2] != code::kExchangeParams || request.size() < 5) {
    return 0;
  }
  if (reply.size() < 5 || reply[0] != kAck || reply[1] != kStx) return 0;
  if (DecodeAnswerCode(reply[3]).Code != 0) return 0;
  return ExchangeRateOfIndex(request[3]);
}

}  // namespace eklz
