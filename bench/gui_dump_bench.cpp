// Times a full 8192-page archive dump through the desktop program's window
// (its dispatcher and worker thread, offscreen, with a real event loop)
// beside "eklz dump" of the same pages from the same simulated EKLZ. Prints
// both wall times and their ratio, the longest the event loop was kept
// waiting during the window's dump (a 10 ms timer records its own
// lateness), and the program's peak memory with every page in the result
// view.
//
// usage: gui_dump_bench BIN_DIR [RUNS]   (5 runs by default: a shared machine is noisy)
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

#include "Process.h"
#include "app/Catalogue.h"
#include "app/Presenter.h"
#include "app/Views.h"
#include "app/uMain.h"

namespace {

// Answers for the operator: no about box, failures printed.
class Presenter : public eklz::app::MessagePresenter {
 public:
  void Error(QWidget*, const QString& message) override {
    std::fprintf(stderr, "gui_dump_bench: %s\n", message.toUtf8().constData());
    failed = true;
  }
  void ShowModal(QDialog&) override {}
  eklz::app::SaveViewsAnswer AskSaveViews(QWidget*) override { return eklz::app::SaveViewsAnswer::DontSave; }
  bool failed = false;
};

struct GuiMeasure {
  double wallSeconds = 0;
  double worstLatenessMs = 0;
  int resultLines = 0;
};

void WaitUntil(const std::function<bool()>& done) {
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (done()) loop.quit();
  });
  poll.start(5);
  loop.exec();
}

GuiMeasure RunWindow(const std::string& dir, const std::string& line, const std::string& file,
                     Presenter& presenter) {
  eklz::app::TesterEnvironment env;
  env.settingsPath = QString::fromStdString(dir + "/eklz-tester.ini");
  env.programDir = QString::fromStdString(dir);
  env.presenter = &presenter;
  {
    std::ofstream ini(dir + "/eklz-tester.ini");
    ini << "[Options]\nComPort=" << line << "\nBoundRate=9600\nTimeOuts=10\n";
  }
  eklz::app::TfmMain window(env);
  window.show();
  WaitUntil([&] { return !window.JobRunning(); });
  if (!window.Session().LinkOpen()) {
    std::fprintf(stderr, "gui_dump_bench: the window did not open the link\n");
    std::exit(1);
  }
  for (const eklz::app::CatalogueItem& item : eklz::app::Catalogue()) {
    if (item.code == 0x03) window.SelectCommand(item);
  }
  window.findChild<QRadioButton*>("rbAskDumpManyPages")->setChecked(true);
  window.findChild<QLineEdit*>("eiAskDumpNumPageFrom")->setText("0");
  window.findChild<QLineEdit*>("eiAskDumpNumPageTo")->setText("8191");
  window.findChild<QCheckBox*>("chAskDumpArchivInFile")->setChecked(true);
  window.findChild<QLineEdit*>("edAskDumpArchivFileName")->setText(QString::fromStdString(file));

  // A 10 ms timer that notes how late each of its ticks comes.
  QElapsedTimer clock;
  qint64 expected = 0;
  qint64 worst = 0;
  QTimer lateness;
  lateness.setTimerType(Qt::PreciseTimer);
  QObject::connect(&lateness, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    worst = std::max(worst, now - expected);
    expected = now + 10'000'000;
  });

  GuiMeasure m;
  QElapsedTimer wall;
  wall.start();
  clock.start();
  expected = 10'000'000;
  lateness.start(10);
  window.btExecQueryClick();
  WaitUntil([&] { return !window.JobRunning(); });
  m.wallSeconds = wall.nsecsElapsed() / 1e9;
  lateness.stop();
  m.worstLatenessMs = worst / 1e6;
  m.resultLines = static_cast<int>(window.findChild<eklz::app::LogView*>("mmResult")->Lines().size());
  return m;
}

long PeakRssKb() {
  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: gui_dump_bench BIN_DIR [RUNS]\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  const std::string bin = argv[1];
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const bench::TempFolder folder;
  const std::string dir = folder.Path();
  bench::Simulator sim(bin);

  const std::string cliFile = dir + "/cli.bin", guiFile = dir + "/gui.bin";
  const std::vector<std::string> cli = {bin + "/eklz", "--settings", dir + "/eklz.ini", "--port",
                                        sim.Line(), "dump", "--from", "0", "--to", "8191",
                                        "--file", cliFile};
  std::vector<double> cliWall, guiWall;
  double worstLateness = 0;
  int resultLines = 0;
  Presenter presenter;
  for (int i = 0; i < runs; ++i) {
    cliWall.push_back(bench::Run(cli, "/dev/null").wallSeconds);
    const GuiMeasure g = RunWindow(dir, sim.Line(), guiFile, presenter);
    guiWall.push_back(g.wallSeconds);
    worstLateness = std::max(worstLateness, g.worstLatenessMs);
    resultLines = g.resultLines;
  }
  const double peakMb = PeakRssKb() / 1024.0;
  const std::string a = bench::Slurp(cliFile), b = bench::Slurp(guiFile);
  const bool same = !presenter.failed && a == b && a.size() == size_t{bench::kPages} * 512 &&
                    resultLines == 8 * bench::kPages;

  const double cw = bench::Median(cliWall), gw = bench::Median(guiWall);
  const double ratio = gw / cw;
  std::printf("Full dump, %d pages from the simulated EKLZ over a pseudo-terminal (median of %d runs)\n",
              bench::kPages, runs);
  std::printf("  window (eklz-tester):   %8.3f s wall\n", gw);
  std::printf("  command line (eklz):    %8.3f s wall\n", cw);
  std::printf("  ratio window/eklz:      %8.2f   (target at most 1.3)\n", ratio);
  std::printf("  longest event-loop wait:%8.1f ms  (target at most 100)\n", worstLateness);
  std::printf("  window peak memory:     %8.1f MiB (target at most 150), %d result lines\n", peakMb,
              resultLines);
  std::printf("  dump files:             %s (%zu bytes)\n", same ? "identical" : "DIFFER", b.size());
  const bool within = ratio <= 1.3 && worstLateness <= 100 && peakMb <= 150;
  std::printf("  %s\n", within ? "within the targets" : "OUTSIDE THE TARGETS");
  return same && within ? 0 : 1;
}
