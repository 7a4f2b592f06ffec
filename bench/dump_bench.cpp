// Times a full 8192-page archive dump from the simulated EKLZ, as whole
// processes: the tester's "eklz dump" beside a minimal reader that sends the
// same requests and only reads the replies. Prints both wall times, their
// ratio, the tester's CPU time per page and its peak memory.
//
// With --paced, times "eklz dump" of 200 pages against the simulator sending
// at the line's real speed (--pace), at 19200 and at 57600 baud set through
// the exchange-parameters command, beside the time the same bytes take on
// the line, and projects the full dump at each rate.
//
// usage: dump_bench BIN_DIR [RUNS]
//        dump_bench BIN_DIR --paced
#include <cmath>
#include <cstring>

#include "Process.h"
#include "sim/Replay.h"

using bench::kPages;
using bench::Measure;
using bench::Median;
using bench::Run;
using bench::Slurp;

namespace {

constexpr int kPacedPages = 200;
constexpr double kPacedGoal = 0.02;  // wall time at most 2 % over the line time

// The bytes a protocol file of the tester shows on the line: every request
// and every reply byte.
size_t LineBytes(const std::string& protocolPath) {
  size_t bytes = 0;
  for (const eklz::sim::RecordedExchange& e : eklz::sim::ReadProtocolFile(protocolPath)) {
    bytes += e.request.size() + e.reply.size();
  }
  return bytes;
}

int PacedDump(const std::string& bin) {
  const bench::TempFolder folder;
  const std::string dir = folder.Path();
  bench::Simulator sim(bin, {"--pace"});
  uint32_t rate = 9600;  // the simulator's rate at its start
  auto eklz = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {bin + "/eklz", "--settings", dir + "/eklz.ini", "--port", sim.Line(),
                               "--baud", std::to_string(rate)});
    return Run(args, "/dev/null");
  };
  auto setRate = [&](uint32_t to) {
    eklz({"set-exchange", "--rate", std::to_string(to)});
    rate = to;
  };

  struct Row {
    uint32_t rate;
    double wall;
    size_t bytes;
  };
  std::vector<Row> rows;
  std::vector<std::string> dumps;
  for (const uint32_t to : {19200u, 57600u}) {
    setRate(to);
    const std::string protocol = dir + "/protocol-" + std::to_string(to) + ".txt";
    dumps.push_back(dir + "/dump-" + std::to_string(to) + ".bin");
    const Measure m = eklz({"--protocol", protocol, "dump", "--from", "0", "--to",
                            std::to_string(kPacedPages - 1), "--file", dumps.back()});
    rows.push_back({to, m.wallSeconds, LineBytes(protocol)});
  }
  setRate(9600);

  std::printf("Paced dump, %d pages from the simulated EKLZ sending at the rate in force\n"
              "(eklz-sim --pace, 10 bits a byte; rate set with eklz set-exchange)\n",
              kPacedPages);
  std::printf("  %6s %12s %11s %11s %11s %17s\n", "rate", "line bytes", "line time", "wall time",
              "wall/line", "8192 pages, est.");
  bool met = true;
  for (const Row& r : rows) {
    const double line = static_cast<double>(r.bytes) * 10 / r.rate;
    const double over = r.wall / line - 1;
    met = met && std::abs(over) <= kPacedGoal;
    std::printf("  %6u %12zu %9.3f s %9.3f s %+9.2f %% %13.1f min\n", r.rate, r.bytes, line, r.wall,
                over * 100, r.wall / kPacedPages * kPages / 60);
  }
  std::printf("  goal, wall within %.0f %% of the line time at each rate: %s\n", kPacedGoal * 100,
              met ? "met" : "NOT met");
  const std::string a = Slurp(dumps[0]), b = Slurp(dumps[1]);
  const bool same = a == b && a.size() == static_cast<size_t>(kPacedPages) * 512;
  std::printf("  dump files:  %s (%zu bytes)\n", same ? "identical" : "DIFFER", a.size());
  return same ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: dump_bench BIN_DIR [RUNS]\n       dump_bench BIN_DIR --paced\n");
    return 2;
  }
  const std::string bin = argv[1];
  if (argc > 2 && std::strcmp(argv[2], "--paced") == 0) return PacedDump(bin);
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  const bench::TempFolder folder;
  const std::string dir = folder.Path();
  bench::Simulator sim(bin);
  const std::string line = sim.Line();

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
  return same ? 0 : 1;
}
