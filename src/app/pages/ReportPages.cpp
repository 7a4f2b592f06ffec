// The pages of the group "Отчёты": the information queries, the control
// tape, documents, shift totals and reports.
#include <QComboBox>
#include <QDate>
#include <QDateTimeEdit>

#include "app/pages/Page.h"
#include "commands/Information.h"
#include "commands/Limits.h"
#include "commands/Reports.h"
#include "codec/CommandCodes.h"

namespace eklz::app {

namespace {

constexpr const char* kReportType = "cbAskReportType";
constexpr const char* kReportFrom = "dteAskReportFrom";
constexpr const char* kReportTo = "dteAskReportTo";
constexpr const char* kReportShiftFrom = "edAskReportSesionFrom";
constexpr const char* kReportShiftTo = "edAskReportTo";

Page ReportsPage(const char* caption, const char* handler, uint8_t code, const char* help) {
  return GroupPage(kReports, caption, handler, code, help);
}

Page ReportPage() {
  Page p = ReportsPage("Запрос отчета", "grReportsItems5Click", code::kReport, "Docs/Запрос отчета.htm");
  p.layout = {"pnAskReport", "Выполнить запрос отчёта", "Код команды: 0x22",
              {field::List(kReportType, "Тип отчета:", {std::begin(kReportTypes), std::end(kReportTypes)}, 0),
               field::Date(kReportFrom, "Дата с:"), field::Date(kReportTo, "дата по:"),
               field::Int(kReportShiftFrom, "№ Смены с:", kReportShiftRange, 0).NoGrouping(),
               field::Int(kReportShiftTo, "№ смены по:", kReportShiftRange, 0).NoGrouping()},
              FormChoice{"rbAskReportDigits", "rbAskReportTXT"}};
  p.prepare = [](const DispatchContext& c, bool textForm) {
    const int type = c.fields.Index(kReportType);
    const CalendarDate from = c.fields.Date(kReportFrom);
    const CalendarDate to = c.fields.Date(kReportTo);
    const int shiftFrom = c.fields.Int(kReportShiftFrom);
    const int shiftTo = c.fields.Int(kReportShiftTo);
    return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
      AskReport(s, textForm, type, from, to, shiftFrom, shiftTo, q, l);
    });
  };
  // The panel's first showing: today's dates and the fifth report type.
  p.firstSelect = [](QWidget& panel) {
    const QDate today = QDate::currentDate();
    panel.findChild<QDateTimeEdit*>(kReportFrom)->setDate(today);
    panel.findChild<QDateTimeEdit*>(kReportTo)->setDate(today);
    panel.findChild<QComboBox*>(kReportType)->setCurrentIndex(4);
    ReportTypeChanged(panel);
  };
  p.connect = [](QWidget& panel, MessagePresenter&) {
    QObject::connect(panel.findChild<QComboBox*>(kReportType), &QComboBox::currentIndexChanged, &panel,
                     [&panel] { ReportTypeChanged(panel); });
    ReportTypeChanged(panel);
  };
  return p;
}

Page DocumentQueryPage() {
  static constexpr const char* kKpk = "edAskDocKPK";
  Page p = ReportsPage("Запрос документа", "grReportsItems3Click", code::kDocument, "Docs/Запрос документа.htm");
  p.layout = {"pnAskDoc", "Выполнить запрос документа", "Код команды: 0x21(0xA1)",
              {field::Int(kKpk, "№ КПК:", kKpkRange, 0).NoGrouping()},
              FormChoice{"rbAskDocDigits", "rbAskDocTXT"}};
  p.prepare = [](const DispatchContext& c, bool textForm) {
    const long long kpk = c.fields.Int(kKpk);
    return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
      AskDocument(s, textForm, kpk, q, l);
    });
  };
  return p;
}

}  // namespace

// Types 0 to 3 use no range, 4 and 5 the dates, 6 and 7 the shift numbers.
void ReportTypeChanged(QWidget& panel) {
  const int type = panel.findChild<QComboBox*>(kReportType)->currentIndex();
  const bool byDates = type == 4 || type == 5;
  const bool byShifts = type == 6 || type == 7;
  for (const char* name : {kReportFrom, kReportTo}) panel.findChild<QWidget*>(name)->setEnabled(byDates);
  for (const char* name : {kReportShiftFrom, kReportShiftTo}) {
    panel.findChild<QWidget*>(name)->setEnabled(byShifts);
  }
}

std::vector<Page> ReportPages() {
  Page regNumber = ReportsPage("Запрос регистрационного номера", "grReportsItems0Click", code::kRegNumber,
                               "Docs/Запрос регистрационного номера ЭКЛЗ.htm");
  regNumber.layout = {"pnAskSN", "Запрос регистрационного номера ЭКЛЗ", "Код команды: 0x14 (0x94)", {},
                    FormChoice{"rbAskSNDigit", "rbAskSNTxt"}};
  regNumber.prepare = FormQueryRun(AskRegNumber);

  Page activation = ReportsPage("Запрос итога активизации", "grReportsItems1Click", code::kActivationResult,
                                "Docs/Запрос итога активизации.htm");
  activation.layout = {"pnAskResultOfActivate", "Запрос итога активизации", "Код команды: 0x24 (0xA4)", {},
                     FormChoice{"rbAskResultOfActivateDigit", "rbAskResultOfActivateText"}};
  activation.prepare = FormQueryRun(AskActivationResult);

  Page tape = ReportsPage("Запрос контрольной ленты", "grReportsItems2Click", code::kControlTape,
                          "Docs/Запрос контрольной ленты.htm");
  tape.layout = {"pnAskControlTape", "Выполнить запрос контрольной ленты", "Код команды: 0x20",
               {field::Int("edShift", "№ смены:", kShiftRange, 1)},
               FormChoice{"rbControlTapeDigits", "rbControlTapeText"}};
  tape.prepare = ShiftQueryRun(AskControlTape, tape.layout.fields[0].name);

  Page totals = ReportsPage("Запрос итогов смены", "grReportsItems4Click", code::kShiftTotals,
                            "Docs/Запрос итогов смены.htm");
  totals.layout = {"pnAskResultOfSession", "Выполнить запрос итогов смены", "Код команды: 0x23",
                 {field::Int("edAskResultSesionNum", "№ смены:", kShiftRange, 1)},
                 FormChoice{"rbAskResultSesionDigits", "rbAskResultSesionTXT"}};
  totals.prepare = ShiftQueryRun(AskShiftTotals, totals.layout.fields[0].name);

  // Hidden, and without a run: the reports' data come with their queries.
  Page reportData = ReportsPage("Запрос данных отчета", "grReportsItems6Click", code::kReportData,
                                "Docs/Запрос данных отчёта.htm");
  reportData.hidden = true;
  reportData.layout = {"pnAskReportData", "Выполнить запрос данных отчёта или документа", "Код команды: 0x05", {}};

  return {regNumber, activation, tape, DocumentQueryPage(), totals, ReportPage(), reportData};
}

}  // namespace eklz::app
