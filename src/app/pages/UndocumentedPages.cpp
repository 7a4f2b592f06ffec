// The pages of the group "Недокументированные функции": the commands the
// device answers beyond its documentation and the arbitrary command.
#include <QAbstractButton>
#include <QSpinBox>
#include <QTableWidget>

#include "app/CommandGridPanel.h"
#include "app/pages/Page.h"
#include "commands/Arbitrary.h"
#include "commands/Information.h"
#include "codec/CommandCodes.h"

namespace eklz::app {

namespace {

Page UndocumentedPage(const char* caption, const char* handler, uint8_t code, const char* help) {
  return GroupPage(kUndocumented, caption, handler, code, help);
}

constexpr const char* kGrid = "StringGrid1";
constexpr const char* kLength = "edSomeComandLen";

Page ArbitraryCommandPage() {
  static constexpr const char* kDigits = "rbSomeComandDigits";
  static constexpr const char* kText = "rbSomeComandTXT";
  static constexpr const char* kMultiFragment = "cbSomeComandMultifrag";
  static constexpr const char* kNoData = "cbSomeComandSimpAnsv";
  static constexpr const char* kParse = "cbSomeComandParseFrag";
  Page p = UndocumentedPage("Команда, которую вы можете сделать сами", "grNoInDocItems2Click",
                            procedure::kArbitraryCommand, "Docs/Произвольная команда.htm");
  p.layout = {"pnSomeComand", "Выполнить произвольную команду", nullptr,
              {field::Radio(kDigits, "В числовой форме").Checked(),
               field::Radio(kText, "В текстовой форме"),
               field::Spin(kLength, "Длина команды в байтах:", 1, 100, 1, 1),
               field::Grid(kGrid).Named("Кадр команды"), field::Caption("В предполагаемом ответе:"),
               field::Check(kMultiFragment, "Несколько фрагментов"),
               field::Check(kNoData, "ЭКЛЗ не возвращает ни какой информации "),
               field::Check(kParse, "Ответ ввиде не текстовых фрагментов, которые нужно разобрать")}};
  p.prepare = [](const DispatchContext& c, bool) {
    const bool textForm = c.fields.State(kText);
    const bool multi = c.fields.State(kMultiFragment);
    const bool noData = c.fields.State(kNoData);
    const bool parse = c.fields.State(kParse);
    return Run([=, frame = c.commandGrid, q = c.quiet, l = c.logExchange](EklzSession& s) {
      RunArbitraryCommand(s, textForm, frame, multi, noData, parse, q, l);
    });
  };
  p.windowStep = WindowStep::GridChecksum;
  // rbSomeComandTXTClick: a text-form reply has no fragments to parse.
  p.connect = [](QWidget& panel, MessagePresenter&) {
    for (const char* name : {kDigits, kText}) {
      QObject::connect(panel.findChild<QAbstractButton*>(name), &QAbstractButton::clicked, &panel, [&panel] {
        panel.findChild<QWidget*>(kParse)->setEnabled(!panel.findChild<QAbstractButton*>(kText)->isChecked());
      });
    }
  };
  return p;
}

}  // namespace

QTableWidget& CommandGridTable(QWidget& panel) { return *panel.findChild<QTableWidget*>(kGrid); }
QSpinBox& CommandLengthSpinner(QWidget& panel) { return *panel.findChild<QSpinBox*>(kLength); }

std::vector<Page> UndocumentedPages() {
  Page initArchive = InitArchivePage();
  initArchive.group = kUndocumented;
  initArchive.sharesPanel = true;

  Page crypto = UndocumentedPage("Запрос заводского номера криптопроцессора", "grNoInDocItems0Click",
                                 code::kCryptoSerial, "Docs/Номер криптопроцессора.htm");
  crypto.layout = {"pnAskSerNumRIK", "Выполнить запрос заводского номера криптопроцессора", "Код команды: 0x39", {}};
  crypto.prepare = PlainRun(AskCryptoSerial);

  Page version = UndocumentedPage("Запрос версии ЭКЛЗ", "grNoInDocItems1Click", code::kVersion,
                                  "Docs/Версия ЭКЛЗ.htm");
  version.layout = {"pnAskVersion", "Запрос версии ЭКЛЗ", "Код команды: 0x2A (0xAA)", {},
                  FormChoice{"rbAskVersionDigits", "rbAskVersionTXT"}};
  version.prepare = FormQueryRun(AskVersion);

  Page processorDump = UndocumentedPage("Часть дампа какого то проца? (0х3D)", "k", code::kProcessorDump,
                                        "Docs/Дамп процессора.htm");
  processorDump.layout = {"pnAskDumpProc", "Часть дампа одного из процессоров (?) ",
                          "Код команды: 0x3D (начиная с ЭКЛЗ2)", {}};
  processorDump.prepare = PlainRun(AskProcessorDump);

  Page kpk = UndocumentedPage("Текущий номер КПК", "grNoInDocItems5Click", code::kCurrentKpk,
                              "Docs/Текущий номер КПК.htm");
  kpk.layout = {"pnGetCurKPK", "Взятие номера текщего КПК", "Код команды: 0x3С", {}};
  kpk.prepare = PlainRun(AskCurrentKpk);

  return {initArchive, crypto, version, ArbitraryCommandPage(), processorDump, kpk};
}

}  // namespace eklz::app
