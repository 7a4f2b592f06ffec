// Every modal question and message of the window goes through one presenter,
// so that tests can replace it and answer for the operator.
#pragma once

#include <QString>

class QDialog;
class QPrinter;
class QWidget;

namespace eklz::app {

// The application title, also the caption of error messages.
inline constexpr const char* kAppTitle = "Ларнис - тестирование ЭКЛЗ";

// The operator's answer to the close prompt.
enum class SaveViewsAnswer { Save, DontSave, Cancel };

// What the operator does with a dump file that already holds pages.
enum class DumpFileChoice { Continue, StartAnew, Cancel };

class MessagePresenter {
 public:
  virtual ~MessagePresenter() = default;

  // A failure: caption kAppTitle, error icon, one OK button. The text is the
  // message with the full-stop rule applied.
  virtual void Error(QWidget* parent, const QString& message);
  // An information box with one OK button ("Сообщение" and the like).
  virtual void Information(QWidget* parent, const QString& text, const QString& caption);
  // The close prompt: Yes/No/Cancel, warning icon, Yes the default; Cancel
  // (and Escape) keeps the window open.
  virtual SaveViewsAnswer AskSaveViews(QWidget* parent);
  // The save dialog of the views: a chosen path (with the default extension
  // "Log" added to a name without one), or empty when cancelled.
  virtual QString SaveLogFileName(QWidget* parent);
  // The system print dialog; false when cancelled.
  virtual bool ChoosePrinter(QWidget* parent, QPrinter& printer);
  // A save dialog for a PDF file; empty when cancelled.
  virtual QString SavePdfFileName(QWidget* parent);
  // Shows a dialog modally (the about box).
  virtual void ShowModal(QDialog& dialog);
  // A message box with an error icon, one OK button and its own caption
  // (the text is shown as it stands).
  virtual void ErrorMessage(QWidget* parent, const QString& text, const QString& caption);
  // The save dialog of archive dump files (filter "Дамп архива ЭКЛЗ",
  // default extension "Bin"): a chosen path, or empty when cancelled. An
  // existing file is confirmed only with `askReplace`.
  virtual QString SaveDumpFileName(QWidget* parent, bool askReplace);
  // The full dump's file `fileName` already holds `pages` whole pages of
  // `total`: continue from page `pages`, start anew (the file is replaced),
  // or run nothing.
  virtual DumpFileChoice AskContinueDump(QWidget* parent, const QString& fileName, int pages,
                                         int total);
};

}  // namespace eklz::app
