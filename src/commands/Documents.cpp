#include "commands/Documents.h"

#include "commands/Common.h"
#include "commands/Limits.h"
#include "codec/Errors.h"

namespace eklz {

namespace {

// The quantity field: thousandths, 8 BCD digits.
std::string QuantityField(double quantity) {
  return BcdField(AmountUnits(kQuantityLimit, static_cast<long double>(quantity)), 8);
}

// A money field: hundredths, 10 BCD digits; the messages name what the sum is.
std::string SumField(double sum, const AmountLimit& limit) {
  return BcdField(AmountUnits(limit, static_cast<long double>(sum)), 10);
}

std::string ItemSumField(double sum) { return SumField(sum, kSumLimit); }

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
                          const AmountLimit& limit, bool quiet, bool logExchange) {
  s.AppendResultLine(heading, quiet);
  s.AppendResultLine("    Сумма: " + FormatGeneral(sum), quiet);
  return SendForResult(s, BuildRequest(command, SumField(sum, limit)),
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
  return DoDocumentSum(s, code::kDiscount, "Выполнение скидки", sum, kDiscountLimit, quiet,
                       logExchange);
}

std::string DoMargin(EklzSession& s, double sum, bool quiet, bool logExchange) {
  return DoDocumentSum(s, code::kMarkup, "Выполнение наценки", sum, kMarginLimit, quiet,
                       logExchange);
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
