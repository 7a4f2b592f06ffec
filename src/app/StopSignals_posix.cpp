#include "app/StopSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>

#include <cerrno>

namespace eklz::app {

namespace {

int g_pipe[2] = {-1, -1};  // the handler writes into [0], the window reads [1]

// Async-signal-safe: one byte naming the signal.
void OnSignal(int signal) {
  const int saved = errno;
  const char byte = static_cast<char>(signal);
  [[maybe_unused]] const ssize_t n = ::write(g_pipe[0], &byte, 1);
  errno = saved;
}

}  // namespace

void InstallStopSignals(QObject* context, std::function<void(int)> onStop) {
  if (g_pipe[0] < 0) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0) return;
    ::fcntl(g_pipe[0], F_SETFL, O_NONBLOCK);
  }
  auto* notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, context);
  QObject::connect(notifier, &QSocketNotifier::activated, context, [onStop = std::move(onStop)] {
    char byte = 0;
    if (::read(g_pipe[1], &byte, 1) == 1) onStop(static_cast<unsigned char>(byte));
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

}  // namespace eklz::app
