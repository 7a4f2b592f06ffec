// Times a full 8192-page archive dump from the simulated EKLZ, as whole
// processes: the tester's "eklz dump" beside a minimal reader that sends the
// same requests and only reads the replies. Prints both wall times, their
// ratio, the tester's CPU time per page and its peak memory.
//
// usage: dump_bench BIN_DIR [RUNS]
#include "Process.h"

using bench::kPages;
using bench::Measure;
using bench::Median;
using bench::Run;
using bench::Slurp;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: dump_bench BIN_DIR [RUNS]\n");
    return 2;
  }
  const std::string bin = argv[1];
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
