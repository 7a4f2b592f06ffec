// On Windows a desktop program gets no stop signals: the system asks it to
// end when the user logs off or the computer shuts down, which Qt hands on
// as the session's commit request. The window then ends as on a stop signal
// elsewhere: the job stops after its page, a raised speed is set back, the
// files are closed and the settings saved, without the save question.
#include "app/StopSignals.h"

#include <QGuiApplication>
#include <QSessionManager>

#include <csignal>

namespace eklz::app {

void InstallStopSignals(QObject* context, std::function<void(int)> onStop) {
  QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, context,
                   [onStop = std::move(onStop)](QSessionManager&) { onStop(SIGTERM); });
}

}  // namespace eklz::app
