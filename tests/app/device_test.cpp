// The window end to end: commands from the panels against the simulated
// EKLZ give the lines the core gives; a silent device and conversions
// through the scripted pty peer.
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "AppFixture.h"
#include "app/Catalogue.h"
#include "app/StopSignals.h"
#include "app/Views.h"
#include "codec/Regional.h"
#include "commands/ArchiveDump.h"
#include "commands/Documents.h"
#include "commands/Reports.h"
#include "commands/Status.h"
#include "procedures/Autotest.h"
#include "settings/IniFile.h"
#include "support/Pty.h"
#include "support/SimSession.h"

namespace eklz::test {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The autotest heading carries the computer's clock to the second.
std::vector<std::string> WithoutClock(std::vector<std::string> lines) {
  for (std::string& l : lines) {
    if (l.rfind("Дата,время отчета:", 0) == 0) l = "Дата,время отчета:";
  }
  return lines;
}

// A window connected to the demo simulator.
class WithSimulator : public WindowTest {
 protected:
  void SetUp() override {
    ConnectTo(sim.server->SlavePath());
    Open();
    ASSERT_TRUE(window->Session().LinkOpen());
  }
  // The dump panel with a page range, set as its panel handlers would leave it.
  void ChooseDumpRange(const char* from, const char* to) {
    Choose("Запрос дампа архива");
    Find<QRadioButton>("rbAskDumpManyPages")->setChecked(true);
    Find<QLineEdit>("eiAskDumpNumPageFrom")->setText(from);
    Find<QLineEdit>("eiAskDumpNumPageTo")->setText(to);
  }
  SimDevice sim;
};

struct EndToEndCase {
  const char* name;
  const char* item;
  std::function<void(WindowTest&, QWidget&)> fill;  // panel fields as the operator sets them
  std::function<void(EklzSession&)> reference;      // the same operation on the core
};

void PrintTo(const EndToEndCase& c, std::ostream* os) { *os << c.name; }

class EndToEnd : public WithSimulator, public ::testing::WithParamInterface<EndToEndCase> {};

TEST_P(EndToEnd, WindowShowsWhatTheCoreWrites) {
  const EndToEndCase& c = GetParam();
  EXPECT_EQ(Find<QLabel>("StatusConn")->text(), "Соединение установлено");
  Choose(QString::fromUtf8(c.item));
  c.fill(*this, *window);
  Execute();
  EXPECT_TRUE(presenter.errors.isEmpty()) << presenter.errors.join('\n').toStdString();
  EXPECT_EQ(Find<QTabWidget>("pcQueryArea")->currentIndex(), 1);

  SimSession reference(true);
  c.reference(reference.session);
  EXPECT_EQ(WithoutClock(StdLines(ResultLines())), WithoutClock(reference.sink.result));
  EXPECT_EQ(StdLines(ProtocolLines()), reference.sink.protocol);
  EXPECT_GT(ResultLines().size(), 3);
}

const auto Nothing = [](WindowTest&, QWidget&) {};

INSTANTIATE_TEST_SUITE_P(
    Commands, EndToEnd,
    ::testing::Values(
        EndToEndCase{"Sale", "Продажа",
                     [](WindowTest&, QWidget& w) {
                       w.findChild<QLineEdit*>("edSaleDepNum")->setText("3");
                       auto* count = w.findChild<QLineEdit*>("edSaleCnt");
                       QTest::keyClicks(count, "\b\b\b\b\b2.5");
                       EXPECT_EQ(count->text(), "2,5");
                       w.findChild<QLineEdit*>("edSaleSum")->setText("12,34");
                     },
                     [](EklzSession& s) { DoSale(s, 3, 2.5, 12.34, false, true); }},
        EndToEndCase{"Status", "Запрос состояния ЭКЛЗ", Nothing,
                     [](EklzSession& s) { AskStatus(s, false, true); }},
        EndToEndCase{"ControlTapeTextForm", "Запрос контрольной ленты",
                     [](WindowTest&, QWidget& w) {
                       QTest::mouseClick(w.findChild<QRadioButton*>("rbControlTapeText"), Qt::LeftButton);
                       w.findChild<QLineEdit*>("edShift")->setText("2");
                     },
                     [](EklzSession& s) {
                       AskControlTape(s, true, 2, false, true);
                     }},
        EndToEndCase{"Autotest", "Тестирование ЭКЛЗ", Nothing,
                     [](EklzSession& s) { RunAutotest(s, false, false, true); }}),
    [](const ::testing::TestParamInfo<EndToEndCase>& info) { return info.param.name; });

TEST_F(WithSimulator, TenPageDumpToAFileShowsEveryPage) {
  ChooseDumpRange("5", "14");
  Find<QCheckBox>("chAskDumpArchivInFile")->setChecked(true);
  Find<QLineEdit>("edAskDumpArchivFileName")->setText(QString::fromStdString(dir.File("dump.bin")));
  Execute();
  EXPECT_TRUE(presenter.errors.isEmpty()) << presenter.errors.join('\n').toStdString();

  SimSession reference(true);
  AskArchiveDump(reference.session, true, dir.File("reference.bin"), 5, 14, false, false, true);
  EXPECT_EQ(StdLines(ResultLines()), reference.sink.result);
  EXPECT_EQ(StdLines(ProtocolLines()), reference.sink.protocol);
  const std::string bytes = ReadFile(dir.File("dump.bin"));
  EXPECT_EQ(bytes.size(), 10u * 512u);
  EXPECT_EQ(bytes, ReadFile(dir.File("reference.bin")));
  // The progress dialog is gone with the dump.
  QTest::qWait(50);
  EXPECT_EQ(window->findChild<QWidget*>("TfmProgressDUMP"), nullptr);
}

TEST_F(WindowTest, ASilentDeviceKeepsTheWindowServedAndEndsInAMessage) {
  PtyPair pty;
  ConnectTo(pty.SlavePath());
  Open();
  ASSERT_TRUE(window->Session().LinkOpen());
  Choose("Запрос состояния ЭКЛЗ");
  QTest::mouseClick(Find<QPushButton>("btExecQuery"), Qt::LeftButton);
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
  QTest::qWait(300);

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
  PtyPair pty;
  ConnectTo(pty.SlavePath());
  Open();
  Choose("Запрос состояния ЭКЛЗ");
  QTest::mouseClick(Find<QPushButton>("btExecQuery"), Qt::LeftButton);
  ASSERT_TRUE(window->JobRunning());
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  QElapsedTimer clock;
  clock.start();
  QTest::keyClick(window.get(), Qt::Key_Escape);
  WaitIdle(1500);
  EXPECT_LT(clock.elapsed(), 1000);
  EXPECT_TRUE(presenter.errors.isEmpty()) << presenter.errors.join('\n').toStdString();
  EXPECT_EQ(ResultLines().last(), "Операция прервана");
  EXPECT_EQ(Find<QLabel>("StatusDataExchange")->text(), "Операция прервана");
}

class Conversions : public WindowTest {
 protected:
  void SetUp() override {
    peer = std::make_unique<RespondingPeer>(pty, [](const Bytes&) { return DeviceReply(0x01); });
    ConnectTo(pty.SlavePath());
    Open();
  }
  PtyPair pty;
  std::unique_ptr<RespondingPeer> peer;
};

TEST_F(Conversions, AnEmptyQuantityFailsAfterTheViewsMovedAndSendsNothing) {
  Find<app::LogView>("mmResult")->AppendLines("прежний", 1);
  Find<QLineEdit>("edSaleCnt")->clear();
  Execute();
  EXPECT_EQ(presenter.errors, QStringList{"'' is not a valid floating point value."});
  EXPECT_EQ(window->ResultHistory(), QStringList{"прежний"});
  EXPECT_TRUE(ResultLines().isEmpty());
  EXPECT_TRUE(peer->Requests().empty());
}

TEST_F(Conversions, AGroupedShiftNumberIsReadByItsValue) {
  Choose("Запрос контрольной ленты");
  auto* shift = Find<QLineEdit>("edShift");
  shift->setFocus();
  shift->selectAll();
  QTest::keyClicks(shift, "1000");
  QTest::keyClick(shift, Qt::Key_Return);
  EXPECT_EQ(shift->text(), QString("1\u00A0000"));
  Execute();
  ASSERT_EQ(peer->Requests().size(), 1u);
  EXPECT_EQ(peer->Requests()[0], B("02 03 20 03 E8 C8"));
}

TEST_F(Conversions, ACodeWithoutARowClearsTheViewsAndSendsNothing) {
  for (const app::CatalogueItem& item : app::Catalogue()) {
    if (item.code == 0x05) window->SelectCommand(item);
  }
  ASSERT_EQ(window->CurrentCmd(), 0x05);
  Find<app::LogView>("MemoLog")->AppendLines("==> 02 01 07 06", 1);
  Execute();
  EXPECT_TRUE(presenter.errors.isEmpty());
  EXPECT_TRUE(ProtocolLines().isEmpty());
  EXPECT_EQ(window->ProtocolHistory(), QStringList{"==> 02 01 07 06"});
  EXPECT_EQ(Find<QTabWidget>("pcQueryArea")->currentIndex(), 1);
  EXPECT_TRUE(peer->Requests().empty());
}

// The histories wait in a file of the temporary folder, not in memory: each
// run that starts appends the views to it (the protocol view's text too,
// kept while its tab was never shown, no-break spaces and empty lines as
// they are), a save writes it all in order and empties it, and the file
// goes with the window.
TEST_F(Conversions, TheHistoriesWaitInATemporaryFileUntilSaved) {
  const std::filesystem::path tmp = dir.File("tmp");
  std::filesystem::create_directory(tmp);
  const QByteArray oldTmp = qgetenv("TMPDIR");
  qputenv("TMPDIR", QByteArray::fromStdString(tmp.string()));
  // The files this process holds open there (unnamed ones too).
  auto files = [&] {
    int open = 0;
#if defined(__linux__)
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
      std::error_code error;
      const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
      if (!error && target.rfind(tmp.string() + "/", 0) == 0) ++open;
    }
#endif
    return open;
  };
#if defined(__linux__)
  const int kHistoryFiles = 2;
#else
  const int kHistoryFiles = 0;
#endif
  auto* result = Find<app::LogView>("mmResult");
  auto* protocol = Find<app::LogView>("MemoLog");
  // Each run fails on the empty quantity, after the views have moved.
  Find<QLineEdit>("edSaleCnt")->clear();
  result->AppendLines(QString("первая\n\n1\u00A0000,50"), 3);
  protocol->AppendLines("==> 02 01 07 06", 1);
  Execute();
  EXPECT_EQ(window->ProtocolHistory(), QStringList{"==> 02 01 07 06"});
  EXPECT_EQ(files(), kHistoryFiles);
  result->AppendLines("вторая", 1);
  Choose("Продажа");
  Find<QLineEdit>("edSaleCnt")->clear();
  Execute();
  EXPECT_EQ(window->ResultHistory(), (QStringList{"первая", "", QString("1\u00A0000,50"), "вторая"}));
  EXPECT_EQ(window->ProtocolHistory(), QStringList{"==> 02 01 07 06"});

  presenter.savePath = QString::fromStdString(dir.File("day.log"));
  QTest::mouseClick(Find<QToolButton>("SaveLogs"), Qt::LeftButton);
  EXPECT_EQ(ReadFile(dir.File("day.log")),
            "\xEF\xE5\xF0\xE2\xE0\xFF\r\n\r\n1\xA0" "000,50\r\n\xE2\xF2\xEE\xF0\xE0\xFF\r\n");
  EXPECT_EQ(ReadFile(dir.File("day.logHex")), "==> 02 01 07 06\r\n");
  EXPECT_TRUE(window->ResultHistory().isEmpty());
  EXPECT_TRUE(window->ProtocolHistory().isEmpty());
  window.reset();
  EXPECT_EQ(files(), 0);
  if (oldTmp.isNull()) {
    qunsetenv("TMPDIR");
  } else {
    qputenv("TMPDIR", oldTmp);
  }
}

TEST_F(Conversions, ThePortButtonsCloseAndReopenTheLink) {
  auto* init = Find<QToolButton>("BtnInitPort");
  auto* close = Find<QToolButton>("BtnClosePort");
  ASSERT_TRUE(close->isEnabled());
  EXPECT_FALSE(init->isEnabled());
  QTest::mouseClick(close, Qt::LeftButton);
  EXPECT_FALSE(window->Session().LinkOpen());
  EXPECT_EQ(Find<QLabel>("StatusConn")->text(), "Нет соединения");
  EXPECT_TRUE(init->isEnabled());
  EXPECT_FALSE(close->isEnabled());

  // Opening again runs the start-up: the about box and the link; the
  // operator stays on the command he was on.
  Choose("Сторно");
  QTest::mouseClick(init, Qt::LeftButton);
  WaitIdle();
  EXPECT_EQ(presenter.modals.size(), 2);
  EXPECT_EQ(window->CurrentCmd(), 0x18);
  EXPECT_EQ(Find<QTreeWidget>("rzTaskList")->currentItem()->text(0), "Сторно");
  EXPECT_TRUE(window->Session().LinkOpen());
  EXPECT_EQ(Find<QLabel>("StatusConn")->text(), "Соединение установлено");
  EXPECT_FALSE(init->isEnabled());
  EXPECT_TRUE(close->isEnabled());
}

// A number field takes no keystroke that would be rounded or refused when
// sent: no third decimal of a sum, no digit beyond the largest value; a
// typed "." is the decimal comma. What it shows is what goes out.
TEST_F(Conversions, NumberFieldsTakeOnlyWhatCanBeSent) {
  struct Case {
    const char* item;
    const char* field;
    const char* keys;
    QString shown;
  } cases[] = {
      {"Продажа", "edSaleCnt", "0,3755", "0,375"},
      {"Продажа", "edSaleCnt", "1234567", "12345"},
      {"Продажа", "edSaleDepNum", "17", "1"},
      {"Продажа", "edSaleDepNum", "-3", "3"},
      {"Запрос дампа архива", "eiAskDumpNumPageFrom", "8192", "819"},
      {"Запрос контрольной ленты", "edShift", "32768", "3276"},
      {"Продажа", "edSaleSum", "123456789", "12345678"},
      {"Продажа", "edSaleSum", "0.375", "0,37"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    Choose(c.item);
    auto* field = Find<QLineEdit>(c.field);
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, c.keys);
    EXPECT_EQ(field->text(), c.shown);
  }
  // "Выполнить" pressed straight from the sum field sends the sum shown.
  Find<QLineEdit>("edSaleCnt")->setText("0,000");
  Find<QLineEdit>("edSaleDepNum")->setText("1");
  Execute();
  ASSERT_EQ(peer->Requests().size(), 1u);
  EXPECT_EQ(peer->Requests()[0], B("02 0B 10 01 00 00 00 00 00 00 00 00 37 2D"));
}

// A fraction survives leaving the field and goes out as typed, whatever the
// C library's locale (a Russian desktop reads numbers with a decimal comma).
TEST_F(Conversions, AFractionTypedWithACommaOrAPointIsShownAndSent) {
  for (const char* keys : {"2,5", "2.5"}) {
    SCOPED_TRACE(keys);
    const size_t before = peer->Requests().size();
    Choose("Продажа");
    Find<QLineEdit>("edSaleDepNum")->setText("1");
    auto* quantity = Find<QLineEdit>("edSaleCnt");
    auto* sum = Find<QLineEdit>("edSaleSum");
    quantity->setFocus();
    quantity->selectAll();
    QTest::keyClicks(quantity, keys);
    QTest::keyClick(quantity, Qt::Key_Tab);
    EXPECT_EQ(quantity->text(), "2,500");
    sum->setFocus();
    sum->selectAll();
    QTest::keyClicks(sum, "0,125");
    QTest::keyClick(sum, Qt::Key_Tab);
    EXPECT_EQ(sum->text(), "0,12");
    Execute();
    ASSERT_EQ(peer->Requests().size(), before + 1);
    const Bytes request = peer->Requests().back();
    ASSERT_EQ(request.size(), 14u);
    // Department, quantity 2,500 in thousandths, sum 0,12 in kopecks.
    EXPECT_EQ(Bytes(request.begin() + 3, request.end() - 1),
              B("01 00 00 25 00 00 00 00 00 12"));
  }
}

// A value outside its field's range (set other than by typing) is refused
// with the field's message before anything is sent.
TEST_F(Conversions, AValueOutsideItsFieldsRangeIsRefusedWithItsMessage) {
  struct Case {
    const char* item;
    const char* field;
    const char* text;
    QString message;
  } cases[] = {
      {"Продажа", "edSaleDepNum", "17", "Номер отдела должен быть в пределах от 1 до 16."},
      {"Продажа", "edSaleSum", "100000000", "Слишком большая величина суммы."},
      {"Скидка", "edDiscountSum", "100000000", "Слишком большая величина скидки."},
      {"Запрос дампа архива", "eiAskDumpNumPageFrom", "8192",
       "Номер страницы дампа архива должен быть в пределах от 0 до 8191."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    presenter.errors.clear();
    Choose(c.item);
    auto* field = Find<QLineEdit>(c.field);
    const QString good = field->text();
    field->setText(c.text);
    Execute();
    EXPECT_EQ(presenter.errors, QStringList{c.message});
    EXPECT_TRUE(ResultLines().isEmpty());
    field->setText(good);
  }
  EXPECT_TRUE(peer->Requests().empty());
}

// A date typed over the whole selected field is taken as typed, also one
// that section-wise editing would cut (29.02 while the year shown is not a
// leap year).
TEST_F(Conversions, ADateTypedOverTheWholeFieldIsTaken) {
  Choose("Завершение документа");
  auto* date = Find<QDateTimeEdit>("dteFinishDocDate");
  struct Case {
    const char* keys;
    QDate date;
  } cases[] = {{"01.03.2024", {2024, 3, 1}},
               {"1.3.2024", {2024, 3, 1}},
               {"29.02.2024", {2024, 2, 29}},
               {"31122025", {2025, 12, 31}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    date->setDate({2026, 12, 11});
    date->setFocus();
    date->findChild<QLineEdit*>()->selectAll();
    QTest::keyClicks(date, c.keys);
    EXPECT_EQ(date->date(), c.date);
  }
}

TEST_F(Conversions, StornoOfADiscountSendsTheDiscountCode) {
  Choose("Сторно");
  Find<QComboBox>("cbStornoDoc")->setCurrentIndex(4);
  EXPECT_FALSE(Find<QWidget>("edStornoCnt")->isEnabled());
  Find<QLineEdit>("edStornoSum")->setText("1,00");
  Execute();
  ASSERT_EQ(peer->Requests().size(), 1u);
  EXPECT_EQ(peer->Requests()[0][3], 0x16);
}

// Closing the progress dialog and the stop button both stop a dump after a
// whole page; the view's last line and the exchange pane say how many pages
// were written.
TEST_F(WithSimulator, StoppingADumpEndsItAfterAWholePageAndSaysWhatItWrote) {
  for (const char* how : {"dialog", "button"}) {
    SCOPED_TRACE(how);
    ChooseDumpRange("0", "8191");
    const uint64_t requestsBefore = sim.server->Requests();
    QTest::mouseClick(Find<QPushButton>("btExecQuery"), Qt::LeftButton);
    QWidget* dialog = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (dialog = window->findChild<QWidget*>("TfmProgressDUMP")); }, 5000));
    if (how == std::string("dialog")) {
      QTest::mouseClick(dialog->findChild<QPushButton*>("RzBitBtn1"), Qt::LeftButton);
    } else if (how == std::string("button")) {
      auto* stop = Find<QToolButton>("BtnStopJob");
      ASSERT_TRUE(stop->isEnabled());
      QTest::mouseClick(stop, Qt::LeftButton);
    }
    WaitIdle();
    EXPECT_TRUE(presenter.errors.isEmpty()) << presenter.errors.join('\n').toStdString();
    EXPECT_FALSE(Find<QToolButton>("BtnStopJob")->isEnabled());
    QStringList lines = ResultLines();
    ASSERT_FALSE(lines.isEmpty());
    const QString last = lines.takeLast();
    EXPECT_LT(lines.size(), 8 * 8192);
    // Every page shown has its eight lines. A cancel that lands after the next
    // page's two opening lines were written refuses that page's request, so
    // those two lines may come before the last line; nothing of the page went out.
    const qsizetype pages = lines.size() / 8;
    if (lines.size() % 8 == 2) {
      EXPECT_EQ(lines.mid(pages * 8),
                (QStringList{"Запрос дампа архива:", "    Страница №" + QString::number(pages)}));
    } else {
      EXPECT_EQ(lines.size() % 8, 0) << "every page shown has its eight lines";
    }
    EXPECT_EQ(sim.server->Requests() - requestsBefore, static_cast<uint64_t>(pages));
    const QString report = QString::fromStdString("Дамп прерван: записано " + Counted(pages, "страницу", "страницы", "страниц") + " из 8192");
    EXPECT_EQ(last, report);
    EXPECT_EQ(Find<QLabel>("StatusDataExchange")->text(), QString("Дамп прерван (%1 из 8192)").arg(pages));
  }
}

TEST_F(WithSimulator, MassDocumentsLogByTheirOwnCheckBoxes) {
  ASSERT_TRUE(window->Session().settings.LogTXT && window->Session().settings.LogHEX);
  Choose("Массовое создание документов ");
  Find<QCheckBox>("ChBAutoDocLogoTXT")->setChecked(false);
  Find<QCheckBox>("ChBAutoDocLogoHex")->setChecked(false);
  Find<QLineEdit>("edAutoCreateSumma")->setText("5,00");
  Execute();
  EXPECT_TRUE(presenter.errors.isEmpty()) << presenter.errors.join('\n').toStdString();
  EXPECT_TRUE(ResultLines().isEmpty());
  EXPECT_TRUE(ProtocolLines().isEmpty());
  EXPECT_GT(sim.server->Requests(), 1u);
}

TEST_F(WithSimulator, ClosingDuringADumpStopsItThenAsks) {
  ChooseDumpRange("0", "8191");
  QTest::mouseClick(Find<QPushButton>("btExecQuery"), Qt::LeftButton);
  EXPECT_TRUE(QTest::qWaitFor([&] { return ResultLines().size() > 16; }, 10000));
  window->close();
  EXPECT_FALSE(window->JobRunning());
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(presenter.questions, 1);
  EXPECT_TRUE(presenter.errors.isEmpty());
  EXPECT_LT(ResultLines().size(), 8 * 8192);
}

// "наибольшая": the dump runs at 57600 and its progress says so; stopping it
// sets the device back to 9600 and takes the rate out of the settings file.
TEST_F(WithSimulator, AFullDumpAtTheFastestRateShowsItAndSetsItBackWhenStopped) {
  Choose("Весь дамп архива");
  auto* rates = Find<QComboBox>("cbAllDumpRate");
  EXPECT_FALSE(rates->isEnabled());
  Find<QCheckBox>("chAllDumpMaxSpeed")->setChecked(true);
  EXPECT_TRUE(rates->isEnabled());
  rates->setCurrentIndex(rates->findText("наибольшая"));
  const std::string file = dir.File("all.bin");
  Find<QLineEdit>("edAllDumpFileName")->setText(QString::fromStdString(file));
  QTest::mouseClick(Find<QPushButton>("btExecQuery"), Qt::LeftButton);
  QLabel* state = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] {
    state = window->findChild<QLabel*>("lbDumpState");
    return state && state->text().contains("страница");
  }, 5000));
  EXPECT_TRUE(state->text().startsWith("Скорость 57600, страница ")) << state->text().toStdString();
  EXPECT_TRUE(state->text().contains(", осталось ")) << state->text().toStdString();
  EXPECT_EQ(sim.device.BaudRate(), 57600u);
  EXPECT_EQ(IniFile(SettingsPath()).ReadString("Options", "RaisedRate", ""), "57600");
  QTest::mouseClick(window->findChild<QPushButton*>("RzBitBtn1"), Qt::LeftButton);
  WaitIdle();
  EXPECT_TRUE(presenter.errors.isEmpty()) << presenter.errors.join('\n').toStdString();
  EXPECT_EQ(sim.device.BaudRate(), 9600u);
  EXPECT_EQ(IniFile(SettingsPath()).ReadString("Options", "RaisedRate", ""), "");
  EXPECT_EQ(std::filesystem::file_size(file) % 512, 0u);
}

// A dump file that already holds pages: the window asks with the page count.
// "Отмена" runs nothing, "Продолжить" appends the missing pages; a file that
// is no dump is refused and left as it was.
TEST_F(WithSimulator, AFullDumpIntoAFileWithPagesAsksWhetherToContinueIt) {
  window->Session().settings.LogTXT = false;  // 8192 pages: no lines needed
  window->Session().settings.LogHEX = false;
  Choose("Весь дамп архива");
  std::string whole;
  for (int page = 0; page < 8192; ++page) {
    const Bytes bytes = sim.device.ArchivePage(page);
    whole.append(bytes.begin(), bytes.end());
  }
  const std::string file = dir.File("all.bin");
  const std::string part = whole.substr(0, 3 * 512);
  std::ofstream(file, std::ios::binary) << part;
  Find<QLineEdit>("edAllDumpFileName")->setText(QString::fromStdString(file));
  const uint64_t requests = sim.server->Requests();

  presenter.dumpChoice = app::DumpFileChoice::Cancel;
  QTest::mouseClick(Find<QPushButton>("btExecQuery"), Qt::LeftButton);
  WaitIdle();
  EXPECT_EQ(presenter.dumpQuestions, QStringList{QString::fromStdString(file) + ": 3 of 8192"});
  EXPECT_EQ(sim.server->Requests(), requests);
  EXPECT_EQ(ReadFile(file), part);

  presenter.dumpChoice = app::DumpFileChoice::Continue;
  Execute();
  EXPECT_TRUE(presenter.errors.isEmpty()) << presenter.errors.join('\n').toStdString();
  EXPECT_EQ(sim.server->Requests(), requests + 8192 - 3);
  EXPECT_TRUE(ReadFile(file) == whole);

  const std::string odd = dir.File("odd.bin");
  std::ofstream(odd, std::ios::binary) << std::string(513, 'x');
  Choose("Весь дамп архива");
  Find<QLineEdit>("edAllDumpFileName")->setText(QString::fromStdString(odd));
  Execute();
  EXPECT_EQ(presenter.errors, QStringList{QString::fromStdString(
                                  "Файл \"" + odd + "\" не является дампом архива: его размер 513 байт не "
                                  "кратен размеру страницы (512 байт). Файл не изменён.")});
  EXPECT_EQ(ReadFile(odd), std::string(513, 'x'));
  EXPECT_EQ(presenter.dumpQuestions.size(), 2);
}

// SIGTERM during a full dump at 19200 ends the window as closing it does:
// the dump stops after its page, the device is set back to 9600, the file
// holds whole pages, the settings are saved and nothing is asked.
TEST_F(WithSimulator, AStopSignalDuringARaisedDumpSetsTheSpeedBackAndSavesTheSettings) {
  app::InstallStopSignals(window.get(), [this](int) { window->CloseBySignal(); });
  Choose("Весь дамп архива");
  Find<QCheckBox>("chAllDumpMaxSpeed")->setChecked(true);
  const std::string file = dir.File("all.bin");
  Find<QLineEdit>("edAllDumpFileName")->setText(QString::fromStdString(file));
  QTest::mouseClick(Find<QPushButton>("btExecQuery"), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->findChild<QWidget*>("TfmProgressDUMP"); }, 5000));
  EXPECT_EQ(sim.device.BaudRate(), 19200u);
  ::raise(SIGTERM);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 10000));
  ::signal(SIGTERM, SIG_DFL);
  ::signal(SIGINT, SIG_DFL);
  ::signal(SIGHUP, SIG_DFL);
  EXPECT_FALSE(window->JobRunning());
  EXPECT_EQ(presenter.questions, 0);
  EXPECT_TRUE(presenter.errors.isEmpty()) << presenter.errors.join('\n').toStdString();
  EXPECT_EQ(sim.device.BaudRate(), 9600u);
  const IniFile ini(SettingsPath());
  EXPECT_EQ(ini.ReadString("Options", "BoundRate", ""), "9600");
  EXPECT_EQ(ini.ReadString("Options", "RaisedRate", ""), "");
  EXPECT_TRUE(ini.ReadBool("fmMainFormState", "Saved", false));
  const auto size = std::filesystem::file_size(file);
  EXPECT_EQ(size % 512, 0u);
  EXPECT_LT(size, 8192u * 512u);
}

}  // namespace
}  // namespace eklz::test
