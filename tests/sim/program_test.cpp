// The eklz-sim program: its command line, signals, link and state file.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "codec/Errors.h"
#include "protocol/Exchange.h"
#include "support/Pty.h"

namespace eklz {
namespace {

using namespace std::chrono_literals;

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

// Output and exit status of a short run.
std::pair<std::string, int> RunToEnd(const std::string& args) {
  FILE* p = ::popen((std::string(EKLZ_SIM_PROGRAM) + " " + args + " 2>&1").c_str(), "r");
  std::string out;
  char buf[512];
  while (size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  const int status = ::pclose(p);
  return {out, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

std::string Exchange(EklzSession& session, const std::string& frame) {
  SendFrame(session, frame, false);
  return ReceiveReply(session, ReplyDelivery::Hex(), true, false);
}

TEST(SimProgram, HelpAndBadOptions) {
  const auto [help, code] = RunToEnd("--help");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(help.rfind("Использование: eklz-sim", 0), 0u);
  for (const char* option : {"--link", "--exit-on-hangup", "--state-file", "--pace", "--hangup-after", "--trace"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
  const auto [error, bad] = RunToEnd("--rate 1200");
  EXPECT_EQ(bad, 2);
  EXPECT_NE(error.find("--rate"), std::string::npos);
  EXPECT_EQ(RunToEnd("--rate"), std::make_pair(std::string("eklz-sim: --rate: не хватает значения\nСправка: eklz-sim --help\n"), 2));
  EXPECT_EQ(RunToEnd("-h"), RunToEnd("help"));
  EXPECT_EQ(RunToEnd("-h"), std::make_pair(help, 0));
  EXPECT_EQ(RunToEnd("--version").first.rfind("eklz-sim ", 0), 0u);
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

}  // namespace
}  // namespace eklz
