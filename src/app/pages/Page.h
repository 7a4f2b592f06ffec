// One page per task-list item: everything the window knows of one command in
// one place. A page is its task-list row (group, caption, code, help page,
// hidden or not), its parameter panel (title, code label, fields, form
// choice), how the panel's fields become the arguments of its core call, and
// the steps that choosing it runs on the panel. The pages are declared in one
// file per task-list group; a widget name is written once, in its page.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "app/Dispatcher.h"
#include "app/Panels.h"
#include "settings/SettingsRecord.h"

class QWidget;

namespace eklz::app {

class MessagePresenter;
enum class SaveFileKind;

// The codes of the window's own procedures, above the EKLZ command codes.
namespace procedure {
inline constexpr uint8_t kRepairRequest = 0xFB, kFullDump = 0xFC, kAutotest = 0xFD,
                         kArbitraryCommand = 0xFE, kMassDocuments = 0xFF;
}

// The task-list groups, as indices into TaskGroups().
enum PageGroup : int { kDocuments = 0, kReports = 1, kService = 2, kAutotest = 3, kUndocumented = 4 };

// Steps of a selection that touch the window rather than the panel.
enum class WindowStep {
  None,
  SeedRandom,    // before: the mass-documents generator reseeded from the clock
  GridChecksum,  // after: the checksum cell of the command grid recomputed
};

// Builds the run of the page from its own panel's fields; `textForm` is the
// form the panel's form choice shows as chosen (false for a page without one).
using PrepareRun = std::function<PreparedRun(const DispatchContext&, bool textForm)>;
// A step on the page's own panel.
using PanelStep = std::function<void(QWidget& panel)>;
// The panel's own handlers; `presenter` asks the operator (file dialogs).
using PanelConnect = std::function<void(QWidget& panel, MessagePresenter& presenter)>;

struct Page {
  int group = kDocuments;
  const char* caption = "";   // task-list caption
  const char* handler = "";   // name of the item's click handler
  uint8_t code = 0;           // CurrentCmd after the selection (the numeric form)
  const char* helpPage = "";  // path relative to the program folder
  bool hidden = false;
  PanelSpec layout;             // the panel; layout.name is its objectName
  PrepareRun prepare;         // empty: the code has no run
  PanelStep beforeSelect;     // before the panel is raised
  // After the panel is raised and the code set, the first time only: later
  // selections find the panel as the operator left it.
  PanelStep firstSelect;
  PanelConnect connect;       // the panel's own handlers, once, when it is built
  WindowStep windowStep = WindowStep::None;
  bool sharesPanel = false;   // the panel is built by an earlier page of the same name
  const char* panel = "";     // = layout.name, filled in by Pages()
};

// Every page in task-list order, hidden ones included.
const std::vector<Page>& Pages();
// The pages of each group, in their order.
std::vector<Page> DocumentPages();
std::vector<Page> ReportPages();
std::vector<Page> ServicePages();
std::vector<Page> AutotestPages();
std::vector<Page> UndocumentedPages();
// The page whose panel the hidden service row and the undocumented row share.
Page InitArchivePage();

// The page that runs `code` and whether `code` is its text form; nullptr for
// a code without a run.
struct PageRun {
  const Page* page = nullptr;
  bool textForm = false;
};
PageRun FindPageRun(uint8_t code);

// The report panel enables the range fields its report type uses.
void ReportTypeChanged(QWidget& panel);

// --- Helpers of the page files ----------------------------------------------------

// A page of task-list group `group` with its catalogue row; the page file
// adds the panel and the steps.
Page GroupPage(int group, const char* caption, const char* handler, uint8_t code, const char* help);

// A run that only calls `op` on the worker thread.
PreparedRun Run(std::function<void(EklzSession&)> op);
// The core calls below return their result text (and what a query learns);
// the window shows the result lines the calls write and keeps the learned
// particulars through its output sink, so the returned value is not used.
// A command or query without fields.
PrepareRun PlainRun(std::function<void(EklzSession&, bool, bool)> op);
// A query in the numeric or the text form.
PrepareRun FormQueryRun(std::function<void(EklzSession&, bool, bool, bool)> op);
// A query of one shift in the numeric or the text form.
PrepareRun ShiftQueryRun(std::function<void(EklzSession&, bool, int, bool, bool)> op,
                         const char* shiftField);
// The save dialog of dump files puts the chosen path into the panel's text
// field `field`; cancelling changes nothing.
// `kind` is the dialog's: Dump confirms an existing file, FullDump does not.
void ChooseDumpFile(QWidget& panel, MessagePresenter& presenter, const char* field, SaveFileKind kind);
// The full dump's panel takes its file, raise box and rate from the window's
// record at start-up, and gives them back (the file as an absolute path)
// before the record is saved.
void ShowFullDumpChoices(QWidget& panel, const WindowSettings& w);
void KeepFullDumpChoices(const QWidget& panel, WindowSettings& w);
// The date and time fields of a panel set to now, unless the operator has
// set them since the clock did.
void SetNow(QWidget& panel, const char* dateField, const char* timeField);

}  // namespace eklz::app
