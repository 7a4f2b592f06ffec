#include "app/uMain.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QAction>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <string_view>

#include "app/CommandGridPanel.h"
#include "app/Dispatcher.h"
#include "app/Fields.h"
#include "app/Options.h"
#include "app/Panels.h"
#include "app/ProgressDUMP.h"
#include "app/RepairRequestForm.h"
#include "app/StatusPane.h"
#include "app/TaskList.h"
#include "app/Views.h"
#include "app/myAbout.h"
#include "app/pages/Page.h"
#include "commands/Common.h"
#include "commands/ArchiveDump.h"
#include "commands/Link.h"
#include "procedures/MassDocuments.h"
#include "codec/Errors.h"
#include "serial/SystemErrors.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"

// The icons are compiled into the static library; its resources must be
// registered by name.
static void InitIconResources() { Q_INIT_RESOURCE(icons); }

namespace eklz::app {

namespace {

constexpr int kParamsTab = 0;
constexpr int kResultTab = 1;
constexpr int kProtocolTab = 2;
constexpr const char* kPlacementSection = "fmMainFormState";

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

TfmMain::TfmMain(TesterEnvironment environment, QWidget* parent)
    : QMainWindow(parent), env_(std::move(environment)) {
  InitIconResources();
  presenter_ = env_.presenter ? env_.presenter : &ownPresenter_;
  setObjectName("TfmMain");
  setWindowTitle(kAppTitle);
  resize(736, 741);
  setMinimumSize(640, 400);
  setMaximumSize(1280, 1024);

  sink_ = std::make_unique<WindowSink>(this, static_cast<ProgressHost&>(*this));
  session_ = std::make_unique<EklzSession>(*sink_);
  worker_ = new Worker(this);
  connect(worker_, &Worker::busyChanged, this, [this](bool busy) {
    if (busy) {
      flushTimer_->start();
    } else {
      flushTimer_->stop();
    }
    UpdateActions();
  });
  flushTimer_ = new QTimer(this);
  flushTimer_->setInterval(50);
  connect(flushTimer_, &QTimer::timeout, this, &TfmMain::FlushOutput);

  BuildToolbar();
  BuildStatusBar();
  BuildMainArea();
  ConnectPanelHandlers();

  // The designed position is the centre of the screen; a stored placement
  // replaces it when the window is shown.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(0, 0), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }

  FormCreate();
}

TfmMain::~TfmMain() {
  CancelJob();
  // The worker thread ends before the session and its output go, and the
  // widgets that go later no longer reach this window's handlers.
  delete worker_;
  worker_ = nullptr;
  queryArea_->disconnect(this);
}

KkmParticulars TfmMain::Particulars() const { return sink_->Particulars(); }

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
    if (JobRunning()) CancelJob();
  });
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

  BuildTaskList();
  mainArea_->addWidget(taskList_);

  rightArea_ = new QSplitter(Qt::Vertical, mainArea_);
  rightArea_->setObjectName("pnRightArea");
  rightArea_->setHandleWidth(7);
  rightArea_->setChildrenCollapsible(false);
  mainArea_->addWidget(rightArea_);

  queryArea_ = new QTabWidget(rightArea_);
  queryArea_->setObjectName("pcQueryArea");
  queryArea_->addTab(BuildParamsTab(), "Параметры");
  result_ = new LogView(queryArea_);
  result_->setObjectName("mmResult");
  result_->setAccessibleName("Результат");
  protocol_ = new LogView(queryArea_);
  protocol_->setObjectName("MemoLog");
  protocol_->setAccessibleName("Протокол запроса");
  for (auto [view, name, caption] :
       {std::tuple{result_, "tsResult", "Результат"}, std::tuple{protocol_, "tsProtokol", "Протокол запроса"}}) {
    auto* tab = new QWidget(queryArea_);
    tab->setObjectName(name);
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    queryArea_->addTab(tab, caption);
  }
  connect(queryArea_, &QTabWidget::currentChanged, this, [this] { UpdateActions(); });
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

QWidget* TfmMain::BuildParamsTab() {
  paramsTab_ = new QWidget(this);
  paramsTab_->setObjectName("tsParams");
  auto* layout = new QVBoxLayout(paramsTab_);
  layout->setContentsMargins(0, 0, 0, 0);
  panels_ = new QStackedWidget(paramsTab_);
  panels_->setObjectName("pnPanels");
  layout->addWidget(panels_);
  // Each panel scrolls its fields on its own (BuildPanel).
  for (const PanelSpec& def : PanelTable()) panels_->addWidget(BuildPanel(def, panels_));

  execQuery_ = new QPushButton("Выполнить", paramsTab_);
  execQuery_->setObjectName("btExecQuery");
  execQuery_->setFixedSize(kExecButtonWidth, kExecButtonHeight);
  connect(execQuery_, &QPushButton::clicked, this, &TfmMain::btExecQueryClick);
  paramsTab_->installEventFilter(this);

  return paramsTab_;
}

void TfmMain::BuildTaskList() {
  taskList_ = new TaskList(this);
  connect(taskList_, &TaskList::chosen, this, [this](const Page* page) { SelectCommand(*page); });
}

void TfmMain::ConnectPanelHandlers() {
  gridPanel_ = new CommandGridPanel(PagePanel(*FindPageRun(procedure::kArbitraryCommand).page), commandGrid_,
                                    *presenter_, this);
  new RepairRequestForm(*this, PagePanel(*FindPageRun(procedure::kRepairRequest).page), *presenter_);
  SetOptionsHandler([this] { TfmOptions::Run(*this); });
  for (const Page& page : Pages()) {
    if (page.sharesPanel) continue;
    QWidget& panel = PagePanel(page);
    if (const std::optional<FormChoice>& choice = page.layout.formChoice) {
      const uint8_t code = choice->code;
      connect(panel.findChild<QRadioButton*>(choice->digits), &QRadioButton::toggled, this,
              [this, code](bool on) {
                if (on) currentCmd_ = code;
              });
      connect(panel.findChild<QRadioButton*>(choice->text), &QRadioButton::toggled, this,
              [this, code](bool on) {
                if (on) currentCmd_ = FormCode(code, true);
              });
    }
    if (page.connect) page.connect(panel, *presenter_);
  }
}

// The panel of `page` on the stack.
QWidget& TfmMain::PagePanel(const Page& page) const {
  for (int i = 0; i < panels_->count(); ++i) {
    if (panels_->widget(i)->objectName() == page.panel) return *panels_->widget(i);
  }
  throw std::logic_error(std::string("no panel ") + page.panel);
}

// --- Start-up and shutdown ----------------------------------------------------------

void TfmMain::FormCreate() { StartUp(true); }

// The start-up sequence; `first` at the program's start. Run again from the
// toolbar it reopens the link from the stored settings but keeps the command
// the operator is on, the histories and the command grid.
void TfmMain::StartUp(bool first) {
  aboutBox_ = new TfmMyAbout(QUrl::fromLocalFile(QDir(env_.programDir).absoluteFilePath("Docs/")), this);
  presenter_->ShowModal(*aboutBox_);

  session_->settings = LoadSettings(env_.settingsPath.toStdString());
  session_->settingsFile = env_.settingsPath.toStdString();
  ApplyGroupStates();

  if (first) SelectCommand(SaleItem());

  if (session_->settings.Connected) {
    OpenLinkFromSettings();
  } else {
    SetPortButtons(true, false);
  }

  if (first) {
    resultHistory_.clear();
    protocolHistory_.clear();
    gridPanel_->Reset();
  }
}

void TfmMain::OpenLinkFromSettings() {
  StartJob(
      [](EklzSession& s) {
        try {
          OpenLink(s);
        } catch (...) {
          s.ClosePort();
          throw;
        }
      },
      [this](const JobOutcome& outcome) {
        if (outcome.failed) {
          ShowLinkFailure(outcome);
        } else {
          SetConnectionStatus("Соединение установлено", false);
          statusConn_->setToolTip(QString());
          SetPortButtons(false, true);
        }
      });
}

// The link did not open: the connection pane blinks its caption, the
// exchange pane names the reason in a few words and the connection pane's
// hint holds the whole message with what to do about it.
void TfmMain::ShowLinkFailure(const JobOutcome& outcome) {
  SetConnectionStatus("Невозможно установить соединение", true);
  const Settings& s = session_->settings;
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
}

void TfmMain::KeepLink() {
  SetConnectionStatus("Соединение установлено", false);
  statusConn_->setToolTip(QString());
  SetPortButtons(false, true);
}

void TfmMain::RestoreLink(bool open) {
  if (JobRunning()) return;
  if (open) {
    OpenLinkFromSettings();
    return;
  }
  // A pane that never showed a link keeps its caption.
  if (session_->LinkOpen()) {
    session_->ClosePort();
    SetConnectionStatus("Нет соединения", false);
    statusConn_->setToolTip(QString());
  }
  SetPortButtons(true, false);
}

void TfmMain::ApplyGroupStates() {
  const Settings& s = session_->settings;
  for (size_t i = 0; i < taskList_->GroupCount(); ++i) {
    const int index = TaskGroups()[i].settingsIndex;
    if (index < 0) continue;
    const bool opened = index == 0 ? s.group0Opened : index == 1 ? s.group1Opened : s.group2Opened;
    taskList_->SetGroupExpanded(i, opened);
  }
}

void TfmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  closing_ = false;
  if (!placementRestored_) {
    placementRestored_ = true;
    RestorePlacement();
  }
}

void TfmMain::RestorePlacement() {
  const IniFile ini(env_.settingsPath.toStdString());
  if (!ini.ReadBool(kPlacementSection, "Saved", false)) return;
  const QRect now = geometry();
  const QRect stored(ini.ReadInteger(kPlacementSection, "Left", now.left()),
                     ini.ReadInteger(kPlacementSection, "Top", now.top()),
                     ini.ReadInteger(kPlacementSection, "Width", now.width()),
                     ini.ReadInteger(kPlacementSection, "Height", now.height()));
  setGeometry(stored);
  if (ini.ReadBool(kPlacementSection, "Maximized", false)) showMaximized();
}

void TfmMain::SavePlacement() {
  IniFile ini(env_.settingsPath.toStdString());
  const QRect normal = isMaximized() || isMinimized() ? normalGeometry() : geometry();
  ini.WriteBool(kPlacementSection, "Maximized", isMaximized());
  ini.WriteInteger(kPlacementSection, "Left", normal.left());
  ini.WriteInteger(kPlacementSection, "Top", normal.top());
  ini.WriteInteger(kPlacementSection, "Width", normal.width());
  ini.WriteInteger(kPlacementSection, "Height", normal.height());
  ini.WriteBool(kPlacementSection, "Saved", true);
  ini.Save();
}

void TfmMain::FormDestroy() {
  Settings& s = session_->settings;
  for (size_t i = 0; i < taskList_->GroupCount(); ++i) {
    const int index = TaskGroups()[i].settingsIndex;
    const bool opened = taskList_->GroupExpanded(i);
    if (index == 0) s.group0Opened = opened;
    if (index == 1) s.group1Opened = opened;
    if (index == 2) s.group2Opened = opened;
  }
  SaveSettings(env_.settingsPath.toStdString(), s);
}

void TfmMain::closeEvent(QCloseEvent* event) {
  if (JobRunning()) {
    // Stop the job first; its outcome is not shown, the close goes on.
    closing_ = true;
    CancelJob();
    if (worker_->WaitJob(10000)) {
      // Deliver the job's end now, so that the window is idle from here on.
      // The worker posts it just after it has left the job.
      QElapsedTimer posted;
      posted.start();
      for (;;) {
        QCoreApplication::sendPostedEvents(worker_, QEvent::MetaCall);
        if (!JobRunning() || posted.elapsed() >= 1000) break;
        QThread::msleep(1);
      }
    }
    FlushOutput();
  }
  if (!closeWithoutPrompt_ && !ViewsEmpty() && presenter_->AskSaveViews(this)) {
    if (SaveViews() == SaveResult::Failed) {
      closing_ = false;
      event->ignore();
      return;
    }
  }
  try {
    SavePlacement();
    FormDestroy();
  } catch (const std::exception& e) {
    // Said once: a file the window already reported is not reported again.
    if (!settingsWarned_ && !closeWithoutPrompt_) ShowError(QString::fromStdString(e.what()));
    settingsWarned_ = true;
  }
  closing_ = true;
  event->accept();
}

// --- Command selection ----------------------------------------------------------------

bool TfmMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == paramsTab_ && event->type() == QEvent::Resize) {
    // "Выполнить" stays at the top right of the tab.
    execQuery_->move(paramsTab_->width() - execQuery_->width() - kExecButtonMargin,
                     kExecButtonMargin);
    execQuery_->raise();
  } else if ((watched == mainArea_ || watched == rightArea_) && event->type() == QEvent::Resize) {
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
  QWidget& panel = PagePanel(item);
  if (item.windowStep == WindowStep::SeedRandom) random_ = std::make_shared<ClockSeededRandom>();
  if (item.beforeSelect) item.beforeSelect(panel);
  queryArea_->setTabVisible(kResultTab, false);
  queryArea_->setTabVisible(kProtocolTab, false);
  panels_->setCurrentWidget(&panel);
  execQuery_->raise();
  currentCmd_ = item.code;
  // The form sent is the form the panel shows as chosen.
  if (const std::optional<FormChoice>& choice = item.layout.formChoice) {
    if (panel.findChild<QRadioButton*>(choice->text)->isChecked()) currentCmd_ = FormCode(choice->code, true);
  }
  queryArea_->setCurrentIndex(kParamsTab);
  if (item.afterSelect) item.afterSelect(panel);
  WriteLastCmd();
  ShowCurrentInTaskList(item);
  if (item.windowStep == WindowStep::GridChecksum) RefreshCommandGrid();
  ShowHelpPage(QString::fromUtf8(item.helpPage));
  UpdateActions();
}

// The task list marks the command whose panel is up, also when start-up
// chose it: keyboard use then starts from it.
void TfmMain::ShowCurrentInTaskList(const CatalogueItem& item) { taskList_->ShowCurrent(item); }

// The report type enables the range fields it uses.
void TfmMain::cbAskReportTypeChange() { ReportTypeChanged(*paramsTab_); }

void TfmMain::WriteLastCmd() {
  try {
    IniFile ini(env_.settingsPath.toStdString());
    ini.WriteInteger("TfmMain", "LastCmd", currentCmd_);
    ini.Save();
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

void TfmMain::RefreshCommandGrid() { gridPanel_->RefreshGridChecksum(); }

// --- Running commands ----------------------------------------------------------------

void TfmMain::btExecQueryClick() {
  if (JobRunning()) return;
  if (!session_->LinkOpen()) {
    ShowError("Нет соединения");
    return;
  }
  MoveViewsToHistories();
  result_->Clear();
  protocol_->Clear();
  queryArea_->setTabVisible(kResultTab, true);
  queryArea_->setTabVisible(kProtocolTab, true);
  queryArea_->setCurrentIndex(kResultTab);

  const PageRun found = FindPageRun(currentCmd_);
  if (!found.page) return;
  PreparedRun run;
  try {
    // The page reads its own panel only.
    const PanelFields fields(PagePanel(*found.page));
    const Settings& s = session_->settings;
    run = found.page->prepare({fields, s.quiet(), s.logExchange(),
                               random_ ? random_ : std::make_shared<ClockSeededRandom>(),
                               commandGrid_.ReadCommandGrid(), sink_->Particulars()},
                              found.textForm);
  } catch (const std::exception& e) {
    ShowError(QString::fromStdString(e.what()));
    return;
  }
  StartJob(std::move(run.operation), [this, after = std::move(run.afterSuccess),
                                      failed = std::move(run.afterFailure)](const JobOutcome& outcome) {
    // The record comes first: the pane already names the failure while its
    // message box is up.
    RecordJobEnd(outcome);
    if (outcome.failed) {
      if (failed) failed();
      if (!outcome.cancelled) ShowError(outcome.message);
    } else if (after) {
      after();
    }
  });
}

// A command that failed or was stopped says so where its lines are: the
// failure's text (as the message box showed it) or what the stop left is the
// last line of the result view, when the command wrote any, and the exchange
// pane names it instead of the last read.
void TfmMain::RecordJobEnd(const JobOutcome& outcome) {
  const int done = sink_->PagesDone();
  const int total = sink_->PagesTotal();
  QString text;
  QString pane;
  if (outcome.failed && !outcome.cancelled) {
    text = QString::fromStdString(MessageBoxText(outcome.message.toStdString()));
    pane = outcome.systemCode != 0 ? QString::fromStdString(PortFailureReason(outcome.systemCode))
                                   : outcome.message;
  } else if (done >= 0 && done < total) {
    text = "Дамп прерван: " + QString::fromStdString(PagesWrittenText(done, total));
    pane = QString("Дамп прерван (%1 из %2)").arg(done).arg(total);
  } else if (outcome.cancelled) {
    text = pane = outcome.message;
  } else {
    return;
  }
  const QStringList lines = text.split("\r\n");
  statusExchange_->setText(pane.split("\r\n").join(' '));
  statusExchange_->setToolTip(lines.join('\n'));
  if (sink_->JobResultLines() > 0) result_->AppendLines(lines.join('\n'), static_cast<int>(lines.size()));
}

void TfmMain::StartJob(std::function<void(EklzSession&)> operation, Worker::Done done) {
  sink_->ResetProgress();
  worker_->Run(
      [this, operation = std::move(operation)] {
        EklzSession::RunScope run(*session_);
        operation(*session_);
      },
      [this, done = std::move(done)](const JobOutcome& outcome) {
        FlushOutput();
        ReturnFreedMemory();
        JobOutcome shown = outcome;
        if (sink_->ProgressCancelled()) shown.cancelled = true;
        if (closing_) return;
        done(shown);
      });
}

// The blocks a job's text went through on its way to the views (the
// worker's batches) and the views' previous documents are free by now; the C
// library keeps freed memory for reuse unless asked to return it.
void TfmMain::ReturnFreedMemory() {
#if defined(__GLIBC__)
  ::malloc_trim(0);
#endif
}

// Asks the job in flight to stop: every port wait ends at once, and a dump
// ends after the page in progress as if its progress dialog were closed.
void TfmMain::CancelJob() {
  session_->RequestCancel();
  sink_->CloseProgress();
}

// Takes what the job has written since the last time and appends it to the
// views in one go: a view takes a large text far faster than many small
// ones, since every append lays out its last screen again.
void TfmMain::FlushOutput() {
  WindowSink::Batch b = sink_->TakeBatch();
  if (b.Empty()) return;
  result_->AppendLines(b.result, b.resultLines);
  protocol_->AppendLines(b.protocol, b.protocolLines);
  if (b.exchangeStatus) statusExchange_->setText(*b.exchangeStatus);
  if (b.connectionStatus) statusConn_->setText(*b.connectionStatus);
}

void TfmMain::UpdateActions() {
  const bool idle = !JobRunning();
  execQuery_->setEnabled(idle && queryArea_->currentIndex() == kParamsTab);
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
  session_->ClosePort();
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

// --- Views: histories, saving, printing -------------------------------------------------

bool TfmMain::ViewsEmpty() const { return !result_->HasLines() && !protocol_->HasLines(); }

void TfmMain::MoveViewsToHistories() {
  FlushOutput();
  resultHistory_ += result_->Lines();
  protocolHistory_ += protocol_->Lines();
}

TfmMain::SaveResult TfmMain::SaveViews() {
  const QString path = presenter_->SaveLogFileName(this);
  if (path.isEmpty()) return SaveResult::Cancelled;
  MoveViewsToHistories();
  try {
    SaveViewPair(path, resultHistory_, protocolHistory_);
  } catch (const std::exception& e) {
    ShowError(QString::fromStdString(e.what()));
    return SaveResult::Failed;
  }
  resultHistory_.clear();
  protocolHistory_.clear();
  return SaveResult::Saved;
}

void TfmMain::SaveLogsClick() { SaveViews(); }

void TfmMain::PrintViews(QPrinter& printer) {
  FlushOutput();
  printer.setDocName(kAppTitle);
  PrintLines(printer, result_->Lines() + protocol_->Lines());
}

void TfmMain::RzToolButton3Click() {
  if (ViewsEmpty()) {
    presenter_->Information(this, "А печатать в данный момент нечего.", "Сообщение");
    return;
  }
  QPrinter printer(QPrinter::HighResolution);
  if (!presenter_->ChoosePrinter(this, printer)) return;
  try {
    PrintViews(printer);
  } catch (const std::exception& e) {
    ShowError(QString::fromStdString(e.what()));
  }
}

void TfmMain::PrintPreview() {
  if (ViewsEmpty()) {
    presenter_->Information(this, "А печатать в данный момент нечего.", "Сообщение");
    return;
  }
  QPrinter printer(QPrinter::HighResolution);
  QPrintPreviewDialog preview(&printer, this);
  connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) {
    try {
      PrintViews(*p);
    } catch (const std::exception& e) {
      ShowError(QString::fromStdString(e.what()));
    }
  });
  presenter_->ShowModal(preview);
}

void TfmMain::SaveAsPdf() {
  if (ViewsEmpty()) {
    presenter_->Information(this, "А печатать в данный момент нечего.", "Сообщение");
    return;
  }
  const QString path = presenter_->SavePdfFileName(this);
  if (path.isEmpty()) return;
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(path);
  try {
    PrintViews(printer);
  } catch (const std::exception& e) {
    ShowError(QString::fromStdString(e.what()));
  }
}

// --- Dump progress --------------------------------------------------------------------

void TfmMain::ShowDumpProgress(std::shared_ptr<DumpProgressState> state) {
  delete progressDialog_;
  progressState_ = state;
  progressDialog_ = new TfmProgressDUMP(this);
  // Closing the dialog is the session's cancel request like every other stop:
  // the dump ends after the page in progress, a silent wait ends at once.
  connect(progressDialog_, &TfmProgressDUMP::closedByOperator, this, [this, state] {
    state->closed = true;
    session_->RequestCancel();
  });
  progressDialog_->SetPercent(state->percent);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(0, 0), progressDialog_->size());
    frame.moveCenter(screen->availableGeometry().center());
    progressDialog_->move(frame.topLeft());
  }
  progressDialog_->show();
}

void TfmMain::UpdateDumpProgress(std::shared_ptr<DumpProgressState> state) {
  if (progressDialog_ && progressState_ == state) progressDialog_->SetPercent(state->percent);
}

void TfmMain::CloseDumpProgress(std::shared_ptr<DumpProgressState> state) {
  if (progressState_ != state) return;
  delete progressDialog_;
  progressState_.reset();
}

}  // namespace eklz::app
