// eklz-sim: a simulated EKLZ on a pseudo-terminal, for training, demos and
// end-to-end tests of the tester.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>

#include "sim/Demo.h"
#include "sim/Options.h"
#include "sim/PtyServer.h"
#include "sim/Replay.h"
#include "sim/StateFile.h"

namespace {

std::atomic<eklz::sim::PtyServer*> g_server{nullptr};
// A stop that came before the server was there to take it.
volatile std::sig_atomic_t g_stopped = 0;

void OnSignal(int) {
  g_stopped = 1;
  if (eklz::sim::PtyServer* server = g_server.load()) server->RequestStop();
}

void Save(const eklz::sim::Device& device, const std::string& path) {
  try {
    eklz::sim::SaveState(device, path);
  } catch (const std::exception& e) {
    std::cerr << "eklz-sim: " << e.what() << '\n';
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace eklz::sim;
  SimOptions options;
  try {
    options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::invalid_argument& e) {
    std::cerr << "eklz-sim: " << e.what() << "\nСправка: eklz-sim --help\n";
    return 2;
  }
  if (options.help) {
    std::cout << HelpText();
    return 0;
  }
  if (options.version) {
    std::cout << "eklz-sim " << EKLZ_VERSION << "\n";
    return 0;
  }

  std::optional<Replay> replay;
  if (!options.replayPath.empty()) {
    try {
      replay.emplace(ReadProtocolFile(options.replayPath));
    } catch (const ProtocolFileError& e) {
      std::cerr << "eklz-sim: " << e.what() << '\n';
      return 1;
    }
  }

  Device device(options.identity);
  device.SetRateCode(Device::CodeOfRate(options.rate));
  try {
    const bool loaded = !options.stateFile.empty() && LoadState(device, options.stateFile);
    if (!loaded && options.demo) BuildDemo(device);
    device.SetRateCode(Device::CodeOfRate(options.rate));  // a replayed 0x02 does not count
  } catch (const std::exception& e) {
    std::cerr << "eklz-sim: " << e.what() << '\n';
    return 1;
  }

  ServerOptions server;
  server.rateCheck = options.rateCheck;
  server.exitOnHangup = options.exitOnHangup;
  server.faults = options.faults;
  server.linkPath = options.linkPath;
  server.tap = options.tap;
  const auto toStderr = [](const std::string& line) {
    std::fputs(line.c_str(), stderr);
    std::fputc('\n', stderr);
  };
  if (replay) {
    server.replay = &*replay;
    server.report = toStderr;
  }
  if (options.trace) server.trace = toStderr;
  uint64_t saved = device.Revision();
  if (!options.stateFile.empty()) {
    server.afterRequest = [&saved, &options](const Device& d) {
      if (d.Revision() != saved) {
        Save(d, options.stateFile);
        saved = d.Revision();
      }
    };
  }

  // The handlers come first: a stop that arrives while the line is being
  // made (its link already there for others to see) still saves the state.
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  try {
    PtyServer pty(device, server);
    g_server = &pty;
    std::cout << pty.SlavePath() << std::endl;
    if (options.tap == TapMode::Split) {
      std::cout << "ККМ: " << pty.KkmTapPath() << "\nЭКЛЗ: " << pty.EklzTapPath() << std::endl;
    } else if (options.tap == TapMode::Merged) {
      std::cout << "ККМ и ЭКЛЗ: " << pty.KkmTapPath() << std::endl;
    }

    if (!g_stopped) pty.Run();
    g_server = nullptr;
  } catch (const std::exception& e) {
    std::cerr << "eklz-sim: " << e.what() << '\n';
    return 1;
  }
  if (!options.stateFile.empty()) Save(device, options.stateFile);
  if (replay) {
    std::cerr << "eklz-sim: " << replay->Summary() << '\n';
    return replay->Complete() ? 0 : 1;
  }
  return 0;
}
