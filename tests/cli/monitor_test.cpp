// The line monitor end to end: the command-line tester plays the cash
// register against eklz-sim with taps, eklz monitor listens on the taps, and
// what it says and records is checked against what the tester wrote and
// against a replay of the recording.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "cli/LineMonitor.h"
#include "support/Recording.h"
#include "support/TempDir.h"

namespace eklz::test {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;


Lines SplitLines(const std::string& text) {
  Lines lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A program started with its standard output and error in files.
class Process {
 public:
  Process(const std::vector<std::string>& args, const std::string& out, const std::string& err) {
    pid_ = ::fork();
    if (pid_ == 0) {
      const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      ::dup2(o, 1);
      ::dup2(e, 2);
      std::vector<char*> argv;
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
  }
  ~Process() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
  }
  void Signal(int signal) { ::kill(pid_, signal); }
  int Wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

 private:
  pid_t pid_ = -1;
};

bool WaitFor(const std::function<bool()>& ready) {
  for (int i = 0; i < 300; ++i) {
    if (ready()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// One exchange as the monitor showed it: its command and its lines without
// the headings.
struct Block {
  std::string command;
  Lines lines;
};

bool Heading(const std::string& line) {
  return line.size() > 14 && line[0] == '[' && line[3] == ':' && line[13] == ']';
}

std::vector<Block> Blocks(const Lines& monitor) {
  std::vector<Block> blocks;
  for (const std::string& line : monitor) {
    if (line.rfind("Итого:", 0) == 0) break;
    if (Heading(line)) {
      if (line.find("] ==> ") != std::string::npos) blocks.push_back({line.substr(19), {}});
      continue;
    }
    if (!blocks.empty()) blocks.back().lines.push_back(line);
  }
  return blocks;
}

class Monitor : public ::testing::Test {
 protected:
  const std::string sim = EKLZ_SIM_PROGRAM, eklz = EKLZ_PROGRAM;
  TempDir dir;

  std::string F(const std::string& name) const { return dir.File(name); }

  // The tester's session: a status query, a control tape in text form, a
  // sale, three dump pages and the last three pages of a full dump with the
  // rate raised to 57600 and set back. Returns the status of the last run
  // that failed, else 0.
  int RunTester(const std::string& line, const std::string& out) {
    fs::remove(F("tester.ini"));
    fs::remove(F("dump.bin"));
    std::ofstream(F("dump.bin"), std::ios::binary) << std::string(8189 * 512, '\0');
    const std::vector<std::vector<std::string>> runs = {
        {"status"},
        {"control-tape", "--shift", "1", "--text-form"},
        {"sale", "--department", "2", "--quantity", "1,5", "--sum", "12,34"},
        {"dump", "--from", "0", "--to", "2"},
        {"full-dump", "--file", F("dump.bin"), "--resume", "--raise-to", "57600"},
    };
    int failed = 0;
    for (const auto& run : runs) {
      std::vector<std::string> args = {eklz, "--settings", F("tester.ini"), "--port", line};
      args.insert(args.end(), run.begin(), run.end());
      Process tester(args, out, F("tester.err"));
      if (const int status = tester.Wait(); status != 0) failed = status;
    }
    return failed;
  }

  // Runs the session against the simulator with taps (`merged`: one tap),
  // the monitor listening; then replays its recording. Checks both.
  void WatchAndReplay(bool merged) {
    std::vector<std::string> simArgs = {sim, "--start", "demo", "--link", F("line"), "--tap"};
    if (merged) simArgs.push_back("merged");
    auto device = std::make_unique<Process>(simArgs, F("sim.out"), F("sim.err"));
    ASSERT_TRUE(WaitFor([&] { return fs::exists(F(merged ? "line.both" : "line.eklz")); }));

    std::vector<std::string> monArgs = {eklz, "--settings", F("monitor.ini"), "--protocol",
                                        F("recording.txt")};
    if (merged) {
      monArgs.insert(monArgs.end(), {"--port", F("line.both"), "monitor"});
    } else {
      monArgs.insert(monArgs.end(), {"monitor", "--kkm", F("line.kkm"), "--eklz", F("line.eklz")});
    }
    Process monitor(monArgs, F("monitor.out"), F("monitor.err"));
    ASSERT_TRUE(WaitFor([&] { return Slurp(F("monitor.out")).find("Прослушивание") != std::string::npos; }))
        << Slurp(F("monitor.err"));

    ASSERT_EQ(RunTester(F("line"), F("tester.out")), 0) << Slurp(F("tester.err"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    monitor.Signal(SIGINT);
    EXPECT_EQ(monitor.Wait(), 0) << Slurp(F("monitor.err"));
    device.reset();

    // Every exchange: the monitor's lines are the tester's, in the same order.
    Lines written;
    for (const std::string& line : SplitLines(Slurp(F("tester.out")))) {
      if (line != "Запрос успешно отправлен" && line != "Ожидание ответа...") written.push_back(line);
    }
    const Lines shown = SplitLines(Slurp(F("monitor.out")));
    const std::vector<Block> blocks = Blocks(shown);
    // status, sale, control tape with its report-data requests, 3 pages, and
    // the full dump: rate up, 3 pages, rate back.
    ASSERT_GE(blocks.size(), 12u) << Slurp(F("monitor.out"));
    size_t cursor = 0, blockStart = 0;
    for (const Block& block : blocks) {
      SCOPED_TRACE(block.command);
      // The tester fetches a report's further fragments quietly and shows
      // them once the whole report has come, before its first fragment.
      const bool reportData = block.command.rfind("запрос данных отчёта", 0) == 0;
      size_t at = reportData ? blockStart : cursor;
      if (!reportData) blockStart = cursor;
      for (const std::string& line : block.lines) {
        if (reportData && line.rfind("    ", 0) != 0) continue;
        while (at < written.size() && written[at] != line) ++at;
        ASSERT_LT(at, written.size()) << "not written by the tester: \"" << line << "\"\n" << Slurp(F("monitor.out"));
        ++at;
      }
      if (!reportData) cursor = at;
    }
    // The headings tell of the rate and of any fault.
    std::string headings;
    for (const std::string& line : shown) {
      const bool exchange = line.find("] ==> ") != std::string::npos || line.find("] <== ") != std::string::npos;
      if (Heading(line) && !exchange) headings += line + "\n";
    }
    EXPECT_NE(headings.find("Скорость линии: 57600"), std::string::npos) << headings;
    EXPECT_NE(headings.find("Скорость линии: 9600"), std::string::npos) << headings;
    EXPECT_EQ(headings.find("!!!"), std::string::npos) << headings;

    // decode says of the recording what the monitor said on the line.
    Process decode({eklz, "--settings", F("monitor.ini"), "decode", F("recording.txt")},
                   F("decoded.out"), F("decoded.err"));
    ASSERT_EQ(decode.Wait(), 0) << Slurp(F("decoded.err"));
    Lines live, decoded;
    for (const Block& block : blocks) live.insert(live.end(), block.lines.begin(), block.lines.end());
    for (const std::string& line : SplitLines(Slurp(F("decoded.out")))) {
      if (line.rfind("[", 0) != 0) decoded.push_back(line);
    }
    EXPECT_EQ(decoded, live);

    // The recording answers the same session with the same bytes.
    Process replay({sim, "--replay", F("recording.txt"), "--link", F("replayed")}, F("replay.out"),
                   F("replay.err"));
    ASSERT_TRUE(WaitFor([&] { return fs::exists(F("replayed")); }));
    ASSERT_EQ(RunTester(F("replayed"), F("replayed.out")), 0) << Slurp(F("tester.err"));
    replay.Signal(SIGTERM);
    EXPECT_EQ(replay.Wait(), 0) << Slurp(F("replay.err"));
    EXPECT_EQ(Slurp(F("replayed.out")), Slurp(F("tester.out")));
  }
};

TEST_F(Monitor, TwoTapsSayWhatTheTesterSaysAndRecordWhatReplaysIt) { WatchAndReplay(false); }

// What went wrong on the line, fed to the monitor as bytes with their times:
// each fault is named, and the exchange around it still decodes.
TEST(LineMonitorFaults, EachFaultIsNamed) {
  using cli::LineMonitor;
  using cli::LineSide;
  using namespace std::chrono_literals;
  const Bytes status = B("02 02 07 01 04");
  const Bytes archiveTest = B("02 02 08 01 0B");
  const Bytes good = B("06 02 01 00 01");  // the archive test's reply
  struct Step {
    LineSide side;
    Bytes bytes;
    int atMs;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    std::string fault;  // the words after "!!! "
    std::string decoded;  // a line the decoder gives for it, or empty
  };
  const std::vector<Case> cases = {
      {"NAK", {{LineSide::Kkm, status, 0}, {LineSide::Eklz, B("15"), 5}}, "NAK: ЭКЛЗ не приняла запрос",
       "Ответ устройства: ошибка интерфейса (данные приняты с ошибкой или не распознан STX)"},
      {"bad checksum", {{LineSide::Kkm, archiveTest, 0}, {LineSide::Eklz, B("06 02 01 00 07"), 5}},
       "неверная контрольная сумма ответа", "Некорректная контрольная сумма ответа. Запрос отменён"},
      {"bad request", {{LineSide::Kkm, B("02 02 08 01 0C"), 0}, {LineSide::Eklz, B("15"), 5}},
       "неверная контрольная сумма запроса", "Запрос: неверная контрольная сумма запроса"},
      {"silence", {{LineSide::Kkm, status, 0}}, "нет ответа", "Устройство не отвечает"},
      {"cut reply", {{LineSide::Kkm, status, 0}, {LineSide::Eklz, B("06 02 15 00"), 5}},
       "ответ оборван, затем тишина", ""},
      {"garbage between frames",
       {{LineSide::Kkm, B("FF 00"), 0}, {LineSide::Kkm, archiveTest, 10}, {LineSide::Eklz, good, 15}},
       "байты между кадрами: FF 00", "Архив в нормальном состоянии"},
      {"reply with no request", {{LineSide::Eklz, good, 0}}, "ответ без запроса: 06 02 01 00 01", ""},
      {"merged: reply with no request", {{LineSide::Both, good, 0}}, "ответ без запроса: 06 02 01 00 01", ""},
      {"merged: garbage, then an exchange",
       {{LineSide::Both, B("41 42"), 0}, {LineSide::Both, archiveTest, 5}, {LineSide::Both, good, 10}},
       "байты между кадрами: 41 42", "Архив в нормальном состоянии"},
      {"unknown command", {{LineSide::Kkm, FrameBytes(0x5A), 0}, {LineSide::Eklz, B("06 02 01 01 00"), 5}},
       "", "неизвестная команда 5AH"},
  };
  const auto start = LineMonitor::Clock::now();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Lines lines;
    LineMonitor monitor({[&](const std::string& l) { lines.push_back(l); }, nullptr}, 2000, false);
    for (const Step& step : c.steps) {
      monitor.Feed(step.side, step.bytes.data(), step.bytes.size(), start + std::chrono::milliseconds(step.atMs));
      monitor.Tick(start + std::chrono::milliseconds(step.atMs));
    }
    // Not yet silent: the reply's time has not run out.
    monitor.Tick(start + 1000ms);
    const bool early = std::any_of(lines.begin(), lines.end(),
                                   [](const std::string& l) { return l.find("нет ответа") != std::string::npos; });
    EXPECT_FALSE(early);
    monitor.Tick(start + 2500ms);
    const auto has = [&](const std::string& text) {
      return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l == text; });
    };
    const auto hasFault = [&](const std::string& text) {
      return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
        return Heading(l) && l.substr(15) == "!!! " + text;
      });
    };
    if (!c.fault.empty()) {
      EXPECT_TRUE(hasFault(c.fault)) << ::testing::PrintToString(lines);
      EXPECT_GE(monitor.Failures(), 1u);
    } else {
      EXPECT_EQ(monitor.Failures(), 0u) << ::testing::PrintToString(lines);
    }
    if (!c.decoded.empty()) {
      EXPECT_TRUE(has(c.decoded)) << ::testing::PrintToString(lines);
    }
  }
}

// An acknowledged exchange-parameters command is the line's new rate; a
// refused one is not.
TEST(LineMonitorFaults, FollowsTheRateTheLineAgrees) {
  using cli::LineMonitor;
  using cli::LineSide;
  LineMonitor monitor({[](const std::string&) {}, nullptr}, 2000, false);
  const auto now = LineMonitor::Clock::now();
  const Bytes up = B("02 03 02 05 00 04");
  monitor.Feed(LineSide::Both, up.data(), up.size(), now);
  const Bytes refused = B("06 02 01 01 00");
  monitor.Feed(LineSide::Both, refused.data(), refused.size(), now);
  EXPECT_EQ(monitor.TakeAgreedRate(), 0u);
  monitor.Feed(LineSide::Both, up.data(), up.size(), now);
  const Bytes taken = B("06 02 01 00 01");
  monitor.Feed(LineSide::Both, taken.data(), taken.size(), now);
  EXPECT_EQ(monitor.TakeAgreedRate(), 57600u);
  EXPECT_EQ(monitor.TakeAgreedRate(), 0u);
  EXPECT_EQ(monitor.Summary().front(), "Итого: 2 обмена, 0 сбоев");
}

TEST_F(Monitor, OneMergedTapDoesTheSame) { WatchAndReplay(true); }

}  // namespace
}  // namespace eklz::test
