#include "app/Dispatcher.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSpinBox>
#include <QTimeEdit>

#include "app/Fields.h"
#include "app/RepairRequestForm.h"
#include "commands/Limits.h"
#include "commands/Activation.h"
#include "commands/Arbitrary.h"
#include "commands/ArchiveDump.h"
#include "commands/Common.h"
#include "commands/Documents.h"
#include "commands/Information.h"
#include "commands/Reports.h"
#include "commands/Service.h"
#include "commands/Status.h"
#include "codec/CommandCodes.h"
#include "procedures/Autotest.h"
#include "procedures/FullDump.h"
#include "procedures/MassDocuments.h"
#include "procedures/RepairRequest.h"
#include "codec/Errors.h"

namespace eklz::app {

// --- Field conversions --------------------------------------------------------

QWidget* PanelFields::Widget(const char* name) const {
  QWidget* w = root_.findChild<QWidget*>(name);
  if (!w) throw std::logic_error(std::string("no panel field ") + name);
  return w;
}

template <typename T>
T* PanelFields::Find(const char* name) const {
  T* w = qobject_cast<T*>(Widget(name));
  if (!w) throw std::logic_error(std::string("panel field of another kind: ") + name);
  return w;
}

namespace {

// The number an integer field shows, read by its value so that a grouped
// "1 000" counts as 1000. An empty field reads as zero.
long long IntegerValue(const QWidget* w) {
  if (auto* spin = qobject_cast<const QSpinBox*>(w)) return spin->value();
  if (auto* edit = qobject_cast<const IntegerEdit*>(w)) return edit->Digits().toLongLong();
  return qobject_cast<const QLineEdit*>(w)->text().toLongLong();
}

// A number field holds only what its range allows; a value outside it (set
// other than by typing) is refused with the field's message, nothing sent.
void RequireFieldRange(const QWidget* w, long long value) {
  if (auto* edit = qobject_cast<const IntegerEdit*>(w)) {
    if (value < edit->Minimum() || value > edit->Maximum()) {
      throw TEKLZException(edit->RangeMessage().toStdString());
    }
  }
}

// A quantity or a sum within its limit, refused with the limit's message.
long double RequireAmount(const QWidget* w, long double value) {
  if (auto* edit = qobject_cast<const DecimalEdit*>(w)) AmountUnits(edit->Limit(), value);
  return value;
}

}  // namespace

int32_t PanelFields::Int(const char* name) const {
  QWidget* w = Widget(name);
  if (auto* spin = qobject_cast<QSpinBox*>(w)) return spin->value();
  const QString shown = Find<QLineEdit>(name)->text();
  const QString digits = qobject_cast<IntegerEdit*>(w) ? static_cast<IntegerEdit*>(w)->Digits() : shown;
  int32_t value = 0;
  try {
    value = ParseInt(digits.toStdString());
  } catch (const EConvertError&) {
    throw InvalidInteger(shown.toStdString());
  }
  RequireFieldRange(w, value);
  return value;
}

long double PanelFields::Float(const char* name) const {
  QWidget* w = Widget(name);
  return RequireAmount(w, ParseFloat(Find<QLineEdit>(name)->text().toStdString()));
}

uint8_t PanelFields::Nearest(const char* name) const {
  QWidget* w = Widget(name);
  const long long value = IntegerValue(w);
  RequireFieldRange(w, value);
  return static_cast<uint8_t>(value);
}

double PanelFields::Value(const char* name) const {
  QWidget* w = Widget(name);
  if (qobject_cast<DecimalEdit*>(w)) {
    const QString text = static_cast<DecimalEdit*>(w)->text();
    if (text.trimmed().isEmpty()) return 0;
    return static_cast<double>(RequireAmount(w, ParseFloat(text.toStdString())));
  }
  const long long value = IntegerValue(w);
  RequireFieldRange(w, value);
  return static_cast<double>(value);
}

bool PanelFields::State(const char* name) const { return Find<QAbstractButton>(name)->isChecked(); }

bool PanelFields::Enabled(const char* name) const { return Widget(name)->isEnabled(); }

int PanelFields::Index(const char* name) const { return Find<QComboBox>(name)->currentIndex(); }

std::string PanelFields::ItemText(const char* name) const {
  auto* list = Find<QComboBox>(name);
  return list->currentIndex() < 0 ? std::string() : list->currentText().toStdString();
}

CalendarDate PanelFields::Date(const char* name) const {
  const QDate d = Find<QDateTimeEdit>(name)->date();
  return {d.year(), d.month(), d.day()};
}

ClockTime PanelFields::Time(const char* name) const {
  const QTime t = Find<QDateTimeEdit>(name)->time();
  return {t.hour(), t.minute(), t.second()};
}

std::string PanelFields::Text(const char* name) const {
  QWidget* w = Widget(name);
  if (auto* memo = qobject_cast<QPlainTextEdit*>(w)) return memo->toPlainText().toStdString();
  return Find<QLineEdit>(name)->text().toStdString();
}

// --- The dispatch table ---------------------------------------------------------

namespace {

using Ctx = DispatchContext;
using ItemOperation = std::string (*)(EklzSession&, uint8_t, double, double, bool, bool);

PreparedRun Run(std::function<void(EklzSession&)> op) { return {std::move(op), {}, {}}; }

DispatchRow Item(uint8_t code, ItemOperation op, const char* dep, const char* count,
                 const char* sum) {
  return {code, [=](const Ctx& c) {
            const uint8_t department = c.fields.Nearest(dep);
            const double quantity = static_cast<double>(c.fields.Float(count));
            const double amount = static_cast<double>(c.fields.Float(sum));
            return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
              op(s, department, quantity, amount, q, l);
            });
          }};
}

// A command without fields.
DispatchRow Plain(uint8_t code, std::string (*op)(EklzSession&, bool, bool)) {
  return {code, [=](const Ctx& c) {
            return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) { op(s, q, l); });
          }};
}

// A query that hands back a result text the dispatcher does not use.
using Query = void (*)(EklzSession&, bool, bool, std::string&);
DispatchRow Ask(uint8_t code, Query op) {
  return {code, [=](const Ctx& c) {
            return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
              std::string ignored;
              op(s, q, l, ignored);
            });
          }};
}

using FormQuery = void (*)(EklzSession&, bool, bool, bool, std::string&);
// The numeric and the text form of a query: two rows.
std::vector<DispatchRow> AskForms(uint8_t code, FormQuery op) {
  std::vector<DispatchRow> rows;
  for (bool textForm : {false, true}) {
    rows.push_back({FormCode(code, textForm), [=](const Ctx& c) {
                      return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
                        std::string ignored;
                        op(s, textForm, q, l, ignored);
                      });
                    }});
  }
  return rows;
}

using ShiftQuery = void (*)(EklzSession&, bool, int, bool, bool, std::string&);
std::vector<DispatchRow> AskShift(uint8_t code, ShiftQuery op, const char* field) {
  std::vector<DispatchRow> rows;
  for (bool textForm : {false, true}) {
    rows.push_back({FormCode(code, textForm), [=](const Ctx& c) {
                      const int shift = c.fields.Int(field);
                      return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
                        std::string ignored;
                        op(s, textForm, shift, q, l, ignored);
                      });
                    }});
  }
  return rows;
}

std::vector<DispatchRow> BuildTable() {
  std::vector<DispatchRow> t;
  auto add = [&t](std::vector<DispatchRow> rows) {
    for (DispatchRow& r : rows) t.push_back(std::move(r));
  };

  for (bool textForm : {false, true}) {
    t.push_back({FormCode(code::kActivate, textForm), [=](const Ctx& c) {
                   const std::string serial = c.fields.Text("edSN");
                   const CalendarDate date = c.fields.Date("dteDateActivate");
                   const ClockTime time = c.fields.Time("dteTimeActivate");
                   const std::string inn = c.fields.Text("edINN");
                   const std::string reg = c.fields.Text("edRegNum");
                   const std::string name = c.fields.Text("edKKmName");
                   const int width = static_cast<int>(c.fields.Value("edPrintWidth"));
                   const int shift = c.fields.Int("edNumSmen");
                   return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
                     std::string ignored;
                     DoActivate(s, textForm, serial, date, time, inn, reg, name, width, shift, q, l,
                                ignored);
                   });
                 }});
  }
  t.push_back({code::kExchangeParams, [](const Ctx& c) {
                 const int index = c.fields.Index("cbRateExcange");
                 const std::string rate = c.fields.ItemText("cbRateExcange");
                 const int timeout = c.fields.Nearest("edTimeOut");
                 return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
                   std::string ignored;
                   DoSetExchangeParams(s, s.settings.ComPort, index, timeout, rate, q, l, ignored);
                 });
               }});
  t.push_back({code::kDump, [](const Ctx& c) {
                 const bool toFile = c.fields.State("chAskDumpArchivInFile");
                 const std::string file = c.fields.Text("edAskDumpArchivFileName");
                 const int from = c.fields.Int("eiAskDumpNumPageFrom");
                 const int to = c.fields.Int("eiAskDumpNumPageTo");
                 const bool onePage = c.fields.State("rbAskDumpOnePage");
                 return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
                   std::string ignored;
                   AskArchiveDump(s, toFile, file, from, to, onePage, q, l, ignored);
                 });
               }});
  t.push_back({code::kFreeText, [](const Ctx& c) {
                 const int length = c.fields.Index("cbSTLength");
                 const int department = c.fields.Int("eiSTDepartNum");
                 const int binding = c.fields.Index("cbSTCode");
                 const std::string text = c.fields.Text("eiSTText");
                 const bool win1251 = c.fields.State("rbSTWin1251");
                 return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
                   DoFreeText(s, length, department, binding, text, win1251, q, l);
                 });
               }});
  t.push_back(Plain(code::kAbort, DoAbort));
  t.push_back({code::kStatus, [](const Ctx& c) {
                 const bool document = c.fields.State("rbStatus1");
                 return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
                   if (document) {
                     AskStatus(s, q, l);
                   } else {
                     AskShiftStatus(s, q, l);
                   }
                 });
               }});
  t.push_back({code::kArchiveTest, [](const Ctx& c) {
                 return Run([q = c.quiet, l = c.logExchange](EklzSession& s) {
                   std::string ignored;
                   DoArchiveTest(s, q, l, ignored);
                 });
               }});
  t.push_back({code::kCloseShift, [](const Ctx& c) {
                 const uint8_t op = c.fields.Nearest("edCloseShiftCodeOfOperator");
                 const CalendarDate date = c.fields.Date("dteCloseShiftDate");
                 const ClockTime time = c.fields.Time("dteCloseShiftTime");
                 return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
                   DoCloseShift(s, op, date, time, q, l);
                 });
               }});
  t.push_back(Plain(code::kCloseArchive, DoCloseArchive));
  t.push_back(Item(code::kSale, DoSale, "edSaleDepNum", "edSaleCnt", "edSaleSum"));
  t.push_back(Item(code::kPurchase, DoBuy, "edBuyDepNum", "edBuyCnt", "edBuySum"));
  t.push_back(Item(code::kSaleReturn, DoReturnSale, "edReturnSaleDepNum", "edReturnSaleCnt", "edReturnSaleSum"));
  t.push_back(Item(code::kPurchaseReturn, DoReturnBuy, "edReturnBuyDepNum", "edReturnBuyCnt", "edReturnBuySum"));
  add(AskForms(code::kRegNumber, AskRegNumber));
  t.push_back({code::kDiscount, [](const Ctx& c) {
                 const double sum = static_cast<double>(c.fields.Float("edDiscountSum"));
                 return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) { DoDiscount(s, sum, q, l); });
               }});
  t.push_back({code::kMarkup, [](const Ctx& c) {
                 const double sum = static_cast<double>(c.fields.Float("edMarginSum"));
                 return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) { DoMargin(s, sum, q, l); });
               }});
  t.push_back({code::kStorno, [](const Ctx& c) {
                 const uint8_t reversed = static_cast<uint8_t>(
                     (c.fields.Enabled("edStornoCnt") ? 16 : 18) + c.fields.Index("cbStornoDoc"));
                 const uint8_t department = c.fields.Nearest("edStornoDepNum");
                 const double sum = static_cast<double>(c.fields.Float("edStornoSum"));
                 const double quantity = static_cast<double>(c.fields.Float("edStornoCnt"));
                 return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
                   DoStorno(s, reversed, department, sum, quantity, q, l);
                 });
               }});
  for (bool textForm : {false, true}) {
    t.push_back({FormCode(code::kComplete, textForm), [=](const Ctx& c) {
                   const uint8_t op = c.fields.Nearest("edFinishDocCodeOfOperator");
                   const CalendarDate date = c.fields.Date("dteFinishDocDate");
                   const ClockTime time = c.fields.Time("dteFinishDocTime");
                   return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
                     DoFinishDocument(s, textForm, op, date, time, q, l);
                   });
                 }});
  }
  add(AskShift(code::kControlTape, AskControlTape, "edShift"));
  for (bool textForm : {false, true}) {
    t.push_back({FormCode(code::kDocument, textForm), [=](const Ctx& c) {
                   const long long kpk = c.fields.Int("edAskDocKPK");
                   return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
                     std::string ignored;
                     AskDocument(s, textForm, kpk, q, l, ignored);
                   });
                 }});
    t.push_back({FormCode(code::kReport, textForm), [=](const Ctx& c) {
                   const int type = c.fields.Index("cbAskReportType");
                   const CalendarDate from = c.fields.Date("dteAskReportFrom");
                   const CalendarDate to = c.fields.Date("dteAskReportTo");
                   const int shiftFrom = c.fields.Int("edAskReportSesionFrom");
                   const int shiftTo = c.fields.Int("edAskReportTo");
                   return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
                     std::string ignored;
                     AskReport(s, textForm, type, from, to, shiftFrom, shiftTo, q, l, ignored);
                   });
                 }});
  }
  add(AskShift(code::kShiftTotals, AskShiftTotals, "edAskResultSesionNum"));
  add(AskForms(code::kActivationResult, AskActivationResult));
  t.push_back(Plain(code::kInitArchive, DoInitArchive));
  add(AskForms(code::kVersion, AskVersion));
  t.push_back(Ask(code::kCryptoSerial, AskCryptoSerial));
  t.push_back(Ask(code::kCurrentKpk, AskCurrentKpk));
  t.push_back(Ask(code::kProcessorDump, AskProcessorDump));
  t.push_back(Plain(code::kLiftArchiveClosed, DoCancelCloseArchive));

  t.push_back({0xFB, [](const Ctx& c) {
                 // The panel goes in with what the operator typed; its memos and
                 // EKLZ number are cleared at once, and the widgets take the
                 // filled record back when the run has ended.
                 auto panel = std::make_shared<RepairRequestPanel>(ReadRepairRequestPanel(c.fields));
                 ClearRepairRequestPanel(c.fields.Root());
                 PreparedRun run = Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
                   RunRepairRequest(s, false, q, l, *panel);
                 });
                 const QPointer<QWidget> root(&c.fields.Root());
                 run.afterSuccess = [panel, root] {
                   if (root) ShowRepairRequestPanel(*root, *panel);
                 };
                 // A run ended by a failure of another kind leaves the panel
                 // unfilled but shows the failures collected up to it.
                 run.afterFailure = [panel, root] {
                   if (root) ShowRepairFailures(*root, *panel);
                 };
                 return run;
               }});
  t.push_back({0xFC, [](const Ctx& c) {
                 const std::string file = c.fields.Text("edAllDumpFileName");
                 const bool raise = c.fields.State("chAllDumpMaxSpeed");
                 return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
                   RunFullDump(s, file, raise, q, l);
                 });
               }});
  t.push_back({0xFD, [](const Ctx& c) {
                 const bool textForm = c.fields.State("rbAutoTestTXT");
                 return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
                   RunAutotest(s, textForm, q, l);
                 });
               }});
  t.push_back({0xFE, [](const Ctx& c) {
                 const bool textForm = c.fields.State("rbSomeComandTXT");
                 const bool multi = c.fields.State("cbSomeComandMultifrag");
                 const bool noData = c.fields.State("cbSomeComandSimpAnsv");
                 const bool parse = c.fields.State("cbSomeComandParseFrag");
                 return Run([=, frame = c.commandGrid, q = c.quiet, l = c.logExchange](EklzSession& s) {
                   std::string ignored;
                   RunArbitraryCommand(s, textForm, frame, multi, noData, parse, q, l, ignored);
                 });
               }});
  t.push_back({0xFF, [](const Ctx& c) {
                 const PanelFields& f = c.fields;
                 MassDocumentsParams p;
                 p.documentCount = f.Int("RzNumericEdit5");
                 p.documentType = f.Index("cbAutuCreateTypeDocs");
                 p.randomType = f.State("ChBAutoDocRandomTypeDoc");
                 p.department = f.Int("edAutoCreateNumDep");
                 p.randomDepartment = f.State("ChBAutoDocRandomDep");
                 p.quantity = f.Value("edAutoCreateKol");
                 p.sum = f.Value("edAutoCreateSumma");
                 p.randomQuantity = f.State("ChBAutoDocRandomKol");
                 p.randomSum = f.State("ChBAutoDocRandomSumma");
                 p.repetitions = f.Int("edAutoCreateRotNum");
                 p.randomRepetitions = f.State("RzCheckBox1");
                 p.makeDiscounts = f.State("ChBAutoDocMakeDiskont");
                 p.makeMargins = f.State("ChBAutoDocMakeMargin");
                 p.randomDiscounts = f.State("ChBAutoDocMakeDiskontRND");
                 p.randomMargins = f.State("ChBAutoDocMakeMarginRND");
                 p.discountCount = f.Int("edAutoCreateKolDiskont");
                 p.marginCount = f.Int("edAutoCreateKolDiskontMargin");
                 p.discountSum = f.Value("edAutoCreateDiskontSumma");
                 p.marginSum = f.Value("edAutoCreateMarginSumma");
                 // This procedure logs by its own two check boxes, not by the settings.
                 const bool quiet = !f.State("ChBAutoDocLogoTXT");
                 const bool log = f.State("ChBAutoDocLogoHex");
                 return Run([=, random = c.random](EklzSession& s) {
                   RunMassDocuments(s, p, *random, quiet, log);
                 });
               }});
  return t;
}

}  // namespace

const std::vector<DispatchRow>& DispatchTable() {
  static const std::vector<DispatchRow> kTable = BuildTable();
  return kTable;
}

const DispatchRow* FindDispatchRow(uint8_t code) {
  for (const DispatchRow& row : DispatchTable()) {
    if (row.code == code) return &row;
  }
  return nullptr;
}

}  // namespace eklz::app
