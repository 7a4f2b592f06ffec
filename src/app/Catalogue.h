// The command catalogue of the task list: one row per item with its code,
// parameter panel, help page and the extra steps its selection runs.
#pragma once

#include <cstdint>
#include <vector>

namespace eklz::app {

// The five task-list groups in display order.
struct TaskGroup {
  const char* name;     // objectName, e.g. "grDocs"
  const char* caption;  // "Документы"
  int settingsIndex;    // "Group N" section of the settings, -1: not kept
};

// Steps that some selections run besides the common ones.
enum class ExtraStep {
  None,
  FinishDocNow,      // before: the finish-document date and time set to now
  CloseShiftNow,     // before: the close-shift date and time set to now
  ActivateNow,       // before: the activation date and time set to now
  ReportDefaults,    // after: report dates today, fifth report type, shift fields disabled
  SeedRandom,        // before: the mass-documents generator reseeded from the clock
  RepairRequest,     // between: the repair memos and serial cleared; after: check date today
  GridChecksum,      // after: the checksum cell of the command grid recomputed
};

struct CatalogueItem {
  int group;             // index into TaskGroups()
  const char* caption;   // task-list caption
  const char* handler;   // name of the item's click handler
  uint8_t code;          // CurrentCmd after the selection
  const char* panel;     // objectName of the raised panel
  const char* helpPage;  // path relative to the program folder
  bool hidden;
  ExtraStep extra;
};

const std::vector<TaskGroup>& TaskGroups();
// Every item in display order (hidden items included).
const std::vector<CatalogueItem>& Catalogue();

// The row of the sale, the command that start-up selects.
const CatalogueItem& SaleItem();

}  // namespace eklz::app
