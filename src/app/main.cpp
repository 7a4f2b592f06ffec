// eklz-tester: the desktop program.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include "app/Presenter.h"
#include "app/StopSignals.h"
#include "app/uMain.h"
#include "settings/Settings.h"

namespace {

// Qt's own texts (file and print dialogs, print preview) in Russian: the
// translation beside the program, then an installed copy's, then Qt's own.
void LoadQtRussian(QApplication& app, QTranslator& translator) {
  const QString dir = QApplication::applicationDirPath();
  for (const QString& folder : {dir + "/translations", dir + "/../share/eklz-tester/translations",
                                QLibraryInfo::path(QLibraryInfo::TranslationsPath)}) {
    if (translator.load("qtbase_ru", folder)) {
      app.installTranslator(&translator);
      return;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(eklz::app::kAppTitle);
  QApplication::setApplicationDisplayName(eklz::app::kAppTitle);
  // The program's icon on every window of it (the desktop entry's and the
  // .exe's icon are the same pictures).
  QIcon icon;
  for (const QString& name : QDir(":/icons").entryList({"eklz-tester-*.png"})) icon.addFile(":/icons/" + name);
  QApplication::setWindowIcon(icon);
  // Russian regional settings, always: also the dates and sizes of Qt's dialogs.
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
  QTranslator qtRussian;
  LoadQtRussian(app, qtRussian);

  // A stop request of the system ends the window as closing it does; one
  // that comes during the start-up closes the about box and then the window.
  eklz::app::TfmMain* window = nullptr;
  int stopSignal = 0;
  eklz::app::InstallStopSignals(&app, [&](int signal) {
    stopSignal = signal;
    if (window) {
      window->CloseBySignal();
    } else if (QWidget* modal = QApplication::activeModalWidget()) {
      modal->close();
    }
  });

  const QString program = QApplication::applicationFilePath();
  eklz::app::TesterEnvironment env;
  // As the system writes it: the messages about the file name it as given.
  env.settingsPath =
      eklz::app::ShownPath(QString::fromStdString(eklz::TesterSettingsPath(program.toStdString())));
  env.programDir = eklz::app::HelpPagesFolder(QFileInfo(program).absolutePath());
  eklz::app::TfmMain mainWindow(env);
  window = &mainWindow;
  mainWindow.show();
  if (stopSignal != 0) QTimer::singleShot(0, &mainWindow, &eklz::app::TfmMain::CloseBySignal);
  const int status = app.exec();
  return stopSignal != 0 ? 128 + stopSignal : status;
}
