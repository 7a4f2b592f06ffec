#include "app/pages/Page.h"

#include <QDateTime>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QWidget>

#include <stdexcept>
#include <string>
#include <string_view>

#include "app/Presenter.h"
#include "commands/Common.h"

namespace eklz::app {

namespace {

std::vector<Page> CollectPages() {
  std::vector<Page> pages;
  for (auto group : {DocumentPages, ReportPages, ServicePages, AutotestPages, UndocumentedPages}) {
    for (Page& p : group()) pages.push_back(std::move(p));
  }
  for (Page& p : pages) {
    p.panel = p.layout.name;
    // The numeric form of a form choice is the page's own code.
    if (p.layout.formChoice) p.layout.formChoice->code = p.code;
    if (p.sharesPanel) {
      bool found = false;
      for (const Page& q : pages) {
        if (&q == &p) break;
        found = found || (!q.sharesPanel && std::string_view(q.layout.name) == p.layout.name);
      }
      if (!found) throw std::logic_error(std::string("no earlier page builds panel ") + p.layout.name);
    }
  }
  return pages;
}

}  // namespace

const std::vector<Page>& Pages() {
  static const std::vector<Page> kPages = CollectPages();
  return kPages;
}

const std::vector<PanelSpec>& PanelTable() {
  static const std::vector<PanelSpec> kPanels = [] {
    std::vector<PanelSpec> panels;
    for (const Page& p : Pages()) {
      if (!p.sharesPanel) panels.push_back(p.layout);
    }
    return panels;
  }();
  return kPanels;
}

Page GroupPage(int group, const char* caption, const char* handler, uint8_t code, const char* help) {
  Page p;
  p.group = group;
  p.caption = caption;
  p.handler = handler;
  p.code = code;
  p.helpPage = help;
  return p;
}

PageRun FindPageRun(uint8_t code) {
  for (const Page& p : Pages()) {
    if (!p.prepare) continue;
    if (p.code == code) return {&p, false};
    if (p.layout.formChoice && FormCode(p.code, true) == code) return {&p, true};
  }
  return {};
}

PreparedRun Run(std::function<void(EklzSession&)> op) { return {std::move(op), {}, {}}; }

PrepareRun PlainRun(std::function<void(EklzSession&, bool, bool)> op) {
  return [op](const DispatchContext& c, bool) {
    return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) { op(s, q, l); });
  };
}

PrepareRun FormQueryRun(std::function<void(EklzSession&, bool, bool, bool)> op) {
  return [op](const DispatchContext& c, bool textForm) {
    return Run([=, q = c.quiet, l = c.logExchange](EklzSession& s) { op(s, textForm, q, l); });
  };
}

PrepareRun ShiftQueryRun(std::function<void(EklzSession&, bool, int, bool, bool)> op,
                         const char* shiftField) {
  return [op, shiftField](const DispatchContext& c, bool textForm) {
    const int shift = c.fields.Int(shiftField);
    return Run(
        [=, q = c.quiet, l = c.logExchange](EklzSession& s) { op(s, textForm, shift, q, l); });
  };
}

void ChooseDumpFile(QWidget& panel, MessagePresenter& presenter, const char* field, SaveFileKind kind) {
  const QString path = presenter.ChooseSaveFile(&panel, kind);
  if (!path.isEmpty()) panel.findChild<QLineEdit*>(field)->setText(ShownPath(path));
}

namespace {
// The value a date or time field was last given by the clock.
constexpr const char* kClockValue = "eklzClockValue";
}  // namespace

void SetNow(QWidget& panel, const char* dateField, const char* timeField) {
  const QDateTime now = QDateTime::currentDateTime();
  // A field still showing what the clock put there follows it; a value the
  // operator set stays.
  auto follow = [](QDateTimeEdit* field, const std::function<void(QDateTimeEdit&)>& set) {
    if (!field) return;
    const QVariant clock = field->property(kClockValue);
    if (clock.isValid() && clock.toDateTime() != field->dateTime()) return;
    set(*field);
    field->setProperty(kClockValue, field->dateTime());
  };
  follow(panel.findChild<QDateTimeEdit*>(dateField), [&](QDateTimeEdit& d) { d.setDate(now.date()); });
  follow(panel.findChild<QDateTimeEdit*>(timeField), [&](QDateTimeEdit& t) { t.setTime(now.time()); });
}

}  // namespace eklz::app
