// The pages of the group "Документы": the items of a document, its storno,
// its completion and the abort.
#include <QComboBox>

#include "app/pages/Page.h"
#include "commands/Documents.h"
#include "commands/Limits.h"
#include "codec/CommandCodes.h"

namespace eklz::app {

namespace {

using ItemOperation = std::string (*)(EklzSession&, uint8_t, double, double, bool, bool);

// A document item: department, quantity and sum, sent by `op`.
Page ItemPage(const char* caption, const char* handler, uint8_t code, const char* help,
              const char* panel, const char* title, const char* codeLabel, ItemOperation op,
              const char* dep, const char* count, const char* sum) {
  Page p = GroupPage(kDocuments, caption, handler, code, help);
  p.layout = {panel, title, codeLabel,
              {field::Int(dep, "Отдел", kDepartmentRange, 1), field::Dec(count, "Количество", kQuantityLimit),
               field::Dec(sum, "Сумма", kSumLimit)}};
  p.prepare = [=](const DispatchContext& c, bool) {
    const uint8_t department = c.fields.Nearest(dep);
    const double quantity = static_cast<double>(c.fields.Float(count));
    const double amount = static_cast<double>(c.fields.Float(sum));
    return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
      op(s, department, quantity, amount, q, l);
    });
  };
  return p;
}

// An amount alone (discount, margin), sent by `op`.
Page AmountPage(const char* caption, const char* handler, uint8_t code, const char* help,
                const char* panel, const char* title, const char* codeLabel,
                std::string (*op)(EklzSession&, double, bool, bool), const char* sumField,
                const AmountLimit& limit) {
  Page p = GroupPage(kDocuments, caption, handler, code, help);
  p.layout = {panel, title, codeLabel, {field::Dec(sumField, "Сумма", limit)}};
  p.prepare = [=](const DispatchContext& c, bool) {
    const double sum = static_cast<double>(c.fields.Float(sumField));
    return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) { op(s, sum, q, l); });
  };
  return p;
}

Page StornoPage() {
  static constexpr const char* kDoc = "cbStornoDoc";
  static constexpr const char* kDep = "edStornoDepNum";
  static constexpr const char* kCount = "edStornoCnt";
  static constexpr const char* kSum = "edStornoSum";
  Page p = GroupPage(kDocuments, "Сторно", "grDocsItems6Click", code::kStorno, "Docs/Сторно.htm");
  p.layout = {"pnStorno", "Выполнить сторно", "Код команды: 0x18",
              {field::List(kDoc, "Сторнируемая команда",
                           {"Продажа", "Покупка", "Возврат продажи", "Возврат покупки", "Скидка", "Наценка"}, 0),
               field::Int(kDep, "Отдел", kDepartmentRange, 1), field::Dec(kCount, "Количество", kQuantityLimit),
               field::Dec(kSum, "Сумма", kSumLimit)}};
  p.prepare = [](const DispatchContext& c, bool) {
    const uint8_t reversed =
        static_cast<uint8_t>((c.fields.Enabled(kCount) ? 16 : 18) + c.fields.Index(kDoc));
    const uint8_t department = c.fields.Nearest(kDep);
    const double sum = static_cast<double>(c.fields.Float(kSum));
    const double quantity = static_cast<double>(c.fields.Float(kCount));
    return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
      DoStorno(s, reversed, department, sum, quantity, q, l);
    });
  };
  // cbStornoDocChange: department and quantity belong to the first four items only.
  p.connect = [](QWidget& panel, MessagePresenter&) {
    auto* doc = panel.findChild<QComboBox*>(kDoc);
    QObject::connect(doc, &QComboBox::currentIndexChanged, &panel, [&panel](int index) {
      const bool item = index >= 0 && index < 4;
      panel.findChild<QWidget*>(kDep)->setEnabled(item);
      panel.findChild<QWidget*>(kCount)->setEnabled(item);
    });
  };
  return p;
}

Page FinishDocumentPage() {
  static constexpr const char* kDate = "dteFinishDocDate";
  static constexpr const char* kTime = "dteFinishDocTime";
  static constexpr const char* kOperator = "edFinishDocCodeOfOperator";
  Page p = GroupPage(kDocuments, "Завершение документа", "grDocsItems7Click", code::kComplete, "Docs/Завершение документа.htm");
  p.layout = {"pnFinishDoc", "Выполнить завершение документа", "Код команды: 0x19",
              {field::Date(kDate, "Дата"), field::Time(kTime, "Время"),
               field::Int(kOperator, "Код оператора", kOperatorRange, 1)},
              FormChoice{"rbAskFinishDocDigits", "rbAskFinishDocTxt"}};
  p.prepare = [](const DispatchContext& c, bool textForm) {
    const uint8_t op = c.fields.Nearest(kOperator);
    const CalendarDate date = c.fields.Date(kDate);
    const ClockTime time = c.fields.Time(kTime);
    return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) {
      DoFinishDocument(s, textForm, op, date, time, q, l);
    });
  };
  p.beforeSelect = [](QWidget& panel) { SetNow(panel, kDate, kTime); };
  return p;
}

Page AbortPage() {
  Page p = GroupPage(kDocuments, "Отмена действия", "grDocsItems8Click", code::kAbort, "Docs/Прекращение.htm");
  p.layout = {"pnAbort", "Выполнить отмену документа или отчёта", "Код команды: 0x06", {}};
  p.prepare = PlainRun(DoAbort);
  return p;
}

}  // namespace

std::vector<Page> DocumentPages() {
  return {
      ItemPage("Продажа", "grDocsItems0Click", code::kSale, "Docs/Продажа.htm", "pnSale",
               "Выполнить продажу", "Код команды: 0x10", DoSale, "edSaleDepNum", "edSaleCnt", "edSaleSum"),
      ItemPage("Покупка", "grDocsItems1Click", code::kPurchase, "Docs/Покупка.htm", "pnBuy",
               "Выполнить покупку", "Код команды: 0x11", DoBuy, "edBuyDepNum", "edBuyCnt", "edBuySum"),
      ItemPage("Возврат продажи", "grDocsItems2Click", code::kSaleReturn, "Docs/Возврат продажи.htm",
               "pnReturnSale", "Выполнить возврат продажи", "Код команды: 0x12", DoReturnSale,
               "edReturnSaleDepNum", "edReturnSaleCnt", "edReturnSaleSum"),
      ItemPage("Возврат покупки", "grDocsItems3Click", code::kPurchaseReturn, "Docs/Возврат покупки.htm",
               "pnReturnBuy", "Выполнить возврат покупки", "Код команды: 0x13", DoReturnBuy,
               "edReturnBuyDepNum", "edReturnBuyCnt", "edReturnBuySum"),
      AmountPage("Скидка", "grDocsItems4Click", code::kDiscount, "Docs/Скидка.htm", "pnDiscount",
                 "Выполнить скидку", "Код команды: 0x16", DoDiscount, "edDiscountSum", kDiscountLimit),
      AmountPage("Наценка", "grDocsItems5Click", code::kMarkup, "Docs/Наценка.htm", "pnMargin",
                 "Выполнить наценку", "Код команды: 0x17", DoMargin, "edMarginSum", kMarginLimit),
      StornoPage(),
      FinishDocumentPage(),
      AbortPage(),
  };
}

}  // namespace eklz::app
