#include "app/Catalogue.h"

namespace eklz::app {

const std::vector<TaskGroup>& TaskGroups() {
  static const std::vector<TaskGroup> kGroups = {
      {"grDocs", "Документы", 0},
      {"grReports", "Отчёты", 2},
      {"grServis", "Сервис", 1},
      {"grAuto", "Автотестирование", -1},
      {"grNoInDoc", "Недокументированные функции", -1},
  };
  return kGroups;
}

const std::vector<CatalogueItem>& Catalogue() { return Pages(); }

const CatalogueItem& SaleItem() { return Catalogue().front(); }

}  // namespace eklz::app
