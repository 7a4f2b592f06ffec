// Soak run: the tester against the simulated EKLZ that spoils replies at
// random (seeded), N commands of every kind. Prints commands run, failures by
// kind, hangs, failures reported as successes and the tester's memory at the
// start and the end. Exit status 1 when a hang or a spoilt reply reported as a
// success was seen. The simulator runs in a child process, so the memory
// measured is the tester's alone.
//
//   soak_bench [N] [PROBABILITY] [SEED]      (20000, 0.01, 1)
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "commands/Activation.h"
#include "commands/ArchiveDump.h"
#include "commands/Documents.h"
#include "commands/Information.h"
#include "commands/Reports.h"
#include "commands/Service.h"
#include "commands/Status.h"
#include "codec/Errors.h"
#include "sim/Demo.h"
#include "sim/PtyServer.h"

using namespace eklz;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kHangSeconds = 60;  // no command may take this long
constexpr int kPortTimeout = 10;

// Drops the output; counts the requests sent (every request is logged).
class CountingSink : public OutputSink {
 public:
  void ResultLine(const std::string&) override {}
  void ProtocolLine(const std::string& line) override {
    if (line.compare(0, 4, "==> ") == 0) ++requests;
  }
  uint64_t requests = 0;
};

// What the simulator process tells the tester, in memory both share. The
// counts are stored after each reply has gone out.
struct Shared {
  std::atomic<uint64_t> handled{0};
  std::atomic<uint64_t> spoiled{0};
  std::atomic<int> ready{0};
  char path[256] = {};
};

// The simulator process: a demo device spoiling replies, until killed.
[[noreturn]] void RunSimulator(Shared* shared, double probability, unsigned seed) {
  sim::Device device;
  sim::BuildDemo(device);
  sim::ServerOptions options;
  options.faults.spoilRate = probability;
  options.faults.spoilSeed = seed;
  sim::PtyServer* server = nullptr;
  options.afterRequest = [&](const sim::Device&) {
    shared->spoiled = server->Spoiled();
    shared->handled = server->Requests();
  };
  sim::PtyServer pty(device, options);
  server = &pty;
  std::snprintf(shared->path, sizeof shared->path, "%s", pty.SlavePath().c_str());
  shared->ready = 1;
  pty.Run();
  std::_Exit(0);
}

long ResidentKiB() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

struct Command {
  const char* name;
  std::function<void(EklzSession&)> run;
};

// One round of every kind of command, in an order a cashier's day could take:
// documents with their items, storno, discount and mark-up, completion,
// queries, reports with fragment fetches, a dump page, free text, the
// exchange parameters, abort.
std::vector<Command> Round(const std::string& port) {
  const bool q = false, log = true;  // full output, dropped by the sink
  std::string out;
  return {
      {"status", [=](EklzSession& s) { AskStatus(s, q, log); }},
      {"sale", [=](EklzSession& s) { DoSale(s, 1, 1.5, 10.25, q, log); }},
      {"discount", [=](EklzSession& s) { DoDiscount(s, 0.25, q, log); }},
      {"sale", [=](EklzSession& s) { DoSale(s, 2, 2, 3, q, log); }},
      {"storno", [=](EklzSession& s) { DoStorno(s, 0x10, 2, 3, 2, q, log); }},
      {"mark-up", [=](EklzSession& s) { DoMargin(s, 0.5, q, log); }},
      {"finish", [=](EklzSession& s) { DoFinishDocument(s, false, 1, Today(), TimeNow(), q, log); }},
      {"buy", [=](EklzSession& s) { DoBuy(s, 1, 1, 5, q, log); }},
      {"finish-text", [=](EklzSession& s) { DoFinishDocument(s, true, 1, Today(), TimeNow(), q, log); }},
      {"return-sale", [=](EklzSession& s) { DoReturnSale(s, 1, 1, 1, q, log); }},
      {"abort", [=](EklzSession& s) { DoAbort(s, q, log); }},
      {"shift-status", [=](EklzSession& s) { AskShiftStatus(s, q, log); }},
      {"archive-test", [=](EklzSession& s) { DoArchiveTest(s, q, log); }},
      {"reg-number", [=](EklzSession& s) { AskRegNumber(s, false, q, log); }},
      {"version", [=](EklzSession& s) { AskVersion(s, true, q, log); }},
      {"crypto-serial", [=](EklzSession& s) { AskCryptoSerial(s, q, log); }},
      {"current-kpk", [=](EklzSession& s) { AskCurrentKpk(s, q, log); }},
      {"processor-dump", [=](EklzSession& s) { AskProcessorDump(s, q, log); }},
      {"activation-result", [=](EklzSession& s) { AskActivationResult(s, false, q, log); }},
      {"control-tape", [=](EklzSession& s) { AskControlTape(s, false, 1, q, log); }},
      {"control-tape-text", [=](EklzSession& s) { AskControlTape(s, true, 1, q, log); }},
      {"document", [=](EklzSession& s) { AskDocument(s, false, 1, q, log); }},
      {"shift-totals", [=](EklzSession& s) { AskShiftTotals(s, false, 1, q, log); }},
      {"report", [=](EklzSession& s) {
         AskReport(s, false, 6, {}, {}, 1, 3, q, log);
       }},
      {"dump-page", [=](EklzSession& s) { AskArchiveDump(s, false, "", 0, 0, true, q, log); }},
      {"free-text", [=](EklzSession& s) { DoFreeText(s, 0, 1, 0, "ТЕСТ", false, q, log); }},
      {"abort", [=](EklzSession& s) { DoAbort(s, q, log); }},
      {"exchange-params", [=](EklzSession& s) {
         DoSetExchangeParams(s, port, 2, kPortTimeout, "9600", q, log);
       }},
  };
}

}  // namespace

int main(int argc, char** argv) {
  const long n = argc > 1 ? std::atol(argv[1]) : 20000;
  const double probability = argc > 2 ? std::atof(argv[2]) : 0.01;
  const unsigned seed = argc > 3 ? static_cast<unsigned>(std::atol(argv[3])) : 1;

  void* memory = ::mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return 2;
  Shared* shared = new (memory) Shared;
  const pid_t child = ::fork();
  if (child == 0) RunSimulator(shared, probability, seed);
  while (!shared->ready) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const std::string line = shared->path;

  CountingSink sink;
  EklzSession session(sink);
  session.OpenPort(line, "9600", kPortTimeout);
  const std::vector<Command> round = Round(line);

  // The watchdog: a command that runs for a minute is a hang.
  std::atomic<long> current{-1};
  std::atomic<int64_t> startedAt{0};
  std::atomic<bool> done{false};
  std::thread watchdog([&] {
    while (!done) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      const int64_t since = std::chrono::duration_cast<std::chrono::seconds>(
                                Clock::now().time_since_epoch()).count() - startedAt.load();
      if (current >= 0 && since > kHangSeconds) {
        std::cout << "HANG: command " << current << " (" << round[current % round.size()].name
                  << ") has run for " << since << " s\n" << std::flush;
        std::_Exit(1);
      }
    }
  });

  std::map<std::string, long> failures;
  long succeeded = 0, reportedAsSuccess = 0, hangs = 0;
  double longestMs = 0;
  const long warmUp = static_cast<long>(round.size()) * 4;
  long memoryStart = ResidentKiB(), memoryPeak = 0;
  const auto begin = Clock::now();
  for (long i = 0; i < n; ++i) {
    if (i == warmUp) memoryStart = ResidentKiB();
    const Command& c = round[static_cast<size_t>(i) % round.size()];
    const uint64_t spoiledBefore = shared->spoiled;
    const auto t0 = Clock::now();
    startedAt = std::chrono::duration_cast<std::chrono::seconds>(t0.time_since_epoch()).count();
    current = i;
    bool ok = true;
    try {
      c.run(session);
    } catch (const std::exception& e) {
      ok = false;
      std::string kind = e.what();
      kind = kind.substr(0, kind.find("\r\n"));
      ++failures[kind];
    }
    current = -1;
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    longestMs = std::max(longestMs, ms);
    if (ms > 2 * (2000.0 + kPortTimeout) + 1000) ++hangs;  // more than one missing byte's wait
    if (ok) ++succeeded;
    // Wait until the simulator has counted every request of this command.
    for (int w = 0; w < 1000 && shared->handled < sink.requests; ++w) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (ok && shared->spoiled != spoiledBefore) {
      ++reportedAsSuccess;
      std::cout << "spoilt reply reported as success: command " << i << " (" << c.name << ")\n";
    }
    if (!session.LinkOpen()) session.OpenPort(line, "9600", kPortTimeout);
    memoryPeak = std::max(memoryPeak, ResidentKiB());
  }
  const long memoryEnd = ResidentKiB();
  done = true;
  watchdog.join();
  session.ClosePort();
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);

  const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
  std::cout << "commands run:                    " << n << " (" << round.size()
            << " kinds, " << seconds << " s)\n"
            << "replies spoilt by the simulator: " << shared->spoiled << " of "
            << shared->handled << " requests (probability " << probability << ", seed " << seed
            << ")\n"
            << "succeeded:                       " << succeeded << "\n"
            << "failures reported, by kind:\n";
  for (const auto& [kind, count] : failures) std::cout << "  " << count << "  " << kind << "\n";
  std::cout << "hangs (over 2 byte waits):       " << hangs << " (longest command " << longestMs
            << " ms)\n"
            << "failures reported as successes:  " << reportedAsSuccess << "\n"
            << "memory (resident, KiB):          start " << memoryStart << ", end " << memoryEnd
            << ", peak " << memoryPeak << "\n";
  return hangs == 0 && reportedAsSuccess == 0 ? 0 : 1;
}
