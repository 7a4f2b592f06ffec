// A day of use of the desktop program in minutes: the window (offscreen, in
// this process, with its worker thread and a real event loop) against the
// simulated EKLZ, driven by random operator acts: task items, field text
// (garbage included), check boxes, runs stopped at a random moment, port
// switches through the options dialog, the answers to the full dump's
// question, saving the views, and full dumps of the whole archive at planned
// times. The simulated EKLZ is one device behind two lines: a clean one and
// one that spoils replies at random (silence, cut replies, NAK, wrong bytes,
// error answers) and is hung up at random moments during runs.
//
// After every act it checks that the event loop answered within 200 ms, that
// a failed run's message is the result view's last line, that a stopped
// procedure left no document open in the device and that the device's rate
// is the settings' rate after every run. It prints the acts done, the broken
// invariants, the longest event-loop wait and the memory after each full
// dump; the window must stay under 250 MB and give back to within 20 MB of
// where it was after the first. Exit status 1 when an invariant broke or a
// memory goal was missed.
//
// usage: gui_soak_bench MINUTES [SEED] [FULL_DUMPS]
//   SEED: of the acts and the faults (1); FULL_DUMPS: planned full dumps
//   (2 for a run of up to two minutes, one every three minutes beyond, at
//   least 6). With GUI_SOAK_TRACE set in the environment every act is
//   printed with its event-loop wait, the link and both rates.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "Process.h"
#include "codec/Errors.h"
#include "codec/Regional.h"
#include "app/Catalogue.h"
#include "app/Options.h"
#include "app/Presenter.h"
#include "app/Views.h"
#include "app/pages/Page.h"
#include "app/uMain.h"
#include "codec/Errors.h"
#include "sim/Demo.h"
#include "sim/PtyServer.h"

using namespace eklz;

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kFaultRate = 0.02;       // replies spoilt on the faulty line
constexpr int kLoopAnswerMs = 200;        // the event loop answers within this
constexpr int kRunCapMs = 20000;          // a run still going after this is stopped
constexpr int kStopWaitMs = 60000;        // a stopped run that does not end by then hangs
constexpr double kMemoryCapMb = 250;      // after the full dumps
constexpr double kMemoryGiveBackMb = 20;  // above the figure after the first full dump

double ResidentMb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      long kb = 0;
      status >> kb;
      return kb / 1024.0;
    }
    status.ignore(1 << 20, '\n');
  }
  return 0;
}

// One simulated device behind a clean line and a faulty one. The device's
// state is read through what the server threads note after each request.
class Simulator {
 public:
  explicit Simulator(unsigned seed) : seed_(seed) {
    sim::BuildDemo(device_);
    flags_ = device_.StatusFlags();
    baud_ = device_.BaudRate();
    clean_ = Serve(false);
    faulty_ = Serve(true);
  }
  ~Simulator() {
    faulty_.reset();
    clean_.reset();
  }

  std::string CleanLine() const { return clean_->SlavePath(); }
  std::string FaultyLine() const { return faulty_->SlavePath(); }
  // The faulty line goes down (the client sees a hang-up) and comes back on
  // a new path.
  void HangUpFaulty() {
    faulty_.reset();
    faulty_ = Serve(true);
  }
  bool DocumentOpen() const { return (flags_ & sim::flag::kDocument) != 0; }
  uint32_t Baud() const { return baud_; }

 private:
  std::unique_ptr<sim::PtyServer> Serve(bool faults) {
    sim::ServerOptions options;
    if (faults) {
      options.faults.spoilRate = kFaultRate;
      options.faults.spoilSeed = seed_ * 1000 + ++lines_;
    }
    options.afterRequest = [this](const sim::Device& d) {
      flags_ = d.StatusFlags();
      baud_ = d.BaudRate();
    };
    auto server = std::make_unique<sim::PtyServer>(device_, options);
    server->Start();
    return server;
  }

  unsigned seed_;
  unsigned lines_ = 0;
  sim::Device device_;
  std::atomic<uint8_t> flags_{0};
  std::atomic<uint32_t> baud_{0};
  std::unique_ptr<sim::PtyServer> clean_;
  std::unique_ptr<sim::PtyServer> faulty_;
};

// The operator's answers: failures noted, questions answered at random.
class Presenter : public app::MessagePresenter {
 public:
  explicit Presenter(std::mt19937& rng) : rng_(rng) {}
  void Error(QWidget*, const QString& message) override { errors << message; }
  void Information(QWidget*, const QString&, const QString&) override {}
  void ErrorMessage(QWidget*, const QString& text, const QString&) override { errors << text; }
  app::SaveViewsAnswer AskSaveViews(QWidget*) override {
    return answerSave ? app::SaveViewsAnswer::Save : app::SaveViewsAnswer::DontSave;
  }
  bool ChoosePrinter(QWidget*, QPrinter&) override { return false; }
  void ShowModal(QDialog& dialog) override {
    if (onModal) onModal(dialog);
  }
  app::DumpFileChoice AskContinueDump(QWidget*, const QString&, int, int) override {
    ++dumpQuestions;
    static constexpr app::DumpFileChoice kChoices[] = {
        app::DumpFileChoice::Continue, app::DumpFileChoice::StartAnew, app::DumpFileChoice::Cancel};
    return kChoices[std::uniform_int_distribution<int>(0, 2)(rng_)];
  }

  QStringList errors;
  bool answerSave = false;

 protected:
  QString SaveFileName(QWidget*, app::SaveFileKind kind, const QString&) override {
    switch (kind) {
      case app::SaveFileKind::Log: return savePath;
      case app::SaveFileKind::Dump:
      case app::SaveFileKind::FullDump: return dumpPath;
      default: return {};
    }
  }

 public:
  QString savePath;
  QString dumpPath;
  int dumpQuestions = 0;
  std::function<void(QDialog&)> onModal;

 private:
  std::mt19937& rng_;
};

// A 10 ms timer noting how late its ticks come while armed: how long the
// event loop kept a waiting event.
class LoopProbe {
 public:
  LoopProbe() {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const qint64 now = clock_.nsecsElapsed();
      worst_ = std::max(worst_, now - expected_);
      expected_ = now + kTickNs;
    });
    clock_.start();
  }
  void Arm() {
    worst_ = 0;
    expected_ = clock_.nsecsElapsed() + kTickNs;
    timer_.start(kTickNs / 1'000'000);
  }
  // The longest wait since Arm, in milliseconds; the timer's own last tick
  // counts too, so that a blocked loop at the end of an act is seen.
  double Disarm() {
    timer_.stop();
    worst_ = std::max(worst_, clock_.nsecsElapsed() - expected_);
    return worst_ / 1e6;
  }

 private:
  static constexpr qint64 kTickNs = 10'000'000;
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 expected_ = 0;
  qint64 worst_ = 0;
};

// Runs the event loop until `done` or `ms` passed; false on the time-out.
// `tick` runs every 5 ms while waiting.
bool WaitUntil(const std::function<bool()>& done, int ms, const std::function<void()>& tick = {}) {
  if (done()) return true;
  QEventLoop loop;
  QTimer poll;
  QElapsedTimer elapsed;
  elapsed.start();
  bool met = false;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (tick) tick();
    if (done()) {
      met = true;
      loop.quit();
    } else if (elapsed.elapsed() >= ms) {
      loop.quit();
    }
  });
  poll.start(5);
  loop.exec();
  return met;
}

class Soak {
 public:
  Soak(double minutes, unsigned seed, int fullDumps, const std::string& dir)
      : minutes_(minutes), rng_(seed), sim_(seed), presenter_(rng_), dir_(dir), plannedDumps_(fullDumps) {
    {
      std::ofstream ini(dir_ + "/eklz-tester.ini");
      ini << "[Options]\nComPort=" << sim_.CleanLine()
          << "\nBoundRate=9600\nTimeOuts=10\nLogTXT=1\nLogHEX=1\n[fmMainFormState]\nConnected=1\n";
    }
    presenter_.savePath = QString::fromStdString(dir_ + "/views.log");
    presenter_.dumpPath = QString::fromStdString(dir_ + "/chosen.bin");
    app::TesterEnvironment env;
    env.settingsPath = QString::fromStdString(dir_ + "/eklz-tester.ini");
    env.programDir = QString::fromStdString(dir_);
    env.presenter = &presenter_;
    window_ = std::make_unique<app::TfmMain>(env);
    // A link opened by the window sets the rate it names (or finds the
    // device's) again.
    QObject::connect(&window_->Runner(), &app::JobRunner::linkOpened, [this] { rateUnknown_ = false; });
    window_->show();
    WaitIdle();
    for (const app::CatalogueItem& item : app::Catalogue()) {
      if (Allowed(item)) items_.push_back(&item);
    }
  }

  int Run() {
    idleMb_ = ResidentMb();
    const auto start = Clock::now();
    const auto length = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(minutes_ * 60));
    while (Clock::now() - start < length) {
      const double share = std::chrono::duration<double>(Clock::now() - start) / length;
      if (dumpsDone_ < plannedDumps_ && share >= (dumpsDone_ + 0.1) / plannedDumps_) {
        Act("full dump", [this] { FullDump(); });
      } else {
        RandomAct();
      }
    }
    Finish();
    return Report();
  }

 private:
  // Items whose run changes the device for good or leaves the program's
  // control (activation, archive initialisation and closing, the repair
  // request's printing, a hand-built command) are left out.
  static bool Allowed(const app::CatalogueItem& item) {
    if (item.hidden || !item.prepare) return false;
    for (const char* left : {"Активизация ЭКЛЗ", "Инициализация архива", "Закрытие архива"}) {
      if (QString::fromUtf8(item.caption) == QString::fromUtf8(left)) return false;
    }
    return item.code != app::procedure::kRepairRequest && item.code != app::procedure::kArbitraryCommand;
  }

  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }

  void WaitIdle() {
    if (!WaitUntil([this] { return !window_->JobRunning(); }, kStopWaitMs)) {
      std::printf("HANG: a job of the window has not ended in %d s\n", kStopWaitMs / 1000);
      std::fflush(stdout);
      std::_Exit(1);
    }
  }

  void Broken(const QString& what) {
    ++broken_;
    if (brokenList_.size() < 12) brokenList_ << QString("act %1 (%2): %3").arg(acts_).arg(actName_, what);
  }

  // One act with the event-loop probe around it.
  void Act(const QString& name, const std::function<void()>& act, bool closes = false) {
    ++acts_;
    actName_ = name;
    probe_.Arm();
    act();
    const double wait = probe_.Disarm();
    if (wait > longestWait_) {
      longestWait_ = wait;
      longestAct_ = name;
    }
    if (trace_) {
      std::printf("%d %s (%.0f ms): link %s, settings %s, device %u, errors %lld %s\n", acts_,
                  name.toUtf8().constData(), wait,
                  LinkPort().c_str(), window_->Session().settings.BoundRate.c_str(), sim_.Baud(),
                  static_cast<long long>(presenter_.errors.size()),
                  presenter_.errors.isEmpty() ? "" : presenter_.errors.last().toUtf8().constData());
    }
    if (wait > kLoopAnswerMs) Broken(QString("the event loop waited %1 ms").arg(wait, 0, 'f', 0));
    if (!closes && !window_->isVisible()) {
      Broken("the window is gone");
      Report();
      std::exit(1);
    }
  }

  QWidget* Panel() const { return window_->findChild<QStackedWidget*>("pnPanels")->currentWidget(); }

  template <typename W>
  std::vector<W*> Usable() const {
    std::vector<W*> found;
    for (W* w : Panel()->findChildren<W*>()) {
      if (w->isVisibleTo(Panel()) && w->isEnabled()) found.push_back(w);
    }
    return found;
  }

  void Choose(const app::CatalogueItem& item) {
    window_->SelectCommand(item);
    // Files only in the bench's folder.
    for (QLineEdit* e : Panel()->findChildren<QLineEdit*>()) {
      if (e->objectName().contains("FileName")) e->setText(QString::fromStdString(dir_ + "/dump.bin"));
    }
  }

  void RandomAct() {
    const int roll = Pick(100);
    if (roll < 20) {
      const app::CatalogueItem& item = *items_[Pick(static_cast<int>(items_.size()))];
      ++chosen_;
      Act(QString("choose \"%1\"").arg(QString::fromUtf8(item.caption).trimmed()), [&] { Choose(item); });
    } else if (roll < 40) {
      Act("field text", [this] { FieldText(); });
    } else if (roll < 48) {
      Act("check box", [this] {
        std::vector<QAbstractButton*> boxes;
        for (QCheckBox* c : Usable<QCheckBox>()) boxes.push_back(c);
        for (QRadioButton* r : Usable<QRadioButton>()) boxes.push_back(r);
        if (!boxes.empty()) boxes[Pick(static_cast<int>(boxes.size()))]->click();
      });
    } else if (roll < 88) {
      RunAct();
    } else if (roll < 96) {
      const int target = Pick(10);
      const std::string port = target < 5   ? sim_.CleanLine()
                               : target < 9 ? sim_.FaultyLine()
                                            : dir_ + "/no-such-port";
      Act("port switch", [&] { SwitchPort(port, Chance(0.5)); });
    } else {
      Act("save views", [this] {
        window_->SaveLogsClick();
        QFile::remove(presenter_.savePath);
        QFile::remove(presenter_.savePath + "Hex");
        ++saves_;
      });
    }
  }

  void FieldText() {
    static const char* const kTexts[] = {"", "0", "1", "2", "3", "5", "10", "100", "8191", "-1", "abc",
                                         "1,5", "1.5", "99999999999", " ", "ё", "12:30", "0x10",
                                         "1234567890123456789012345678901234567890"};
    std::vector<QLineEdit*> edits;
    for (QLineEdit* e : Usable<QLineEdit>()) {
      if (!e->isReadOnly() && !e->objectName().contains("FileName")) edits.push_back(e);
    }
    std::vector<QComboBox*> lists = Usable<QComboBox>();
    if (!lists.empty() && (edits.empty() || Chance(0.3))) {
      QComboBox* list = lists[Pick(static_cast<int>(lists.size()))];
      if (list->count() > 0) list->setCurrentIndex(Pick(list->count()));
      return;
    }
    if (edits.empty()) return;
    QLineEdit* edit = edits[Pick(static_cast<int>(edits.size()))];
    edit->setText(QString::fromUtf8(kTexts[Pick(static_cast<int>(std::size(kTexts)))]));
    emit edit->editingFinished();
  }

  // The port the window's link is open on; empty while it is closed.
  std::string LinkPort() const {
    return window_->Session().LinkOpen() ? window_->Session().Port().Name() : std::string();
  }

  // "Выполнить", a stop or a hang-up at a random moment perhaps, and the
  // checks of the run's end.
  void RunAct() {
    const uint8_t code = window_->CurrentCmd();
    const app::PageRun page = app::FindPageRun(code);
    const QString caption = page.page ? QString::fromUtf8(page.page->caption).trimmed() : QString::number(code);
    Act(QString("run \"%1\"").arg(caption), [&] {
      const bool procedure = code >= app::procedure::kRepairRequest;
      const bool documentBefore = sim_.DocumentOpen();
      const bool onFaulty = LinkPort() == sim_.FaultyLine();
      const qsizetype errorsBefore = presenter_.errors.size();
      window_->btExecQueryClick();
      if (!window_->JobRunning()) return;  // refused before a run (no link, a field, a question)
      ++runs_;
      // Most runs take milliseconds: the moments are drawn where they land.
      const int stopAt = Chance(0.3) ? Pick(1000) : -1;
      const int hangUpAt = onFaulty && Chance(0.15) ? Pick(50) : -1;
      bool stopped = false, hungUp = false;
      QElapsedTimer running;
      running.start();
      WaitUntil([this] { return !window_->JobRunning(); }, kRunCapMs, [&] {
        if (!stopped && stopAt >= 0 && running.elapsed() >= stopAt) {
          stopped = true;
          window_->findChild<QAction*>("actStopJob")->trigger();
        }
        if (!hungUp && hangUpAt >= 0 && running.elapsed() >= hangUpAt) {
          hungUp = true;
          sim_.HangUpFaulty();
        }
      });
      if (window_->JobRunning()) {
        stopped = true;
        window_->findChild<QAction*>("actStopJob")->trigger();
        WaitIdle();
      }
      if (stopped) ++stops_;
      if (hungUp) {
        ++hangUps_;
        // Until the link is opened again, the device may keep a rate the
        // window could not set back.
        rateUnknown_ = true;
      }
      if (presenter_.errors.size() > errorsBefore) {
        ++failedRuns_;
        CheckFailureShown(presenter_.errors.last());
      }
      if (stopped && procedure && !documentBefore && sim_.DocumentOpen()) {
        Broken("the stopped procedure left a document open in the device");
      }
      CheckRate();
    });
  }

  void CheckFailureShown(const QString& message) {
    const QStringList expected =
        QString::fromStdString(MessageBoxText(message.toStdString())).split("\r\n");
    const QStringList lines = window_->findChild<app::LogView*>("mmResult")->Lines();
    if (lines.size() < expected.size() || lines.mid(lines.size() - expected.size()) != expected) {
      Broken(QString("the failure \"%1\" is not the result view's last line (it is \"%2\")")
                 .arg(expected.join(' '), lines.isEmpty() ? QString() : lines.last()));
    }
  }

  void CheckRate() {
    if (rateUnknown_) return;
    const std::string& rate = window_->Session().settings.BoundRate;
    if (rate != std::to_string(sim_.Baud())) {
      Broken(QString("the device is at %1 baud, the settings say %2")
                 .arg(sim_.Baud())
                 .arg(QString::fromStdString(rate)));
      rateUnknown_ = true;  // said once until the next link
    }
  }

  // The options dialog with another port (and rate) typed in, a probe of it
  // perhaps, and OK; the port is closed and opened again from the toolbar when the
  // link is not on the new port after it.
  void SwitchPort(const std::string& port, bool probe, const QString& rate = {}) {
    ++switches_;
    presenter_.onModal = [&](QDialog& dialog) {
      auto* options = qobject_cast<app::TfmOptions*>(&dialog);
      if (!options) return;
      options->findChild<QComboBox*>("RzComboBox1")->setCurrentText(QString::fromStdString(port));
      if (!rate.isEmpty()) options->findChild<QComboBox*>("RzComboBox2")->setCurrentText(rate);
      if (probe) {
        options->RzBitBtn1Click();
        WaitUntil([&] { return !options->Busy() && !window_->JobRunning(); }, kStopWaitMs);
      }
      options->findChild<QAbstractButton*>("RzBitBtn3")->click();
    };
    window_->RzToolButton2Click();
    presenter_.onModal = nullptr;
    WaitIdle();
    if (LinkPort() != port) {
      window_->BtnClosePortClick();
      window_->BtnInitPortClick();
      WaitIdle();
    }
  }

  // The whole archive through "Запрос дампа архива" on the clean line, with
  // both logs on: the views fill with every page.
  void FullDump() {
    // The operator reads the device's rate off its label, so to speak.
    const QString rate = QString::number(sim_.Baud());
    if (LinkPort() != sim_.CleanLine() || QString::fromStdString(window_->Session().settings.BoundRate) != rate) {
      SwitchPort(sim_.CleanLine(), true, rate);
    }
    if (LinkPort() != sim_.CleanLine()) {
      std::printf("full dump %d: the link did not open on the clean line, tried again later\n", dumpsDone_ + 1);
      return;
    }
    for (const app::CatalogueItem& item : app::Catalogue()) {
      if (item.code == 0x03) Choose(item);
    }
    window_->findChild<QRadioButton*>("rbAskDumpManyPages")->setChecked(true);
    window_->findChild<QLineEdit*>("eiAskDumpNumPageFrom")->setText("0");
    window_->findChild<QLineEdit*>("eiAskDumpNumPageTo")->setText("8191");
    window_->findChild<QCheckBox*>("chAskDumpArchivInFile")->setChecked(true);
    window_->Session().settings.LogTXT = true;
    window_->Session().settings.LogHEX = true;
    const qsizetype errorsBefore = presenter_.errors.size();
    window_->btExecQueryClick();
    WaitIdle();
    const int lines = window_->findChild<app::LogView*>("mmResult")->blockCount();
    if (presenter_.errors.size() > errorsBefore || lines < 8 * bench::kPages) {
      std::printf("full dump %d did not complete (%s), tried again later\n", dumpsDone_ + 1,
                  presenter_.errors.size() > errorsBefore ? presenter_.errors.last().toUtf8().constData()
                                                          : "too few lines");
      return;
    }
    ++dumpsDone_;
    QFile::remove(QString::fromStdString(dir_ + "/dump.bin"));
    dumpMb_.push_back(ResidentMb());
    std::printf("full dump %d: %.1f MiB resident\n", dumpsDone_, dumpMb_.back());
    std::fflush(stdout);
  }

  // The close prompt answered with Yes: the whole histories go to the pair of files.
  void Finish() {
    presenter_.answerSave = true;
    QFile::remove(presenter_.savePath);
    Act("close with saving", [this] { window_->close(); }, true);
    if (window_->isVisible()) {
      Broken("the window did not close" +
             (presenter_.errors.isEmpty() ? QString() : ": " + presenter_.errors.last()));
    }
    if (!QFile::exists(presenter_.savePath) || !QFile::exists(presenter_.savePath + "Hex")) {
      Broken("the close prompt's save wrote no pair of files");
    }
    endMb_ = ResidentMb();
  }

  int Report() {
    std::printf("acts done: %d (%d items chosen, %d runs: %d failed, %d stopped, %d hang-ups; "
                "%d port switches, %d saves, %d full dumps, %d dump questions)\n",
                acts_, chosen_, runs_, failedRuns_, stops_, hangUps_, switches_, saves_, dumpsDone_,
                presenter_.dumpQuestions);
    std::printf("invariants broken: %d\n", broken_);
    for (const QString& b : brokenList_) std::printf("  %s\n", b.toUtf8().constData());
    std::printf("longest event-loop wait: %.1f ms (%s)\n", longestWait_, longestAct_.toUtf8().constData());
    std::printf("memory (resident): idle %.1f MiB", idleMb_);
    for (size_t i = 0; i < dumpMb_.size(); ++i) std::printf(", after full dump %zu %.1f", i + 1, dumpMb_[i]);
    std::printf(", at the end %.1f MiB\n", endMb_);
    bool memoryOk = true;
    if (dumpMb_.size() >= 2) {
      double highest = 0;
      for (double mb : dumpMb_) highest = std::max(highest, mb);
      memoryOk = highest < kMemoryCapMb && dumpMb_.back() - dumpMb_.front() <= kMemoryGiveBackMb;
      std::printf("memory goals (under %.0f MiB, last full dump within %.0f MiB of the first): %s\n",
                  kMemoryCapMb, kMemoryGiveBackMb, memoryOk ? "met" : "MISSED");
    } else {
      memoryOk = false;
      std::printf("memory goals: MISSED (fewer than 2 full dumps completed)\n");
    }
    return broken_ == 0 && memoryOk ? 0 : 1;
  }

  double minutes_;
  std::mt19937 rng_;
  Simulator sim_;
  Presenter presenter_;
  std::string dir_;
  std::unique_ptr<app::TfmMain> window_;
  std::vector<const app::CatalogueItem*> items_;
  LoopProbe probe_;

  int plannedDumps_;
  int dumpsDone_ = 0;
  int acts_ = 0, chosen_ = 0, runs_ = 0, failedRuns_ = 0, stops_ = 0, hangUps_ = 0, switches_ = 0, saves_ = 0;
  bool rateUnknown_ = false;
  const bool trace_ = qEnvironmentVariableIsSet("GUI_SOAK_TRACE");
  int broken_ = 0;
  QStringList brokenList_;
  QString actName_;
  double longestWait_ = 0;
  QString longestAct_;
  double idleMb_ = 0, endMb_ = 0;
  std::vector<double> dumpMb_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: gui_soak_bench MINUTES [SEED] [FULL_DUMPS]\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  // Read by the project's own digit code: the application object has just
  // adopted the desktop's locale, where atof expects a decimal comma.
  double minutes = 1;
  try {
    minutes = static_cast<double>(eklz::ParseFloat(argv[1]));
  } catch (const eklz::EConvertError&) {
    std::fprintf(stderr, "gui_soak: MINUTES must be a number, not %s\n", argv[1]);
    return 2;
  }
  const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atol(argv[2])) : 1;
  const int fullDumps =
      argc > 3 ? std::max(1, std::atoi(argv[3])) : minutes <= 2 ? 2 : std::max(6, static_cast<int>(minutes / 3));
  std::printf("gui_soak: %.1f min, seed %u, %d full dumps planned\n", minutes, seed, fullDumps);
  std::fflush(stdout);
  const bench::TempFolder folder;
  Soak soak(minutes, seed, fullDumps, folder.Path());
  return soak.Run();
}
