// The options dialog with its probe and search, the command grid, the dump
// panels and the repair request with its printed form, on real widgets.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <fstream>

#include "AppFixture.h"
#include "SimLine.h"
#include "UiDriver.h"
#include "app/Fields.h"
#include "app/Options.h"
#include "procedures/RepairRequest.h"
#include "codec/Regional.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

namespace eklz::test {
namespace {

constexpr const char* kOffline = "[fmMainFormState]\nConnected=0\n";


// The simulated EKLZ (the demo cash register) at a chosen line speed.
SimLine SimAt(int baud, std::vector<std::string> more = {}) {
  std::vector<std::string> options{"--start", "demo", "--rate", std::to_string(baud)};
  options.insert(options.end(), more.begin(), more.end());
  return SimLine(options);
}

// A line where no EKLZ answers.
SimLine Silent() { return SimLine({"--silent"}); }

template <typename T>
T* In(QWidget& root, const char* name) {
  T* w = root.findChild<T*>(name);
  EXPECT_NE(w, nullptr) << name;
  return w;
}

// --- Options dialog --------------------------------------------------------------

class Options : public WindowTest {
 protected:
  // Opens the options dialog from the toolbar; `operate` plays the operator.
  void WithDialog(const std::function<void(app::TfmOptions&)>& operate) {
    bool shown = false;
    presenter.onModal = [&](QDialog& d) {
      auto* options = qobject_cast<app::TfmOptions*>(&d);
      ASSERT_NE(options, nullptr);
      shown = true;
      d.show();
      operate(*options);
      d.hide();
    };
    ui::MouseClick(Find<QToolButton>("RzToolButton2"), Qt::LeftButton);
    presenter.onModal = nullptr;
    EXPECT_TRUE(shown);
  }
  void WaitDialogIdle(app::TfmOptions& d, int ms = 30000) {
    EXPECT_TRUE(ui::WaitFor([&] { return !d.Busy() && !window->JobRunning(); }, ms));
  }
};

TEST_F(Options, FilledFromTheSettingsAndCopiedBackOnOkOnly) {
  WriteSettings(
      "[Options]\nComPort=COM3\nBoundRate=4800\nTimeOuts=40000\nWin1251=0\nLogTXT=1\nLogHEX=0\n"
      "CrcOff=0\nNameOrg=ЦТО Север\nFioBoss=Иванов И.И.\n[fmMainFormState]\nConnected=0\nEKLZAbort=1\n");
  Open();
  struct Case {
    const char* button;
    bool copied;
  } cases[] = {{"RzBitBtn4", false}, {"RzBitBtn3", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    WithDialog([&](app::TfmOptions& d) {
      EXPECT_EQ(d.windowTitle(), "Параметры");
      // Filled from the settings; a time-out beyond the range shows its end.
      EXPECT_EQ(In<QComboBox>(d, "RzComboBox1")->currentText(), "COM3");
      EXPECT_EQ(In<QComboBox>(d, "RzComboBox2")->currentText(), "4800");
      EXPECT_EQ(In<app::IntegerEdit>(d, "RzNumericEdit1")->text(), app::GroupDigits(32000));
      EXPECT_TRUE(In<QRadioButton>(d, "RzRadioButton2")->isChecked());
      EXPECT_TRUE(In<QCheckBox>(d, "RzCheckBox1")->isChecked());
      EXPECT_FALSE(In<QCheckBox>(d, "RzCheckBox2")->isChecked());
      EXPECT_TRUE(In<QCheckBox>(d, "RzCheckBox3")->isChecked());
      EXPECT_FALSE(In<QCheckBox>(d, "RzCheckBox4")->isChecked());
      EXPECT_EQ(In<QLineEdit>(d, "RzEdit1")->text(), "ЦТО Север");
      EXPECT_EQ(In<QComboBox>(d, "RzComboBox1")->itemText(7), "COM8");

      In<QComboBox>(d, "RzComboBox1")->setEditText("/dev/ttyUSB3");
      In<QComboBox>(d, "RzComboBox2")->setCurrentIndex(5);
      auto* timeout = In<app::IntegerEdit>(d, "RzNumericEdit1");
      timeout->setText("1 500");
      In<QRadioButton>(d, "RzRadioButton1")->setChecked(true);
      In<QCheckBox>(d, "RzCheckBox1")->setChecked(false);
      In<QCheckBox>(d, "RzCheckBox2")->setChecked(true);
      In<QCheckBox>(d, "RzCheckBox3")->setChecked(false);
      In<QCheckBox>(d, "RzCheckBox4")->setChecked(true);
      In<QCheckBox>(d, "RzCheckBox5")->setChecked(true);
      In<QLineEdit>(d, "RzEdit1")->setText("ЦТО Юг");
      In<QLineEdit>(d, "RzEdit2")->setText("Петров П.П.");
      ui::MouseClick(In<QPushButton>(d, c.button), Qt::LeftButton);
    });
    const Settings& s = window->Session().settings;
    const WindowSettings& w = window->WindowState();
    if (!c.copied) {
      EXPECT_EQ(s.ComPort, "COM3");
      EXPECT_EQ(s.BoundRate, "4800");
      EXPECT_EQ(s.TimeOuts, 40000);
      EXPECT_FALSE(s.Win1251);
      EXPECT_TRUE(s.LogTXT);
      EXPECT_FALSE(s.LogHEX);
      EXPECT_EQ(w.NameOrg, "ЦТО Север");
      continue;
    }
    EXPECT_EQ(s.ComPort, "/dev/ttyUSB3");
    EXPECT_EQ(s.BoundRate, "57600");
    EXPECT_EQ(s.TimeOuts, 1500);
    EXPECT_TRUE(s.Win1251);
    EXPECT_FALSE(s.LogTXT);
    EXPECT_TRUE(s.LogHEX);
    EXPECT_FALSE(s.EKLZAbort);
    EXPECT_TRUE(w.Connected);
    EXPECT_TRUE(s.CrcOff);
    EXPECT_EQ(w.NameOrg, "ЦТО Юг");
    EXPECT_EQ(w.FioBoss, "Петров П.П.");
  }
  EXPECT_FALSE(window->Session().LinkOpen()) << "the dialog itself opens no port";
}

// Tab goes through the controls in the order of the dialog's table: the
// connection group, the other options (the abort option before the
// connection option shown above it), OK and Cancel, then the organisation.
TEST_F(Options, TabOrderFollowsTheControlTable) {
  WriteSettings(kOffline);
  Open();
  const QStringList expected = {"RzComboBox1", "RzComboBox2", "RzNumericEdit1", "RzBitBtn1",
                                "RzBitBtn2",   "btSearchCancel", "RzRadioButton1", "RzRadioButton2",
                                "RzCheckBox1", "RzCheckBox2", "RzCheckBox3",    "RzCheckBox4",
                                "RzCheckBox5", "RzBitBtn3",   "RzBitBtn4",      "RzEdit1",
                                "RzEdit2"};
  app::TfmOptions d(window->Runner(), presenter, window.get());
  QStringList order;
  QWidget* w = In<QWidget>(d, "RzComboBox1");
  for (int i = 0; i < 200 && order.size() < expected.size(); ++i, w = w->nextInFocusChain()) {
    if (expected.contains(w->objectName()) && !order.contains(w->objectName())) order << w->objectName();
  }
  EXPECT_EQ(order, expected);
}

// The probe at the simulator's rate finds it; at another rate (the
// simulator ignores requests at the wrong speed) it does not. The settings
// do not change, and after Cancel the window is back as its settings say:
// it had no link, so it has none and the status pane says so.
TEST_F(Options, AProbeFindsTheSimulatorOnlyAtItsRate) {
  const SimLine sim = SimAt(19200);
  WriteSettings(kOffline);
  Open();
  struct Case {
    const char* rate;
    const char* message;
  } cases[] = {{"19200", "Сообщение: ЭКЛЗ успешно обнаружена"},
               {"9600", "Сообщение: ЭКЛЗ не обнаружена"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rate);
    presenter.messages.clear();
    WithDialog([&](app::TfmOptions& d) {
      In<QComboBox>(d, "RzComboBox1")->setEditText(QString::fromStdString(sim.Port()));
      In<QComboBox>(d, "RzComboBox2")->setEditText(c.rate);
      ui::MouseClick(In<QPushButton>(d, "RzBitBtn1"), Qt::LeftButton);
      EXPECT_FALSE(In<QPushButton>(d, "RzBitBtn3")->isEnabled()) << "no OK while probing";
      WaitDialogIdle(d);
      ui::MouseClick(In<QPushButton>(d, "RzBitBtn4"), Qt::LeftButton);
    });
    EXPECT_EQ(presenter.messages, QStringList{c.message});
    EXPECT_FALSE(window->Session().LinkOpen());
    EXPECT_EQ(Find<QLabel>("StatusConn")->text(), "Нет соединения");
    EXPECT_EQ(window->Session().settings.BoundRate, "9600");
  }
  EXPECT_TRUE(presenter.errors.isEmpty());
}

// A window on the simulator of its settings: a probe of another port, where
// an EKLZ answers or none does, and Cancel leave it on the simulator, which
// then answers its commands.
TEST_F(Options, AfterAProbeAndCancelTheWindowIsOnThePortOfItsSettings) {
  const SimLine own = SimAt(9600);
  const SimLine other = SimAt(9600);
  const SimLine silent = Silent();
  ConnectTo(own.Port());
  Open();
  struct Case {
    std::string port;
    const char* message;
  } cases[] = {{silent.Port(), "Сообщение: ЭКЛЗ не обнаружена"},
               {other.Port(), "Сообщение: ЭКЛЗ успешно обнаружена"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    presenter.messages.clear();
    WithDialog([&](app::TfmOptions& d) {
      In<QComboBox>(d, "RzComboBox1")->setEditText(QString::fromStdString(c.port));
      ui::MouseClick(In<QPushButton>(d, "RzBitBtn1"), Qt::LeftButton);
      WaitDialogIdle(d);
      ui::MouseClick(In<QPushButton>(d, "RzBitBtn4"), Qt::LeftButton);
    });
    WaitIdle();
    EXPECT_EQ(presenter.messages, QStringList{c.message});
    ASSERT_TRUE(window->Session().LinkOpen());
    EXPECT_EQ(window->Session().Port().Name(), own.Port());
    EXPECT_EQ(Find<QLabel>("StatusConn")->text(),
              QString::fromStdString("Соединение установлено: " + own.Port() + ", 9600"));
    const uint64_t before = own.Requests();
    Choose("Запрос состояния ЭКЛЗ");
    Execute();
    EXPECT_TRUE(presenter.errors.isEmpty()) << presenter.errors.join('\n').toStdString();
    EXPECT_EQ(own.Requests(), before + 1);
  }
}

// A rate that is no number of bauds is refused where it comes from: typed
// into the dialog it is neither probed nor accepted, read from the settings
// file it opens no port; each time the message names the field.
TEST_F(Options, ARateThatIsNotANumberIsRefusedNamingItsField) {
  WriteSettings(kOffline);
  Open();
  const SimLine silent = Silent();
  for (const char* rate : {"96OO", "-5"}) {
    for (const char* button : {"RzBitBtn1", "RzBitBtn3"}) {
      SCOPED_TRACE(std::string(rate) + " " + button);
      presenter.errors.clear();
      bool stayedOpen = false;
      WithDialog([&](app::TfmOptions& d) {
        In<QComboBox>(d, "RzComboBox1")->setEditText(QString::fromStdString(silent.Port()));
        In<QComboBox>(d, "RzComboBox2")->setEditText(rate);
        ui::MouseClick(In<QPushButton>(d, button), Qt::LeftButton);
        EXPECT_FALSE(d.Busy()) << "nothing probed";
        stayedOpen = d.isVisible() && d.result() != QDialog::Accepted;
        d.reject();
      });
      EXPECT_TRUE(stayedOpen);
      EXPECT_EQ(presenter.errors, QStringList{QString("В поле \"Скорость обмена\" не число бод: \"%1\"").arg(rate)});
      EXPECT_FALSE(window->Session().LinkOpen());
      EXPECT_EQ(window->Session().settings.BoundRate, "9600");
    }
  }

  WriteSettings("[Options]\nBoundRate=-5\nComPort=" + silent.Port() + "\n");
  presenter.errors.clear();
  Open();
  EXPECT_FALSE(window->Session().LinkOpen());
  EXPECT_EQ(Find<QLabel>("StatusDataExchange")->text(), "Скорость BoundRate не число");
  EXPECT_TRUE(Find<QLabel>("StatusConn")->toolTip().contains("-5"));
}

// A port or rate accepted while the link is open takes effect at once: the
// link moves there (the abort command first when the settings say so) and
// stays there when the port is closed and opened again. A port that does
// not open leaves the link closed and says why.
TEST_F(Options, AcceptingANewPortMovesTheOpenLinkThere) {
  const SimLine own = SimAt(9600);
  const SimLine other = SimAt(19200);
  ConnectTo(own.Port());
  Open();
  ASSERT_TRUE(window->Session().LinkOpen());
  const QString otherPort = QString::fromStdString(other.Port());
  const uint64_t ownBefore = own.Requests();
  WithDialog([&](app::TfmOptions& d) {
    In<QComboBox>(d, "RzComboBox1")->setEditText(otherPort);
    In<QComboBox>(d, "RzComboBox2")->setEditText("19200");
    In<QCheckBox>(d, "RzCheckBox3")->setChecked(true);
    ui::MouseClick(In<QPushButton>(d, "RzBitBtn3"), Qt::LeftButton);
  });
  WaitIdle();
  EXPECT_TRUE(presenter.errors.isEmpty()) << presenter.errors.join('\n').toStdString();
  const QString onOther = "Соединение установлено: " + otherPort + ", 19200";
  auto onTheOtherPort = [&] {
    ASSERT_TRUE(window->Session().LinkOpen());
    EXPECT_EQ(window->Session().Port().Name(), other.Port());
    EXPECT_EQ(window->Session().Port().BaudRate(), 19200u);
    EXPECT_EQ(Find<QLabel>("StatusConn")->text(), onOther);
  };
  onTheOtherPort();
  EXPECT_EQ(other.Requests(), 1u) << "the abort command";
  Choose("Запрос состояния ЭКЛЗ");
  Execute();
  EXPECT_EQ(other.Requests(), 2u);
  EXPECT_EQ(own.Requests(), ownBefore);

  ui::MouseClick(Find<QToolButton>("BtnClosePort"), Qt::LeftButton);
  ui::MouseClick(Find<QToolButton>("BtnInitPort"), Qt::LeftButton);
  WaitIdle();
  onTheOtherPort();

  const std::string none = dir.File("none");
  WithDialog([&](app::TfmOptions& d) {
    In<QComboBox>(d, "RzComboBox1")->setEditText(QString::fromStdString(none));
    ui::MouseClick(In<QPushButton>(d, "RzBitBtn3"), Qt::LeftButton);
  });
  WaitIdle();
  EXPECT_FALSE(window->Session().LinkOpen());
  EXPECT_EQ(Find<QLabel>("StatusConn")->text(), "Невозможно установить соединение");
  EXPECT_EQ(Find<QLabel>("StatusDataExchange")->text(), "Порт не найден");
  ASSERT_EQ(presenter.errors.size(), 1);
  EXPECT_TRUE(presenter.errors[0].contains(QString::fromStdString(none))) << presenter.errors[0].toStdString();
  EXPECT_TRUE(Find<QToolButton>("BtnInitPort")->isEnabled());
  EXPECT_FALSE(Find<QToolButton>("BtnClosePort")->isEnabled());
}

// A device left at a raised rate by a run that was killed: the connect step
// sets it back and says so.
TEST_F(Options, TheConnectStepSaysItSetARaisedRateBack) {
  const SimLine sim = SimAt(19200);
  WriteSettings("[Options]\nComPort=" + sim.Port() +
                "\nBoundRate=9600\nTimeOuts=10\nRaisedRate=19200\nRaisedTimeOuts=20\n");
  Open();
  ASSERT_TRUE(window->Session().LinkOpen());
  EXPECT_TRUE(ResultLines().contains(
      "ЭКЛЗ была на скорости 19200, оставшейся от прерванного дампа; скорость возвращена на 9600"))
      << ResultLines().join('\n').toStdString();
  EXPECT_EQ(Find<QLabel>("StatusDataExchange")->text(), "Скорость ЭКЛЗ возвращена с 19200 на 9600");
  // The device answers at 9600 again.
  const uint64_t before = sim.Requests();
  Choose("Запрос состояния ЭКЛЗ");
  Execute();
  EXPECT_TRUE(presenter.errors.isEmpty()) << presenter.errors.join('\n').toStdString();
  EXPECT_EQ(sim.Requests(), before + 1);
}

// "Найти ЭКЛЗ" with the simulator's link typed in the port field: the typed
// port is tried first, each rate in turn, and the one that answers is
// selected in the dialog; it becomes a setting only with OK.
TEST_F(Options, TheSearchFindsTheSimulatorAt19200AndShowsWhereItIs) {
  EKLZ_NOT_ON_WINDOWS("fault found on Windows: a typed COM port is searched in its place in the list, not first");
  const SimLine sim = SimAt(19200);
  WriteSettings(kOffline);
  Open();
#ifdef _WIN32
  const QString link = QString::fromStdString(sim.Port());  // a COM port has no other name
#else
  const QString link = QString::fromStdString(dir.File("eklz19200"));
  ASSERT_TRUE(QFile::link(QString::fromStdString(sim.Port()), link));
#endif
  QStringList shown;
  WithDialog([&](app::TfmOptions& d) {
    In<QComboBox>(d, "RzComboBox1")->setEditText(link);
    In<QComboBox>(d, "RzComboBox2")->setCurrentIndex(0);
    auto* progress = In<QLabel>(d, "lbSearchProgress");
    ui::MouseClick(In<QPushButton>(d, "RzBitBtn2"), Qt::LeftButton);
    EXPECT_TRUE(In<QPushButton>(d, "btSearchCancel")->isEnabled());
    EXPECT_TRUE(ui::WaitFor(
        [&] {
          if (shown.isEmpty() || shown.back() != progress->text()) shown << progress->text();
          return !d.Busy();
        },
        30000));
    EXPECT_EQ(In<QComboBox>(d, "RzComboBox1")->currentText(), link);
    EXPECT_EQ(In<QComboBox>(d, "RzComboBox2")->currentText(), "19200");
    ui::MouseClick(In<QPushButton>(d, "RzBitBtn3"), Qt::LeftButton);
  });
  EXPECT_EQ(presenter.messages, QStringList{"Сообщение: ЭКЛЗ успешно обнаружена"});
  auto tried = [&](const QString& start) {
    return std::any_of(shown.begin(), shown.end(), [&](const QString& t) { return t.startsWith(start); });
  };
  EXPECT_TRUE(tried("Поиск: " + link + ", 2400 (1 из ")) << shown.join(" | ").toStdString();
  EXPECT_EQ(shown.back(), "ЭКЛЗ найдена: " + link + ", 19200");
  EXPECT_EQ(window->Session().settings.ComPort, link.toStdString());
  EXPECT_EQ(window->Session().settings.BoundRate, "19200");
  ASSERT_TRUE(window->Session().LinkOpen());
  EXPECT_EQ(window->Session().Port().BaudRate(), 19200u);
}

// The search's stop button ends it during a probe at once; the dialog's
// Cancel during a search stops it and closes when it has ended.
TEST_F(Options, ASearchStopsAtOnceWhenCancelled) {
  EKLZ_NOT_ON_WINDOWS("fault found on Windows: the stop ends a probe only after its whole wait (2 s + T)");
  WriteSettings(kOffline);
  Open();
  const SimLine silent = Silent();
  for (const char* button : {"btSearchCancel", "RzBitBtn4"}) {
    SCOPED_TRACE(button);
    bool closed = false;
    WithDialog([&](app::TfmOptions& d) {
      In<QComboBox>(d, "RzComboBox1")->setEditText(QString::fromStdString(silent.Port()));
      auto* progress = In<QLabel>(d, "lbSearchProgress");
      ui::MouseClick(In<QPushButton>(d, "RzBitBtn2"), Qt::LeftButton);
      ASSERT_TRUE(ui::WaitFor([&] { return progress->text().contains("(1 из"); }, 5000));
      ui::Wait(200);
      QElapsedTimer timer;
      timer.start();
      ui::MouseClick(In<QPushButton>(d, button), Qt::LeftButton);
      WaitDialogIdle(d, 2000);
      EXPECT_LT(timer.elapsed(), 500);
      EXPECT_EQ(progress->text(), "Поиск прерван");
      EXPECT_EQ(Find<QLabel>("StatusDataExchange")->text(), "Поиск прерван") << "no wait is shown";
      // A screen reader reads what the line shows.
      EXPECT_EQ(progress->accessibleName(), "Ход поиска: Поиск прерван");
      closed = d.isHidden();
      if (!closed) d.reject();
    });
    EXPECT_EQ(closed, std::string(button) == "RzBitBtn4");
  }
  EXPECT_TRUE(presenter.messages.isEmpty());
  EXPECT_TRUE(presenter.errors.isEmpty());
}

// --- Command grid ------------------------------------------------------------

class Grid : public WindowTest {
 protected:
  void SetUp() override {
    WriteSettings(kOffline);
    Open();
    Choose("Команда, которую вы можете сделать сами");
    table = Find<QTableWidget>("StringGrid1");
    spin = Find<QSpinBox>("edSomeComandLen");
  }
  QString Row(int r) {
    QStringList cells;
    for (int c = 0; c < table->columnCount(); ++c) cells << table->item(r, c)->text();
    return cells.join(' ');
  }
  // Types `keys` into value cell `column` through the grid's cell editor.
  void Type(int column, const QString& keys) {
    table->setCurrentCell(1, column);
    ui::KeyClick(table, Qt::Key_F2);  // the edit key opens the cell editor
    QLineEdit* editor = nullptr;
    for (QLineEdit* e : table->viewport()->findChildren<QLineEdit*>()) {
      if (e->isVisible()) editor = e;  // a closed editor is hidden until deleted
    }
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    ui::KeyClicks(editor, keys);
    ui::KeyClick(editor, Qt::Key_Return);
    ui::Wait(0);  // a cell's message comes once its keystroke is over
  }

  QTableWidget* table = nullptr;
  QSpinBox* spin = nullptr;
};

TEST_F(Grid, ResizeValidationAndChecksum) {
  struct Case {
    const char* name;
    std::function<void()> act;
    QString headers;
    QString values;
    QStringList messages;
    QStringList errors;
  };
  const QString pars10 = QString(" Пар.").repeated(10);
  const QString zeros10 = QString(" 00").repeated(10);
  const Case cases[] = {
      {"start-up", [] {}, "STX Дл. Ком. CRC", "02 01 00 01", {}, {}},
      {"one digit in the command cell", [&] { Type(2, "7"); }, "STX Дл. Ком. CRC", "02 01 7 06", {}, {}},
      {"length 3", [&] { spin->setValue(3); }, "STX Дл. Ком. Пар. Пар. CRC", "02 03 7 00 00 04", {}, {}},
      {"a parameter", [&] { Type(4, "a5"); }, "STX Дл. Ком. Пар. Пар. CRC", "02 03 7 00 a5 A1", {}, {}},
      {"back to 1 keeps the command", [&] { spin->setValue(1); }, "STX Дл. Ком. CRC", "02 01 7 06", {}, {}},
      {"page up adds ten", [&] { ui::KeyClick(spin, Qt::Key_PageUp); },
       "STX Дл. Ком." + pars10 + " CRC", "02 0B 7" + zeros10 + " 0C", {}, {}},
      {"page down removes them", [&] { ui::KeyClick(spin, Qt::Key_PageDown); }, "STX Дл. Ком. CRC",
       "02 01 7 06", {}, {}},
      {"typing in the length field is refused", [&] { ui::KeyClicks(spin, "5"); }, "STX Дл. Ком. CRC",
       "02 01 7 06", {}, {}},
      {"a third digit is cut", [&] { Type(2, "123"); }, "STX Дл. Ком. CRC", "02 01 12 13", {},
       {"Должно быть только две цифры."}},
      {"not hexadecimal empties the cell", [&] { Type(2, "G"); }, "STX Дл. Ком. CRC", "02 01  13",
       {"Сообщение: Вы ввели не 16-тиричное чило"}, {}},
      {"the checksum cell is replaced", [&] { Type(2, "10"); Type(3, "FF"); }, "STX Дл. Ком. CRC",
       "02 01 10 11", {}, {}},
      {"a hand-typed length is kept", [&] { Type(1, "5"); }, "STX Дл. Ком. CRC", "02 5 10 15", {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    presenter.messages.clear();
    presenter.errors.clear();
    c.act();
    EXPECT_EQ(Row(0), c.headers);
    EXPECT_EQ(Row(1), c.values);
    EXPECT_EQ(presenter.messages, c.messages);
    EXPECT_EQ(presenter.errors, c.errors);
  }
  // Row 0 and column 0 cannot be edited.
  EXPECT_FALSE(table->item(0, 2)->flags() & Qt::ItemIsEditable);
  EXPECT_FALSE(table->item(1, 0)->flags() & Qt::ItemIsEditable);
}

// A message box runs its own event loop: the view closes the cell editor
// that lost the focus to it and deletes it there. The keystroke that raised
// the message must be over by then; the grid goes on working afterwards.
TEST_F(Grid, AMessageBoxAboutACellLeavesTheGridWorking) {
  presenter.whileMessageShown = [this] {
    QDialog box(window.get());
    QTimer::singleShot(100, &box, &QDialog::accept);
    box.exec();
  };
  for (const char* keys : {"G", "123"}) {
    SCOPED_TRACE(keys);
    Type(2, keys);
    ui::Wait(200);
  }
  EXPECT_EQ(presenter.messages, QStringList{"Сообщение: Вы ввели не 16-тиричное чило"});
  EXPECT_EQ(presenter.errors, QStringList{"Должно быть только две цифры."});
  presenter.whileMessageShown = nullptr;
  Type(2, "7");
  EXPECT_EQ(Row(1), "02 01 7 06");
}

TEST_F(Grid, TheTextFormDisablesFragmentDecodingOnBothPanels) {
  auto* parse = Find<QCheckBox>("cbSomeComandParseFrag");
  ui::MouseClick(Find<QRadioButton>("rbSomeComandTXT"), Qt::LeftButton);
  EXPECT_FALSE(parse->isEnabled());
  ui::MouseClick(Find<QRadioButton>("rbSomeComandDigits"), Qt::LeftButton);
  EXPECT_TRUE(parse->isEnabled());
}

// --- Dump panels -------------------------------------------------------------------

TEST_F(WindowTest, DumpPanelsFollowTheirSwitchesAndTheSaveDialog) {
  WriteSettings(kOffline);
  Open();
  Choose("Запрос дампа архива");
  auto* to = Find<QWidget>("eiAskDumpNumPageTo");
  auto* name = Find<QLineEdit>("edAskDumpArchivFileName");
  auto* browse = Find<QToolButton>("RzToolbarButton1");
  ui::MouseClick(Find<QRadioButton>("rbAskDumpManyPages"), Qt::LeftButton);
  EXPECT_TRUE(to->isEnabled());
  ui::MouseClick(Find<QRadioButton>("rbAskDumpOnePage"), Qt::LeftButton);
  EXPECT_FALSE(to->isEnabled());
  Find<QCheckBox>("chAskDumpArchivInFile")->click();
  EXPECT_TRUE(name->isEnabled());
  EXPECT_TRUE(browse->isEnabled());

  struct Case {
    const char* browse;
    const char* field;
    QString chosen;
    QString expected;
  } cases[] = {{"RzToolbarButton1", "edAskDumpArchivFileName", "/tmp/a.Bin", "/tmp/a.Bin"},
               {"RzToolbarButton1", "edAskDumpArchivFileName", "", "/tmp/a.Bin"},
               {"RzToolbarButton2", "edAllDumpFileName", "", "Dump.bin"},
               {"RzToolbarButton2", "edAllDumpFileName", "/tmp/all.Bin", "/tmp/all.Bin"}};
  for (const Case& c : cases) {
    presenter.dumpPath = c.chosen;
    Find<QToolButton>(c.browse)->click();
    EXPECT_EQ(Find<QLineEdit>(c.field)->text(), app::ShownPath(c.expected))
        << c.browse << " " << c.chosen.toStdString();
  }
  // The full dump's chooser asks nothing of a file that exists: the run asks
  // whether to continue it. The single dump replaces its file, so its
  // chooser confirms.
  using Kind = app::SaveFileKind;
  EXPECT_EQ(presenter.dumpKinds, (QList<Kind>{Kind::Dump, Kind::Dump, Kind::FullDump, Kind::FullDump}));
  Find<QCheckBox>("chAskDumpArchivInFile")->click();
  EXPECT_FALSE(name->isEnabled());
  EXPECT_FALSE(browse->isEnabled());
}

// The system's save dialog of dump files with a file that exists: the full
// dump's takes it without a question, the single dump's confirms it first.
TEST_F(WindowTest, TheFullDumpsFileDialogAsksNoQuestionOfItsOwn) {
  EKLZ_NOT_ON_WINDOWS("the system's own save dialog has no widgets of Qt's for the test to fill in");
  const QString existing = QString::fromStdString(dir.File("Dump.Bin"));
  std::ofstream(existing.toStdString(), std::ios::binary) << std::string(512, 'x');
  // The operator: he picks the file in the dialog and saves; a question
  // about it is answered "Yes" and counted.
  int questions = 0;
  bool picked = false;
  QPointer<QMessageBox> answered;
  QTimer operatorHand;
  operatorHand.setInterval(20);
  QObject::connect(&operatorHand, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible() && box != answered) {
        answered = box;
        ++questions;
        QTimer::singleShot(0, box->button(QMessageBox::Yes), &QAbstractButton::click);
        return;
      }
    }
    if (picked) return;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* dialog = qobject_cast<QFileDialog*>(w); dialog && dialog->isVisible()) {
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        auto* buttons = dialog->findChild<QDialogButtonBox*>("buttonBox");
        ASSERT_NE(name, nullptr);
        ASSERT_NE(buttons, nullptr);
        picked = true;
        name->setText(existing);
        // Clicked once this tick is over: a question then runs a loop of its own.
        QTimer::singleShot(0, buttons->button(QDialogButtonBox::Save), &QAbstractButton::click);
        return;
      }
    }
  });
  operatorHand.start();
  for (const bool askReplace : {false, true}) {
    SCOPED_TRACE(askReplace);
    questions = 0;
    picked = false;
    app::MessagePresenter real;
    EXPECT_EQ(real.ChooseSaveFile(nullptr, askReplace ? app::SaveFileKind::Dump : app::SaveFileKind::FullDump),
              existing);
    EXPECT_EQ(questions, askReplace ? 1 : 0);
  }
}

// --- Repair request -------------------------------------------------------------

// Against the demo simulator: the run fills the panel from the device and
// collects the failures; the form saved as PDF holds every variable.
TEST_F(WindowTest, RepairRequestFillsThePanelAndThePrintedForm) {
  EKLZ_NOT_ON_WINDOWS("fault found on Windows: the printed form cuts a line short (\"... 1234567890123 подт\")");
  const SimLine sim = SimAt(9600);
  WriteSettings("[Options]\nComPort=" + sim.Port() +
                "\nBoundRate=9600\nTimeOuts=10\nNameOrg=ЦТО Восток\nFioBoss=Сидоров С.С.\n");
  Open();
  Choose("Заявка на ремонт в Дорнал");
  auto* memo = Find<QPlainTextEdit>("meRequestDornalDevelopmentFailure");
  auto* reason = Find<QPlainTextEdit>("meRequestDornaFailureToCarryOut");
  Find<QLineEdit>("RequestDornalNumRequset")->setText("17");
  EXPECT_EQ(Find<QLineEdit>("RequestDornalSerialNumEKLZ")->alignment() & Qt::AlignRight, Qt::AlignRight);
  EXPECT_EQ(Find<QLineEdit>("RequestDornalSerialNumEKLZ")->maxLength(), 13);
  // What the operator typed before the run stays, also when he leaves the
  // item and comes back.
  const QString fault = "Не печатает чек\nОшибка ЭКЛЗ при закрытии смены";
  Find<QLineEdit>("RequestDornalSerialNumEKLZ")->setText("1234567890123");
  memo->setPlainText(fault);
  Choose("Продажа");
  Choose("Заявка на ремонт в Дорнал");
  EXPECT_EQ(memo->toPlainText(), fault);
  Execute();
  EXPECT_TRUE(presenter.errors.isEmpty()) << presenter.errors.join("\n").toStdString();

  // Filled from the device; the operator's text kept.
  const KkmParticulars kkm = window->Particulars();
  const std::string model = kkm.model.value_or("");
  const std::string serial = kkm.serial.value_or("");
  const CalendarDate activation = kkm.activationDate.value_or(CalendarDate{});
  EXPECT_EQ(memo->toPlainText(), fault);
  EXPECT_EQ(Find<QLineEdit>("RequestDornalSerialNumEKLZ")->text(), "1234567890123");
  EXPECT_EQ(Find<QLineEdit>("RequestDornalNumRequset")->text(), "17");
  ASSERT_FALSE(model.empty());
  // The fields hold as much as their length allows.
  EXPECT_EQ(Find<QLineEdit>("RequestDornalNameKKM")->text(), QString::fromStdString(model).left(16));
  EXPECT_EQ(Find<QLineEdit>("RequestDornalSerialNumKKM")->text(),
            QString::fromStdString(serial).left(12));
  const QDate activated = Find<QDateTimeEdit>("RequestDornalDateOfActivate")->date();
  EXPECT_EQ(FormatShortDate({activated.year(), activated.month(), activated.day()}),
            FormatShortDate(activation));
  EXPECT_EQ(Find<QDateTimeEdit>("RequestDornalDateOfBroken")->date(), QDate::currentDate());

  // The operator completes the panel; the reason memo follows the check box.
  Find<QLineEdit>("RequestDornalNameKKM")->setText("edited");  // does not reach the form
  EXPECT_FALSE(reason->isEnabled());
  Find<QCheckBox>("RzCheckBox2")->click();
  EXPECT_TRUE(reason->isEnabled());
  reason->setPlainText("носитель неисправен");

  presenter.pdfPath = QString::fromStdString(dir.File("request.pdf"));
  Find<QPushButton>("btRequestDornalPdf")->click();
  const QString text = PdfText(presenter.pdfPath);
  QString flat = text.simplified();
  const QStringList expected = {
      "Заявка № 17",
      "Заводской номер ЭКЛЗ: 1234567890123",
      "Дата активизации ЭКЛЗ: " + QString::fromStdString(FormatShortDate(activation)),
      "Модель ККТ: " + QString::fromStdString(model).simplified(),
      "Заводской номер ККТ: " + QString::fromStdString(serial),
      "Наименование ЦТО: ЦТО Восток",
      "Дата отказа ЭКЛЗ: " + QDate::currentDate().toString("dd.MM.yyyy"),
      "Не печатает чек",
      "Ошибка ЭКЛЗ при закрытии смены",
      "на технический носитель информации не перенесены по причине: носитель неисправен",
      "Сидоров С.С.",
      "Дата: " + QDate::currentDate().toString("dd.MM.yyyy"),
      "заводской номер 1234567890123 подтверждаем",
      "Дата: \"____ \" _______________________ 20__ г.",
  };
  for (const QString& e : expected) EXPECT_TRUE(flat.contains(e)) << e.toStdString() << "\n" << text.toStdString();
  for (const QString& failure : Find<QPlainTextEdit>("meRequestDornalDetectFailure")->toPlainText().split('\n')) {
    EXPECT_TRUE(flat.contains(failure.simplified())) << failure.toStdString();
  }
  EXPECT_FALSE(flat.contains("edited"));
}

// A device failure is collected and the run goes on; a line that goes dead
// ends the run with its error, and the panel shows the failures collected
// up to then without being filled.
TEST_F(WindowTest, ARepairRequestEndedByALineFailureShowsTheFailuresSoFar) {
  EKLZ_NOT_ON_WINDOWS("under wine a pseudo-terminal that hangs up is no failure of the COM port: its reads time out");
  // The cryptoprocessor query fails; the line is hung up after five
  // requests: version, abort, two pages, crypto.
  const SimLine sim = SimAt(9600, {"--answer", "39:01", "--hangup-after", "5"});
  WriteSettings("[Options]\nComPort=" + sim.Port() + "\nBoundRate=9600\nTimeOuts=10\n");
  Open();
  Choose("Заявка на ремонт в Дорнал");
  Execute();
  ASSERT_EQ(presenter.errors.size(), 1);
  EXPECT_TRUE(presenter.errors[0].startsWith("System Error.")) << presenter.errors[0].toStdString();
  const QStringList memo = Find<QPlainTextEdit>("meRequestDornalDetectFailure")->toPlainText().split('\n');
  ASSERT_EQ(memo.size(), 2) << memo.join('|').toStdString();
  EXPECT_EQ(memo[0], "");
  EXPECT_FALSE(memo[1].isEmpty());
  EXPECT_EQ(Find<QLineEdit>("RequestDornalNameKKM")->text(), "");
}

}  // namespace
}  // namespace eklz::test
