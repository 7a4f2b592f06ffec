// The system's requests to stop the program (SIGTERM, SIGINT and SIGHUP on a
// POSIX system, the end of the session on Windows) reach the window as
// events, so that it ends as closing it does. The platform parts live in
// StopSignals_posix.cpp and StopSignals_win32.cpp.
#pragma once

#include <functional>

class QObject;

namespace eklz::app {

// From now on each stop request calls `onStop` with the signal's number on
// the thread of `context` (the GUI thread), never inside the signal handler.
void InstallStopSignals(QObject* context, std::function<void(int)> onStop);

}  // namespace eklz::app
