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
  const std::string fields = ByteField(department) + QuantityField(quantity) + ItemSumField(sum);
  return SendForResult(s, BuildRequest(command, fields), ReplyDelivery::ResultOnly(), quiet,
                       logExchange);
}

std::string DoDocumentSum(EklzSession& s, uint8_t command, const char* heading, double sum,
                          const char* tooLarge, const char* negative, bool quiet,
                          bool logExchange) {
  s.AppendResultLine(heading, quiet);
  s.AppendResultLine("    Сумма: " + FormatGeneral(sum), quiet);
  return SendForResult(s, BuildRequest(command, SumField(sum, tooLarge, negative)),
                       ReplyDelivery::ResultOnly(), quiet, logExchange);
}

}  // namespace

std::string ReversedCommandName(uint8_t command) {
  switch (command) {
    case code::kSale: return "продажи";
    case code::kPurchase: return "покупки";
    case code::kSaleReturn: return "возврата продажи";
    case code::kPurchaseReturn: return "возврата покупки";
    case code::kDiscount: return "скидки";
    case code::kMarkup: return "наценки";
    default: return "";
  }
}

std::string DoSale(EklzSession& s, uint8_t department, double quantity, double sum, bool quiet,
                   bool logExchange) {
  return DoItem(s, code::kSale, "Выполнение продажи", department, quantity, sum, quiet, logExchange);
}

std::string DoBuy(EklzSession& s, uint8_t department, double quantity, double sum, bool quiet,
                  bool logExchange) {
  return DoItem(s, code::kPurchase, "Выполнение покупки", department, quantity, sum, quiet, logExchange);
}

std::string DoReturnSale(EklzSession& s, uint8_t department, double quantity, double sum,
                         bool quiet, bool logExchange) {
  return DoItem(s, code::kSaleReturn, "Выполнение возврата продажи", department, quantity, sum, quiet,
                logExchange);
}

std::string DoReturnBuy(EklzSession& s, uint8_t department, double quantity, double sum,
                        bool quiet, bool logExchange) {
  return DoItem(s, code::kPurchaseReturn, "Выполнение возврата покупки", department, quantity, sum, quiet,
                logExchange);
}

std::string DoDiscount(EklzSession& s, double sum, bool quiet, bool logExchange) {
  return DoDocumentSum(s, code::kDiscount, "Выполнение скидки", sum,
                       "Слишком большая величина скидки", "Сумма скидки не может быть отрицательной",
                       quiet, logExchange);
}

std::string DoMargin(EklzSession& s, double sum, bool quiet, bool logExchange) {
  return DoDocumentSum(s, code::kMarkup, "Выполнение наценки", sum,
                       "Слишком большая величина наценки",
                       "Сумма наценки не может быть отрицательной", quiet, logExchange);
}

std::string DoStorno(EklzSession& s, uint8_t reversedCommand, uint8_t department, double sum,
                     double quantity, bool quiet, bool logExchange) {
  s.AppendResultLine("Выполнение сторно " + ReversedCommandName(reversedCommand), quiet);
  s.AppendResultLine("    Сумма: " + FormatGeneral(sum), quiet);
  std::string fields = ByteField(reversedCommand);
  if (reversedCommand < 0x14) fields += ByteField(department) + QuantityField(quantity);
  fields += ItemSumField(sum);
  return SendForResult(s, BuildRequest(code::kStorno, fields), ReplyDelivery::ResultOnly(), quiet,
                       logExchange);
}

std::string DoFinishDocument(EklzSession& s, bool textForm, uint8_t operatorCode,
                             const CalendarDate& date, const ClockTime& time, bool quiet,
                             bool logExchange) {
  s.AppendResultLine("Завершение документа", quiet);
  s.AppendResultLine("    Дата: " + FormatShortDate(date), quiet);
  s.AppendResultLine("    Время: " + FormatLongTime(time), quiet);
  s.AppendResultLine("    Оператор: " + std::to_string(operatorCode), quiet);
  const std::string frame = BuildRequest(FormCode(code::kComplete, textForm),
                                         DateField(date) + TimeField(time) + ByteField(operatorCode));
  return SendForResult(s, frame, textForm ? ReplyDelivery::Text() : ReplyDelivery::Fragments("0B"),
                       quiet, logExchange);
}

std::string DoAbort(EklzSession& s, bool quiet, bool logExchange) {
  s.AppendResultLine("Выполнение отмены документа или формирования отчёта", quiet);
  return SendForResult(s, BuildRequest(code::kAbort), ReplyDelivery::ResultOnly(), quiet,
                       logExchange);
}

}  // namespace eklz
