// A tester session against the simulated EKLZ, served in-process on a real
// pseudo-terminal.
#pragma once

#include <memory>

#include "sim/Demo.h"
#include "sim/PtyServer.h"
#include "support/Pty.h"

namespace eklz::test {

struct SimSession {
  // `demo`: start from the demo state (activated, three closed shifts).
  explicit SimSession(bool demo = false, sim::ServerOptions options = {});
  ~SimSession();

  sim::Device device;
  std::unique_ptr<sim::PtyServer> server;
  RecordingSink sink;
  EklzSession session;
};

}  // namespace eklz::test
