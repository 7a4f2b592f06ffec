// The pages on their own: each page builds its run from its own panel, built
// alone, and a field name a panel does not hold fails loudly instead of
// reading another panel.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSet>
#include <QWidget>

#include <memory>
#include <stdexcept>

#include "app/Dispatcher.h"
#include "app/Fields.h"
#include "app/Presenter.h"
#include "app/pages/Page.h"
#include "procedures/MassDocuments.h"

namespace eklz::test {
namespace {

using app::Page;

// Every empty number and digit field takes a value it accepts, so that a
// page's conversions all succeed and every field it names is looked up.
void FillValid(QWidget& panel) {
  for (auto* edit : panel.findChildren<app::IntegerEdit*>()) edit->SetValue(edit->Minimum());
  for (auto* edit : panel.findChildren<QLineEdit*>()) {
    if (!edit->inputMask().isEmpty()) edit->setText("1");
  }
}

TEST(Pages, EveryPageBuildsItsRunFromItsOwnPanelAlone) {
  app::MessagePresenter presenter;
  int runs = 0;
  for (const Page& page : app::Pages()) {
    if (page.sharesPanel) continue;
    SCOPED_TRACE(page.panel);
    std::unique_ptr<QWidget> panel(app::BuildPanel(page.layout, nullptr));
    if (page.connect) page.connect(*panel, presenter);
    if (page.beforeSelect) page.beforeSelect(*panel);
    if (page.firstSelect) page.firstSelect(*panel);
    FillValid(*panel);
    if (!page.prepare) continue;
    const app::PanelFields fields(*panel);
    for (bool textForm : {false, true}) {
      if (textForm && !page.layout.formChoice) continue;
      const app::DispatchContext context{fields, true, false, std::make_shared<ClockSeededRandom>(), "", nullptr, {}};
      app::PreparedRun run;
      EXPECT_NO_THROW(run = page.prepare(context, textForm)) << "text form " << textForm;
      EXPECT_TRUE(run.operation);
      ++runs;
    }
  }
  // Every command of the task list but the hidden report data has a run.
  EXPECT_GE(runs, 40);
}

TEST(Pages, EveryRunnableCodeFindsItsPageAndForm) {
  struct Case {
    uint8_t code;
    const char* panel;
    bool textForm;
  } cases[] = {{0x10, "pnSale", false},          {0x94, "pnAskSN", true},
               {0x22, "pnAskReport", false},     {0xA2, "pnAskReport", true},
               {0x26, "pnInitArchiv", false},    {app::procedure::kRepairRequest, "pnRequestDornal", false},
               {app::procedure::kMassDocuments, "pnAutoCreateDocs", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    const app::PageRun found = app::FindPageRun(c.code);
    ASSERT_NE(found.page, nullptr);
    EXPECT_STREQ(found.page->panel, c.panel);
    EXPECT_EQ(found.textForm, c.textForm);
  }
  // Without a run: the hidden report data, a text form of a command without one.
  for (uint8_t code : {0x05, 0x90, 0x00}) EXPECT_EQ(app::FindPageRun(code).page, nullptr) << int(code);
}

// The window keeps every panel on one tab and some of its handlers look
// fields up there: no two panels may hold a field of the same name.
TEST(Pages, EveryWidgetNameBelongsToOnePanel) {
  QSet<QString> names;
  for (const app::PanelSpec& layout : app::PanelTable()) {
    SCOPED_TRACE(layout.name);
    std::vector<const char*> own{layout.name};
    for (const app::FieldSpec& f : layout.fields) {
      if (*f.name) own.push_back(f.name);
    }
    if (layout.formChoice) {
      own.push_back(layout.formChoice->digits);
      own.push_back(layout.formChoice->text);
    }
    for (const char* name : own) {
      EXPECT_FALSE(names.contains(name)) << name;
      names.insert(name);
    }
  }
}

TEST(Pages, AFieldNameThePanelDoesNotHoldFailsInsteadOfReadingAnother) {
  QWidget tab;
  const Page* sale = app::FindPageRun(0x10).page;
  const Page* buy = app::FindPageRun(0x11).page;
  ASSERT_TRUE(sale && buy);
  QWidget* salePanel = app::BuildPanel(sale->layout, &tab);
  app::BuildPanel(buy->layout, &tab);
  const app::PanelFields fields(*salePanel);
  EXPECT_THROW(fields.Float("edBuySum"), std::logic_error);
  EXPECT_THROW(fields.Text("noSuchField"), std::logic_error);
  // A field of another kind than the reading asks for fails as loudly.
  EXPECT_THROW(fields.State("edSaleSum"), std::logic_error);
  EXPECT_NO_THROW(fields.Float("edSaleSum"));
}

}  // namespace
}  // namespace eklz::test
