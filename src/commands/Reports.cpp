#include "commands/Reports.h"

#include "commands/Common.h"

namespace eklz {

namespace {

const char* const kShiftRange = "Номер смены должен быть в пределах от 0 до 32767";

// Sends the request, writes "Запрос успешно отправлен", reads the report to
// its end and writes its first fragment last.
std::string RunReport(EklzSession& s, const std::string& frame, bool textForm, bool quiet,
                      bool logExchange) {
  SendFrame(s, frame, logExchange);
  s.AppendResultLine(kRequestSent, quiet);
  std::string result = ReceiveReply(
      s, ReplyDelivery::TextOrFragments(textForm).WithReport(textForm), quiet, logExchange);
  s.AppendResultLine(result, quiet);
  return result;
}

// A report of one shift: the control tape or the shift totals.
std::string ShiftReport(EklzSession& s, uint8_t command, const char* heading, bool textForm,
                        int shiftNumber, bool quiet, bool logExchange) {
  RequireRange(shiftNumber, 0, 32767, kShiftRange);
  s.AppendResultLine(heading, quiet);
  s.AppendResultLine("    Смена №" + std::to_string(shiftNumber), quiet);
  return RunReport(s, BuildRequest(FormCode(command, textForm), WordField(shiftNumber)), textForm,
                   quiet, logExchange);
}

}  // namespace

std::string AskControlTape(EklzSession& s, bool textForm, int shiftNumber, bool quiet,
                           bool logExchange) {
  return ShiftReport(s, code::kControlTape, "Запрос контрольной ленты:", textForm, shiftNumber,
                     quiet, logExchange);
}

std::string AskDocument(EklzSession& s, bool textForm, long long kpkNumber, bool quiet,
                        bool logExchange) {
  RequireRange(kpkNumber, 0, 99999999, "Номер КПК должен быть в пределах от 0 до 99999999");
  s.AppendResultLine("Запрос документа:", quiet);
  s.AppendResultLine("    Номер КПК:" + std::to_string(kpkNumber), quiet);
  return RunReport(s, BuildRequest(FormCode(code::kDocument, textForm), BcdField(kpkNumber, 8)),
                   textForm, quiet, logExchange);
}

std::string AskShiftTotals(EklzSession& s, bool textForm, int shiftNumber, bool quiet,
                           bool logExchange) {
  return ShiftReport(s, code::kShiftTotals, "Запрос итогов смены:", textForm, shiftNumber, quiet,
                     logExchange);
}

std::string AskReport(EklzSession& s, bool textForm, int reportType, const CalendarDate& dateFrom,
                      const CalendarDate& dateTo, int shiftFrom, int shiftTo, bool quiet,
                      bool logExchange) {
  RequireRange(reportType, 0, 7, "Тип отчёта должен быть в пределах от 0 до 7");
  const bool byShifts = reportType >= 6;
  if (byShifts) {
    RequireRange(shiftFrom, 0, 32767, kShiftRange);
    RequireRange(shiftTo, 0, 32767, kShiftRange);
  }
  s.AppendResultLine("Запрос отчета:", quiet);
  if (reportType < 4) {
    s.AppendResultLine("Выбранный Вами тип отчета в данной версии ЭКЛЗ не подерживается", quiet);
    return {};
  }
  std::string fields = ByteField(reportType);
  if (byShifts) {
    s.AppendResultLine("    Отчет по сменам", quiet);
    s.AppendResultLine("    № смены начала отчета:" + std::to_string(shiftFrom), quiet);
    s.AppendResultLine("    № смены окончания отчета:" + std::to_string(shiftTo), quiet);
    fields += WordField(shiftFrom) + WordField(shiftTo);
  } else {
    s.AppendResultLine("    Отчет по Датам", quiet);
    s.AppendResultLine("    Дата начала отчета:" + FormatShortDate(dateFrom), quiet);
    s.AppendResultLine("    Дата окончания отчета:" + FormatShortDate(dateTo), quiet);
    fields += DateField(dateFrom) + DateField(dateTo);
  }
  return RunReport(s, BuildRequest(FormCode(code::kReport, textForm), fields), textForm, quiet,
                   logExchange);
}

}  // namespace eklz
