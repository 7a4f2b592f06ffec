// The main window: task list, parameter panels, result and protocol views,
// toolbar and status bar; the start-up and shutdown of the program.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

#include "app/Catalogue.h"
#include "app/Presenter.h"
#include "app/Worker.h"
#include "commands/Arbitrary.h"
#include "protocol/Session.h"

class QAction;
class QLabel;
class QPrinter;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QTabWidget;
class QTableWidget;
class QTextBrowser;
class QTimer;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace eklz {
class ClockSeededRandom;
}

namespace eklz::app {

class CommandGridPanel;
class LogView;
class StatusPane;
class TaskList;
class TfmMyAbout;
class TfmProgressDUMP;

// Where the window finds its files and who asks the operator.
struct TesterEnvironment {
  QString settingsPath;  // the settings file
  QString programDir;    // the folder holding "Docs/"
  MessagePresenter* presenter = nullptr;  // nullptr: real message boxes
};

// The folder whose "Docs/" holds the help pages of a program in
// `executableDir`: that folder itself (the build tree, a copied program), or
// "../share/eklz-tester" beside it when the program is installed.
QString HelpPagesFolder(const QString& executableDir);

class TfmMain : public QMainWindow, private ProgressHost {
  Q_OBJECT
 public:
  explicit TfmMain(TesterEnvironment environment, QWidget* parent = nullptr);
  ~TfmMain() override;

  uint8_t CurrentCmd() const { return currentCmd_; }
  bool JobRunning() const { return worker_ && worker_->Busy(); }
  // The session; touch it only while no job runs.
  EklzSession& Session() { return *session_; }
  // The cash register's particulars the EKLZ told last, printed on the
  // repair request.
  KkmParticulars Particulars() const;
  const QStringList& ResultHistory() const { return resultHistory_; }
  const QStringList& ProtocolHistory() const { return protocolHistory_; }
  TfmMyAbout* AboutBox() const;

  // What the options button opens; the button is disabled while none is set.
  void SetOptionsHandler(std::function<void()> handler);

  // What the options dialog's probe and search use: a job on the worker
  // thread (one at a time), the request that stops the job in flight, the
  // connection pane and the presenter.
  void StartJob(std::function<void(EklzSession&)> operation, Worker::Done done);
  // Asks the job in flight to stop (the stop button and Escape): the
  // exchange in progress completes, a dump ends after its page.
  void CancelJob();
  void SetConnectionStatus(const QString& caption, std::optional<bool> blinking);
  // Puts the window's link back as its settings say after the options
  // dialog tried other ports: `open` reopens it from the settings (the
  // connection pane then tells how that went), otherwise it is closed.
  void RestoreLink(bool open);
  // The link the options dialog found is the one the settings now name.
  void KeepLink();

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
  enum class SaveResult { Saved, Cancelled, Failed };

  void BuildToolbar();
  void BuildStatusBar();
  void BuildMainArea();
  QWidget* BuildParamsTab();
  void BuildTaskList();
  void ConnectPanelHandlers();

  void ApplyGroupStates();
  void ShowHelpPage(const QString& page);
  void WriteLastCmd();
  void ShowCurrentInTaskList(const CatalogueItem& item);
  QWidget& PagePanel(const Page& page) const;
  void StartUp(bool first);
  void OpenLinkFromSettings();
  void ShowLinkFailure(const JobOutcome& outcome);
  void RecordJobEnd(const JobOutcome& outcome);
  void WarnSettingsNotWritten(const std::exception& e);
  void FlushOutput();
  static void ReturnFreedMemory();
  void UpdateActions();
  void SetPortButtons(bool initEnabled, bool closeEnabled);
  void MoveViewsToHistories();
  SaveResult SaveViews();
  bool ViewsEmpty() const;
  void RestorePlacement();
  void SavePlacement();
  void FormDestroy();
  void KeepSplitterShare(QSplitter* splitter, double& share, double low, double high);
  void ShowError(const QString& message);
  void RefreshCommandGrid();

  // ProgressHost
  void ShowDumpProgress(std::shared_ptr<DumpProgressState> state) override;
  void UpdateDumpProgress(std::shared_ptr<DumpProgressState> state) override;
  void CloseDumpProgress(std::shared_ptr<DumpProgressState> state) override;

  TesterEnvironment env_;
  MessagePresenter ownPresenter_;
  MessagePresenter* presenter_;
  std::unique_ptr<WindowSink> sink_;
  std::unique_ptr<EklzSession> session_;
  Worker* worker_;
  QTimer* flushTimer_;
  QTimer* blinkTimer_;
  QTimer* clockTimer_;

  uint8_t currentCmd_ = 0;
  QStringList resultHistory_;
  QStringList protocolHistory_;
  std::shared_ptr<ClockSeededRandom> random_;
  CommandGrid commandGrid_;
  std::function<void()> optionsHandler_;
  bool initPortEnabled_ = true;
  bool closePortEnabled_ = false;
  bool blinking_ = false;
  bool blinkOn_ = false;
  bool closing_ = false;
  bool closeWithoutPrompt_ = false;
  bool settingsWarned_ = false;
  bool placementRestored_ = false;
  double taskListShare_ = 0.39;
  double queryAreaShare_ = 0.77;

  QPointer<TfmMyAbout> aboutBox_;
  QPointer<TfmProgressDUMP> progressDialog_;
  std::shared_ptr<DumpProgressState> progressState_;

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
  QTabWidget* queryArea_ = nullptr;
  QWidget* paramsTab_ = nullptr;
  QStackedWidget* panels_ = nullptr;
  QPushButton* execQuery_ = nullptr;
  LogView* result_ = nullptr;
  LogView* protocol_ = nullptr;
  QTextBrowser* browser_ = nullptr;
  CommandGridPanel* gridPanel_ = nullptr;
};

}  // namespace eklz::app
