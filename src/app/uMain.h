// The main window: the toolbar and the status bar, hosting the task list, the
// query area and the help pane; the start-up and shutdown of the program. The
// job runner does the exchanges, the window's settings file keeps its keys.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "app/Catalogue.h"
#include "app/JobRunner.h"
#include "app/Presenter.h"
#include "app/WindowSettingsFile.h"
#include "protocol/Session.h"
#include "settings/SettingsRecord.h"

class QAction;
class QLabel;
class QPrinter;
class QSplitter;
class QTextBrowser;
class QTimer;
class QToolButton;

namespace eklz::app {

class QueryArea;
class StatusPane;
class TaskList;
class TfmMyAbout;

// Where the window finds its files and who asks the operator.
struct TesterEnvironment {
  QString settingsPath;  // the settings file
  QString programDir;    // the folder holding "Docs/"
  MessagePresenter* presenter = nullptr;  // nullptr: real message boxes
};

// The help's start page (its contents, linking every command's page),
// relative to the folder of the help pages: what the about box's link opens.
inline constexpr const char* kHelpStartPage = "Docs/Содержание.htm";

// The folder whose "Docs/" holds the help pages of a program in
// `executableDir`: that folder itself (the build tree, a copied program), or
// "../share/eklz-tester" beside it when the program is installed.
QString HelpPagesFolder(const QString& executableDir);

// The window's geometry `geometry` (without its frame) moved and, where it
// is larger, made smaller so that the window with its frame `frame` lies
// within `available`, the screen's area without its taskbars and panels. A
// window that lies within it is left as it is.
QRect FitWithin(const QRect& geometry, const QMargins& frame, const QRect& available);

class TfmMain : public QMainWindow {
  Q_OBJECT
 public:
  explicit TfmMain(TesterEnvironment environment, QWidget* parent = nullptr);
  ~TfmMain() override;

  uint8_t CurrentCmd() const;
  bool JobRunning() const { return runner_->Busy(); }
  JobRunner& Runner() { return *runner_; }
  // The session; touch it only while no job runs.
  EklzSession& Session() { return runner_->Session(); }
  // The window's own record in the settings file (group states, the
  // organisation, the link at start-up).
  WindowSettings& WindowState() { return settingsFile_.Record(); }
  // The cash register's particulars the EKLZ told last, printed on the
  // repair request.
  KkmParticulars Particulars() const;
  // The lines of the histories (what the next save writes before the
  // views), read back.
  QStringList ResultHistory() const;
  QStringList ProtocolHistory() const;
  TfmMyAbout* AboutBox() const;

  // What the options button opens; the button is disabled while none is set.
  void SetOptionsHandler(std::function<void()> handler);

  // A stop request of the system (SIGTERM and the like): the window closes
  // as the operator's close does, without the save question.
  void CloseBySignal();
  MessagePresenter& Presenter() { return *presenter_; }

  // Handlers of the window's controls, under their component names.
  void FormCreate();
  void SelectCommand(const CatalogueItem& item);
  void btExecQueryClick();
  void BtnInitPortClick();
  void BtnClosePortClick();
  void RzToolButton1Click();
  void RzToolButton2Click();
  void SaveLogsClick();
  void RzToolButton3Click();
  void cbAskReportTypeChange();
  void PrintPreview();
  void SaveAsPdf();
  // Renders both views onto `printer` as the print button does.
  void PrintViews(QPrinter& printer);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildToolbar();
  void BuildStatusBar();
  void BuildMainArea();
  void ConnectRunner();
  void ConnectPanelHandlers();

  void ShowHelpPage(const QString& page);
  void FitToScreen();
  void WidenForPanels();
  void WriteLastCmd();
  void StartUp(bool first);
  void ShowLinkOpen();
  void ShowLinkFailure(const JobOutcome& outcome, bool tell);
  void SaveSettingsNow();
  void WriteSettingsFile();
  void RecordJobEnd(const JobOutcome& outcome);
  void ShowOutput(const WindowSink::Batch& batch);
  void WarnSettingsNotWritten(const std::exception& e);
  void UpdateActions();
  void SetPortButtons(bool initEnabled, bool closeEnabled);
  void SetConnectionStatus(const QString& caption, std::optional<bool> blinking);
  void FormDestroy();
  void KeepSplitterShare(QSplitter* splitter, double& share, double low, double high);
  void ShowError(const QString& message);

  TesterEnvironment env_;
  MessagePresenter ownPresenter_;
  MessagePresenter* presenter_;
  WindowSettingsFile settingsFile_;
  JobRunner* runner_;
  QTimer* blinkTimer_;
  QTimer* clockTimer_;

  std::function<void()> optionsHandler_;
  bool initPortEnabled_ = true;
  bool closePortEnabled_ = false;
  bool blinking_ = false;
  bool blinkOn_ = false;
  bool closeWithoutPrompt_ = false;
  bool settingsWarned_ = false;
  bool placementRestored_ = false;
  bool linkBroken_ = false;  // the pane says the link failed under a run
  double taskListShare_ = 0.39;
  double queryAreaShare_ = 0.77;

  QPointer<TfmMyAbout> aboutBox_;

  QToolButton* btnInitPort_ = nullptr;
  QToolButton* btnClosePort_ = nullptr;
  QToolButton* saveLogs_ = nullptr;
  QToolButton* about_ = nullptr;
  QToolButton* options_ = nullptr;
  QToolButton* print_ = nullptr;
  QAction* stopJob_ = nullptr;
  StatusPane* statusConn_ = nullptr;
  StatusPane* statusExchange_ = nullptr;
  StatusPane* clock_ = nullptr;
  QLabel* statusRest_ = nullptr;
  QSplitter* mainArea_ = nullptr;
  QSplitter* rightArea_ = nullptr;
  TaskList* taskList_ = nullptr;
  QueryArea* queryArea_ = nullptr;
  QTextBrowser* browser_ = nullptr;
};

}  // namespace eklz::app
