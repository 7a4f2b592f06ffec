// The pages of the group "Сервис": shift and archive service, status, free
// text, exchange parameters, activation and the archive dump.
#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/Presenter.h"
#include "app/pages/Page.h"
#include "commands/Activation.h"
#include "commands/ArchiveDump.h"
#include "commands/Limits.h"
#include "commands/Service.h"
#include "commands/Status.h"
#include "codec/CommandCodes.h"

namespace eklz::app {

namespace {

const std::vector<const char*> kLengthItems = {"16 символов", "40 символов"};

Page ServicePage(const char* caption, const char* handler, uint8_t code, const char* help) {
  return GroupPage(kService, caption, handler, code, help);
}

Page CloseShiftPage() {
  static constexpr const char* kDate = "dteCloseShiftDate";
  static constexpr const char* kTime = "dteCloseShiftTime";
  static constexpr const char* kOperator = "edCloseShiftCodeOfOperator";
  Page p = ServicePage("Закрытие смены", "grServisItems0Click", code::kCloseShift, "Docs/Закрытие смены.htm");
  p.layout = {"pnCloseSession", "Выполнить закрытие смены", "Код команды: 0x09",
              {field::Date(kDate, "Дата"), field::Time(kTime, "Время"),
               field::Int(kOperator, "Код оператора", kOperatorRange, 1)}};
  p.prepare = [](const DispatchContext& c, bool) {
    const uint8_t op = c.fields.Nearest(kOperator);
    const CalendarDate date = c.fields.Date(kDate);
    const ClockTime time = c.fields.Time(kTime);
    return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) { DoCloseShift(s, op, date, time, q, l); });
  };
  p.beforeSelect = [](QWidget& panel) { SetNow(panel, kDate, kTime); };
  return p;
}

Page StatusPage() {
  static constexpr const char* kDocumentStatus = "rbStatus1";
  Page p = ServicePage("Запрос состояния ЭКЛЗ", "grServisItems1Click", code::kStatus,
                       "Docs/Запрос состояния ЭКЛЗ.htm");
  p.layout = {"pnAskStatus", "Запрос состояния ЭКЛЗ", "Код команды: 0x07",
              {field::Radio(kDocumentStatus,
                            "Запрос итога документа, даты, времени, номера последнего КПК и номера ЭКЛЗ")
                   .Checked(),
               field::Radio("rbStatus2", "Запрос итогов текущей смены")}};
  p.prepare = [](const DispatchContext& c, bool) {
    const bool document = c.fields.State(kDocumentStatus);
    return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
      if (document) {
        AskStatus(s, q, l);
      } else {
        AskShiftStatus(s, q, l);
      }
    });
  };
  return p;
}

Page FreeTextPage() {
  static constexpr const char* kLength = "cbSTLength";
  static constexpr const char* kDepartment = "eiSTDepartNum";
  static constexpr const char* kBinding = "cbSTCode";
  static constexpr const char* kText = "eiSTText";
  static constexpr const char* kWin1251 = "rbSTWin1251";
  std::vector<const char*> bindings;
  for (const FreeTextBinding& b : kFreeTextBindings) bindings.push_back(b.itemText);
  Page p = ServicePage("Ввод произвольного текста", "grServisItems2Click", code::kFreeText,
                       "Docs/Произвольный текст.htm");
  p.layout = {"pnSomeText", "Ввод произвольного текста", "Код команды: 0x04",
              {field::List(kLength, "Длина строки:", kLengthItems, 0),
               field::Int(kDepartment, "Отдел:", kFreeTextDepartmentRange, 1),
               field::List(kBinding, "Код привязки:", bindings, -1), field::Text(kText, "Строка текста:", 16),
               field::Radio("rbSTPC866", "Сохранить строку в кодировке РС866").Checked(),
               field::Radio(kWin1251, "Сохранить строку в кодировке Win1251")}};
  p.prepare = [](const DispatchContext& c, bool) {
    const int length = c.fields.Index(kLength);
    const int department = c.fields.Int(kDepartment);
    const int binding = c.fields.Index(kBinding);
    const std::string text = c.fields.Text(kText);
    const bool win1251 = c.fields.State(kWin1251);
    return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
      DoFreeText(s, length, department, binding, text, win1251, q, l);
    });
  };
  return p;
}

Page ExchangeParamsPage() {
  static constexpr const char* kRate = "cbRateExcange";
  static constexpr const char* kTimeout = "edTimeOut";
  static constexpr const char* kStandard = "btStandartSettingsExcange";
  Page p = ServicePage("Установка параметров обмена", "grServisItems3Click", code::kExchangeParams,
                       "Docs/Установка параметров обмена.htm");
  p.layout = {"pnSetExchangeParams", "Установка параметров обмена", "Код команды: 0x02",
              {field::List(kRate, "Скорость обмена", {std::begin(kExchangeRates), std::end(kExchangeRates)}, -1),
               field::Int(kTimeout, "Тайм-аут", kExchangeTimeoutRange, 10), field::Button(kStandard, "Стандартные")}};
  p.prepare = [](const DispatchContext& c, bool) {
    const int index = c.fields.Index(kRate);
    const std::string rate = c.fields.ItemText(kRate);
    const int timeout = c.fields.Nearest(kTimeout);
    return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
      DoSetExchangeParams(s, s.settings.ComPort, index, timeout, rate, q, l);
    });
  };
  // btStandartSettingsExcangeClick: the rate and time-out of a new EKLZ.
  p.connect = [](QWidget& panel, MessagePresenter&) {
    QObject::connect(panel.findChild<QPushButton*>(kStandard), &QPushButton::clicked, &panel, [&panel] {
      panel.findChild<QComboBox*>(kRate)->setCurrentText("9600");
      panel.findChild<QLineEdit*>(kTimeout)->setText("10");
    });
  };
  return p;
}

Page ActivatePage() {
  static constexpr const char* kDate = "dteDateActivate";
  static constexpr const char* kTime = "dteTimeActivate";
  static constexpr const char* kRegNumber = "edRegNum";
  static constexpr const char* kInn = "edINN";
  static constexpr const char* kShift = "edNumSmen";
  static constexpr const char* kSerial = "edSN";
  static constexpr const char* kWidth = "edPrintWidth";
  static constexpr const char* kName = "edKKmName";
  Page p = ServicePage("Активизация ЭКЛЗ", "grServisItems4Click", code::kActivate, "Docs/Активизация.htm");
  p.layout = {"pnActivate", "Активизация", "Код команды: 0x01",
              {field::Date(kDate, "Дата активизации"), field::Time(kTime, "Время активизации"),
               field::Digits(kRegNumber, "Регистрационный номер", 12), field::Digits(kInn, "ИНН", 12),
               field::Digits(kShift, "Номер смены", 4), field::Text(kSerial, "Заводской номер ККМ", 12),
               field::Spin(kWidth, "Ширина строки принтера", 16, 40, 16, 24), field::Text(kName, "Тип ККМ", 16),
               field::List("cbKKmNameLength", "", kLengthItems, 0).Beside().Named("Длина типа ККМ")},
              FormChoice{"rbActivateDigits", "rbActivateTXT"}};
  p.prepare = [](const DispatchContext& c, bool textForm) {
    const std::string serial = c.fields.Text(kSerial);
    const CalendarDate date = c.fields.Date(kDate);
    const ClockTime time = c.fields.Time(kTime);
    const std::string inn = c.fields.Text(kInn);
    const std::string reg = c.fields.Text(kRegNumber);
    const std::string name = c.fields.Text(kName);
    const int width = static_cast<int>(c.fields.Value(kWidth));
    const int shift = c.fields.Int(kShift);
    return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
      DoActivate(s, textForm, serial, date, time, inn, reg, name, width, shift, q, l);
    });
  };
  p.beforeSelect = [](QWidget& panel) { SetNow(panel, kDate, kTime); };
  return p;
}

Page ArchiveTestPage() {
  Page p = ServicePage("Проверка целостности архива", "grServisItems5Click", code::kArchiveTest, "Docs/Тест.htm");
  p.layout = {"pnTest", "Тест архива", "Код команды: 0x08", {}};
  p.prepare = PlainRun(DoArchiveTest);
  return p;
}

Page ArchiveDumpPage() {
  static constexpr const char* kOnePage = "rbAskDumpOnePage";
  static constexpr const char* kFrom = "eiAskDumpNumPageFrom";
  static constexpr const char* kTo = "eiAskDumpNumPageTo";
  static constexpr const char* kToFile = "chAskDumpArchivInFile";
  static constexpr const char* kFile = "edAskDumpArchivFileName";
  static constexpr const char* kBrowse = "RzToolbarButton1";
  Page p = ServicePage("Запрос дампа архива", "grServisItems6Click", code::kDump, "Docs/Запрос дампа архива.htm");
  p.layout = {"pnAskDumpArchiv", "Выполнить запрос дампа архива", "Код команды: 0x03",
              {field::Radio(kOnePage, "Только одна страница дампа архива").Checked(),
               field::Radio("rbAskDumpManyPages", "Диапазон страниц дампа архива"),
               field::Int(kFrom, "№ первой страницы дампа архива:", kPageRange, 0).NoGrouping(),
               field::Int(kTo, "№ последней страницы дампа архива:", kPageRange, 0).NoGrouping().Disabled(),
               field::Check(kToFile, "Сохранять дамп в отдельный файл"),
               field::Text(kFile, "Имя файла:", 0).Disabled(), field::Browse(kBrowse).Disabled()}};
  p.prepare = [](const DispatchContext& c, bool) {
    const bool toFile = c.fields.State(kToFile);
    const std::string file = c.fields.Text(kFile);
    const int from = c.fields.Int(kFrom);
    const int to = c.fields.Int(kTo);
    const bool onePage = c.fields.State(kOnePage);
    return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
      AskArchiveDump(s, toFile, file, from, to, onePage, q, l);
    });
  };
  // rbAskDumpOnePageClick, chAskDumpArchivInFileClick, RzToolbarButton1Click:
  // the last page follows the radios (toggled rather than clicked: a
  // keyboard choice of the other radio counts too), the file name and its
  // browse button follow the check box.
  p.connect = [](QWidget& panel, MessagePresenter& presenter) {
    QObject::connect(panel.findChild<QAbstractButton*>(kOnePage), &QAbstractButton::toggled, &panel,
                     [&panel](bool onePage) { panel.findChild<QWidget*>(kTo)->setEnabled(!onePage); });
    QObject::connect(panel.findChild<QAbstractButton*>(kToFile), &QAbstractButton::toggled, &panel,
                     [&panel](bool toFile) {
                       panel.findChild<QWidget*>(kFile)->setEnabled(toFile);
                       panel.findChild<QWidget*>(kBrowse)->setEnabled(toFile);
                     });
    QObject::connect(panel.findChild<QAbstractButton*>(kBrowse), &QAbstractButton::clicked, &panel,
                     [&panel, &presenter] { ChooseDumpFile(panel, presenter, kFile, SaveFileKind::Dump); });
  };
  return p;
}

}  // namespace

// Hidden among the service items, shown among the undocumented ones; the
// hidden row comes first and builds the panel.
Page InitArchivePage() {
  Page p = ServicePage("Инициализация архива", "grServisItems8Click", code::kInitArchive,
                       "Docs/Инициализация архива.htm");
  p.layout = {"pnInitArchiv", "Инициализация архива(только для эмуляторов)", "Код команды: 0x26", {}};
  p.prepare = PlainRun(DoInitArchive);
  return p;
}

std::vector<Page> ServicePages() {
  Page closeArchive = ServicePage("Закрытие архива", "grServisItems7Click", code::kCloseArchive,
                                  "Docs/Закрытие архива.htm");
  closeArchive.layout = {"pnCloseArchiv", "Выполнить закрытие архива", "Код команды: 0x0A", {}};
  closeArchive.prepare = PlainRun(DoCloseArchive);

  Page initArchive = InitArchivePage();
  initArchive.hidden = true;

  Page liftClosed = ServicePage("Снятия флага \"Закрытие архива\"", "grServisItems9Click",
                                code::kLiftArchiveClosed, "Docs/Снятие флага закрытия архива.htm");
  liftClosed.layout = {"pnCancelCloseArhiv", "Снятие флага закрытия архива(начиная с 8 версии)",
                     "Код команды: 0x40 ", {}};
  liftClosed.prepare = PlainRun(DoCancelCloseArchive);

  return {CloseShiftPage(), StatusPage(),      FreeTextPage(), ExchangeParamsPage(), ActivatePage(),
          ArchiveTestPage(), ArchiveDumpPage(), closeArchive,  initArchive,          liftClosed};
}

}  // namespace eklz::app
