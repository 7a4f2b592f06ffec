#include "app/Presenter.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryFile>

#include "codec/Errors.h"

namespace eklz::app {

void MessagePresenter::Error(QWidget* parent, const QString& message) {
  const QString text = QString::fromStdString(MessageBoxText(message.toStdString()));
  QMessageBox box(QMessageBox::Critical, kAppTitle, text, QMessageBox::Ok, parent);
  box.exec();
}

void MessagePresenter::Information(QWidget* parent, const QString& text, const QString& caption) {
  QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok, parent);
  box.exec();
}

SaveViewsAnswer MessagePresenter::AskSaveViews(QWidget* parent) {
  QMessageBox box(QMessageBox::Warning, "Предупреждение",
                  "Протокол обмена не сохранен. Сохранить его в файл?",
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return SaveViewsAnswer::Save;
    case QMessageBox::No:
      return SaveViewsAnswer::DontSave;
    default:
      return SaveViewsAnswer::Cancel;
  }
}

QString ShownPath(const QString& path) { return QDir::toNativeSeparators(path); }

QString DialogStartFolder(const QString& last, const QString& programDir, const QString& documents) {
  if (!last.isEmpty() && QFileInfo(last).isDir()) return last;
  // Made and removed again: the only sure test that the folder takes files
  // (a folder's permission bits do not tell on every system).
  QTemporaryFile probe(QDir(programDir).filePath("eklz-XXXXXX.tmp"));
  if (probe.open()) return programDir;
  return documents;
}

void MessagePresenter::SetDialogFolders(std::function<QString()> start,
                                        std::function<void(const QString&)> keep) {
  startFolder_ = std::move(start);
  keepFolder_ = std::move(keep);
}

QString MessagePresenter::ChooseSaveFile(QWidget* parent, SaveFileKind kind) {
  const QString path = SaveFileName(parent, kind, startFolder_ ? startFolder_() : QString());
  if (!path.isEmpty() && keepFolder_) keepFolder_(QFileInfo(path).absolutePath());
  return path;
}

QString MessagePresenter::SaveFileName(QWidget* parent, SaveFileKind kind, const QString& folder) {
  struct Dialog {
    const char* filter;
    const char* suffix;
  };
  static const Dialog kDialogs[] = {
      {"Lod файл Ларнис-ЭКЛЗ (*.log)", "Log"},
      {"PDF (*.pdf)", "pdf"},
      {"Дамп архива ЭКЛЗ (*.Bin)", "Bin"},
      {"Дамп архива ЭКЛЗ (*.Bin)", "Bin"},
  };
  const Dialog& d = kDialogs[static_cast<int>(kind)];
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(d.filter);
  dialog.setDefaultSuffix(d.suffix);
  // The full dump asks about a file that holds pages when it is run; one
  // question is enough.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, kind == SaveFileKind::FullDump);
  if (!folder.isEmpty()) dialog.setDirectory(folder);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}

bool MessagePresenter::ChoosePrinter(QWidget* parent, QPrinter& printer) {
  QPrintDialog dialog(&printer, parent);
  return dialog.exec() == QDialog::Accepted;
}

void MessagePresenter::ShowModal(QDialog& dialog) { dialog.exec(); }

void MessagePresenter::ErrorMessage(QWidget* parent, const QString& text, const QString& caption) {
  QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, parent);
  box.exec();
}

DumpFileChoice MessagePresenter::AskContinueDump(QWidget* parent, const QString& fileName,
                                                 int pages, int total) {
  QMessageBox box(QMessageBox::Question, "Подтверждение",
                  QString("Файл \"%1\" уже содержит %2 из %3 страниц дампа архива.\n\n"
                          "Продолжить дамп со страницы %2?")
                      .arg(ShownPath(fileName))
                      .arg(pages)
                      .arg(total),
                  QMessageBox::NoButton, parent);
  QPushButton* resume = box.addButton("Продолжить", QMessageBox::YesRole);
  QPushButton* anew = box.addButton("Начать заново", QMessageBox::DestructiveRole);
  box.addButton("Отмена", QMessageBox::RejectRole);
  box.setDefaultButton(resume);
  box.exec();
  if (box.clickedButton() == resume) return DumpFileChoice::Continue;
  if (box.clickedButton() == anew) return DumpFileChoice::StartAnew;
  return DumpFileChoice::Cancel;
}

}  // namespace eklz::app
