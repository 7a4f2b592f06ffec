// Every modal question and message of the window goes through one presenter,
// so that tests can replace it and answer for the operator.
#pragma once

#include <QString>

#include <functional>

class QDialog;
class QPrinter;
class QWidget;

namespace eklz::app {

// The application title, also the caption of error messages.
inline constexpr const char* kAppTitle = "Ларнис - тестирование ЭКЛЗ";

// The operator's answer to the close prompt.
enum class SaveViewsAnswer { Save, DontSave, Cancel };

// A path as the system writes it (on Windows with backslashes): every path
// the window shows, in a field, a message or a caption, goes through this.
// Paths are kept and used in the form they came in.
QString ShownPath(const QString& path);

// The folder a file dialog starts in: `last`, the folder of the file chosen
// last, while it exists; else the program's folder `programDir` when a file
// can be made there; else (an installed copy) the user's `documents`.
QString DialogStartFolder(const QString& last, const QString& programDir, const QString& documents);

// What a save dialog is for: its filter and default extension.
enum class SaveFileKind {
  Log,   // the views' pair, "Log"
  Pdf,   // a printout as a PDF file
  Dump,  // an archive dump, "Bin"; an existing file is confirmed, as the
         // dump replaces it
  FullDump,  // the full dump's file, "Bin": no question of the dialog's own,
             // the run asks about a file that holds pages ("Продолжить дамп?")
};

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
  // The save dialog of `kind`, started in the folder the window gives
  // (SetDialogFolders); the chosen file's folder is handed back to it. A
  // chosen path (with the kind's default extension added to a name without
  // one), or empty when cancelled.
  QString ChooseSaveFile(QWidget* parent, SaveFileKind kind);
  // Where the save dialogs start and where the folder of a chosen file goes;
  // unset, they start where the system's dialog does.
  void SetDialogFolders(std::function<QString()> start, std::function<void(const QString&)> keep);
  // The system print dialog; false when cancelled.
  virtual bool ChoosePrinter(QWidget* parent, QPrinter& printer);
  // Shows a dialog modally (the about box).
  virtual void ShowModal(QDialog& dialog);
  // A message box with an error icon, one OK button and its own caption
  // (the text is shown as it stands).
  virtual void ErrorMessage(QWidget* parent, const QString& text, const QString& caption);
  // The full dump's file `fileName` already holds `pages` whole pages of
  // `total`: continue from page `pages`, start anew (the file is replaced),
  // or run nothing.
  virtual DumpFileChoice AskContinueDump(QWidget* parent, const QString& fileName, int pages,
                                         int total);

 protected:
  // The system's save dialog of `kind` started in `folder`: a chosen path, or
  // empty when cancelled.
  virtual QString SaveFileName(QWidget* parent, SaveFileKind kind, const QString& folder);

 private:
  std::function<QString()> startFolder_;
  std::function<void(const QString&)> keepFolder_;
};

}  // namespace eklz::app
