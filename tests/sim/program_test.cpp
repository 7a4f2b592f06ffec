// The eklz-sim program: its command line, signals, link and state file, and
// the replay of a session the command-line tester recorded.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <thread>

#include "codec/Errors.h"
#include "codec/Regional.h"
#include "protocol/Exchange.h"
#include "sim/Replay.h"
#include "support/Pty.h"
#include "support/TempDir.h"

namespace eklz {
namespace {

using namespace std::chrono_literals;
using test::Slurp;

// eklz-sim running as a child process.
class Program {
 public:
  // `errPath` non-empty: standard error goes to that file.
  explicit Program(const std::vector<std::string>& args, const std::string& errPath = "") {
    int out[2];
    if (::pipe(out) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      if (!errPath.empty()) ::dup2(::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
      ::close(out[0]);
      ::close(out[1]);
      std::vector<char*> argv{const_cast<char*>(EKLZ_SIM_PROGRAM)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(EKLZ_SIM_PROGRAM, argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    out_ = out[0];
    // The first line is the path of the line.
    char c;
    struct pollfd p {out_, POLLIN, 0};
    while (::poll(&p, 1, 5000) > 0 && ::read(out_, &c, 1) == 1 && c != '\n') path_ += c;
  }
  ~Program() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(out_);
  }
  const std::string& Path() const { return path_; }

  // The exit status after `signal` (0: none sent), or -1 when the program
  // does not end within two seconds.
  int End(int signal) {
    if (signal) ::kill(pid_, signal);
    for (int i = 0; i < 200; ++i) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(10ms);
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string path_;
};

// Standard output and exit status of a shell command line.
std::pair<std::string, int> Shell(const std::string& command) {
  FILE* p = ::popen(command.c_str(), "r");
  std::string out;
  char buf[4096];
  while (size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  const int status = ::pclose(p);
  return {out, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

// Output and exit status of a short run.
std::pair<std::string, int> RunToEnd(const std::string& args) {
  return Shell(std::string(EKLZ_SIM_PROGRAM) + " " + args + " 2>&1");
}

std::string Exchange(EklzSession& session, const std::string& frame) {
  SendFrame(session, frame, false);
  return ReceiveReply(session, ReplyDelivery::Hex(), true, false);
}

TEST(SimProgram, HelpAndBadOptions) {
  const auto [help, code] = RunToEnd("--help");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(help.rfind("Использование: eklz-sim", 0), 0u);
  for (const char* option : {"--link", "--exit-on-hangup", "--state-file", "--pace", "--hangup-after", "--trace", "--replay"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
  const auto [error, bad] = RunToEnd("--rate 1200");
  EXPECT_EQ(bad, 2);
  EXPECT_NE(error.find("--rate"), std::string::npos);
  EXPECT_EQ(RunToEnd("--rate"), std::make_pair(std::string("eklz-sim: --rate: не хватает значения\nСправка: eklz-sim --help\n"), 2));
  EXPECT_EQ(RunToEnd("-h"), RunToEnd("help"));
  EXPECT_EQ(RunToEnd("-h"), std::make_pair(help, 0));
  EXPECT_EQ(RunToEnd("--version").first.rfind("eklz-sim ", 0), 0u);
  // A replay has no device to start or spoil.
  EXPECT_EQ(RunToEnd("--replay p.txt --start demo"),
            std::make_pair(std::string("eklz-sim: --start: не действует вместе с --replay\n"
                                       "Справка: eklz-sim --help\n"),
                           2));
}

TEST(SimProgram, TheStateFileCarriesTheArchiveFromRunToRun) {
  const std::string state = ::testing::TempDir() + "sim-program-state.txt";
  const std::string link = ::testing::TempDir() + "sim-program-link";
  std::remove(state.c_str());
  test::RecordingSink sink;
  EklzSession session(sink);
  {
    Program sim({"--start", "demo", "--state-file", state, "--link", link});
    ASSERT_EQ(sim.Path().rfind("/dev/pts/", 0), 0u) << sim.Path();
    session.OpenPort(link, "9600", 10);
    Exchange(session, "02 0B 10 01 00 00 10 00 00 00 00 01 00 0B");     // sale
    EXPECT_EQ(Exchange(session, "02 07 19 24 03 14 09 00 01 25").substr(0, 8), "00000011");
    session.ClosePort();
    EXPECT_EQ(sim.End(SIGTERM), 0);
    EXPECT_NE(::access(link.c_str(), F_OK), 0);
  }
  std::ifstream saved(state);
  std::string header;
  std::getline(saved, header);
  EXPECT_EQ(header, "EKLZ-SIM-STATE 1");

  // A new run from the file goes on where the last one stopped, and with
  // --exit-on-hangup it ends when its client leaves.
  Program sim({"--state-file", state, "--exit-on-hangup"});
  session.OpenPort(sim.Path(), "9600", 10);
  EXPECT_EQ(Exchange(session, "02 01 3C 3D"), "0000000B");
  session.ClosePort();
  EXPECT_EQ(sim.End(0), 0);
  std::remove(state.c_str());
}

// --trace: every request and reply with the command's name, and why a
// request went unanswered; the program still stops at once on a signal.
TEST(SimProgram, TheTraceShowsTheExchangeAndTheIgnoredRequests) {
  const std::string err = ::testing::TempDir() + "sim-program-trace.txt";
  Program sim({"--start", "demo", "--trace"}, err);
  test::RecordingSink sink;
  EklzSession session(sink);
  session.OpenPort(sim.Path(), "9600", 10);
  EXPECT_EQ(Exchange(session, "02 01 14 15"), "0000054321");
  SendFrame(session, "02 01 14 14", false);  // a bad checksum
  EXPECT_THROW(ReceiveReply(session, ReplyDelivery::Hex(), true, false), TEKLZException);
  std::this_thread::sleep_for(100ms);
  const Bytes cut = test::B("02 0B 10 01");  // a request that stops half-way
  session.Port().Write(cut.data(), cut.size());
  std::this_thread::sleep_for(700ms);
  session.OpenPort(sim.Path(), "4800", 10);  // another speed: no answer at all
  const Bytes request = test::B("02 01 14 15");
  session.Port().Write(request.data(), request.size());
  std::this_thread::sleep_for(100ms);
  session.ClosePort();

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(sim.End(SIGINT), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);
  std::ifstream in(err);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "==> 02 01 14 15  запрос регистрационного номера",
                       "<== 06 02 06 00 00 00 05 43 21 61",
                       "==> 02 01 14 14  запрос регистрационного номера",
                       "<== 15  NAK: неверная контрольная сумма",
                       "пропущен оборванный запрос (4 байт из 14): 02 0B 10 01",
                       "пропущен запрос на скорости 4800, у ЭКЛЗ 9600",
                   }));
  std::remove(err.c_str());
}

// eklz run as a user runs it: standard output and exit status.
std::pair<std::string, int> Eklz(const std::string& args) {
  return Shell(std::string(EKLZ_PROGRAM) + " " + args + " 2>/dev/null");
}


// A session of the tester recorded with --protocol against the demo device
// replays with the same result lines; a recorded request changed by one byte
// is reported with both frames, and the tester meets a silent device there.
TEST(SimProgram, ARecordedSessionReplaysWithTheSameResults) {
  test::TempDir temp;
  const std::string link = temp.File("line"), settings = temp.File("eklz.ini");
  const std::vector<std::string> commands = {
      "status", "report --type 6 --shift-from 1 --shift-to 3 --text-form",
      "sale --department 1 --quantity 1 --sum 10", "dump --from 0 --to 2"};
  auto eklz = [&](const std::string& command, const std::string& extra = "") {
    return Eklz("--settings " + settings + " --port " + link + " --timeout 2 " + extra + command);
  };

  std::vector<std::pair<std::string, int>> recorded;
  std::string protocol;
  {
    Program sim({"--start", "demo", "--link", link});
    for (size_t i = 0; i < commands.size(); ++i) {
      const std::string file = temp.File("protocol" + std::to_string(i));
      recorded.push_back(eklz(commands[i], "--protocol " + file + " "));
      EXPECT_EQ(recorded.back().second, 0) << commands[i];
      protocol += Slurp(file);
    }
    EXPECT_EQ(sim.End(SIGTERM), 0);
  }
  // Saved as the window saves its protocol view: CR LF.
  std::string crlf;
  for (char c : protocol) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const std::string replayFile = temp.File("session.txt");
  std::ofstream(replayFile, std::ios::binary) << crlf;
  const size_t exchanges = sim::ReadProtocolFile(replayFile).size();
  ASSERT_GE(exchanges, 8u);  // a report takes several

  const std::string err = temp.File("sim.err");
  auto replayed = [&](const std::string& file) {
    Program sim({"--replay", file, "--link", link}, err);
    std::vector<std::pair<std::string, int>> results;
    for (const std::string& command : commands) results.push_back(eklz(command));
    const int status = sim.End(SIGTERM);
    return std::make_pair(results, status);
  };
  const auto [results, status] = replayed(replayFile);
  EXPECT_EQ(results, recorded);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Slurp(err), "eklz-sim: совпало " + Counted(exchanges, "обмен", "обмена", "обменов") + " из " +
                            std::to_string(exchanges) + " записанных\n");

  // The sale's request with its department changed.
  const std::string sale = "==> 02 0B 10 01 ", changedSale = "==> 02 0B 10 02 ";
  const size_t at = crlf.find(sale);
  ASSERT_NE(at, std::string::npos);
  const size_t lineEnd = crlf.find('\r', at);
  const std::string request = crlf.substr(at + 4, lineEnd - at - 4);
  std::string changed = crlf;
  changed.replace(at, sale.size(), changedSale);
  const std::string changedFile = temp.File("changed.txt");
  std::ofstream(changedFile, std::ios::binary) << changed;
  const int line = static_cast<int>(std::count(crlf.begin(), crlf.begin() + at, '\n')) + 1;

  const auto [changedResults, changedStatus] = replayed(changedFile);
  EXPECT_EQ(changedStatus, 1);
  ASSERT_EQ(changedResults.size(), recorded.size());
  for (size_t i = 0; i < commands.size(); ++i) {
    if (i == 2) {
      EXPECT_EQ(changedResults[i].second, 1);  // the tester's own time-out
    } else {
      EXPECT_EQ(changedResults[i], recorded[i]) << commands[i];
    }
  }
  std::string changedRequest = request;
  changedRequest.replace(9, 2, "02");
  const size_t number = sim::ParseProtocol(crlf.substr(0, at)).size();  // exchanges before it
  EXPECT_EQ(Slurp(err), "обмен " + std::to_string(number + 1) + " из " + std::to_string(exchanges) +
                            " не совпал с записью (строка " + std::to_string(line) +
                            "), ответа нет:\n  получен: " + request + "\n  записан: " +
                            changedRequest + "\neklz-sim: совпало " +
                            Counted(exchanges - 1, "обмен", "обмена", "обменов") + " из " + std::to_string(exchanges) +
                            " записанных; не совпало: 1\n");
}

}  // namespace
}  // namespace eklz
