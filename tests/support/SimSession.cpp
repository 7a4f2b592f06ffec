#include "support/SimSession.h"

namespace eklz::test {

SimSession::SimSession(bool demo, sim::ServerOptions options) : session(sink) {
  if (demo) sim::BuildDemo(device);
  server = std::make_unique<sim::PtyServer>(device, std::move(options));
  server->Start();
  session.settings.ComPort = server->SlavePath();
  session.OpenPort(server->SlavePath(), "9600", 10);
}

SimSession::~SimSession() {
  session.ClosePort();
  server.reset();
}

}  // namespace eklz::test
