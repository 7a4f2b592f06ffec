// A tester window in a temporary folder, its modal questions answered by a
// recording presenter.
#pragma once

#include <gtest/gtest.h>

#include <QStringList>

#include <functional>

#include <memory>
#include <string>

#include "app/Presenter.h"
#include "app/uMain.h"
#include "support/TempDir.h"

class QTreeWidgetItem;

// Skips a test on the Windows build for a reason that README.md names.
#ifdef _WIN32
#define EKLZ_NOT_ON_WINDOWS(reason) GTEST_SKIP() << (reason)
#else
#define EKLZ_NOT_ON_WINDOWS(reason) static_cast<void>(0)
#endif

namespace eklz::test {

class FakePresenter : public app::MessagePresenter {
 public:
  void Error(QWidget*, const QString& message) override;
  void Information(QWidget*, const QString& text, const QString& caption) override;
  app::SaveViewsAnswer AskSaveViews(QWidget*) override;
  // Answers for the operator with savePath, pdfPath or dumpPath by the kind.
  QString SaveFileName(QWidget*, app::SaveFileKind kind, const QString& folder) override;
  bool ChoosePrinter(QWidget*, QPrinter& printer) override;
  void ShowModal(QDialog& dialog) override;
  void ErrorMessage(QWidget*, const QString& text, const QString& caption) override;
  app::DumpFileChoice AskContinueDump(QWidget*, const QString& fileName, int pages,
                                      int total) override;

  QStringList errors;     // as the message box shows them (full-stop rule applied)
  QStringList messages;   // "caption: text"
  QStringList modals;     // objectNames of dialogs shown modally
  int questions = 0;      // close prompts asked
  app::SaveViewsAnswer closeAnswer = app::SaveViewsAnswer::DontSave;
  QString savePath;       // empty: the save dialog is cancelled
  QString pdfPath;        // empty: the print dialog is cancelled
  QString dumpPath;       // empty: the dump file dialog is cancelled
  QList<app::SaveFileKind> dumpKinds;  // the kind of each dump file dialog
  QStringList dialogFolders;  // the folder each save dialog started in
  QStringList dumpQuestions;  // "file: pages of total" of each question on a dump file
  app::DumpFileChoice dumpChoice = app::DumpFileChoice::Cancel;
  // Plays the operator in a modal dialog (the options dialog); the dialog's
  // result is what the operator left it with.
  std::function<void(QDialog&)> onModal;
  // Runs while a message is up, as the message box's own event loop would.
  std::function<void()> whileMessageShown;
};

class WindowTest : public ::testing::Test {
 protected:
  std::string SettingsPath() const { return dir.File("eklz-tester.ini"); }
  // Writes the settings file before the window opens.
  void WriteSettings(const std::string& text);
  // Settings that connect to `port` at start-up.
  void ConnectTo(const std::string& port);
  // Opens the window and waits for the start-up job.
  app::TfmMain& Open();
  void WaitIdle(int ms = 30000);

  // Clicks the task-list item with this caption.
  void Choose(const QString& caption);
  QTreeWidgetItem* TaskItem(const QString& caption);
  // Presses "Выполнить" and waits until the job has ended.
  void Execute();
  QStringList ResultLines();
  QStringList ProtocolLines();

  template <typename T>
  T* Find(const char* name) {
    T* w = window->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }

  TempDir dir;
  FakePresenter presenter;
  std::unique_ptr<app::TfmMain> window;
};

// Lines of a text as the views hold them.
std::vector<std::string> StdLines(const QStringList& lines);

}  // namespace eklz::test
