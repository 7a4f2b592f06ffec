// The query area: the tab with the parameter panels (one per page) and
// "Выполнить" at its top right, and the result and protocol views with their
// histories, saving and printing. It knows the command the panel up runs and
// builds that command's run from the panel's own fields.
#pragma once

#include <QSet>
#include <QStringList>
#include <QTabWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "app/Dispatcher.h"
#include "app/Views.h"
#include "app/Worker.h"
#include "commands/Arbitrary.h"

class QPrinter;
class QPushButton;
class QStackedWidget;

namespace eklz {
class ClockSeededRandom;
}

namespace eklz::app {

class CommandGridPanel;
class MessagePresenter;
struct Page;

class QueryArea : public QTabWidget {
  Q_OBJECT
 public:
  QueryArea(MessagePresenter& presenter, QWidget* parent);
  ~QueryArea() override;

  // Connects each panel's form choice and its own handlers (once).
  void ConnectPanels();
  // Whatever text the job runner still holds is taken into the views before
  // they are read (saved, printed, moved to the histories).
  void SetPendingOutput(std::function<void()> flush) { flushPending_ = std::move(flush); }

  // The panel of `page` on the stack.
  QWidget& PagePanel(const Page& page) const;
  QWidget& ParamsTab() const { return *paramsTab_; }
  // The command "Выполнить" runs: the code of the page up, in the form its
  // panel shows as chosen.
  uint8_t CurrentCmd() const { return currentCmd_; }

  // Raises the panel of `page` on the parameters tab with the page's steps
  // around it; the views' tabs are hidden until the next run.
  void ShowPage(const Page& page);
  // "Выполнить" is enabled while this is true and the parameters tab is up.
  void SetRunAllowed(bool allowed);
  // The keys that run the current command as "Выполнить" does (Enter in a
  // field of the panel, Ctrl+Enter and F9 in the window): from a view's tab
  // the parameters tab comes up first. Nothing while a run is in flight.
  void RunFromKeyboard();

  // The start of a run: the views go to the histories and show empty.
  void StartRunViews();
  // The run of the current command from its panel's fields; nothing for a
  // code without a run; `kkm` is what the queries learned so far of the cash
  // register. Raises what a field's conversion raises.
  std::optional<PreparedRun> PrepareRun(bool quiet, bool logExchange, const KkmParticulars& kkm);

  // The program's start: empty histories, the command grid as at start-up.
  void ResetForStart();

  // What a job wrote, appended to the views.
  void AppendOutput(const WindowSink::Batch& batch);
  // Lines that end a job (its failure or what a stop left) in the result view.
  void AppendResultLines(const QStringList& lines);

  bool ViewsEmpty() const;
  // The lines the histories hold, read back.
  QStringList ResultHistory() const { return resultHistory_.Lines(); }
  QStringList ProtocolHistory() const { return protocolHistory_.Lines(); }

  enum class SaveResult { Saved, Cancelled, Failed };
  // The save dialog, then both views' histories into the pair of files.
  SaveResult SaveViews();
  // The print button, its preview and its PDF file.
  void Print();
  void PrintPreview();
  void SaveAsPdf();
  // Renders both views onto `printer`.
  void PrintViews(QPrinter& printer);

 signals:
  // "Выполнить" was pressed.
  void execRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* BuildParamsTab();
  void MoveViewsToHistories();
  void UpdateExecButton();
  bool NothingToPrint();
  void ShowError(const QString& message);

  MessagePresenter& presenter_;
  std::function<void()> flushPending_;
  QWidget* paramsTab_ = nullptr;
  QStackedWidget* panels_ = nullptr;
  QPushButton* execQuery_ = nullptr;
  LogView* result_ = nullptr;
  LogView* protocol_ = nullptr;
  CommandGridPanel* gridPanel_ = nullptr;

  uint8_t currentCmd_ = 0;
  bool runAllowed_ = true;
  QSet<const QWidget*> shownPanels_;  // raised at least once
  ViewHistory resultHistory_;
  ViewHistory protocolHistory_;
  std::shared_ptr<ClockSeededRandom> random_;
  CommandGrid commandGrid_;
};

}  // namespace eklz::app
