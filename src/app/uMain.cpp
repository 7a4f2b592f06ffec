#include "app/uMain.h"

#include <QApplication>
#include <QAction>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPrinter>
#include <QScreen>
#include <QSplitter>
#include <QStandardPaths>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <cmath>

#include "app/Options.h"
#include "app/QueryArea.h"
#include "app/RepairRequestForm.h"
#include "app/StatusPane.h"
#include "app/TaskList.h"
#include "app/myAbout.h"
#include "app/pages/Page.h"
#include "codec/Errors.h"
#include "commands/Common.h"
#include "commands/ArchiveDump.h"
#include "serial/SystemErrors.h"

// The icons are compiled into the static library; its resources must be
// registered by name.
static void InitIconResources() { Q_INIT_RESOURCE(icons); }

namespace eklz::app {

namespace {

QToolButton* ToolButton(QToolBar* bar, const char* name, const char* theme, const char* fallback,
                        const QString& accessibleName) {
  auto* b = new QToolButton(bar);
  b->setObjectName(name);
  b->setIcon(QIcon::fromTheme(theme, QIcon(fallback)));
  b->setToolButtonStyle(Qt::ToolButtonIconOnly);
  b->setAccessibleName(accessibleName);
  bar->addWidget(b);
  return b;
}

}  // namespace

QString HelpPagesFolder(const QString& executableDir) {
  const QDir beside(executableDir);
  if (beside.exists("Docs")) return beside.absolutePath();
  const QString installed = beside.absoluteFilePath("../share/eklz-tester");
  if (QDir(installed).exists("Docs")) return QDir(installed).absolutePath();
  return beside.absolutePath();
}

QRect FitWithin(const QRect& geometry, const QMargins& frame, const QRect& available) {
  QRect outer = geometry.marginsAdded(frame);
  outer.setWidth(std::min(outer.width(), available.width()));
  outer.setHeight(std::min(outer.height(), available.height()));
  if (outer.right() > available.right()) outer.moveRight(available.right());
  if (outer.bottom() > available.bottom()) outer.moveBottom(available.bottom());
  if (outer.left() < available.left()) outer.moveLeft(available.left());
  if (outer.top() < available.top()) outer.moveTop(available.top());
  return outer.marginsRemoved(frame);
}

TfmMain::TfmMain(TesterEnvironment environment, QWidget* parent)
    : QMainWindow(parent), env_(std::move(environment)), settingsFile_(env_.settingsPath) {
  InitIconResources();
  presenter_ = env_.presenter ? env_.presenter : &ownPresenter_;
  setObjectName("TfmMain");
  setWindowTitle(kAppTitle);
  resize(736, 741);
  setMinimumSize(640, 400);
  setMaximumSize(1280, 1024);

  runner_ = new JobRunner(this);
  BuildToolbar();
  BuildStatusBar();
  BuildMainArea();
  ConnectRunner();
  ConnectPanelHandlers();

  // The designed position is the centre of the screen; a stored placement
  // replaces it when the window is shown.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(0, 0), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }

  // The save dialogs start in the folder used last, kept in the settings.
  presenter_->SetDialogFolders(
      [this] {
        return DialogStartFolder(QString::fromStdString(settingsFile_.Record().LastFolder), env_.programDir,
                                 QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
      },
      [this](const QString& folder) {
        try {
          settingsFile_.KeepLastFolder(folder);
        } catch (const EInOutError& e) {
          WarnSettingsNotWritten(e);
        } catch (const std::exception&) {
          // A name the settings file cannot hold: the dialogs start where they did.
        }
      });

  FormCreate();
}

// The worker thread ends before the session and its output go, and the
// widgets that go later no longer reach the window's handlers.
TfmMain::~TfmMain() {
  presenter_->SetDialogFolders(nullptr, nullptr);
  runner_->Shutdown();
}

KkmParticulars TfmMain::Particulars() const { return runner_->Particulars(); }

// --- Construction ---------------------------------------------------------------

void TfmMain::BuildToolbar() {
  auto* bar = new QToolBar(this);
  bar->setObjectName("tbMainToolBar");
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setContextMenuPolicy(Qt::PreventContextMenu);
  bar->setAccessibleName("Панель инструментов");
  addToolBar(Qt::TopToolBarArea, bar);

  btnInitPort_ = ToolButton(bar, "BtnInitPort", "network-connect", ":/icons/port-open.png", "Окрыть порт");
  btnInitPort_->setToolTip("Окрыть порт");
  btnClosePort_ = ToolButton(bar, "BtnClosePort", "network-disconnect", ":/icons/port-close.png",
                             "Закрыть порт");
  btnClosePort_->setToolTip("Закрыть порт");
  bar->addSeparator();
  saveLogs_ = ToolButton(bar, "SaveLogs", "document-save", ":/icons/save.png", "Сохранить протокол в файл");
  saveLogs_->setToolTip("Сохранить протокол в файл");
  about_ = ToolButton(bar, "RzToolButton1", "help-about", ":/icons/about.png", "О программе");
  options_ = ToolButton(bar, "RzToolButton2", "preferences-system", ":/icons/options.png", "Параметры");
  // Stops the job in flight, as closing the dump progress does; Escape too.
  stopJob_ = new QAction(QIcon::fromTheme("process-stop", style()->standardIcon(QStyle::SP_BrowserStop)),
                         "Прервать выполнение", this);
  stopJob_->setObjectName("actStopJob");
  stopJob_->setToolTip("Прервать выполнение (Esc)");
  stopJob_->setShortcut(QKeySequence(Qt::Key_Escape));
  stopJob_->setShortcutContext(Qt::WindowShortcut);
  stopJob_->setEnabled(false);
  connect(stopJob_, &QAction::triggered, this, [this] {
    if (JobRunning()) runner_->Cancel();
  });
  // Runs the current command from anywhere in the window, as "Выполнить" does.
  auto* run = new QAction("Выполнить", this);
  run->setObjectName("actExecQuery");
  run->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter),
                     QKeySequence(Qt::Key_F9)});
  run->setShortcutContext(Qt::WindowShortcut);
  connect(run, &QAction::triggered, this, [this] { queryArea_->RunFromKeyboard(); });
  addAction(run);
  bar->addSeparator();
  bar->addAction(stopJob_);
  if (QWidget* b = bar->widgetForAction(stopJob_)) {
    b->setObjectName("BtnStopJob");
    b->setAccessibleName("Прервать выполнение");
  }
  auto* spacer = new QWidget(bar);
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  bar->addWidget(spacer);
  print_ = ToolButton(bar, "RzToolButton3", "document-print", ":/icons/print.png", "Печать протокола");
  print_->setToolTip("Печать протокола");
  auto* menu = new QMenu(print_);
  menu->addAction("Печать...", this, &TfmMain::RzToolButton3Click);
  menu->addAction("Предварительный просмотр...", this, &TfmMain::PrintPreview);
  menu->addAction("Сохранить в PDF...", this, &TfmMain::SaveAsPdf);
  print_->setMenu(menu);
  print_->setPopupMode(QToolButton::MenuButtonPopup);

  connect(btnInitPort_, &QToolButton::clicked, this, &TfmMain::BtnInitPortClick);
  connect(btnClosePort_, &QToolButton::clicked, this, &TfmMain::BtnClosePortClick);
  connect(saveLogs_, &QToolButton::clicked, this, &TfmMain::SaveLogsClick);
  connect(about_, &QToolButton::clicked, this, &TfmMain::RzToolButton1Click);
  connect(options_, &QToolButton::clicked, this, &TfmMain::RzToolButton2Click);
  connect(print_, &QToolButton::clicked, this, &TfmMain::RzToolButton3Click);
}

void TfmMain::BuildStatusBar() {
  auto* bar = new QStatusBar(this);
  bar->setObjectName("sbStatusBar");
  bar->setSizeGripEnabled(false);
  setStatusBar(bar);
  // Each pane is read out as its caption and its text ("Время: 9:41").
  auto pane = [bar](const char* name, int width, const QString& caption) {
    auto* l = new StatusPane(caption, bar);
    l->setObjectName(name);
    if (width > 0) l->setFixedWidth(width);
    return l;
  };
  statusConn_ = pane("StatusConn", 241, "Состояние соединения");
  statusConn_->setText("Нет связи");
  statusExchange_ = pane("StatusDataExchange", 256, "Состояние обмена");
  auto* rest = new QLabel(bar);
  rest->setObjectName("RzStatusPane1");
  statusRest_ = rest;
  clock_ = pane("RzClockStatus1", 55, "Время");
  clock_->setAlignment(Qt::AlignCenter);
  bar->addWidget(statusConn_);
  bar->addWidget(statusExchange_);
  bar->addWidget(rest, 1);
  bar->addPermanentWidget(clock_);

  clockTimer_ = new QTimer(this);
  clockTimer_->setInterval(1000);
  auto tick = [this] { clock_->setText(QTime::currentTime().toString("H:mm")); };
  connect(clockTimer_, &QTimer::timeout, this, tick);
  tick();
  clockTimer_->start();

  blinkTimer_ = new QTimer(this);
  blinkTimer_->setInterval(500);
  connect(blinkTimer_, &QTimer::timeout, this, [this] {
    blinkOn_ = !blinkOn_;
    statusConn_->setStyleSheet(blinkOn_ ? "color: red;" : "color: palette(window);");
  });
}

void TfmMain::BuildMainArea() {
  mainArea_ = new QSplitter(Qt::Horizontal, this);
  mainArea_->setObjectName("pnMainArea");
  mainArea_->setHandleWidth(7);
  mainArea_->setChildrenCollapsible(false);
  setCentralWidget(mainArea_);

  taskList_ = new TaskList(this);
  connect(taskList_, &TaskList::chosen, this, [this](const Page* page) { SelectCommand(*page); });
  mainArea_->addWidget(taskList_);

  rightArea_ = new QSplitter(Qt::Vertical, mainArea_);
  rightArea_->setObjectName("pnRightArea");
  rightArea_->setHandleWidth(7);
  rightArea_->setChildrenCollapsible(false);
  mainArea_->addWidget(rightArea_);

  queryArea_ = new QueryArea(*presenter_, rightArea_);
  connect(queryArea_, &QueryArea::execRequested, this, &TfmMain::btExecQueryClick);
  rightArea_->addWidget(queryArea_);

  auto* descr = new QWidget(rightArea_);
  descr->setObjectName("pnShowDescr");
  auto* descrLayout = new QVBoxLayout(descr);
  descrLayout->setContentsMargins(0, 0, 0, 0);
  browser_ = new QTextBrowser(descr);
  browser_->setObjectName("WebBrowser");
  browser_->setAccessibleName("Справка");
  browser_->setOpenExternalLinks(true);
  descrLayout->addWidget(browser_);
  rightArea_->addWidget(descr);

  mainArea_->installEventFilter(this);
  rightArea_->installEventFilter(this);
  connect(mainArea_, &QSplitter::splitterMoved, this,
          [this] { KeepSplitterShare(mainArea_, taskListShare_, 0.2, 0.5); });
  connect(rightArea_, &QSplitter::splitterMoved, this,
          [this] { KeepSplitterShare(rightArea_, queryAreaShare_, 0.5, 1.0); });
}

// What the job runner reports goes to the views and the status panes.
void TfmMain::ConnectRunner() {
  queryArea_->SetPendingOutput([this] { runner_->Flush(); });
  connect(runner_, &JobRunner::busyChanged, this, &TfmMain::UpdateActions);
  connect(runner_, &JobRunner::output, this, &TfmMain::ShowOutput);
  connect(runner_, &JobRunner::linkOpened, this, &TfmMain::ShowLinkOpen);
  connect(runner_, &JobRunner::linkFailed, this, &TfmMain::ShowLinkFailure);
  connect(runner_, &JobRunner::linkFound, this, [this](const QString& port, const QString& rate) {
    Settings found;
    found.ComPort = port.toStdString();
    found.BoundRate = rate.toStdString();
    SetConnectionStatus(QString::fromStdString(LinkEstablishedText(found)), false);
  });
  connect(runner_, &JobRunner::linkClosed, this, [this](bool wasOpen) {
    // A pane that never showed a link keeps its caption.
    if (wasOpen) {
      SetConnectionStatus("Нет соединения", false);
      statusConn_->setToolTip(QString());
    }
    SetPortButtons(true, false);
  });
}

void TfmMain::ConnectPanelHandlers() {
  new RepairRequestForm(*runner_, settingsFile_.Record(),
                        queryArea_->PagePanel(*FindPageRun(procedure::kRepairRequest).page), *presenter_);
  // Accepted settings go to the file at once: the port buttons' start-up
  // reads them from there.
  SetOptionsHandler([this] {
    if (TfmOptions::Run(*runner_, settingsFile_.Record(), *presenter_, this)) SaveSettingsNow();
  });
  queryArea_->ConnectPanels();
}

// --- Start-up and shutdown ----------------------------------------------------------

void TfmMain::FormCreate() { StartUp(true); }

// The start-up sequence; `first` at the program's start. Run again from the
// toolbar it reopens the link from the stored settings but keeps the command
// the operator is on, the histories and the command grid.
void TfmMain::StartUp(bool first) {
  aboutBox_ = new TfmMyAbout(QUrl::fromLocalFile(QDir(env_.programDir).absoluteFilePath(kHelpStartPage)), this);
  presenter_->ShowModal(*aboutBox_);

  EklzSession& session = runner_->Session();
  settingsFile_.Load(session.settings);
  session.settingsFile = env_.settingsPath.toStdString();
  settingsFile_.ApplyGroupStates(*taskList_);

  if (first) {
    SelectCommand(SaleItem());
    // The full dump's choices outlive the program: a dump is resumed after a restart.
    ShowFullDumpChoices(queryArea_->PagePanel(*FindPageRun(procedure::kFullDump).page), settingsFile_.Record());
  }

  if (settingsFile_.Record().Connected) {
    runner_->OpenLinkFromSettings();
  } else {
    SetPortButtons(true, false);
  }

  if (first) queryArea_->ResetForStart();
}

void TfmMain::SaveSettingsNow() {
  try {
    WriteSettingsFile();
  } catch (const std::exception& e) {
    WarnSettingsNotWritten(e);
  }
}

void TfmMain::ShowLinkOpen() {
  linkBroken_ = false;
  SetConnectionStatus(QString::fromStdString(LinkEstablishedText(runner_->Session().settings)), false);
  statusConn_->setToolTip(QString());
  SetPortButtons(false, true);
}

// The link did not open: the connection pane blinks its caption, the
// exchange pane names the reason in a few words and the connection pane's
// hint holds the whole message with what to do about it; with `tell` a
// message box says it too.
void TfmMain::ShowLinkFailure(const JobOutcome& outcome, bool tell) {
  SetConnectionStatus("Невозможно установить соединение", true);
  SetPortButtons(true, false);
  const Settings& s = runner_->Session().settings;
  QString reason;
  QString details = QString(outcome.message).replace("\r\n", "\n");
  if (outcome.systemCode != 0) {
    reason = QString::fromStdString(PortFailureReason(outcome.systemCode));
    details += QString::fromStdString(PortFailureContext(s.ComPort, outcome.systemCode));
  } else if (outcome.conversion) {
    reason = "Скорость BoundRate не число";
    details = "Скорость обмена BoundRate в файле настроек не число: " + details;
  } else if (outcome.cancelled) {
    reason = "Соединение прервано";
  } else {
    reason = outcome.message.section("\r\n", 0, 0);
  }
  statusExchange_->setText(reason);
  statusExchange_->setToolTip(details);
  statusConn_->setToolTip(details);
  if (tell) ShowError(details);
}

void TfmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  runner_->SetClosing(false);
  if (!placementRestored_) {
    placementRestored_ = true;
    const bool stored = settingsFile_.RestorePlacement(*this);
    FitToScreen();
    // Once laid out (and framed, where the system frames a window only once
    // it is shown): the designed placement widens for the widest panel; a
    // stored one is the operator's.
    QTimer::singleShot(0, this, [this, stored] {
      if (!stored) WidenForPanels();
      FitToScreen();
    });
  }
}

// The window grows by what the widest parameter panel lacks, so that no
// panel shows its fields with a sideways scroll bar (the report types are
// long); FitToScreen then keeps it within the screen.
void TfmMain::WidenForPanels() {
  if (isMaximized() || isFullScreen() || isMinimized()) return;
  auto* panels = queryArea_->findChild<QStackedWidget*>("pnPanels");
  auto* shown = panels && panels->currentWidget() ? panels->currentWidget()->findChild<QScrollArea*>() : nullptr;
  if (!shown) return;
  // Every panel gets the width of the one shown.
  int lacking = 0;
  for (const QScrollArea* area : panels->findChildren<QScrollArea*>()) {
    if (area->widget()) lacking = std::max(lacking, area->widget()->minimumSizeHint().width() - shown->viewport()->width());
  }
  if (lacking <= 0) return;
  // The parameter panels get their share of the growth.
  const int growth = static_cast<int>(std::ceil(lacking / (1.0 - taskListShare_)));
  setGeometry(geometry().adjusted(-growth / 2, 0, growth - growth / 2, 0));
}

// The window lies within the available area of the screen it is on (of the
// primary screen when a stored placement lies on none), its frame included:
// a window taller than a laptop's screen would hide its status bar under
// the taskbar.
void TfmMain::FitToScreen() {
  if (isMaximized() || isFullScreen() || isMinimized()) return;
  QScreen* on = QGuiApplication::screenAt(geometry().center());
  if (!on) on = QGuiApplication::primaryScreen();
  if (!on) return;
  const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
  const QRect fitted = FitWithin(geometry(), frame, on->availableGeometry());
  if (fitted != geometry()) setGeometry(fitted);
}

void TfmMain::FormDestroy() { WriteSettingsFile(); }

// The record takes what the window holds now, then the file takes both records.
void TfmMain::WriteSettingsFile() {
  settingsFile_.KeepGroupStates(*taskList_);
  KeepFullDumpChoices(queryArea_->PagePanel(*FindPageRun(procedure::kFullDump).page), settingsFile_.Record());
  settingsFile_.Save(runner_->Session().settings);
}

void TfmMain::closeEvent(QCloseEvent* event) {
  // A job in flight is stopped first; its outcome is not shown, the close goes on.
  runner_->StopForClose();
  if (!closeWithoutPrompt_ && !queryArea_->ViewsEmpty()) {
    const SaveViewsAnswer answer = presenter_->AskSaveViews(this);
    // "Отмена", or a save that failed, keeps the window open.
    if (answer == SaveViewsAnswer::Cancel ||
        (answer == SaveViewsAnswer::Save && queryArea_->SaveViews() == QueryArea::SaveResult::Failed)) {
      runner_->SetClosing(false);
      event->ignore();
      return;
    }
  }
  try {
    settingsFile_.SavePlacement(*this);
    FormDestroy();
  } catch (const std::exception& e) {
    // Said once: a file the window already reported is not reported again.
    if (!settingsWarned_ && !closeWithoutPrompt_) ShowError(QString::fromStdString(e.what()));
    settingsWarned_ = true;
  }
  runner_->SetClosing(true);
  event->accept();
}

// --- Command selection ----------------------------------------------------------------

bool TfmMain::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == mainArea_ || watched == rightArea_) && event->type() == QEvent::Resize) {
    // The splitter spreads the new size by its own rule first; the shares
    // are put back right after.
    QMetaObject::invokeMethod(
        this,
        [this] {
          KeepSplitterShare(mainArea_, taskListShare_, 0.2, 0.5);
          KeepSplitterShare(rightArea_, queryAreaShare_, 0.5, 1.0);
        },
        Qt::QueuedConnection);
  }
  return QMainWindow::eventFilter(watched, event);
}

// Keeps the first pane of a splitter at its share of the whole, within the
// limits; a move by the operator sets the new share.
void TfmMain::KeepSplitterShare(QSplitter* splitter, double& share, double low, double high) {
  const QList<int> sizes = splitter->sizes();
  const int total = sizes.value(0) + sizes.value(1);
  if (total <= 0) return;
  if (sender() == splitter) share = static_cast<double>(sizes[0]) / total;
  share = std::clamp(share, low, high);
  const int first = static_cast<int>(total * share + 0.5);
  if (first != sizes[0]) splitter->setSizes({first, total - first});
}

void TfmMain::SelectCommand(const CatalogueItem& item) {
  queryArea_->ShowPage(item);
  WriteLastCmd();
  // The task list marks the command whose panel is up, also when start-up
  // chose it: keyboard use then starts from it.
  taskList_->ShowCurrent(item);
  ShowHelpPage(QString::fromUtf8(item.helpPage));
  UpdateActions();
}

uint8_t TfmMain::CurrentCmd() const { return queryArea_->CurrentCmd(); }

// The report type enables the range fields it uses.
void TfmMain::cbAskReportTypeChange() { ReportTypeChanged(queryArea_->ParamsTab()); }

void TfmMain::WriteLastCmd() {
  try {
    settingsFile_.WriteLastCmd(CurrentCmd());
  } catch (const std::exception& e) {
    // The selection itself works without the file.
    WarnSettingsNotWritten(e);
  }
}

// A settings file that cannot be written is said once, in the status bar;
// the window keeps running on the settings it read.
void TfmMain::WarnSettingsNotWritten(const std::exception& e) {
  if (settingsWarned_) return;
  settingsWarned_ = true;
  statusRest_->setText("Файл настроек не записывается");
  statusRest_->setToolTip(QString::fromStdString(e.what()) +
                          "\nНастройки этого сеанса не будут сохранены.");
  statusRest_->setAccessibleName("Файл настроек не записывается");
}

void TfmMain::ShowHelpPage(const QString& page) {
  const QString path = QDir(env_.programDir).filePath(page);
  if (QFileInfo::exists(path)) {
    browser_->setSource(QUrl::fromLocalFile(path));
  } else {
    browser_->setSource(QUrl());
    browser_->clear();
  }
}

// --- Running commands ----------------------------------------------------------------

void TfmMain::btExecQueryClick() {
  if (JobRunning()) return;
  const Settings& s = runner_->Session().settings;
  if (!runner_->Session().LinkOpen()) {
    ShowError("Нет соединения");
    return;
  }
  // The views go into the histories when the command is run, also when its
  // fields do not convert or it has no run; a question of the page answered
  // with "Отмена" runs nothing and leaves them as they are.
  std::optional<PreparedRun> run;
  try {
    run = queryArea_->PrepareRun(s.quiet(), s.logExchange(), runner_->Particulars());
  } catch (const std::exception& e) {
    queryArea_->StartRunViews();
    ShowError(QString::fromStdString(e.what()));
    return;
  }
  if (run && !run->operation) {
    // Back to the panel.
    queryArea_->setCurrentWidget(&queryArea_->ParamsTab());
    return;
  }
  queryArea_->StartRunViews();
  if (!run) return;
  runner_->Start(std::move(run->operation), [this, after = std::move(run->afterSuccess),
                                             failed = std::move(run->afterFailure)](const JobOutcome& outcome) {
    // The record comes first: the pane already names the failure while its
    // message box is up.
    RecordJobEnd(outcome);
    // A run that went through shows the link working again.
    if (!outcome.failed && linkBroken_) ShowLinkOpen();
    if (outcome.failed) {
      if (failed) failed();
      if (!outcome.cancelled) ShowError(outcome.message);
    } else if (after) {
      after();
    }
  });
}

// A command that failed or was stopped says so where its lines are: the
// failure's text (as the message box showed it) is always the last line of
// the result view, what a stop left is when the command wrote any lines, and
// the exchange pane names it instead of the last read.
void TfmMain::RecordJobEnd(const JobOutcome& outcome) {
  const int done = runner_->PagesDone();
  const int total = runner_->PagesTotal();
  const int held = runner_->PagesHeld();
  QString text;
  QString pane;
  if (outcome.failed && !outcome.cancelled) {
    text = QString::fromStdString(MessageBoxText(outcome.message.toStdString()));
    pane = outcome.systemCode != 0 ? QString::fromStdString(PortFailureReason(outcome.systemCode))
                                   : outcome.message;
    // A port that failed under the run (a hang-up, a device unplugged) is no
    // working link any more, whatever the pane said when it opened.
    if (outcome.systemCode != 0) {
      linkBroken_ = true;
      SetConnectionStatus("Соединение нарушено: " + QString::fromStdString(runner_->Session().settings.ComPort),
                          false);
    }
  } else if (done >= 0 && done < total) {
    text = "Дамп прерван: " + QString::fromStdString(PagesWrittenText(held, done, total));
    pane = QString("Дамп прерван (%1 из %2)").arg(held + done).arg(held + total);
  } else if (outcome.cancelled) {
    text = pane = outcome.message;
  } else {
    return;
  }
  const QStringList lines = text.split("\r\n");
  statusExchange_->setText(pane.split("\r\n").join(' '));
  statusExchange_->setToolTip(lines.join('\n'));
  if ((outcome.failed && !outcome.cancelled) || runner_->JobResultLines() > 0) {
    queryArea_->AppendResultLines(lines);
  }
}

void TfmMain::ShowOutput(const WindowSink::Batch& b) {
  queryArea_->AppendOutput(b);
  if (b.exchangeStatus) statusExchange_->setText(*b.exchangeStatus);
  if (b.connectionStatus) statusConn_->setText(*b.connectionStatus);
}

void TfmMain::UpdateActions() {
  const bool idle = !JobRunning();
  queryArea_->SetRunAllowed(idle);
  btnInitPort_->setEnabled(idle && initPortEnabled_);
  btnClosePort_->setEnabled(idle && closePortEnabled_);
  options_->setEnabled(idle && optionsHandler_ != nullptr);
  stopJob_->setEnabled(!idle);
}

void TfmMain::SetPortButtons(bool initEnabled, bool closeEnabled) {
  initPortEnabled_ = initEnabled;
  closePortEnabled_ = closeEnabled;
  UpdateActions();
}

void TfmMain::SetConnectionStatus(const QString& caption, std::optional<bool> blinking) {
  statusConn_->setText(caption);
  if (!blinking) return;
  blinking_ = *blinking;
  blinkOn_ = blinking_;
  statusConn_->setStyleSheet(blinking_ ? "color: red;" : "");
  if (blinking_) {
    blinkTimer_->start();
  } else {
    blinkTimer_->stop();
  }
}

void TfmMain::ShowError(const QString& message) { presenter_->Error(this, message); }

// --- Toolbar ----------------------------------------------------------------------

void TfmMain::BtnInitPortClick() {
  if (JobRunning()) return;
  StartUp(false);
}

void TfmMain::CloseBySignal() {
  closeWithoutPrompt_ = true;
  // A modal dialog (a message, the options) is closed first; its own loop
  // must end before the window's close can end the program.
  if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this) {
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      dialog->reject();
    } else {
      modal->close();
    }
    QTimer::singleShot(50, this, &TfmMain::CloseBySignal);
    return;
  }
  close();
}

void TfmMain::BtnClosePortClick() {
  if (JobRunning()) return;
  runner_->Session().ClosePort();
  SetPortButtons(true, false);
  SetConnectionStatus("Нет соединения", std::nullopt);
}

TfmMyAbout* TfmMain::AboutBox() const { return aboutBox_; }

void TfmMain::RzToolButton1Click() {
  if (aboutBox_) presenter_->ShowModal(*aboutBox_);
}

void TfmMain::SetOptionsHandler(std::function<void()> handler) {
  optionsHandler_ = std::move(handler);
  UpdateActions();
}

void TfmMain::RzToolButton2Click() {
  if (optionsHandler_ && !JobRunning()) optionsHandler_();
}

// --- Views: forwards to the query area ------------------------------------------------

QStringList TfmMain::ResultHistory() const { return queryArea_->ResultHistory(); }
QStringList TfmMain::ProtocolHistory() const { return queryArea_->ProtocolHistory(); }

void TfmMain::SaveLogsClick() { queryArea_->SaveViews(); }
void TfmMain::PrintViews(QPrinter& printer) { queryArea_->PrintViews(printer); }
void TfmMain::RzToolButton3Click() { queryArea_->Print(); }
void TfmMain::PrintPreview() { queryArea_->PrintPreview(); }
void TfmMain::SaveAsPdf() { queryArea_->SaveAsPdf(); }

}  // namespace eklz::app
