// eklz-tester: the desktop program.
#include <QApplication>
#include <QFileInfo>

#include "app/Presenter.h"
#include "app/uMain.h"
#include "settings/Settings.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(eklz::app::kAppTitle);
  QApplication::setApplicationDisplayName(eklz::app::kAppTitle);
  const QString program = QApplication::applicationFilePath();
  eklz::app::TesterEnvironment env;
  env.settingsPath = QString::fromStdString(eklz::TesterSettingsPath(program.toStdString()));
  env.programDir = eklz::app::HelpPagesFolder(QFileInfo(program).absolutePath());
  eklz::app::TfmMain window(env);
  window.show();
  return app.exec();
}
