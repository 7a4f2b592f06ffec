// Times a full 8192-page archive dump from the simulated EKLZ, as whole
// processes: the tester's "eklz dump" beside a minimal reader that sends the
// same requests and only reads the replies. Prints both wall times, their
// ratio, the tester's CPU time per page and its peak memory.
//
// usage: dump_bench BIN_DIR [RUNS]
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kPages = 8192;

struct Measure {
  double wallSeconds = 0;
  double cpuSeconds = 0;
  long maxRssKb = 0;
};

// Runs `argv` with standard output to `out` and waits; the times are the
// child's own.
Measure Run(const std::vector<std::string>& args, const char* out) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (out) {
      FILE* f = std::freopen(out, "w", stdout);
      if (!f) _exit(127);
    }
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  Measure m;
  m.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                 usage.ru_stime.tv_usec / 1e6;
  m.maxRssKb = usage.ru_maxrss;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "dump_bench: %s failed (status %d)\n", args[0].c_str(), status);
    std::exit(1);
  }
  return m;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: dump_bench BIN_DIR [RUNS]\n");
    return 2;
  }
  const std::string bin = argv[1];
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  char dirTemplate[] = "/tmp/eklz-bench-XXXXXX";
  const std::string dir = ::mkdtemp(dirTemplate);

  // The simulated EKLZ in its demo state, without pacing.
  int pipeFd[2];
  if (::pipe(pipeFd) != 0) return 1;
  const pid_t sim = ::fork();
  if (sim == 0) {
    ::dup2(pipeFd[1], STDOUT_FILENO);
    ::close(pipeFd[0]);
    const std::string exe = bin + "/eklz-sim";
    ::execl(exe.c_str(), exe.c_str(), "--start", "demo", static_cast<char*>(nullptr));
    _exit(127);
  }
  ::close(pipeFd[1]);
  std::string line;
  char c;
  while (::read(pipeFd[0], &c, 1) == 1 && c != '\n') line += c;
  if (line.empty()) {
    std::fprintf(stderr, "dump_bench: the simulator did not start\n");
    return 1;
  }

  const std::string testerFile = dir + "/tester.bin", minimalFile = dir + "/minimal.bin";
  const std::vector<std::string> tester = {bin + "/eklz", "--settings", dir + "/eklz.ini",
                                           "--port", line, "dump", "--from", "0", "--to", "8191",
                                           "--file", testerFile};
  const std::vector<std::string> minimal = {bin + "/minimal_reader", line, minimalFile};

  std::vector<double> testerWall, minimalWall, testerCpu;
  long testerRss = 0;
  for (int i = 0; i < runs; ++i) {
    const Measure t = Run(tester, "/dev/null");
    const Measure m = Run(minimal, nullptr);
    testerWall.push_back(t.wallSeconds);
    testerCpu.push_back(t.cpuSeconds);
    testerRss = std::max(testerRss, t.maxRssKb);
    minimalWall.push_back(m.wallSeconds);
  }
  ::kill(sim, SIGTERM);
  ::waitpid(sim, nullptr, 0);

  const std::string a = Slurp(testerFile), b = Slurp(minimalFile);
  const bool same = a == b && a.size() == static_cast<size_t>(kPages) * 512;

  const double tw = Median(testerWall), mw = Median(minimalWall), cpu = Median(testerCpu);
  std::printf("Full dump, %d pages from the simulated EKLZ over a pseudo-terminal (median of %d runs)\n",
              kPages, runs);
  std::printf("  tester (eklz dump):     %8.3f s wall\n", tw);
  std::printf("  minimal reader:         %8.3f s wall\n", mw);
  std::printf("  ratio tester/minimal:   %8.2f   (target at most 1.5)\n", tw / mw);
  std::printf("  tester CPU per page:    %8.3f ms  (target at most 0.2)\n", cpu * 1000 / kPages);
  std::printf("  tester peak memory:     %8.1f MiB\n", testerRss / 1024.0);
  std::printf("  dump files:             %s (%zu bytes)\n", same ? "identical" : "DIFFER", a.size());
  std::system(("rm -rf " + dir).c_str());
  return same ? 0 : 1;
}
