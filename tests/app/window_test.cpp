// The window without a device: navigation, the tab rule, start-up and
// shutdown, saving and printing the views, the about box; and on a line
// where no device answers: the window stays served and Escape stops the wait.
#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDateTimeEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string_view>

#include "AppFixture.h"
#include "SimLine.h"
#include "UiDriver.h"
#include "app/Catalogue.h"
#include "app/Fields.h"
#include "app/Panels.h"
#include "app/Views.h"
#include "app/myAbout.h"
#include "settings/IniFile.h"
#ifndef _WIN32
#include "support/Pty.h"
#endif

namespace eklz::test {
namespace {

constexpr const char* kOffline = "[fmMainFormState]\nConnected=0\n";


std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

int LastCmd(const std::string& settingsPath) {
  return IniFile(settingsPath).ReadInteger("TfmMain", "LastCmd", -1);
}

class Window : public WindowTest {
 protected:
  void SetUp() override { WriteSettings(kOffline); }

  QString RaisedPanel() { return Find<QStackedWidget>("pnPanels")->currentWidget()->objectName(); }
  bool ExecEnabled() { return Find<QPushButton>("btExecQuery")->isEnabled(); }
  void Fill(const char* view, const QStringList& lines) {
    Find<app::LogView>(view)->AppendLines(lines.join('\n'), static_cast<int>(lines.size()));
  }
};

struct CatalogueCase {
  const char* caption;
  int code;
  const char* panel;
  const char* helpPage;
};

// Every visible task-list item: what choosing it selects.
const CatalogueCase kCatalogue[] = {
    {"Продажа", 0x10, "pnSale", "Продажа"},
    {"Покупка", 0x11, "pnBuy", "Покупка"},
    {"Возврат продажи", 0x12, "pnReturnSale", "Возврат продажи"},
    {"Возврат покупки", 0x13, "pnReturnBuy", "Возврат покупки"},
    {"Скидка", 0x16, "pnDiscount", "Скидка"},
    {"Наценка", 0x17, "pnMargin", "Наценка"},
    {"Сторно", 0x18, "pnStorno", "Сторно"},
    {"Завершение документа", 0x19, "pnFinishDoc", "Завершение документа"},
    {"Отмена действия", 0x06, "pnAbort", "Прекращение"},
    {"Запрос регистрационного номера", 0x14, "pnAskSN", "Запрос регистрационного номера ЭКЛЗ"},
    {"Запрос итога активизации", 0x24, "pnAskResultOfActivate", "Запрос итога активизации"},
    {"Запрос контрольной ленты", 0x20, "pnAskControlTape", "Запрос контрольной ленты"},
    {"Запрос документа", 0x21, "pnAskDoc", "Запрос документа"},
    {"Запрос итогов смены", 0x23, "pnAskResultOfSession", "Запрос итогов смены"},
    {"Запрос отчета", 0x22, "pnAskReport", "Запрос отчета"},
    {"Закрытие смены", 0x09, "pnCloseSession", "Закрытие смены"},
    {"Запрос состояния ЭКЛЗ", 0x07, "pnAskStatus", "Запрос состояния ЭКЛЗ"},
    {"Ввод произвольного текста", 0x04, "pnSomeText", "Произвольный текст"},
    {"Установка параметров обмена", 0x02, "pnSetExchangeParams", "Установка параметров обмена"},
    {"Активизация ЭКЛЗ", 0x01, "pnActivate", "Активизация"},
    {"Проверка целостности архива", 0x08, "pnTest", "Тест"},
    {"Запрос дампа архива", 0x03, "pnAskDumpArchiv", "Запрос дампа архива"},
    {"Закрытие архива", 0x0A, "pnCloseArchiv", "Закрытие архива"},
    {"Снятия флага \"Закрытие архива\"", 0x40, "pnCancelCloseArhiv", "Снятие флага закрытия архива"},
    {"Массовое создание документов ", 0xFF, "pnAutoCreateDocs", "Добавление документов"},
    {"Тестирование ЭКЛЗ", 0xFD, "pnAutoTest", "Автотестирование"},
    {"Весь дамп архива", 0xFC, "pnAllDump", "Весь дамп"},
    {"Заявка на ремонт в Дорнал", 0xFB, "pnRequestDornal", "Заявка в Дорнал"},
    {"Инициализация архива", 0x26, "pnInitArchiv", "Инициализация архива"},
    {"Запрос заводского номера криптопроцессора", 0x39, "pnAskSerNumRIK", "Номер криптопроцессора"},
    {"Запрос версии ЭКЛЗ", 0x2A, "pnAskVersion", "Версия ЭКЛЗ"},
    {"Команда, которую вы можете сделать сами", 0xFE, "pnSomeComand", "Произвольная команда"},
    {"Часть дампа какого то проца? (0х3D)", 0x3D, "pnAskDumpProc", "Дамп процессора"},
    {"Текущий номер КПК", 0x3C, "pnGetCurKPK", "Текущий номер КПК"},
};

TEST_F(Window, EveryTaskListItemSelectsItsCommandPanelAndHelpPage) {
  QDir(QString::fromStdString(dir.Path().string())).mkdir("Docs");
  for (const CatalogueCase& c : kCatalogue) {
    QFile page(QString::fromStdString(dir.File("Docs")) + "/" + c.helpPage + ".htm");
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.write(QString("<html><body>%1</body></html>").arg(c.caption).toUtf8());
  }
  Open();
  auto* tabs = Find<QTabWidget>("pcQueryArea");
  auto* browser = Find<QTextBrowser>("WebBrowser");
  for (const CatalogueCase& c : kCatalogue) {
    SCOPED_TRACE(c.caption);
    tabs->setCurrentIndex(1);
    Choose(c.caption);
    EXPECT_EQ(window->CurrentCmd(), c.code);
    EXPECT_EQ(RaisedPanel(), c.panel);
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_TRUE(ExecEnabled());
    EXPECT_EQ(browser->source().toLocalFile(),
              QDir::fromNativeSeparators(QString::fromStdString(dir.File("Docs"))) + "/" + c.helpPage + ".htm");
    EXPECT_EQ(LastCmd(SettingsPath()), c.code);
    // Nothing of the panel lies under "Выполнить": no field, and no label's text.
    auto* exec = Find<QPushButton>("btExecQuery");
    for (QWidget* w : Find<QWidget>(c.panel)->findChildren<QWidget*>()) {
      if (!w->isVisible() || !w->findChildren<QWidget*>().isEmpty()) continue;
      QRect at(w->mapTo(exec->parentWidget(), QPoint(0, 0)), w->size());
      if (auto* label = qobject_cast<QLabel*>(w)) {
        at = label->fontMetrics()
                 .boundingRect(label->contentsRect(), Qt::TextWordWrap, label->text())
                 .translated(at.topLeft());
      }
      EXPECT_FALSE(at.intersects(exec->geometry()))
          << w->metaObject()->className() << " " << w->objectName().toStdString();
    }
  }
}

TEST_F(Window, HiddenItemsAndAMissingHelpFolder) {
  Open();
  auto* tree = Find<QTreeWidget>("rzTaskList");
  for (const char* caption : {"Запрос данных отчета", "Инициализация архива"}) {
    const auto items = tree->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_FALSE(items.isEmpty());
    EXPECT_TRUE(items.front()->isHidden()) << caption;  // the first one, in its group
  }
  Choose("Покупка");
  EXPECT_TRUE(Find<QTextBrowser>("WebBrowser")->source().isEmpty());
  EXPECT_TRUE(Find<QTextBrowser>("WebBrowser")->toPlainText().isEmpty());
}

QString AccessibleName(QWidget* w) {
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
  return face ? face->text(QAccessible::Name) : QString();
}

// Every field is named, by its label where it has one, and no two fields of
// a panel share a name (two "на сумму:", three "Случайным образом").
TEST_F(Window, EveryPanelAndFieldCanBeFoundByAScreenReader) {
  Open();
  EXPECT_EQ(Find<QWidget>("rzTaskList")->accessibleName(), "Список команд");
  EXPECT_EQ(AccessibleName(Find<QWidget>("StringGrid1")), "Кадр команды");
  for (const app::PanelSpec& def : app::PanelTable()) {
    SCOPED_TRACE(def.name);
    QWidget* panel = Find<QWidget>(def.name);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->accessibleName(), QString::fromUtf8(def.title));
    QSet<QWidget*> buddies;
    for (QLabel* label : panel->findChildren<QLabel*>()) buddies.insert(label->buddy());
    QSet<QString> names;
    for (const app::FieldSpec& f : def.fields) {
      if (!*f.name) continue;
      QWidget* field = panel->findChild<QWidget*>(f.name);
      ASSERT_NE(field, nullptr) << f.name;
      const QString name = AccessibleName(field);
      EXPECT_FALSE(name.isEmpty()) << f.name;
      EXPECT_FALSE(names.contains(name)) << f.name << " is named like another field: " << name.toStdString();
      names.insert(name);
      if (qobject_cast<QAbstractButton*>(field)) continue;  // named by its own caption
      if (*f.label) {
        EXPECT_TRUE(buddies.contains(field)) << f.name << " has no label buddy";
      }
    }
  }
}

// What the status panes show is what a screen reader reads; nothing the Tab
// key stops at is nameless.
TEST_F(Window, StatusPanesAndTabStopsAreReadAsTheyShow) {
  Open();
  struct Case {
    const char* pane;
    QString caption;
  } cases[] = {{"StatusConn", "Состояние соединения"},
               {"StatusDataExchange", "Состояние обмена"},
               {"RzClockStatus1", "Время"}};
  for (const Case& c : cases) {
    auto* pane = Find<QLabel>(c.pane);
    EXPECT_EQ(AccessibleName(pane), pane->text().isEmpty() ? c.caption : c.caption + ": " + pane->text());
  }
  EXPECT_FALSE(Find<QLabel>("StatusConn")->text().isEmpty());
  for (const char* item : {"Продажа", "Запрос отчета", "Массовое создание документов "}) {
    Choose(item);
    for (QWidget* w : window->findChildren<QWidget*>()) {
      // A widget that hands its focus on (a tab widget, a picker's text) is no stop of its own.
      if (!w->isVisible() || !w->isEnabled() || !(w->focusPolicy() & Qt::TabFocus) || w->focusProxy()) continue;
      EXPECT_FALSE(AccessibleName(w).isEmpty())
          << item << ": " << w->metaObject()->className() << " " << w->objectName().toStdString();
    }
  }
}

// On every panel with the pair, the form that shows as chosen is the code
// set, by a click on the pair and when the item is chosen again later.
TEST_F(Window, TheFormShownIsTheFormSent) {
  Open();
  for (const app::PanelSpec& def : app::PanelTable()) {
    if (!def.formChoice) continue;
    SCOPED_TRACE(def.name);
    QString caption;
    for (const app::CatalogueItem& item : app::Catalogue()) {
      if (!item.hidden && std::string_view(item.panel) == def.name) caption = QString::fromUtf8(item.caption);
    }
    const int code = def.formChoice->code;
    Choose(caption);
    EXPECT_EQ(window->CurrentCmd(), code);
    ui::MouseClick(Find<QRadioButton>(def.formChoice->text), Qt::LeftButton);
    EXPECT_EQ(window->CurrentCmd(), code + 0x80);
    Choose("Продажа");
    Choose(caption);
    EXPECT_TRUE(Find<QRadioButton>(def.formChoice->text)->isChecked());
    EXPECT_EQ(window->CurrentCmd(), code + 0x80);
    ui::MouseClick(Find<QRadioButton>(def.formChoice->digits), Qt::LeftButton);
    EXPECT_EQ(window->CurrentCmd(), code);
  }
}

// Types 0-3 use no range, 4 and 5 the dates, 6 and 7 the shift numbers.
TEST_F(Window, TheReportTypeEnablesTheRangeItUses) {
  Open();
  Choose("Запрос отчета");
  auto* type = Find<QComboBox>("cbAskReportType");
  for (int t = 0; t < 8; ++t) {
    SCOPED_TRACE(t);
    type->setCurrentIndex(t);
    for (const char* date : {"dteAskReportFrom", "dteAskReportTo"}) {
      EXPECT_EQ(Find<QWidget>(date)->isEnabled(), t == 4 || t == 5) << date;
    }
    for (const char* shift : {"edAskReportSesionFrom", "edAskReportTo"}) {
      EXPECT_EQ(Find<QWidget>(shift)->isEnabled(), t >= 6) << shift;
    }
  }
}

// Up and down in the task list raise each item's panel as a click does; a
// group heading changes nothing.
TEST_F(Window, ArrowKeysInTheTaskListRaiseEachItemsPanel) {
  Open();
  auto* tree = Find<QTreeWidget>("rzTaskList");
  tree->setFocus();
  ui::KeyClick(tree, Qt::Key_Down);
  EXPECT_EQ(RaisedPanel(), "pnBuy");
  EXPECT_EQ(window->CurrentCmd(), 0x11);
  EXPECT_EQ(LastCmd(SettingsPath()), 0x11);
  ui::KeyClick(tree, Qt::Key_Up);
  EXPECT_EQ(RaisedPanel(), "pnSale");
  Choose("Отмена действия");
  ui::KeyClick(tree, Qt::Key_Down);  // onto the heading "Отчёты"
  EXPECT_EQ(RaisedPanel(), "pnAbort");
  ui::KeyClick(tree, Qt::Key_Down);
  EXPECT_EQ(RaisedPanel(), "pnAskSN");
  EXPECT_EQ(window->CurrentCmd(), 0x14);
}

// The report's first showing sets today's dates and the fifth type; what
// the operator sets then stays when he comes back to it, and so does the
// form he chose.
TEST_F(Window, ThePanelsKeepWhatWasSetOnThem) {
  Open();
  Choose("Запрос отчета");
  auto* type = Find<QComboBox>("cbAskReportType");
  auto* from = Find<QDateTimeEdit>("dteAskReportFrom");
  auto* shiftFrom = Find<QLineEdit>("edAskReportSesionFrom");
  EXPECT_EQ(type->currentText(), "Полный по  датам по закрытиям смен");
  EXPECT_EQ(from->date(), QDate::currentDate());
  EXPECT_FALSE(shiftFrom->isEnabled());
  type->setCurrentIndex(6);
  from->setDate(QDate(2020, 1, 1));
  shiftFrom->setText("5");
  Find<QLineEdit>("edAskReportTo")->setText("7");
  ui::MouseClick(Find<QRadioButton>("rbAskReportTXT"), Qt::LeftButton);
  const uint8_t textForm = window->CurrentCmd();
  Choose("Продажа");
  Choose("Запрос отчета");
  EXPECT_EQ(type->currentIndex(), 6);
  EXPECT_EQ(from->date(), QDate(2020, 1, 1));
  EXPECT_TRUE(shiftFrom->isEnabled());
  EXPECT_EQ(shiftFrom->text(), "5");
  EXPECT_EQ(Find<QLineEdit>("edAskReportTo")->text(), "7");
  EXPECT_EQ(window->CurrentCmd(), textForm);
  EXPECT_EQ(textForm, 0xA2);

  // A document's date follows the clock until the operator sets one.
  Choose("Завершение документа");
  auto* date = Find<QDateTimeEdit>("dteFinishDocDate");
  EXPECT_EQ(date->date(), QDate::currentDate());
  date->setDate(QDate(2021, 3, 4));
  Choose("Продажа");
  Choose("Завершение документа");
  EXPECT_EQ(date->date(), QDate(2021, 3, 4));
}

// The full dump's file (as an absolute path), raise box and rate outlive the
// program: a dump is resumed after a restart.
TEST_F(Window, TheFullDumpPanelKeepsItsChoicesAcrossARestart) {
  Open();
  Choose("Весь дамп архива");
  Find<QLineEdit>("edAllDumpFileName")->setText("архив/Дамп 1.bin");
  Find<QCheckBox>("chAllDumpMaxSpeed")->setChecked(true);
  auto* rates = Find<QComboBox>("cbAllDumpRate");
  rates->setCurrentIndex(rates->findText("57600"));
  window->close();
  Open();
  Choose("Весь дамп архива");
  EXPECT_EQ(Find<QLineEdit>("edAllDumpFileName")->text(), QDir::current().absoluteFilePath("архив/Дамп 1.bin"));
  EXPECT_TRUE(Find<QCheckBox>("chAllDumpMaxSpeed")->isChecked());
  EXPECT_EQ(Find<QComboBox>("cbAllDumpRate")->currentText(), "57600");
  EXPECT_TRUE(Find<QComboBox>("cbAllDumpRate")->isEnabled());
}

// The raise box names the rate the list beside it shows, in the words of
// old for 19200; the file field shows a whole path.
TEST_F(Window, TheFullDumpPanelSaysTheRateChosenAndShowsAPath) {
  Open();
  Choose("Весь дамп архива");
  auto* raise = Find<QCheckBox>("chAllDumpMaxSpeed");
  auto* rates = Find<QComboBox>("cbAllDumpRate");
  EXPECT_EQ(raise->text(), "Увеличивать скорось до 19200");
  const struct {
    const char* rate;
    const char* caption;
  } cases[] = {{"наибольшая", "Увеличивать скорость до наибольшей"},
               {"38400", "Увеличивать скорость до 38400"},
               {"57600", "Увеличивать скорость до 57600"},
               {"19200", "Увеличивать скорось до 19200"}};
  for (const auto& c : cases) {
    rates->setCurrentIndex(rates->findText(c.rate));
    EXPECT_EQ(raise->text(), c.caption);
  }
  auto* file = Find<QLineEdit>("edAllDumpFileName");
  const QString path = "/home/operator/dumps/eklz-0001.bin";
  file->setText(path);
  ui::Wait(0);
  EXPECT_GE(file->width(), file->fontMetrics().horizontalAdvance(path) + 8);
}

TEST_F(Window, ExecuteIsEnabledOnlyOnTheParametersTab) {
  Open();
  auto* tabs = Find<QTabWidget>("pcQueryArea");
  EXPECT_TRUE(ExecEnabled());
  EXPECT_FALSE(tabs->isTabVisible(1));
  EXPECT_FALSE(tabs->isTabVisible(2));
  tabs->setTabVisible(1, true);
  tabs->setCurrentIndex(1);
  EXPECT_FALSE(ExecEnabled());
  ui::MouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(0).center());
  EXPECT_TRUE(ExecEnabled());
}

TEST_F(Window, WithoutALinkExecuteSaysSoAndChangesNothing) {
  Open();
  Fill("mmResult", {"прежний результат"});
  Execute();
  EXPECT_EQ(presenter.errors, QStringList{"Нет соединения."});
  EXPECT_EQ(ResultLines(), QStringList{"прежний результат"});
  EXPECT_TRUE(window->ResultHistory().isEmpty());
  EXPECT_EQ(Find<QTabWidget>("pcQueryArea")->currentIndex(), 0);
}

TEST_F(Window, StartUpAlwaysSelectsTheSaleAndAFailedLinkBlinks) {
  WriteSettings("[TfmMain]\nLastCmd=34\n[Options]\nBoundRate=abc\nComPort=" + dir.File("none") +
                "\n[fmMainFormState]\nConnected=1\n");
  Open();
  EXPECT_EQ(window->CurrentCmd(), 0x10);
  EXPECT_EQ(RaisedPanel(), "pnSale");
  ASSERT_NE(Find<QTreeWidget>("rzTaskList")->currentItem(), nullptr);
  EXPECT_EQ(Find<QTreeWidget>("rzTaskList")->currentItem()->text(0), "Продажа");
  EXPECT_EQ(LastCmd(SettingsPath()), 16);
  EXPECT_EQ(Find<QLabel>("StatusConn")->text(), "Невозможно установить соединение");
  EXPECT_FALSE(window->Session().LinkOpen());
  EXPECT_TRUE(Find<QToolButton>("BtnInitPort")->isEnabled());
  EXPECT_FALSE(Find<QToolButton>("BtnClosePort")->isEnabled());
  EXPECT_TRUE(presenter.errors.isEmpty());
  EXPECT_EQ(presenter.modals, QStringList{"TfmMyAbout"});

  window->close();
  EXPECT_EQ(IniFile(SettingsPath()).ReadString("Options", "BoundRate", ""), "abc");
}

#ifndef _WIN32  // a pty held under a lock and the POSIX system messages
// A port that does not open: the connection pane blinks its caption as
// before, the exchange pane names the reason in a few words, and the
// connection pane's hint holds the system's message with the port.
TEST_F(Window, APortThatDoesNotOpenSaysWhy) {
  PtyPair held;
  const int holder = ::open(held.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  const std::string plain = dir.File("not-a-port");
  std::ofstream(plain) << "x";
  struct Case {
    std::string port;
    std::string extra;  // further settings lines
    QString reason;
    QString hint;  // the start of the hint
  } cases[] = {
      {held.SlavePath(), "", "Порт занят", "System Error.  Code: 16.\nУстройство или ресурс занято"},
      {plain, "", "Это не последовательный порт", "System Error.  Code: 25."},
      {dir.File("none"), "", "Порт не найден", "System Error.  Code: 2.\nНет такого файла или каталога"},
      {held.SlavePath(), "TimeOuts=50000\n",
       "Значение TimeOuts (тайм-аут порта) должно быть в пределах от 2 до 32000 мс",
       "Значение TimeOuts"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason.toStdString());
    WriteSettings("[Options]\nComPort=" + c.port + "\n" + c.extra);
    Open();
    EXPECT_EQ(Find<QLabel>("StatusConn")->text(), "Невозможно установить соединение");
    EXPECT_EQ(Find<QLabel>("StatusDataExchange")->text(), c.reason);
    const QString hint = Find<QLabel>("StatusConn")->toolTip();
    EXPECT_TRUE(hint.startsWith(c.hint)) << hint.toStdString();
    if (c.extra.empty()) {
      EXPECT_TRUE(hint.contains("Порт: " + QString::fromStdString(c.port)));
    }
    EXPECT_TRUE(presenter.errors.isEmpty());
  }
  ::close(holder);

  // The options dialog shows the time-out that a link can be opened with
  // and keeps it with OK.
  QString shown;
  presenter.onModal = [&](QDialog& d) {
    if (d.objectName() != "TfmOptions") return;
    shown = d.findChild<app::IntegerEdit*>("RzNumericEdit1")->Digits();
    d.accept();
  };
  ui::MouseClick(Find<QToolButton>("RzToolButton2"), Qt::LeftButton);
  EXPECT_EQ(shown, "32000");
  EXPECT_EQ(window->Session().settings.TimeOuts, 32000);
}

#endif

// A settings file that cannot be written (here its folder is a file, which
// holds for root too): the window says so once in the status bar, runs on
// and closes without a message.
TEST_F(Window, ASettingsFileThatCannotBeWrittenIsSaidOnce) {
  std::ofstream(dir.File("blocked")) << "x";
  app::TesterEnvironment env;
  env.settingsPath = QString::fromStdString(dir.File("blocked") + "/eklz-tester.ini");
  env.programDir = QString::fromStdString(dir.Path().string());
  env.presenter = &presenter;
  window = std::make_unique<app::TfmMain>(env);
  window->show();
  WaitIdle();
  Choose("Сторно");
  Choose("Покупка");
  auto* pane = Find<QLabel>("RzStatusPane1");
  EXPECT_EQ(pane->text(), "Файл настроек не записывается");
  EXPECT_TRUE(pane->toolTip().contains("Unable to write to")) << pane->toolTip().toStdString();
  EXPECT_EQ(window->CurrentCmd(), 0x11);
  window->close();
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(presenter.errors.isEmpty()) << presenter.errors.join('\n').toStdString();
}

TEST_F(Window, ShutdownWritesPlacementAndSettingsInOrder) {
  WriteSettings("[Group 1]\nOpened=0\n[Options]\nLogTXT=0\nTimeOuts=0x20\n[fmMainFormState]\nConnected=0\n");
  Open();
  // The size the window took on the test platform's screen.
  ui::Wait(0);
  const std::string width = "Width=" + std::to_string(window->width());
  const std::string height = "Height=" + std::to_string(window->height());
  window->close();
  const std::string text = ReadFile(SettingsPath());
  const std::string order[] = {"Maximized=0", "Left=", "Top=", width, height, "Saved=1"};
  size_t pos = 0;
  for (const std::string& key : order) {
    const size_t at = text.find(key, pos);
    ASSERT_NE(at, std::string::npos) << key << "\n" << text;
    pos = at;
  }
  const IniFile ini(SettingsPath());
  EXPECT_FALSE(ini.ReadBool("Group 1", "Opened", true));
  EXPECT_TRUE(ini.ReadBool("Group 0", "Opened", false));
  EXPECT_FALSE(ini.ReadBool("Options", "LogTXT", true));
  EXPECT_EQ(ini.ReadString("Options", "TimeOuts", ""), "32");
}

TEST_F(Window, AMaximizedWindowReopensMaximizedWithItsNormalSize) {
  WriteSettings("[fmMainFormState]\nConnected=0\nSaved=1\nMaximized=1\nLeft=30\nTop=40\nWidth=700\nHeight=500\n");
  Open();
  EXPECT_TRUE(ui::WaitFor([&] { return window->isMaximized(); }, 2000));
  window->close();
  const IniFile ini(SettingsPath());
  EXPECT_TRUE(ini.ReadBool("fmMainFormState", "Maximized", false));
  EXPECT_EQ(ini.ReadInteger("fmMainFormState", "Width", 0), 700);
  EXPECT_EQ(ini.ReadInteger("fmMainFormState", "Height", 0), 500);
}

TEST_F(Window, SavedPairIsWindows1251WithCrLfAndTheHexName) {
  presenter.savePath = QString::fromStdString(dir.File("test.log"));
  Open();
  Fill("mmResult", {"Результат операции: ", "", "Сумма:1,5"});
  Fill("MemoLog", {"==> 02 01 07 06"});
  ui::MouseClick(Find<QToolButton>("SaveLogs"), Qt::LeftButton);
  EXPECT_EQ(ReadFile(dir.File("test.log")),
            "\xD0\xE5\xE7\xF3\xEB\xFC\xF2\xE0\xF2 \xEE\xEF\xE5\xF0\xE0\xF6\xE8\xE8: \r\n\r\n"
            "\xD1\xF3\xEC\xEC\xE0:1,5\r\n");
  EXPECT_EQ(ReadFile(dir.File("test.logHex")), "==> 02 01 07 06\r\n");
  EXPECT_TRUE(window->ResultHistory().isEmpty());
  // The views keep their text, so a second save writes it again.
  EXPECT_EQ(ResultLines().size(), 3);
}

TEST_F(Window, ClosePromptAsksOnlyWithTextInTheViews) {
  Open();
  window->close();
  EXPECT_EQ(presenter.questions, 0);
  EXPECT_FALSE(window->isVisible());

  // "Отмена" keeps the window and its views; "Нет" closes it.
  window->show();
  Fill("MemoLog", {"==> 02 01 07 06"});
  presenter.closeAnswer = app::SaveViewsAnswer::Cancel;
  window->close();
  EXPECT_EQ(presenter.questions, 1);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(ProtocolLines(), QStringList{"==> 02 01 07 06"});
  presenter.closeAnswer = app::SaveViewsAnswer::DontSave;
  window->close();
  EXPECT_EQ(presenter.questions, 2);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(Window, AFileThatCannotBeWrittenKeepsTheHistoriesAndTheWindowOpen) {
  presenter.closeAnswer = app::SaveViewsAnswer::Save;
  presenter.savePath = QString::fromStdString(dir.File("missing/test.log"));
  Open();
  Fill("mmResult", {"строка"});
  window->close();
  EXPECT_TRUE(window->isVisible());
  ASSERT_EQ(presenter.errors.size(), 1);
  EXPECT_TRUE(presenter.errors[0].startsWith("Невозможно записать файл")) << presenter.errors[0].toStdString();
  EXPECT_EQ(window->ResultHistory(), QStringList{"строка"});
  EXPECT_EQ(ResultLines(), QStringList{"строка"});
}

TEST_F(Window, PrintingWithBothViewsEmptySaysThereIsNothing) {
  presenter.pdfPath = QString::fromStdString(dir.File("out.pdf"));
  Open();
  ui::MouseClick(Find<QToolButton>("RzToolButton3"), Qt::LeftButton);
  EXPECT_EQ(presenter.messages, QStringList{"Сообщение: А печатать в данный момент нечего."});
  EXPECT_FALSE(QFile::exists(presenter.pdfPath));
}

TEST_F(Window, PrintedPagesReadBackWithLongLinesInChunks) {
  presenter.pdfPath = QString::fromStdString(dir.File("out.pdf"));
  Open();
  QString digits;
  for (int i = 0; i < 1024; ++i) digits += QChar('0' + (i * 7) % 10);
  Fill("mmResult", {"Дамп:", digits});
  Fill("MemoLog", {"==> 02 03 03 00 00 00"});
  ui::MouseClick(Find<QToolButton>("RzToolButton3"), Qt::LeftButton);
  ASSERT_TRUE(QFile::exists(presenter.pdfPath));

  const QString text = PdfText(presenter.pdfPath);
  QStringList lines;
  for (const QString& line : text.split('\n')) {
    if (!line.trimmed().isEmpty()) lines << line.trimmed();  // a page ends in a form feed
  }
  ASSERT_GE(lines.size(), 4) << text.toStdString();
  EXPECT_EQ(lines.front(), "Дамп:");
  EXPECT_EQ(lines.back(), "==> 02 03 03 00 00 00");
  QString joined;
  for (qsizetype i = 1; i + 1 < lines.size(); ++i) joined += lines[i];
  EXPECT_EQ(joined, digits);
  EXPECT_GE(lines.size() - 2, 2) << "the 1024 digits are broken into chunks";
}

TEST(HelpPagesFolder, BesideTheProgramOrInItsInstalledShareFolder) {
  TempDir dir;
  const QString root = QDir::fromNativeSeparators(QString::fromStdString(dir.Path().string()));
  QDir(root).mkpath("build/bin/Docs");
  QDir(root).mkpath("usr/bin");
  QDir(root).mkpath("usr/share/eklz-tester/Docs");
  QDir(root).mkpath("bare/bin");
  EXPECT_EQ(app::HelpPagesFolder(root + "/build/bin"), root + "/build/bin");
  EXPECT_EQ(app::HelpPagesFolder(root + "/usr/bin"), root + "/usr/share/eklz-tester");
  EXPECT_EQ(app::HelpPagesFolder(root + "/bare/bin"), root + "/bare/bin");
}

TEST_F(Window, AboutBoxClosesItselfOnlyAtItsFirstShowing) {
  app::TfmMyAbout about(QUrl::fromLocalFile(QString::fromStdString(dir.File("Docs/"))));
  about.show();
  EXPECT_TRUE(ui::WaitFor([&] { return !about.isVisible(); }, 5000));
  EXPECT_FALSE(about.AutoClose());
  about.show();
  ui::Wait(1500);
  EXPECT_TRUE(about.isVisible());
  // The address label opens the page and leaves the box open; any other part closes it.
  ui::MouseClick(about.findChild<QLabel*>("Label2"), Qt::LeftButton);
  EXPECT_FALSE(about.isVisible());
}

TEST_F(WindowTest, ASilentDeviceKeepsTheWindowServedAndEndsInAMessage) {
  const SimLine silent({"--silent"});
  ConnectTo(silent.Port());
  Open();
  ASSERT_TRUE(window->Session().LinkOpen());
  Choose("Запрос состояния ЭКЛЗ");
  ui::MouseClick(Find<QPushButton>("btExecQuery"), Qt::LeftButton);
  ASSERT_TRUE(window->JobRunning());

  // The event loop keeps running: a 20 ms timer is never more than 100 ms late.
  QElapsedTimer clock;
  clock.start();
  qint64 last = 0, worst = 0;
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    worst = std::max(worst, clock.elapsed() - last);
    last = clock.elapsed();
  });
  probe.start(20);
  ui::Wait(300);

  // A selection during the job takes effect at once; nothing that touches
  // the link can be pressed, also on the parameters tab.
  Choose("Продажа");
  EXPECT_EQ(window->CurrentCmd(), 0x10);
  EXPECT_EQ(Find<QTabWidget>("pcQueryArea")->currentIndex(), 0);
  EXPECT_FALSE(Find<QPushButton>("btExecQuery")->isEnabled());
  EXPECT_FALSE(Find<QToolButton>("BtnClosePort")->isEnabled());
  EXPECT_FALSE(Find<QToolButton>("BtnInitPort")->isEnabled());

  WaitIdle(5000);
  probe.stop();
  EXPECT_LT(worst, 120);
  EXPECT_EQ(presenter.errors, QStringList{"Устройство не отвечает."});
  // The failure is on record after the lines the command wrote, and the
  // exchange pane names it.
  EXPECT_EQ(ResultLines().last(), "Устройство не отвечает.");
  EXPECT_EQ(Find<QLabel>("StatusDataExchange")->text(), "Устройство не отвечает");
  EXPECT_TRUE(Find<QPushButton>("btExecQuery")->isEnabled());
  EXPECT_TRUE(Find<QToolButton>("BtnClosePort")->isEnabled());
}

// Escape in the window stops a command that waits for a silent device at
// once; the view and the exchange pane say it was stopped.
TEST_F(WindowTest, EscapeStopsAWaitAtOnce) {
  const SimLine silent({"--silent"});
  ConnectTo(silent.Port());
  Open();
  Choose("Запрос состояния ЭКЛЗ");
  ui::MouseClick(Find<QPushButton>("btExecQuery"), Qt::LeftButton);
  ASSERT_TRUE(window->JobRunning());
  window->activateWindow();
  ASSERT_TRUE(ui::WaitForWindowActive(window.get()));
  QElapsedTimer clock;
  clock.start();
  ui::KeyClick(window.get(), Qt::Key_Escape);
  WaitIdle(1500);
  EXPECT_LT(clock.elapsed(), 1000);
  EXPECT_TRUE(presenter.errors.isEmpty()) << presenter.errors.join('\n').toStdString();
  EXPECT_EQ(ResultLines().last(), "Операция прервана");
  EXPECT_EQ(Find<QLabel>("StatusDataExchange")->text(), "Операция прервана");
}

}  // namespace
}  // namespace eklz::test
