// The window end to end: commands from the panels against the simulated
// EKLZ give the lines the core gives; a silent device and conversions
// through the scripted pty peer.
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "AppFixture.h"
#include "UiDriver.h"
#include "app/Catalogue.h"
#include "app/StopSignals.h"
#include "app/Views.h"
#include "codec/Regional.h"
#include "commands/ArchiveDump.h"
#include "commands/Documents.h"
#include "commands/Reports.h"
#include "commands/Status.h"
#include "procedures/Autotest.h"
#include "sim/Demo.h"
#include "settings/IniFile.h"
#include "sim/Demo.h"
#include "sim/Device.h"
#include "sim/PtyServer.h"
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

// The simulated EKLZ on a pty of its own, its state at hand.
struct SimDevice {
  explicit SimDevice(sim::ServerOptions options = {}) {
    sim::BuildDemo(device);
    server = std::make_unique<sim::PtyServer>(device, std::move(options));
    server->Start();
  }
  sim::Device device;
  std::unique_ptr<sim::PtyServer> server;
};

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

// The same with a device that takes a millisecond a byte: a long run is
// still going when the test acts on it, however fast the machine.
class WithSlowSimulator : public WithSimulator {
 protected:
  WithSlowSimulator() {
    sim.server.reset();
    sim::ServerOptions options;
    options.faults.byteDelayMs = 1;
    sim.server = std::make_unique<sim::PtyServer>(sim.device, std::move(options));
    sim.server->Start();
  }
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
  EXPECT_EQ(Find<QLabel>("StatusConn")->text(),
            QString::fromStdString("Соединение установлено: " + sim.server->SlavePath() + ", 9600"));
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
                       ui::KeyClicks(count, "\b\b\b\b\b2.5");
                       EXPECT_EQ(count->text(), "2,5");
                       w.findChild<QLineEdit*>("edSaleSum")->setText("12,34");
                     },
                     [](EklzSession& s) { DoSale(s, 3, 2.5, 12.34, false, true); }},
        EndToEndCase{"Status", "Запрос состояния ЭКЛЗ", Nothing,
                     [](EklzSession& s) { AskStatus(s, false, true); }},
        EndToEndCase{"ControlTapeTextForm", "Запрос контрольной ленты",
                     [](WindowTest&, QWidget& w) {
                       ui::MouseClick(w.findChild<QRadioButton*>("rbControlTapeText"), Qt::LeftButton);
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
  ui::Wait(50);
  EXPECT_EQ(window->findChild<QWidget*>("TfmProgressDUMP"), nullptr);
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

// Enter in the field ends its editing (the number regrouped) and runs the
// command with the value it shows.
TEST_F(Conversions, AGroupedShiftNumberIsReadByItsValue) {
  Choose("Запрос контрольной ленты");
  auto* shift = Find<QLineEdit>("edShift");
  shift->setFocus();
  shift->selectAll();
  ui::KeyClicks(shift, "1000");
  ui::KeyClick(shift, Qt::Key_Return);
  EXPECT_EQ(shift->text(), QString("1\u00A0000"));
  WaitIdle();
  ASSERT_EQ(peer->Requests().size(), 1u);
  EXPECT_EQ(peer->Requests()[0], B("02 03 20 03 E8 C8"));
}

// Enter in a field of the panel, Ctrl+Enter anywhere in the window and F9
// run the current command as "Выполнить" does; its hint says so. Enter in a
// memo is a new line.
TEST_F(Conversions, KeysRunTheCurrentCommand) {
  EXPECT_TRUE(Find<QPushButton>("btExecQuery")->toolTip().contains("Ctrl+Enter"));
  EXPECT_TRUE(Find<QPushButton>("btExecQuery")->toolTip().contains("F9"));
  Choose("Запрос контрольной ленты");
  struct Case {
    const char* name;
    std::function<QWidget*()> focus;
    int key;
    Qt::KeyboardModifiers modifiers;
  } cases[] = {
      {"Enter in a field", [&] { return Find<QWidget>("edShift"); }, Qt::Key_Enter, Qt::KeypadModifier},
      {"Ctrl+Enter in the task list", [&] { return Find<QWidget>("rzTaskList"); }, Qt::Key_Return,
       Qt::ControlModifier},
      {"F9 in the result view", [&] { return Find<QWidget>("mmResult"); }, Qt::Key_F9, Qt::NoModifier},
  };
  size_t sent = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QWidget* target = c.focus();
    ASSERT_NE(target, nullptr);
    target->setFocus();
    ui::KeyClick(target, static_cast<Qt::Key>(c.key), c.modifiers);
    ui::Wait(0);
    WaitIdle();
    EXPECT_EQ(peer->Requests().size(), ++sent);
    EXPECT_EQ(Find<QTabWidget>("pcQueryArea")->currentIndex(), 1);
  }

  Choose("Заявка на ремонт в Дорнал");
  auto* memo = Find<QPlainTextEdit>("meRequestDornalDevelopmentFailure");
  memo->setFocus();
  ui::KeyClicks(memo, "a");
  ui::KeyClick(memo, Qt::Key_Return);
  ui::Wait(0);
  WaitIdle();
  EXPECT_EQ(peer->Requests().size(), sent);
  EXPECT_EQ(memo->toPlainText(), "a\n");
}

// A value cell emptied by the hex check makes a frame that cannot be sent:
// the protocol shows no request, since none went out.
TEST_F(Conversions, AFrameThatCannotBeSentIsNotLogged) {
  Choose("Команда, которую вы можете сделать сами");
  auto* table = Find<QTableWidget>("StringGrid1");
  table->setCurrentCell(1, 2);
  ui::KeyClick(table, Qt::Key_F2);
  QLineEdit* editor = nullptr;
  for (QLineEdit* e : table->viewport()->findChildren<QLineEdit*>()) {
    if (e->isVisible()) editor = e;
  }
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  ui::KeyClicks(editor, "G");
  ui::KeyClick(editor, Qt::Key_Tab);
  ui::Wait(0);
  ASSERT_EQ(table->item(1, 2)->text(), "");
  presenter.errors.clear();
  Execute();
  EXPECT_EQ(presenter.errors.size(), 1);
  EXPECT_TRUE(peer->Requests().empty());
  for (const QString& line : ProtocolLines()) EXPECT_FALSE(line.startsWith("==>")) << line.toStdString();
  ASSERT_FALSE(ResultLines().isEmpty());
  EXPECT_EQ(ResultLines().last(), presenter.errors.value(0));
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
  ui::MouseClick(Find<QToolButton>("SaveLogs"), Qt::LeftButton);
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
  ui::MouseClick(close, Qt::LeftButton);
  EXPECT_FALSE(window->Session().LinkOpen());
  EXPECT_EQ(Find<QLabel>("StatusConn")->text(), "Нет соединения");
  EXPECT_TRUE(init->isEnabled());
  EXPECT_FALSE(close->isEnabled());

  // Opening again runs the start-up: the about box and the link; the
  // operator stays on the command he was on.
  Choose("Сторно");
  ui::MouseClick(init, Qt::LeftButton);
  WaitIdle();
  EXPECT_EQ(presenter.modals.size(), 2);
  EXPECT_EQ(window->CurrentCmd(), 0x18);
  EXPECT_EQ(Find<QTreeWidget>("rzTaskList")->currentItem()->text(0), "Сторно");
  EXPECT_TRUE(window->Session().LinkOpen());
  EXPECT_EQ(Find<QLabel>("StatusConn")->text(),
            QString::fromStdString("Соединение установлено: " + pty.SlavePath() + ", 9600"));
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
    ui::KeyClicks(field, c.keys);
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
    ui::KeyClicks(quantity, keys);
    ui::KeyClick(quantity, Qt::Key_Tab);
    EXPECT_EQ(quantity->text(), "2,500");
    sum->setFocus();
    sum->selectAll();
    ui::KeyClicks(sum, "0,125");
    ui::KeyClick(sum, Qt::Key_Tab);
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
    ui::KeyClicks(date, c.keys);
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
    ui::MouseClick(Find<QPushButton>("btExecQuery"), Qt::LeftButton);
    QWidget* dialog = nullptr;
    ASSERT_TRUE(ui::WaitFor([&] { return (dialog = window->findChild<QWidget*>("TfmProgressDUMP")); }, 5000));
    if (how == std::string("dialog")) {
      ui::MouseClick(dialog->findChild<QPushButton*>("RzBitBtn1"), Qt::LeftButton);
    } else if (how == std::string("button")) {
      auto* stop = Find<QToolButton>("BtnStopJob");
      ASSERT_TRUE(stop->isEnabled());
      ui::MouseClick(stop, Qt::LeftButton);
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

// A device that hangs up under a command: the connection pane no longer
// claims the link it opened.
TEST_F(WithSimulator, AHangUpShowsTheLinkFailed) {
  const QString port = QString::fromStdString(sim.server->SlavePath());
  EXPECT_EQ(Find<QLabel>("StatusConn")->text(), "Соединение установлено: " + port + ", 9600");
  sim.server.reset();
  Choose("Запрос состояния ЭКЛЗ");
  Execute();
  EXPECT_EQ(presenter.errors.size(), 1);
  EXPECT_EQ(Find<QLabel>("StatusConn")->text(), "Соединение нарушено: " + port);
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

TEST_F(WithSlowSimulator, ClosingDuringADumpStopsItThenAsks) {
  ChooseDumpRange("0", "8191");
  ui::MouseClick(Find<QPushButton>("btExecQuery"), Qt::LeftButton);
  EXPECT_TRUE(ui::WaitFor([&] { return ResultLines().size() > 16; }, 10000));
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
  ui::MouseClick(Find<QPushButton>("btExecQuery"), Qt::LeftButton);
  QLabel* state = nullptr;
  ASSERT_TRUE(ui::WaitFor([&] {
    state = window->findChild<QLabel*>("lbDumpState");
    return state && state->text().contains("страница");
  }, 5000));
  EXPECT_TRUE(state->text().startsWith("Скорость 57600, страница ")) << state->text().toStdString();
  EXPECT_TRUE(state->text().contains(", осталось ")) << state->text().toStdString();
  EXPECT_EQ(sim.device.BaudRate(), 57600u);
  EXPECT_EQ(IniFile(SettingsPath()).ReadString("Options", "RaisedRate", ""), "57600");
  ui::MouseClick(window->findChild<QPushButton*>("RzBitBtn1"), Qt::LeftButton);
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

  // "Отмена" runs nothing and leaves the views with the last run's lines.
  Find<app::LogView>("mmResult")->AppendLines("Дамп прерван: записано 3 страницы из 8192", 1);
  Find<app::LogView>("MemoLog")->AppendLines("==> 02 03 04 00 02 01", 1);
  presenter.dumpChoice = app::DumpFileChoice::Cancel;
  ui::MouseClick(Find<QPushButton>("btExecQuery"), Qt::LeftButton);
  WaitIdle();
  EXPECT_EQ(presenter.dumpQuestions, QStringList{QString::fromStdString(file) + ": 3 of 8192"});
  EXPECT_EQ(sim.server->Requests(), requests);
  EXPECT_EQ(ReadFile(file), part);
  EXPECT_EQ(ResultLines(), QStringList{"Дамп прерван: записано 3 страницы из 8192"});
  EXPECT_EQ(ProtocolLines(), QStringList{"==> 02 03 04 00 02 01"});
  EXPECT_TRUE(window->ResultHistory().isEmpty());

  // A dump that completes the archive ends with its summary.
  presenter.dumpChoice = app::DumpFileChoice::Continue;
  Execute();
  EXPECT_TRUE(presenter.errors.isEmpty()) << presenter.errors.join('\n').toStdString();
  EXPECT_EQ(sim.server->Requests(), requests + 8192 - 3);
  EXPECT_TRUE(ReadFile(file) == whole);
  EXPECT_EQ(window->ResultHistory(), QStringList{"Дамп прерван: записано 3 страницы из 8192"});
  ASSERT_FALSE(ResultLines().isEmpty());
  const QString summary = QString::fromStdString("Дамп архива завершён: записано 8192 страницы из 8192 (в этом запуске "
                                                 "8189), файл \"" + file + "\", скорость 9600, время ");
  EXPECT_TRUE(ResultLines().last().startsWith(summary)) << ResultLines().last().toStdString();

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

// A continued dump counts the archive's pages: the progress, the line a stop
// leaves and the exchange pane say which page of 8192 it is at and how many
// pages this run added.
TEST_F(WindowTest, AContinuedDumpCountsThePagesOfTheArchive) {
  sim::Device device;
  sim::BuildDemo(device);
  sim::ServerOptions paced;
  paced.faults.byteDelayMs = 1;  // half a second a page: the stop comes early
  sim::PtyServer server(device, std::move(paced));
  server.Start();
  ConnectTo(server.SlavePath());
  Open();
  window->Session().settings.LogHEX = false;
  Choose("Весь дамп архива");
  const std::string file = dir.File("all.bin");
  std::ofstream(file, std::ios::binary) << std::string(346 * 512, '\0');
  Find<QLineEdit>("edAllDumpFileName")->setText(QString::fromStdString(file));
  presenter.dumpChoice = app::DumpFileChoice::Continue;
  ui::MouseClick(Find<QPushButton>("btExecQuery"), Qt::LeftButton);
  QLabel* state = nullptr;
  ASSERT_TRUE(ui::WaitFor([&] {
    state = window->findChild<QLabel*>("lbDumpState");
    return state && state->text().contains("страница ");
  }, 5000));
  const QRegularExpression page("страница (\\d+) из (\\d+)");
  const QRegularExpressionMatch shown = page.match(state->text());
  ASSERT_TRUE(shown.hasMatch()) << state->text().toStdString();
  EXPECT_GE(shown.captured(1).toInt(), 346);
  EXPECT_EQ(shown.captured(2), "8192");
  ui::MouseClick(window->findChild<QWidget*>("TfmProgressDUMP")->findChild<QPushButton*>("RzBitBtn1"),
                    Qt::LeftButton);
  WaitIdle();
  const int pages = static_cast<int>(std::filesystem::file_size(file) / 512);
  ASSERT_GT(pages, 346);
  ASSERT_FALSE(ResultLines().isEmpty());
  EXPECT_EQ(ResultLines().last(),
            QString::fromStdString("Дамп прерван: записано " + Counted(pages, "страницу", "страницы", "страниц") +
                                   " из 8192 (в этом запуске " + std::to_string(pages - 346) + ")"));
  EXPECT_EQ(Find<QLabel>("StatusDataExchange")->text(), QString("Дамп прерван (%1 из 8192)").arg(pages));
}

// A dump file that cannot be created: the failure is the result view's last
// line, as every failure of a run is.
TEST_F(WithSimulator, ADumpFileThatCannotBeCreatedIsTheLastLine) {
  Choose("Весь дамп архива");
  Find<QLineEdit>("edAllDumpFileName")->setText(QString::fromStdString(dir.File("missing/all.bin")));
  Execute();
  ASSERT_EQ(presenter.errors.size(), 1);
  EXPECT_TRUE(presenter.errors[0].startsWith("Невозможно создать файл дампа")) << presenter.errors[0].toStdString();
  ASSERT_FALSE(ResultLines().isEmpty());
  EXPECT_EQ(ResultLines().last(), presenter.errors[0]);
}

// Esc during a procedure at a moment the device holds something open for it
// (a document being made, a report being read): the run ends, the view says
// what became of it, and the device takes the next run. The device is paced,
// and the key is pressed as soon as the device holds it open.
TEST_F(WindowTest, AStoppedProcedureLeavesNothingOpenInTheDevice) {
  struct Case {
    const char* item;
    std::function<void(QWidget&)> fill;
    std::function<bool(const sim::Device&)> open;
    const char* said;  // the end of the line before "Операция прервана"
  } cases[] = {
      {"Массовое создание документов ",
       [](QWidget& w) {
         w.findChild<QLineEdit*>("RzNumericEdit5")->setText("500");
         w.findChild<QCheckBox*>("ChBAutoDocRandomTypeDoc")->setChecked(true);
         w.findChild<QLineEdit*>("edAutoCreateRotNum")->setText("5");
         w.findChild<QLineEdit*>("edAutoCreateSumma")->setText("5,00");
       },
       [](const sim::Device& d) { return d.State().openDocument.has_value(); },
       "не закончен и отменён командой прекращения"},
      {"Тестирование ЭКЛЗ", [](QWidget&) {}, [](const sim::Device& d) { return d.ReportPending(); },
       "Чтение отчёта остановлено, отчёт отменён командой прекращения"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    sim::Device device;
    sim::BuildDemo(device);
    sim::ServerOptions options;
    options.faults.byteDelayMs = 5;
    std::atomic<bool> stopped{false};
    options.afterRequest = [&](const sim::Device& d) {
      if (!c.open(d) || stopped.exchange(true)) return;
      QMetaObject::invokeMethod(
          window.get(), [this] { ui::KeyClick(window.get(), Qt::Key_Escape); }, Qt::QueuedConnection);
    };
    sim::PtyServer server(device, std::move(options));
    server.Start();
    ConnectTo(server.SlavePath());
    Open();
    presenter.errors.clear();
    Choose(c.item);
    c.fill(*window);
    Execute();
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(presenter.errors.isEmpty()) << presenter.errors.join('\n').toStdString();
    const QStringList lines = ResultLines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines.last(), "Операция прервана");
    EXPECT_TRUE(lines[lines.size() - 2].endsWith(c.said)) << lines[lines.size() - 2].toStdString();
    EXPECT_FALSE(c.open(device));
    Choose("Тестирование ЭКЛЗ");
    Execute();
    EXPECT_TRUE(presenter.errors.isEmpty()) << presenter.errors.join('\n').toStdString();
    window.reset();
  }
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
  ui::MouseClick(Find<QPushButton>("btExecQuery"), Qt::LeftButton);
  ASSERT_TRUE(ui::WaitFor([&] { return window->findChild<QWidget*>("TfmProgressDUMP"); }, 5000));
  EXPECT_EQ(sim.device.BaudRate(), 19200u);
  ::raise(SIGTERM);
  EXPECT_TRUE(ui::WaitFor([&] { return !window->isVisible(); }, 10000));
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
