#include "app/QueryArea.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <exception>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>

#include "app/CommandGridPanel.h"
#include "app/Fields.h"
#include "app/Panels.h"
#include "app/Presenter.h"
#include "app/Views.h"
#include "app/pages/Page.h"
#include "commands/Common.h"
#include "procedures/MassDocuments.h"

namespace eklz::app {

namespace {
constexpr int kParamsTab = 0;
constexpr int kResultTab = 1;
constexpr int kProtocolTab = 2;
}  // namespace

QueryArea::QueryArea(MessagePresenter& presenter, QWidget* parent)
    : QTabWidget(parent), presenter_(presenter) {
  setObjectName("pcQueryArea");
  addTab(BuildParamsTab(), "Параметры");
  result_ = new LogView(this);
  result_->setObjectName("mmResult");
  result_->setAccessibleName("Результат");
  protocol_ = new LogView(this);
  protocol_->setObjectName("MemoLog");
  protocol_->setAccessibleName("Протокол запроса");
  for (auto [view, name, caption] :
       {std::tuple{result_, "tsResult", "Результат"}, std::tuple{protocol_, "tsProtokol", "Протокол запроса"}}) {
    auto* tab = new QWidget(this);
    tab->setObjectName(name);
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    addTab(tab, caption);
  }
  connect(this, &QTabWidget::currentChanged, this, &QueryArea::UpdateExecButton);
  gridPanel_ = new CommandGridPanel(PagePanel(*FindPageRun(procedure::kArbitraryCommand).page), commandGrid_,
                                    presenter_, this);
}

// The tab widget takes its pages down after this part of it is gone; their
// removal must not reach its handlers.
QueryArea::~QueryArea() { disconnect(this, &QTabWidget::currentChanged, this, nullptr); }

QWidget* QueryArea::BuildParamsTab() {
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
  execQuery_->setToolTip("Выполнить команду (Enter в поле, Ctrl+Enter, F9)");
  connect(execQuery_, &QPushButton::clicked, this, &QueryArea::execRequested);
  // Enter in a one-line field runs the command; memos and the command grid
  // keep Enter for themselves.
  for (QWidget* w : panels_->findChildren<QWidget*>()) {
    const QWidget* parent = w->parentWidget();
    const bool part = qobject_cast<const QComboBox*>(parent) || qobject_cast<const QAbstractSpinBox*>(parent);
    if (qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSpinBox*>(w) || (qobject_cast<QLineEdit*>(w) && !part)) {
      w->installEventFilter(this);
    }
  }
  paramsTab_->installEventFilter(this);
  return paramsTab_;
}

void QueryArea::ConnectPanels() {
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
    if (page.connect) page.connect(panel, presenter_);
  }
}

QWidget& QueryArea::PagePanel(const Page& page) const {
  for (int i = 0; i < panels_->count(); ++i) {
    if (panels_->widget(i)->objectName() == page.panel) return *panels_->widget(i);
  }
  throw std::logic_error(std::string("no panel ") + page.panel);
}

bool QueryArea::eventFilter(QObject* watched, QEvent* event) {
  if (watched != paramsTab_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<const QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      // The field ends its own handling of the key (a number regrouped) first.
      QMetaObject::invokeMethod(this, &QueryArea::RunFromKeyboard, Qt::QueuedConnection);
    }
  }
  if (watched == paramsTab_ && event->type() == QEvent::Resize) {
    // "Выполнить" stays at the top right of the tab.
    execQuery_->move(paramsTab_->width() - execQuery_->width() - kExecButtonMargin, kExecButtonMargin);
    execQuery_->raise();
  }
  return QTabWidget::eventFilter(watched, event);
}

void QueryArea::ShowPage(const Page& page) {
  QWidget& panel = PagePanel(page);
  if (page.windowStep == WindowStep::SeedRandom) random_ = std::make_shared<ClockSeededRandom>();
  if (page.beforeSelect) page.beforeSelect(panel);
  // The parameters come up before the views' tabs go: a view made current
  // on its way out would lay out all the text it keeps.
  setCurrentIndex(kParamsTab);
  setTabVisible(kResultTab, false);
  setTabVisible(kProtocolTab, false);
  panels_->setCurrentWidget(&panel);
  execQuery_->raise();
  currentCmd_ = page.code;
  // The form sent is the form the panel shows as chosen.
  if (const std::optional<FormChoice>& choice = page.layout.formChoice) {
    if (panel.findChild<QRadioButton*>(choice->text)->isChecked()) currentCmd_ = FormCode(choice->code, true);
  }
  if (page.firstSelect && !shownPanels_.contains(&panel)) page.firstSelect(panel);
  shownPanels_.insert(&panel);
  if (page.windowStep == WindowStep::GridChecksum) gridPanel_->RefreshGridChecksum();
}

void QueryArea::SetRunAllowed(bool allowed) {
  runAllowed_ = allowed;
  UpdateExecButton();
}

void QueryArea::RunFromKeyboard() {
  if (!runAllowed_) return;
  setCurrentIndex(kParamsTab);
  emit execRequested();
}

void QueryArea::UpdateExecButton() { execQuery_->setEnabled(runAllowed_ && currentIndex() == kParamsTab); }

void QueryArea::StartRunViews() {
  MoveViewsToHistories();
  result_->Clear();
  protocol_->Clear();
  setTabVisible(kResultTab, true);
  setTabVisible(kProtocolTab, true);
  setCurrentIndex(kResultTab);
}

std::optional<PreparedRun> QueryArea::PrepareRun(bool quiet, bool logExchange,
                                                 const KkmParticulars& kkm) {
  const PageRun found = FindPageRun(currentCmd_);
  if (!found.page) return std::nullopt;
  // The page reads its own panel only.
  const PanelFields fields(PagePanel(*found.page));
  return found.page->prepare({fields, quiet, logExchange, random_ ? random_ : std::make_shared<ClockSeededRandom>(),
                              commandGrid_.ReadCommandGrid(), &presenter_, kkm},
                             found.textForm);
}

void QueryArea::ResetForStart() {
  resultHistory_.Clear();
  protocolHistory_.Clear();
  gridPanel_->Reset();
}

void QueryArea::AppendOutput(const WindowSink::Batch& batch) {
  result_->AppendLines(batch.result, batch.resultLines);
  protocol_->AppendLines(batch.protocol, batch.protocolLines);
}

void QueryArea::AppendResultLines(const QStringList& lines) {
  result_->AppendLines(lines.join('\n'), static_cast<int>(lines.size()));
}

// --- Histories, saving, printing ---------------------------------------------------------

bool QueryArea::ViewsEmpty() const { return !result_->HasLines() && !protocol_->HasLines(); }

void QueryArea::MoveViewsToHistories() {
  if (flushPending_) flushPending_();
  resultHistory_.Append(*result_);
  protocolHistory_.Append(*protocol_);
}

QueryArea::SaveResult QueryArea::SaveViews() {
  const QString path = presenter_.ChooseSaveFile(window(), SaveFileKind::Log);
  if (path.isEmpty()) return SaveResult::Cancelled;
  MoveViewsToHistories();
  // A day's histories take seconds to write: the files are written on a
  // thread of their own while the window, disabled, goes on answering.
  std::exception_ptr failure;
  QEventLoop wait;
  std::thread writer([&] {
    try {
      SaveViewPair(path, resultHistory_, protocolHistory_);
    } catch (...) {
      failure = std::current_exception();
    }
    QMetaObject::invokeMethod(&wait, &QEventLoop::quit, Qt::QueuedConnection);
  });
  window()->setEnabled(false);
  wait.exec();
  writer.join();
  window()->setEnabled(true);
  if (failure) {
    try {
      std::rethrow_exception(failure);
    } catch (const std::exception& e) {
      ShowError(QString::fromStdString(e.what()));
      return SaveResult::Failed;
    }
  }
  resultHistory_.Clear();
  protocolHistory_.Clear();
  return SaveResult::Saved;
}

void QueryArea::PrintViews(QPrinter& printer) {
  if (flushPending_) flushPending_();
  printer.setDocName(kAppTitle);
  PrintLines(printer, result_->Lines() + protocol_->Lines());
}

bool QueryArea::NothingToPrint() {
  if (!ViewsEmpty()) return false;
  presenter_.Information(window(), "А печатать в данный момент нечего.", "Сообщение");
  return true;
}

void QueryArea::Print() {
  if (NothingToPrint()) return;
  QPrinter printer(QPrinter::HighResolution);
  if (!presenter_.ChoosePrinter(window(), printer)) return;
  try {
    PrintViews(printer);
  } catch (const std::exception& e) {
    ShowError(QString::fromStdString(e.what()));
  }
}

void QueryArea::PrintPreview() {
  if (NothingToPrint()) return;
  QPrinter printer(QPrinter::HighResolution);
  QPrintPreviewDialog preview(&printer, window());
  connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) {
    try {
      PrintViews(*p);
    } catch (const std::exception& e) {
      ShowError(QString::fromStdString(e.what()));
    }
  });
  presenter_.ShowModal(preview);
}

void QueryArea::SaveAsPdf() {
  if (NothingToPrint()) return;
  const QString path = presenter_.ChooseSaveFile(window(), SaveFileKind::Pdf);
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

void QueryArea::ShowError(const QString& message) { presenter_.Error(window(), message); }

}  // namespace eklz::app
