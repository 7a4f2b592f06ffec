#include "commands/Documents.h"

#include "commands/Common.h"
#include "protocol/Errors.h"

namespace eklz {

namespace {

constexpr long double kMaxQuantity = 99999999;   // thousandths
constexpr long double kMaxSum = 9999999999;      // hundredths

const char* const kQuantityTooLarge = "Слишком большая величина количества товара";
const char* const kSumTooLarge = "Слишком большая величина суммы";

// The quantity field: thousandths, 8 BCD digits.
std::string QuantityField(double quantity) {
  if (quantity < 0) throw TEKLZException("Количество товара не может быть отрицательным");
  const long double v = RoundHalfEven(static_cast<long double>(quantity) * 1000);
  if (v > kMaxQuantity) throw TEKLZException(kQuantityTooLarge);
  return BcdField(static_cast<int64_t>(v), 8);
}

// A money field: hundredths, 10 BCD digits; the messages name what the sum is.
std::string SumField(double sum, const char* tooLarge, const char* negative) {
  if (sum < 0) throw TEKLZException(negative);
  const long double v = RoundHalfEven(static_cast<long double>(sum) * 100);
  if (v > kMaxSum) throw TEKLZException(tooLarge);
  return BcdField(static_cast<int64_t>(v), 10);
}

std::string ItemSumField(double sum) {
  return SumField(sum, kSumTooLarge, "Сумма не может быть отрицательной");
}

// Sale, purchase and both returns: one line of a document.
std::string DoItem(EklzSession& s, uint8_t command, const char* heading, uint8_t department,
                   double quantity, double sum, bool quiet, bool logExchange) {
  s.AppendResultLine(heading, quiet);
  s.AppendResultLine("    Отдел №" + std::to_string(department), quiet);
  s.AppendResultLine("    Количество: " + FormatGeneral(quantity), quiet);
  s.AppendResultLine("    Сумма: " + FormatGeneral(sum), quiet);
  std::string frame = RequestStart(command, 10) + ByteField(department);
  frame += QuantityField(quantity);
  frame += ItemSumField(sum);
  return SendForResult(s, FinishFrame(frame), quiet, logExchange);
}

std::string DoDocumentSum(EklzSession& s, uint8_t command, const char* heading, double sum,
                          const char* tooLarge, const char* negative, bool quiet,
                          bool logExchange) {
  s.AppendResultLine(heading, quiet);
  s.AppendResultLine("    Сумма: " + FormatGeneral(sum), quiet);
  const std::string frame = RequestStart(command, 5) + SumField(sum, tooLarge, negative);
  return SendForResult(s, FinishFrame(frame), quiet, logExchange);
}

}  // namespace

std::string ReversedCommandName(uint8_t command) {
  switch (command) {
    case kCmdSale: return "продажи";
    case kCmdBuy: return "покупки";
    case kCmdReturnSale: return "возврата продажи";
    case kCmdReturnBuy: return "возврата покупки";
    case kCmdDiscount: return "скидки";
    case kCmdMargin: return "наценки";
    default: return "";
  }
}

std::string DoSale(EklzSession& s, uint8_t department, double quantity, double sum, bool quiet,
                   bool logExchange) {
  return DoItem(s, kCmdSale, "Выполнение продажи", department, quantity, sum, quiet, logExchange);
}

std::string DoBuy(EklzSession& s, uint8_t department, double quantity, double sum, bool quiet,
                  bool logExchange) {
  return DoItem(s, kCmdBuy, "Выполнение покупки", department, quantity, sum, quiet, logExchange);
}

std::string DoReturnSale(EklzSession& s, uint8_t department, double quantity, double sum,
                         bool quiet, bool logExchange) {
  return DoItem(s, kCmdReturnSale, "Выполнение возврата продажи", department, quantity, sum, quiet,
                logExchange);
}

std::string DoReturnBuy(EklzSession& s, uint8_t department, double quantity, double sum,
                        bool quiet, bool logExchange) {
  return DoItem(s, kCmdReturnBuy, "Выполнение возврата покупки", department, quantity, sum, quiet,
                logExchange);
}

std::string DoDiscount(EklzSession& s, double sum, bool quiet, bool logExchange) {
  return DoDocumentSum(s, kCmdDiscount, "Выполнение скидки", sum,
                       "Слишком большая величина скидки", "Сумма скидки не может быть отрицательной",
                       quiet, logExchange);
}

std::string DoMargin(EklzSession& s, double sum, bool quiet, bool logExchange) {
  return DoDocumentSum(s, kCmdMargin, "Выполнение наценки", sum,
                       "Слишком большая величина наценки",
                       "Сумма наценки не может быть отрицательной", quiet, logExchange);
}

std::string DoStorno(EklzSession& s, uint8_t reversedCommand, uint8_t department, double sum,
                     double quantity, bool quiet, bool logExchange) {
  s.AppendResultLine("Выполнение сторно " + ReversedCommandName(reversedCommand), quiet);
  s.AppendResultLine("    Сумма: " + FormatGeneral(sum), quiet);
  std::string frame;
  if (reversedCommand < 0x14) {
    frame = RequestStart(kCmdStorno, 11) + ByteField(reversedCommand) + ByteField(department);
    frame += QuantityField(quantity);
  } else {
    frame = RequestStart(kCmdStorno, 6) + ByteField(reversedCommand);
  }
  frame += ItemSumField(sum);
  return SendForResult(s, FinishFrame(frame), quiet, logExchange);
}

std::string DoFinishDocument(EklzSession& s, bool textForm, uint8_t operatorCode,
                             const CalendarDate& date, const ClockTime& time, bool quiet,
                             bool logExchange) {
  s.AppendResultLine("Завершение документа", quiet);
  s.AppendResultLine("    Дата: " + FormatShortDate(date), quiet);
  s.AppendResultLine("    Время: " + FormatLongTime(time), quiet);
  s.AppendResultLine("    Оператор: " + std::to_string(operatorCode), quiet);
  const uint8_t command = FormCode(kCmdFinishDocument, textForm);
  const std::string frame =
      RequestStart(command, 6) + DateField(date) + TimeField(time) + ByteField(operatorCode);
  SendFrame(s, FinishFrame(frame), logExchange);
  s.AppendResultLine(kRequestSent, quiet);
  s.AppendResultLine(kAwaitingReply, quiet);
  std::string result;
  ReceiveReply(s, true, textForm, false, false, true, "0B", quiet, logExchange, false, result);
  s.AppendResultLine(kResultLabel + result, quiet);
  return result;
}

std::string DoAbort(EklzSession& s, bool quiet, bool logExchange) {
  s.AppendResultLine("Выполнение отмены документа или формирования отчёта", quiet);
  return SendForResult(s, FinishFrame(RequestStart(kCmdAbort, 0)), quiet, logExchange);
}

}  // namespace eklz
