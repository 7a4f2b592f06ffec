#include "AppFixture.h"

#include <QDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTreeWidget>

#include <fstream>

#include "UiDriver.h"
#include "app/Views.h"
#include "codec/Errors.h"

namespace eklz::test {

void FakePresenter::Error(QWidget*, const QString& message) {
  errors << QString::fromStdString(MessageBoxText(message.toStdString()));
  if (whileMessageShown) whileMessageShown();
}

void FakePresenter::Information(QWidget*, const QString& text, const QString& caption) {
  messages << caption + ": " + text;
}

app::SaveViewsAnswer FakePresenter::AskSaveViews(QWidget*) {
  ++questions;
  return closeAnswer;
}

app::DumpFileChoice FakePresenter::AskContinueDump(QWidget*, const QString& fileName, int pages,
                                                   int total) {
  dumpQuestions << QString("%1: %2 of %3").arg(fileName).arg(pages).arg(total);
  return dumpChoice;
}

QString FakePresenter::SaveFileName(QWidget*, app::SaveFileKind kind, const QString& folder) {
  dialogFolders << folder;
  switch (kind) {
    case app::SaveFileKind::Log:
      return savePath;
    case app::SaveFileKind::Pdf:
      return pdfPath;
    case app::SaveFileKind::Dump:
    case app::SaveFileKind::FullDump:
      dumpKinds << kind;
      return dumpPath;
  }
  return {};
}

bool FakePresenter::ChoosePrinter(QWidget*, QPrinter& printer) {
  if (pdfPath.isEmpty()) return false;
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(pdfPath);
  return true;
}

void FakePresenter::ShowModal(QDialog& dialog) {
  modals << dialog.objectName();
  if (onModal) onModal(dialog);
}

void FakePresenter::ErrorMessage(QWidget*, const QString& text, const QString& caption) {
  messages << caption + ": " + text;
  if (whileMessageShown) whileMessageShown();
}

void WindowTest::WriteSettings(const std::string& text) {
  std::ofstream(SettingsPath(), std::ios::binary) << text;
}

void WindowTest::ConnectTo(const std::string& port) {
  WriteSettings("[Options]\nComPort=" + port + "\nBoundRate=9600\nTimeOuts=10\n");
}

app::TfmMain& WindowTest::Open() {
  app::TesterEnvironment env;
  env.settingsPath = QString::fromStdString(SettingsPath());
  env.programDir = QString::fromStdString(dir.Path().string());
  env.presenter = &presenter;
  window = std::make_unique<app::TfmMain>(env);
  window->show();
  WaitIdle();
  return *window;
}

void WindowTest::WaitIdle(int ms) {
  ui::Wait(0);
  EXPECT_TRUE(ui::WaitFor([this] { return !window->JobRunning(); }, ms));
}

QTreeWidgetItem* WindowTest::TaskItem(const QString& caption) {
  auto* tree = Find<QTreeWidget>("rzTaskList");
  for (QTreeWidgetItem* item : tree->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive)) {
    if (!item->isHidden() && item->parent()) return item;
  }
  ADD_FAILURE() << "no task-list item " << caption.toStdString();
  return nullptr;
}

void WindowTest::Choose(const QString& caption) {
  auto* tree = Find<QTreeWidget>("rzTaskList");
  QTreeWidgetItem* item = TaskItem(caption);
  ASSERT_NE(item, nullptr);
  item->parent()->setExpanded(true);
  tree->scrollToItem(item);
  ui::MouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
}

void WindowTest::Execute() {
  ui::MouseClick(Find<QPushButton>("btExecQuery"), Qt::LeftButton);
  WaitIdle();
}

QStringList WindowTest::ResultLines() { return Find<app::LogView>("mmResult")->Lines(); }
QStringList WindowTest::ProtocolLines() { return Find<app::LogView>("MemoLog")->Lines(); }

std::vector<std::string> StdLines(const QStringList& lines) {
  std::vector<std::string> out;
  for (const QString& l : lines) out.push_back(l.toStdString());
  return out;
}

}  // namespace eklz::test
