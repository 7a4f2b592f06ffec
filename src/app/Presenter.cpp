#include "app/Presenter.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

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

namespace {

// A save dialog; a name without an extension gets `suffix`. With
// `askReplace` an existing file is confirmed before it is chosen.
QString SaveFileName(QWidget* parent, const QString& filter, const QString& suffix,
                     bool askReplace = true) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !askReplace);
  dialog.setNameFilter(filter);
  dialog.setDefaultSuffix(suffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}

}  // namespace

QString MessagePresenter::SaveLogFileName(QWidget* parent) {
  return SaveFileName(parent, "Lod файл Ларнис-ЭКЛЗ (*.log)", "Log");
}

bool MessagePresenter::ChoosePrinter(QWidget* parent, QPrinter& printer) {
  QPrintDialog dialog(&printer, parent);
  return dialog.exec() == QDialog::Accepted;
}

QString MessagePresenter::SavePdfFileName(QWidget* parent) {
  return SaveFileName(parent, "PDF (*.pdf)", "pdf");
}

void MessagePresenter::ShowModal(QDialog& dialog) { dialog.exec(); }

void MessagePresenter::ErrorMessage(QWidget* parent, const QString& text, const QString& caption) {
  QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, parent);
  box.exec();
}

QString MessagePresenter::SaveDumpFileName(QWidget* parent, bool askReplace) {
  return SaveFileName(parent, "Дамп архива ЭКЛЗ (*.Bin)", "Bin", askReplace);
}

DumpFileChoice MessagePresenter::AskContinueDump(QWidget* parent, const QString& fileName,
                                                 int pages, int total) {
  QMessageBox box(QMessageBox::Question, "Подтверждение",
                  QString("Файл \"%1\" уже содержит %2 из %3 страниц дампа архива.\n\n"
                          "Продолжить дамп со страницы %2?")
                      .arg(fileName)
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
