// Helpers of the benchmarks: child processes timed as whole programs, the
// simulated EKLZ as a child, files read back.
#pragma once

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

namespace bench {

constexpr int kPages = 8192;

struct Measure {
  double wallSeconds = 0;
  double cpuSeconds = 0;
  long maxRssKb = 0;
};

// Runs `args` with standard output to `out` (when given) and waits; the
// times are the child's own. Exits the benchmark when the child fails.
inline Measure Run(const std::vector<std::string>& args, const char* out) {
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
    std::fprintf(stderr, "bench: %s failed (status %d)\n", args[0].c_str(), status);
    std::exit(1);
  }
  return m;
}

inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The simulated EKLZ in its demo state as a child process, with `extra`
// options (none: without pacing).
class Simulator {
 public:
  explicit Simulator(const std::string& binDir, const std::vector<std::string>& extra = {}) {
    int pipeFd[2];
    if (::pipe(pipeFd) != 0) std::exit(1);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(pipeFd[1], STDOUT_FILENO);
      ::close(pipeFd[0]);
      const std::string exe = binDir + "/eklz-sim";
      std::vector<std::string> args = {exe, "--start", "demo"};
      args.insert(args.end(), extra.begin(), extra.end());
      std::vector<char*> argv;
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(exe.c_str(), argv.data());
      _exit(127);
    }
    ::close(pipeFd[1]);
    char c;
    while (::read(pipeFd[0], &c, 1) == 1 && c != '\n') line_ += c;
    ::close(pipeFd[0]);
    if (line_.empty()) {
      std::fprintf(stderr, "bench: the simulator did not start\n");
      std::exit(1);
    }
  }
  ~Simulator() {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // The line (pty slave path) it serves.
  const std::string& Line() const { return line_; }

 private:
  pid_t pid_ = -1;
  std::string line_;
};

// A fresh temporary folder, removed at the end.
class TempFolder {
 public:
  TempFolder() {
    char dirTemplate[] = "/tmp/eklz-bench-XXXXXX";
    path_ = ::mkdtemp(dirTemplate);
  }
  ~TempFolder() { std::system(("rm -rf " + path_).c_str()); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace bench
