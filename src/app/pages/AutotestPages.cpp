// The pages of the group "Автотестирование": the window's own procedures,
// mass documents, the test programme, the full dump and the repair request.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateTimeEdit>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>

#include "app/RepairRequestForm.h"
#include "app/pages/Page.h"
#include "app/Presenter.h"
#include "commands/ArchiveDump.h"
#include "commands/Limits.h"
#include "procedures/Autotest.h"
#include "procedures/FullDump.h"
#include "procedures/MassDocuments.h"
#include "procedures/RepairRequest.h"

namespace eklz::app {

namespace {

Page AutotestGroupPage(const char* caption, const char* handler, uint8_t code, const char* help) {
  return GroupPage(kAutotest, caption, handler, code, help);
}

Page MassDocumentsPage() {
  static constexpr const char* kLogText = "ChBAutoDocLogoTXT";
  static constexpr const char* kLogHex = "ChBAutoDocLogoHex";
  static constexpr const char* kCount = "RzNumericEdit5";
  static constexpr const char* kType = "cbAutuCreateTypeDocs";
  static constexpr const char* kRandomType = "ChBAutoDocRandomTypeDoc";
  static constexpr const char* kDepartment = "edAutoCreateNumDep";
  static constexpr const char* kRandomDepartment = "ChBAutoDocRandomDep";
  static constexpr const char* kQuantity = "edAutoCreateKol";
  static constexpr const char* kRandomQuantity = "ChBAutoDocRandomKol";
  static constexpr const char* kSum = "edAutoCreateSumma";
  static constexpr const char* kRandomSum = "ChBAutoDocRandomSumma";
  static constexpr const char* kRepetitions = "edAutoCreateRotNum";
  static constexpr const char* kRandomRepetitions = "RzCheckBox1";
  static constexpr const char* kDiscounts = "ChBAutoDocMakeDiskont";
  static constexpr const char* kDiscountCount = "edAutoCreateKolDiskont";
  static constexpr const char* kDiscountSum = "edAutoCreateDiskontSumma";
  static constexpr const char* kRandomDiscounts = "ChBAutoDocMakeDiskontRND";
  static constexpr const char* kMargins = "ChBAutoDocMakeMargin";
  static constexpr const char* kMarginCount = "edAutoCreateKolDiskontMargin";
  static constexpr const char* kMarginSum = "edAutoCreateMarginSumma";
  static constexpr const char* kRandomMargins = "ChBAutoDocMakeMarginRND";
  using namespace field;
  Page p = AutotestGroupPage("Массовое создание документов ", "grAutoItems0Click", procedure::kMassDocuments,
                             "Docs/Добавление документов.htm");
  p.layout = {"pnAutoCreateDocs", "Массовое создание документов", nullptr,
              {Check(kLogText, "Сохранять протокол обмена в текстовом виде").Checked(),
               Check(kLogHex, "Сохранять протокол обмена в шестнадцатиричном виде").Checked(),
               Int(kCount, "Количество документов:", kDocumentCountRange, 1),
               List(kType, "Тип документа:", {"Продажа", "Покупка", "Возврат продажи", "Возврат покупки"}, 0),
               Check(kRandomType, "Случайный тип документа").Beside(),
               Int(kDepartment, "Отдел:", kDepartmentRange, 1),
               Check(kRandomDepartment, "Случайный отдел").Beside(),
               Dec(kQuantity, "Количество:", kQuantityLimit),
               Check(kRandomQuantity, "Случайное количество").Beside(),
               Dec(kSum, "Сумма:", kSumLimit),
               Check(kRandomSum, "Случайная сумма документа").Beside(),
               Int(kRepetitions, "Количество повтора операции в документе:", kRepetitionRange, 1),
               Check(kRandomRepetitions, "Случайным образом").Beside().Named("Количество повтора случайным образом"),
               Check(kDiscounts, "Выполнить скидку, в количестве:"),
               Int(kDiscountCount, "", kDiscountCountRange, 1).Beside().Named("Количество скидок"),
               Dec(kDiscountSum, "на сумму:", kDiscountLimit).Beside().Named("Сумма скидки"),
               Check(kRandomDiscounts, "Случайным образом").Beside().Named("Скидки случайным образом"),
               Check(kMargins, "Выполнить наценку, в количестве:"),
               Int(kMarginCount, "", kMarginCountRange, 1).Beside().Named("Количество наценок"),
               Dec(kMarginSum, "на сумму:", kMarginLimit).Beside().Named("Сумма наценки"),
               Check(kRandomMargins, "Случайным образом").Beside().Named("Наценки случайным образом")}};
  p.prepare = [](const DispatchContext& c, bool) {
    const PanelFields& f = c.fields;
    MassDocumentsParams m;
    m.documentCount = f.Int(kCount);
    m.documentType = f.Index(kType);
    m.randomType = f.State(kRandomType);
    m.department = f.Int(kDepartment);
    m.randomDepartment = f.State(kRandomDepartment);
    m.quantity = f.Value(kQuantity);
    m.sum = f.Value(kSum);
    m.randomQuantity = f.State(kRandomQuantity);
    m.randomSum = f.State(kRandomSum);
    m.repetitions = f.Int(kRepetitions);
    m.randomRepetitions = f.State(kRandomRepetitions);
    m.makeDiscounts = f.State(kDiscounts);
    m.makeMargins = f.State(kMargins);
    m.randomDiscounts = f.State(kRandomDiscounts);
    m.randomMargins = f.State(kRandomMargins);
    m.discountCount = f.Int(kDiscountCount);
    m.marginCount = f.Int(kMarginCount);
    m.discountSum = f.Value(kDiscountSum);
    m.marginSum = f.Value(kMarginSum);
    // This procedure logs by its own two check boxes, not by the settings.
    const bool quiet = !f.State(kLogText);
    const bool log = f.State(kLogHex);
    return Run([=, random = c.random](EklzSession& s) { RunMassDocuments(s, m, *random, quiet, log); });
  };
  p.windowStep = WindowStep::SeedRandom;
  return p;
}

Page AutotestPage() {
  static constexpr const char* kText = "rbAutoTestTXT";
  Page p = AutotestGroupPage("Тестирование ЭКЛЗ", "grAutoItems1Click", procedure::kAutotest,
                             "Docs/Автотестирование.htm");
  p.layout = {"pnAutoTest", "Выполнить программу тестирования", nullptr,
              {field::Radio("rbAutoTestDigits", "В числовой форме").Checked(),
               field::Radio(kText, "В текстовой форме")}};
  p.prepare = [](const DispatchContext& c, bool) {
    const bool textForm = c.fields.State(kText);
    return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) { RunAutotest(s, textForm, q, l); });
  };
  return p;
}

// The fields of the full dump.
constexpr const char* kDumpRaise = "chAllDumpMaxSpeed";
constexpr const char* kDumpRate = "cbAllDumpRate";
constexpr const char* kDumpFile = "edAllDumpFileName";
constexpr const char* kDumpBrowse = "RzToolbarButton2";

// The raise box names the rate the list beside it shows.
QString RaiseCaption(const QString& rate) {
  if (rate == QString::fromUtf8(kFullDumpRates[0])) return "Увеличивать скорось до 19200";
  if (rate == QString::fromUtf8(kFullDumpRates[kFullDumpFastest])) return "Увеличивать скорость до наибольшей";
  return "Увеличивать скорость до " + rate;
}

Page FullDumpPage() {
  static constexpr const char* kRaise = kDumpRaise;
  static constexpr const char* kRate = kDumpRate;
  static constexpr const char* kFile = kDumpFile;
  static constexpr const char* kBrowse = kDumpBrowse;
  Page p = AutotestGroupPage("Весь дамп архива", "grAutoItems2Click", procedure::kFullDump, "Docs/Весь дамп.htm");
  p.layout = {"pnAllDump", "Получить ВЕСЬ дамп архива в файл", nullptr,
              {field::Check(kRaise, "Увеличивать скорось до 19200"),
               field::List(kRate, "Повышенная скорость:", {std::begin(kFullDumpRates), std::end(kFullDumpRates)}, 0)
                   .Disabled(),
               field::Text(kFile, "Имя файла:", 0, "Dump.bin"), field::Browse(kBrowse)}};
  p.prepare = [](const DispatchContext& c, bool) {
    const std::string file = c.fields.Text(kFile);
    const bool raise = c.fields.State(kRaise);
    FullDumpOptions options;
    options.raiseTo = c.fields.Index(kRate);
    // A file that already holds pages is continued or replaced as the
    // operator says; a file that is no dump is refused, left as it is.
    if (const int pages = DumpFilePages(file); pages > 0 && c.presenter) {
      switch (c.presenter->AskContinueDump(&c.fields.Root(), QString::fromStdString(file), pages,
                                           kArchivePages)) {
        case DumpFileChoice::Continue:
          options.resume = true;
          break;
        case DumpFileChoice::StartAnew:
          break;
        case DumpFileChoice::Cancel:
          return PreparedRun{};
      }
    }
    return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) { RunFullDump(s, file, raise, q, l, options); });
  };
  // RzToolbarButton2Click: the file of the full dump. The rate list counts
  // only while the speed is raised, and the raise box names its rate. The
  // file field shows a whole path.
  p.connect = [](QWidget& panel, MessagePresenter& presenter) {
    QObject::connect(panel.findChild<QAbstractButton*>(kBrowse), &QAbstractButton::clicked, &panel,
                     [&panel, &presenter] {
                       // A file that holds pages is asked about once, when the
                       // dump is run ("Продолжить дамп?"), not here as well.
                       ChooseDumpFile(panel, presenter, kFile, SaveFileKind::FullDump);
                     });
    auto* raise = panel.findChild<QCheckBox*>(kRaise);
    auto* rate = panel.findChild<QComboBox*>(kRate);
    QObject::connect(raise, &QCheckBox::toggled, rate, &QWidget::setEnabled);
    QObject::connect(rate, &QComboBox::currentTextChanged, raise,
                     [raise](const QString& text) { raise->setText(RaiseCaption(text)); });
    auto* file = panel.findChild<QLineEdit*>(kFile);
    file->setMinimumWidth(file->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 44);
  };
  return p;
}

// The fields of the repair request.
constexpr const char* kRequestNumber = "RequestDornalNumRequset";
constexpr const char* kDateOfCheck = "RequestDornalDateOfCheck";
constexpr const char* kDateOfBroken = "RequestDornalDateOfBroken";
constexpr const char* kDateOfActivate = "RequestDornalDateOfActivate";
constexpr const char* kEklzSerial = "RequestDornalSerialNumEKLZ";
constexpr const char* kKkmName = "RequestDornalNameKKM";
constexpr const char* kKkmSerial = "RequestDornalSerialNumKKM";
constexpr const char* kDevelopment = "meRequestDornalDevelopmentFailure";
constexpr const char* kDetected = "meRequestDornalDetectFailure";
constexpr const char* kTransferred = "RzCheckBox2";
constexpr const char* kNotTransferred = "meRequestDornaFailureToCarryOut";
constexpr const char* kPrint = "RzBitBtn1";

QString Utf8(const std::string& s) { return QString::fromStdString(s); }

// A memo shows line breaks as '\n'; the core writes CR LF.
QString MemoText(const std::string& s) { return Utf8(s).replace("\r\n", "\n"); }

Page RepairRequestPage() {
  using namespace field;
  Page p = AutotestGroupPage("Заявка на ремонт в Дорнал", "grAutoItems3Click", procedure::kRepairRequest,
                             "Docs/Заявка в Дорнал.htm");
  p.layout = {"pnRequestDornal", "Заявка на замену бракованной ЭКЛЗ", nullptr,
              {Text(kRequestNumber, "№ заявки", 16, "1"), Date(kDateOfCheck, "Дата проведения проверки"),
               Date(kDateOfBroken, "Дата отказа"), Date(kDateOfActivate, "Дата активизации"),
               Text(kEklzSerial, "Заводской № ЭКЛЗ", 13), Text(kKkmName, "Тип ККМ", 16),
               Text(kKkmSerial, "Заводской номер ККМ", 12), Memo(kDevelopment, "Внешнее проявление отказа:"),
               Memo(kDetected, "Обнаружены неисправности:"),
               Check(kTransferred, "Данные архива ЭКЛЗ на технический носитель информации перенесены").Checked(),
               Memo(kNotTransferred, "Причина невыполнения переноса:").Disabled(),
               Button(kPrint, "Распечатать заявку на ремонт ЭКЛЗ")}};
  p.prepare = [](const DispatchContext& c, bool) {
    // The panel goes in with what the operator typed, which the run keeps;
    // the widgets take the filled record back when the run has ended.
    auto panel = std::make_shared<RepairRequestPanel>(ReadRepairRequestPanel(c.fields));
    PreparedRun run = Run([=, q = c.quiet, l = c.logExchange, known = c.kkm](EklzSession& s) {
      RunRepairRequest(s, false, q, l, *panel, known);
    });
    const QPointer<QWidget> root(&c.fields.Root());
    run.afterSuccess = [panel, root] {
      if (root) ShowRepairRequestPanel(*root, *panel);
    };
    // A run ended by a failure of another kind leaves the panel unfilled
    // but shows the failures collected up to it.
    run.afterFailure = [panel, root] {
      if (root) ShowRepairFailures(*root, *panel);
    };
    return run;
  };
  // The check is dated today when the panel first shows.
  p.firstSelect = [](QWidget& panel) {
    panel.findChild<QDateTimeEdit*>(kDateOfCheck)->setDate(QDate::currentDate());
  };
  // RzCheckBox2Click: the reason memo is for an archive not transferred.
  p.connect = [](QWidget& panel, MessagePresenter&) {
    for (const char* name : {kRequestNumber, kEklzSerial, kKkmName, kKkmSerial}) {
      panel.findChild<QLineEdit*>(name)->setAlignment(Qt::AlignRight);
    }
    QObject::connect(panel.findChild<QCheckBox*>(kTransferred), &QCheckBox::toggled, &panel,
                     [&panel](bool transferred) {
                       panel.findChild<QWidget*>(kNotTransferred)->setEnabled(!transferred);
                     });
  };
  return p;
}

}  // namespace

RepairRequestPanel ReadRepairRequestPanel(const PanelFields& f) {
  RepairRequestPanel record;
  record.numRequest = f.Text(kRequestNumber);
  record.dateOfCheck = f.Date(kDateOfCheck);
  record.dateOfBroken = f.Date(kDateOfBroken);
  record.dateOfActivate = f.Date(kDateOfActivate);
  record.serialNumEklz = f.Text(kEklzSerial);
  record.nameKkm = f.Text(kKkmName);
  record.serialNumKkm = f.Text(kKkmSerial);
  record.developmentFailure = f.Text(kDevelopment);
  record.detectFailure = f.Text(kDetected);
  record.archiveTransferred = f.State(kTransferred);
  record.failureToCarryOut = f.Text(kNotTransferred);
  return record;
}

void ShowRepairRequestPanel(QWidget& panel, const RepairRequestPanel& record) {
  auto setDate = [&](const char* name, const CalendarDate& d) {
    panel.findChild<QDateTimeEdit*>(name)->setDate(QDate(d.year, d.month, d.day));
  };
  auto setText = [&](const char* name, const std::string& text) {
    panel.findChild<QLineEdit*>(name)->setText(Utf8(text));
  };
  auto setMemo = [&](const char* name, const std::string& text) {
    panel.findChild<QPlainTextEdit*>(name)->setPlainText(MemoText(text));
  };
  setDate(kDateOfCheck, record.dateOfCheck);
  setDate(kDateOfBroken, record.dateOfBroken);
  setDate(kDateOfActivate, record.dateOfActivate);
  setText(kEklzSerial, record.serialNumEklz);
  setText(kKkmName, record.nameKkm);
  setText(kKkmSerial, record.serialNumKkm);
  setMemo(kDevelopment, record.developmentFailure);
  ShowRepairFailures(panel, record);
  setMemo(kNotTransferred, record.failureToCarryOut);
}

void ShowRepairFailures(QWidget& panel, const RepairRequestPanel& record) {
  panel.findChild<QPlainTextEdit*>(kDetected)->setPlainText(MemoText(record.detectFailure));
}

void ShowFullDumpChoices(QWidget& panel, const WindowSettings& w) {
  if (!w.DumpFile.empty()) panel.findChild<QLineEdit*>(kDumpFile)->setText(Utf8(w.DumpFile));
  auto* rate = panel.findChild<QComboBox*>(kDumpRate);
  if (const int index = rate->findText(Utf8(w.DumpRate)); index >= 0) rate->setCurrentIndex(index);
  panel.findChild<QCheckBox*>(kDumpRaise)->setChecked(w.DumpMaxSpeed);
}

void KeepFullDumpChoices(const QWidget& panel, WindowSettings& w) {
  const QString file = panel.findChild<QLineEdit*>(kDumpFile)->text().trimmed();
  w.DumpFile = file.isEmpty() ? std::string() : QFileInfo(file).absoluteFilePath().toStdString();
  w.DumpMaxSpeed = panel.findChild<QCheckBox*>(kDumpRaise)->isChecked();
  w.DumpRate = panel.findChild<QComboBox*>(kDumpRate)->currentText().toStdString();
}

QAbstractButton& RepairRequestPrintButton(QWidget& panel) { return *panel.findChild<QAbstractButton*>(kPrint); }

std::vector<Page> AutotestPages() {
  return {MassDocumentsPage(), AutotestPage(), FullDumpPage(), RepairRequestPage()};
}

}  // namespace eklz::app
