// The pages of the group "Автотестирование": the window's own procedures,
// mass documents, the test programme, the full dump and the repair request.
#include <QAbstractButton>
#include <QDate>
#include <QDateTimeEdit>
#include <QPointer>

#include "app/RepairRequestForm.h"
#include "app/pages/Page.h"
#include "commands/Limits.h"
#include "procedures/Autotest.h"
#include "procedures/FullDump.h"
#include "procedures/MassDocuments.h"
#include "procedures/RepairRequest.h"

namespace eklz::app {

namespace {

Page AutotestGroupPage(const char* caption, const char* handler, uint8_t code, const char* help) {
  Page p;
  p.group = kAutotest;
  p.caption = caption;
  p.handler = handler;
  p.code = code;
  p.helpPage = help;
  return p;
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
  p.spec = {"pnAutoCreateDocs", "Массовое создание документов", nullptr,
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
  p.spec = {"pnAutoTest", "Выполнить программу тестирования", nullptr,
            {field::Radio("rbAutoTestDigits", "В числовой форме").Checked(),
             field::Radio(kText, "В текстовой форме")}};
  p.prepare = [](const DispatchContext& c, bool) {
    const bool textForm = c.fields.State(kText);
    return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) { RunAutotest(s, textForm, q, l); });
  };
  return p;
}

Page FullDumpPage() {
  static constexpr const char* kRaise = "chAllDumpMaxSpeed";
  static constexpr const char* kFile = "edAllDumpFileName";
  static constexpr const char* kBrowse = "RzToolbarButton2";
  Page p = AutotestGroupPage("Весь дамп архива", "grAutoItems2Click", procedure::kFullDump, "Docs/Весь дамп.htm");
  p.spec = {"pnAllDump", "Получить ВЕСЬ дамп архива в файл", nullptr,
            {field::Check(kRaise, "Увеличивать скорось до 19200"),
             field::Text(kFile, "Имя файла:", 0, "Dump.bin"), field::Browse(kBrowse)}};
  p.prepare = [](const DispatchContext& c, bool) {
    const std::string file = c.fields.Text(kFile);
    const bool raise = c.fields.State(kRaise);
    return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) { RunFullDump(s, file, raise, q, l); });
  };
  // RzToolbarButton2Click: the file of the full dump.
  p.connect = [](QWidget& panel, MessagePresenter& presenter) {
    QObject::connect(panel.findChild<QAbstractButton*>(kBrowse), &QAbstractButton::clicked, &panel,
                     [&panel, &presenter] { ChooseDumpFile(panel, presenter, kFile); });
  };
  return p;
}

Page RepairRequestPage() {
  static constexpr const char* kDateOfCheck = "RequestDornalDateOfCheck";
  using namespace field;
  Page p = AutotestGroupPage("Заявка на ремонт в Дорнал", "grAutoItems3Click", procedure::kRepairRequest,
                             "Docs/Заявка в Дорнал.htm");
  p.spec = {"pnRequestDornal", "Заявка на замену бракованной ЭКЛЗ", nullptr,
            {Text("RequestDornalNumRequset", "№ заявки", 16, "1"), Date(kDateOfCheck, "Дата проведения проверки"),
             Date("RequestDornalDateOfBroken", "Дата отказа"), Date("RequestDornalDateOfActivate", "Дата активизации"),
             Text("RequestDornalSerialNumEKLZ", "Заводской № ЭКЛЗ", 13), Text("RequestDornalNameKKM", "Тип ККМ", 16),
             Text("RequestDornalSerialNumKKM", "Заводской номер ККМ", 12),
             Memo("meRequestDornalDevelopmentFailure", "Внешнее проявление отказа:"),
             Memo("meRequestDornalDetectFailure", "Обнаружены неисправности:"),
             Check("RzCheckBox2", "Данные архива ЭКЛЗ на технический носитель информации перенесены").Checked(),
             Memo("meRequestDornaFailureToCarryOut", "Причина невыполнения переноса:").Disabled(),
             Button("RzBitBtn1", "Распечатать заявку на ремонт ЭКЛЗ")}};
  p.prepare = [](const DispatchContext& c, bool) {
    // The panel goes in with what the operator typed; its memos and EKLZ
    // number are cleared at once, and the widgets take the filled record
    // back when the run has ended.
    auto panel = std::make_shared<RepairRequestPanel>(ReadRepairRequestPanel(c.fields));
    ClearRepairRequestPanel(c.fields.Root());
    PreparedRun run = Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
      RunRepairRequest(s, false, q, l, *panel);
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
  // Choosing the item clears the memos and the EKLZ number and dates the check today.
  p.afterSelect = [](QWidget& panel) {
    ClearRepairRequestPanel(panel);
    panel.findChild<QDateTimeEdit*>(kDateOfCheck)->setDate(QDate::currentDate());
  };
  return p;
}

}  // namespace

std::vector<Page> AutotestPages() {
  return {MassDocumentsPage(), AutotestPage(), FullDumpPage(), RepairRequestPage()};
}

}  // namespace eklz::app
