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

namespace {
constexpr int kDocs = 0, kReports = 1, kServis = 2, kAuto = 3, kNoInDoc = 4;
using E = ExtraStep;
}  // namespace

const std::vector<CatalogueItem>& Catalogue() {
  static const std::vector<CatalogueItem> kItems = {
      {kDocs, "Продажа", "grDocsItems0Click", 0x10, "pnSale", "Docs/Продажа.htm", false, E::None},
      {kDocs, "Покупка", "grDocsItems1Click", 0x11, "pnBuy", "Docs/Покупка.htm", false, E::None},
      {kDocs, "Возврат продажи", "grDocsItems2Click", 0x12, "pnReturnSale",
       "Docs/Возврат продажи.htm", false, E::None},
      {kDocs, "Возврат покупки", "grDocsItems3Click", 0x13, "pnReturnBuy",
       "Docs/Возврат покупки.htm", false, E::None},
      {kDocs, "Скидка", "grDocsItems4Click", 0x16, "pnDiscount", "Docs/Скидка.htm", false, E::None},
      {kDocs, "Наценка", "grDocsItems5Click", 0x17, "pnMargin", "Docs/Наценка.htm", false, E::None},
      {kDocs, "Сторно", "grDocsItems6Click", 0x18, "pnStorno", "Docs/Сторно.htm", false, E::None},
      {kDocs, "Завершение документа", "grDocsItems7Click", 0x19, "pnFinishDoc",
       "Docs/Завершение документа.htm", false, E::FinishDocNow},
      {kDocs, "Отмена действия", "grDocsItems8Click", 0x06, "pnAbort", "Docs/Прекращение.htm",
       false, E::None},
      {kReports, "Запрос регистрационного номера", "grReportsItems0Click", 0x14, "pnAskSN",
       "Docs/Запрос регистрационного номера ЭКЛЗ.htm", false, E::None},
      {kReports, "Запрос итога активизации", "grReportsItems1Click", 0x24, "pnAskResultOfActivate",
       "Docs/Запрос итога активизации.htm", false, E::None},
      {kReports, "Запрос контрольной ленты", "grReportsItems2Click", 0x20, "pnAskControlTape",
       "Docs/Запрос контрольной ленты.htm", false, E::None},
      {kReports, "Запрос документа", "grReportsItems3Click", 0x21, "pnAskDoc",
       "Docs/Запрос документа.htm", false, E::None},
      {kReports, "Запрос итогов смены", "grReportsItems4Click", 0x23, "pnAskResultOfSession",
       "Docs/Запрос итогов смены.htm", false, E::None},
      {kReports, "Запрос отчета", "grReportsItems5Click", 0x22, "pnAskReport",
       "Docs/Запрос отчета.htm", false, E::ReportDefaults},
      {kReports, "Запрос данных отчета", "grReportsItems6Click", 0x05, "pnAskReportData",
       "Docs/Запрос данных отчёта.htm", true, E::None},
      {kServis, "Закрытие смены", "grServisItems0Click", 0x09, "pnCloseSession",
       "Docs/Закрытие смены.htm", false, E::CloseShiftNow},
      {kServis, "Запрос состояния ЭКЛЗ", "grServisItems1Click", 0x07, "pnAskStatus",
       "Docs/Запрос состояния ЭКЛЗ.htm", false, E::None},
      {kServis, "Ввод произвольного текста", "grServisItems2Click", 0x04, "pnSomeText",
       "Docs/Произвольный текст.htm", false, E::None},
      {kServis, "Установка параметров обмена", "grServisItems3Click", 0x02, "pnSetExchangeParams",
       "Docs/Установка параметров обмена.htm", false, E::None},
      {kServis, "Активизация ЭКЛЗ", "grServisItems4Click", 0x01, "pnActivate",
       "Docs/Активизация.htm", false, E::ActivateNow},
      {kServis, "Проверка целостности архива", "grServisItems5Click", 0x08, "pnTest",
       "Docs/Тест.htm", false, E::None},
      {kServis, "Запрос дампа архива", "grServisItems6Click", 0x03, "pnAskDumpArchiv",
       "Docs/Запрос дампа архива.htm", false, E::None},
      {kServis, "Закрытие архива", "grServisItems7Click", 0x0A, "pnCloseArchiv",
       "Docs/Закрытие архива.htm", false, E::None},
      {kServis, "Инициализация архива", "grServisItems8Click", 0x26, "pnInitArchiv",
       "Docs/Инициализация архива.htm", true, E::None},
      {kServis, "Снятия флага \"Закрытие архива\"", "grServisItems9Click", 0x40,
       "pnCancelCloseArhiv", "Docs/Снятие флага закрытия архива.htm", false, E::None},
      {kAuto, "Массовое создание документов ", "grAutoItems0Click", 0xFF, "pnAutoCreateDocs",
       "Docs/Добавление документов.htm", false, E::SeedRandom},
      {kAuto, "Тестирование ЭКЛЗ", "grAutoItems1Click", 0xFD, "pnAutoTest",
       "Docs/Автотестирование.htm", false, E::None},
      {kAuto, "Весь дамп архива", "grAutoItems2Click", 0xFC, "pnAllDump", "Docs/Весь дамп.htm",
       false, E::None},
      {kAuto, "Заявка на ремонт в Дорнал", "grAutoItems3Click", 0xFB, "pnRequestDornal",
       "Docs/Заявка в Дорнал.htm", false, E::RepairRequest},
      {kNoInDoc, "Инициализация архива", "grServisItems8Click", 0x26, "pnInitArchiv",
       "Docs/Инициализация архива.htm", false, E::None},
      {kNoInDoc, "Запрос заводского номера криптопроцессора", "grNoInDocItems0Click", 0x39,
       "pnAskSerNumRIK", "Docs/Номер криптопроцессора.htm", false, E::None},
      {kNoInDoc, "Запрос версии ЭКЛЗ", "grNoInDocItems1Click", 0x2A, "pnAskVersion",
       "Docs/Версия ЭКЛЗ.htm", false, E::None},
      {kNoInDoc, "Команда, которую вы можете сделать сами", "grNoInDocItems2Click", 0xFE,
       "pnSomeComand", "Docs/Произвольная команда.htm", false, E::GridChecksum},
      {kNoInDoc, "Часть дампа какого то проца? (0х3D)", "k", 0x3D, "pnAskDumpProc",
       "Docs/Дамп процессора.htm", false, E::None},
      {kNoInDoc, "Текущий номер КПК", "grNoInDocItems5Click", 0x3C, "pnGetCurKPK",
       "Docs/Текущий номер КПК.htm", false, E::None},
  };
  return kItems;
}

const CatalogueItem& SaleItem() { return Catalogue().front(); }

}  // namespace eklz::app
