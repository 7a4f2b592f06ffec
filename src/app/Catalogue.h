// The task list: its five groups and its items, one per page (app/pages).
#pragma once

#include <vector>

#include "app/pages/Page.h"

namespace eklz::app {

// The five task-list groups in display order.
struct TaskGroup {
  const char* name;     // objectName, e.g. "grDocs"
  const char* caption;  // "Документы"
  int settingsIndex;    // "Group N" section of the settings, -1: not kept
};

// A task-list item is its page.
using CatalogueItem = Page;

const std::vector<TaskGroup>& TaskGroups();
// Every item in display order (hidden items included).
const std::vector<CatalogueItem>& Catalogue();

// The row of the sale, the command that start-up selects.
const CatalogueItem& SaleItem();

}  // namespace eklz::app
