// The system's requests to stop the program (SIGTERM, SIGINT and SIGHUP on a
// POSIX system) reach the window as events, so that it ends as closing it
// does. The platform part lives in StopSignals_posix.cpp; another system
// gets a file of its own beside it.
#pragma once

#include <functional>

class QObject;

namespace eklz::app {

// From now on each stop request calls `onStop` with the signal's number on
// the thread of `context` (the GUI thread), never inside the signal handler.
void InstallStopSignals(QObject* context, std::function<void(int)> onStop);

}  // namespace eklz::app
