#include "cli/SubCommands.h"

#include <cstdio>

#include "commands/Activation.h"
#include "commands/Arbitrary.h"
#include "commands/ArchiveDump.h"
#include "commands/Documents.h"
#include "commands/Information.h"
#include "commands/Reports.h"
#include "commands/Service.h"
#include "commands/Status.h"
#include "procedures/Autotest.h"
#include "procedures/FullDump.h"
#include "procedures/MassDocuments.h"
#include "procedures/RepairRequest.h"
#include "protocol/Errors.h"

namespace eklz::cli {

namespace {

OptionSpec FlagOption(const char* name, const char* help) {
  return {name, "", help, ValueKind::Flag, {}};
}
OptionSpec IntOption(const char* name, const char* help, long long min = -2147483648LL,
                     long long max = 2147483647LL) {
  return {name, "N", help, ValueKind::Integer, {}, min, max};
}
OptionSpec NumberOption(const char* name, const char* help) {
  return {name, "ЧИСЛО", help, ValueKind::Number, {}};
}
OptionSpec DateOption(const char* name, const char* help) {
  return {name, "ДД.ММ.ГГГГ", help, ValueKind::Date, {}};
}
OptionSpec TimeOption(const char* name, const char* help) {
  return {name, "ЧЧ:ММ", help, ValueKind::Time, {}};
}
OptionSpec TextOption(const char* name, const char* value, const char* help) {
  return {name, value, help, ValueKind::Text, {}};
}
OptionSpec ChoiceOption(const char* name, const char* value, const char* help,
                        std::vector<std::string> choices) {
  std::string full = help;
  full += ": ";
  for (size_t i = 0; i < choices.size(); ++i) full += (i ? ", " : "") + choices[i];
  return {name, value, full, ValueKind::Choice, std::move(choices)};
}

// Options shared by several commands.
const OptionSpec kTextForm = FlagOption("text-form", "ответ в текстовой форме (код команды + 0x80)");
const OptionSpec kDepartment = IntOption("department", "номер отдела (по умолчанию 1)", 0, 255);
const OptionSpec kQuantity =
    NumberOption("quantity", "количество, дробная часть через \",\" или \".\" (по умолчанию 0)");
const OptionSpec kSum = NumberOption("sum", "сумма, копейки через \",\" или \".\" (по умолчанию 0)");
const OptionSpec kOperator = IntOption("operator", "код оператора (по умолчанию 1)", 0, 255);
const OptionSpec kDate = DateOption("date", "дата (по умолчанию сегодня)");
const OptionSpec kTime = TimeOption("time", "время (по умолчанию сейчас)");
const OptionSpec kShift = IntOption("shift", "номер смены (по умолчанию 1)");
const OptionSpec kStornoCommand =
    ChoiceOption("command", "КОМАНДА", "сторнируемая команда (по умолчанию sale)",
                 {"sale", "buy", "return-sale", "return-buy", "discount", "margin"});
const OptionSpec kTextLength =
    ChoiceOption("length", "16|40", "длина строки (по умолчанию 16)", {"16", "40"});
const OptionSpec kBinding =
    ChoiceOption("binding", "КОД", "привязка текста",
                 {"sale", "buy", "return-sale", "return-buy", "discount", "margin", "finish",
                  "finish-text"});
const OptionSpec kEncoding = ChoiceOption("encoding", "КОДИРОВКА",
                                          "кодировка строки (по умолчанию cp866)",
                                          {"cp866", "win1251"});
const OptionSpec kRate = ChoiceOption("rate", "СКОРОСТЬ", "скорость обмена",
                                      {std::begin(kExchangeRates), std::end(kExchangeRates)});
const OptionSpec kDocumentType =
    ChoiceOption("type", "ТИП", "тип документа (по умолчанию sale)",
                 {"sale", "buy", "return-sale", "return-buy"});

// Options with a range are checked before the run, so this cannot fail.
uint8_t Byte(const Invocation& in, const std::string& name, int def) {
  return static_cast<uint8_t>(in.args.Int(name, def));
}

// --- Documents --------------------------------------------------------------

using ItemOperation = std::string (*)(EklzSession&, uint8_t, double, double, bool, bool);

void Item(Invocation& in, ItemOperation op) {
  op(in.session, Byte(in, "department", 1), in.args.Number("quantity", 0),
     in.args.Number("sum", 0), in.quiet, in.logExchange);
}
void Sale(Invocation& in) { Item(in, DoSale); }
void Buy(Invocation& in) { Item(in, DoBuy); }
void ReturnSale(Invocation& in) { Item(in, DoReturnSale); }
void ReturnBuy(Invocation& in) { Item(in, DoReturnBuy); }

void Discount(Invocation& in) { DoDiscount(in.session, in.args.Number("sum", 0), in.quiet, in.logExchange); }
void Margin(Invocation& in) { DoMargin(in.session, in.args.Number("sum", 0), in.quiet, in.logExchange); }

void Storno(Invocation& in) {
  static const uint8_t kCodes[] = {0x10, 0x11, 0x12, 0x13, 0x16, 0x17};
  const int choice = in.args.Choice(kStornoCommand, 0);
  DoStorno(in.session, kCodes[choice], Byte(in, "department", 1), in.args.Number("sum", 0),
           in.args.Number("quantity", 0), in.quiet, in.logExchange);
}

void FinishDocument(Invocation& in) {
  DoFinishDocument(in.session, in.args.Flag("text-form"), Byte(in, "operator", 1),
                   in.args.Date("date", Today()), in.args.Time("time", TimeNow()), in.quiet,
                   in.logExchange);
}

void Abort(Invocation& in) { DoAbort(in.session, in.quiet, in.logExchange); }

// --- Shift and archive service ----------------------------------------------

void CloseShift(Invocation& in) {
  DoCloseShift(in.session, Byte(in, "operator", 1), in.args.Date("date", Today()),
               in.args.Time("time", TimeNow()), in.quiet, in.logExchange);
}

void FreeText(Invocation& in) {
  const int length = in.args.Choice(kTextLength, 0);
  const int binding = in.args.Choice(kBinding, -1);
  const bool win1251 = in.args.Choice(kEncoding, 0) == 1;
  DoFreeText(in.session, length, in.args.Int("department", 1), binding, in.args.Text("text"),
             win1251, in.quiet, in.logExchange);
}

void CloseArchive(Invocation& in) { DoCloseArchive(in.session, in.quiet, in.logExchange); }
void CancelCloseArchive(Invocation& in) { DoCancelCloseArchive(in.session, in.quiet, in.logExchange); }
void InitArchive(Invocation& in) { DoInitArchive(in.session, in.quiet, in.logExchange); }

// --- Status -----------------------------------------------------------------

void Status(Invocation& in) { AskStatus(in.session, in.quiet, in.logExchange); }
void ShiftStatus(Invocation& in) { AskShiftStatus(in.session, in.quiet, in.logExchange); }
void ArchiveTest(Invocation& in) {
  std::string state;
  DoArchiveTest(in.session, in.quiet, in.logExchange, state);
}

// --- Activation and exchange parameters ------------------------------------

void Activate(Invocation& in) {
  std::string result;
  DoActivate(in.session, in.args.Flag("text-form"), in.args.RequiredText("serial"),
             in.args.Date("date", Today()), in.args.Time("time", TimeNow()),
             in.args.RequiredText("inn"), in.args.RequiredText("reg-number"),
             in.args.Text("name"), in.args.Int("line-width", 16), in.args.Int("last-shift", 0),
             in.quiet, in.logExchange, result);
}

void SetExchange(Invocation& in) {
  const int index = in.args.Choice(kRate, -1);
  if (index < 0) throw UsageError("не задан параметр --rate");
  std::string result;
  DoSetExchangeParams(in.session, in.session.settings.ComPort, index,
                      in.args.Int("exchange-timeout", 10), kExchangeRates[index], in.quiet,
                      in.logExchange, result);
}

// --- Information ------------------------------------------------------------

void RegNumber(Invocation& in) {
  std::string r;
  AskRegNumber(in.session, in.args.Flag("text-form"), in.quiet, in.logExchange, r);
}
void ActivationResult(Invocation& in) {
  std::string r;
  AskActivationResult(in.session, in.args.Flag("text-form"), in.quiet, in.logExchange, r);
}
void Version(Invocation& in) {
  std::string r;
  AskVersion(in.session, in.args.Flag("text-form"), in.quiet, in.logExchange, r);
}
void CryptoSerial(Invocation& in) {
  std::string r;
  AskCryptoSerial(in.session, in.quiet, in.logExchange, r);
}
void CurrentKpk(Invocation& in) {
  std::string r;
  AskCurrentKpk(in.session, in.quiet, in.logExchange, r);
}
void ProcessorDump(Invocation& in) {
  std::string r;
  AskProcessorDump(in.session, in.quiet, in.logExchange, r);
}

// --- Reports ----------------------------------------------------------------

void ControlTape(Invocation& in) {
  std::string r;
  AskControlTape(in.session, in.args.Flag("text-form"), in.args.Int("shift", 1), in.quiet,
                 in.logExchange, r);
}
void Document(Invocation& in) {
  std::string r;
  AskDocument(in.session, in.args.Flag("text-form"), in.args.Int64("kpk", 0), in.quiet,
              in.logExchange, r);
}
void ShiftTotals(Invocation& in) {
  std::string r;
  AskShiftTotals(in.session, in.args.Flag("text-form"), in.args.Int("shift", 1), in.quiet,
                 in.logExchange, r);
}
void Report(Invocation& in) {
  std::string r;
  AskReport(in.session, in.args.Flag("text-form"), in.args.Int("type", 4),
            in.args.Date("from", Today()), in.args.Date("to", Today()),
            in.args.Int("shift-from", 0), in.args.Int("shift-to", 0), in.quiet, in.logExchange, r);
}

// --- Archive dump and arbitrary command --------------------------------------

void Dump(Invocation& in) {
  const bool range = in.args.Has("from") || in.args.Has("to");
  if (range && in.args.Has("page")) throw UsageError("параметр --page нельзя задавать вместе с --from и --to");
  const int from = range ? in.args.Int("from", 0) : in.args.Int("page", 0);
  const int to = range ? in.args.Int("to", from) : from;
  const std::string file = in.args.Text("file");
  std::string pageData;
  AskArchiveDump(in.session, !file.empty(), file, from, to, !range, in.quiet, in.logExchange,
                 pageData);
}

void Command(Invocation& in) {
  // The bytes go into the command grid as the operator would type them:
  // the grid sets the length and the checksum.
  const std::string bytes = in.args.RequiredText("bytes");
  std::vector<std::string> cells;
  for (size_t pos = 0; pos < bytes.size();) {
    const size_t end = bytes.find(' ', pos);
    const std::string cell = bytes.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    if (!cell.empty()) cells.push_back(cell);
    if (end == std::string::npos) break;
    pos = end + 1;
  }
  if (cells.empty() || cells.size() > 100) {
    throw UsageError("неверное значение параметра --bytes: нужно от 1 до 100 байт");
  }
  CommandGrid grid;
  grid.SetCommandLength(static_cast<int>(cells.size()));
  for (size_t i = 0; i < cells.size(); ++i) {
    if (grid.SetValue(static_cast<int>(i) + 2, cells[i]) == CommandGrid::Edit::NotHex) {
      throw UsageError("неверное значение параметра --bytes: " +
                       std::string(CommandGrid::kNotHexMessage));
    }
  }
  if (in.args.Has("length")) {
    if (grid.SetValue(1, in.args.Text("length")) == CommandGrid::Edit::NotHex) {
      throw UsageError("неверное значение параметра --length: " +
                       std::string(CommandGrid::kNotHexMessage));
    }
  }
  std::string reply;
  RunArbitraryCommand(in.session, in.args.Flag("text-form"), grid.ReadCommandGrid(),
                      in.args.Flag("multi-fragment"), in.args.Flag("no-data"),
                      in.args.Flag("parse-fragments"), in.quiet, in.logExchange, reply);
}

// --- Procedures ---------------------------------------------------------------

void MassDocuments(Invocation& in) {
  MassDocumentsParams p;
  const Arguments& a = in.args;
  p.documentCount = a.Int("count", 1);
  p.documentType = a.Choice(kDocumentType, 0);
  p.randomType = a.Flag("random-type");
  p.department = a.Int("department", 1);
  p.randomDepartment = a.Flag("random-department");
  p.quantity = a.Number("quantity", 0);
  p.randomQuantity = a.Flag("random-quantity");
  p.sum = a.Number("sum", 0);
  p.randomSum = a.Flag("random-sum");
  p.repetitions = a.Int("repeat", 1);
  p.randomRepetitions = a.Flag("random-repeat");
  p.makeDiscounts = a.Has("discounts");
  p.discountCount = a.Int("discounts", 1);
  p.discountSum = a.Number("discount-sum", 0);
  p.randomDiscounts = a.Flag("random-discounts");
  p.makeMargins = a.Has("margins");
  p.marginCount = a.Int("margins", 1);
  p.marginSum = a.Number("margin-sum", 0);
  p.randomMargins = a.Flag("random-margins");
  ClockSeededRandom random;
  // This procedure has logging switches of its own instead of the settings.
  RunMassDocuments(in.session, p, random, a.Flag("no-text-log"),
                   !a.Flag("no-hex-log") && in.protocolFile);
}

void Autotest(Invocation& in) {
  RunAutotest(in.session, in.args.Flag("text-form"), in.quiet, in.logExchange);
}

void FullDump(Invocation& in) {
  RunFullDump(in.session, in.args.Text("file", "Dump.bin"), in.args.Flag("max-speed"), in.quiet,
              in.logExchange);
}

void RepairRequest(Invocation& in) {
  RepairRequestPanel panel;
  RunRepairRequest(in.session, false, in.quiet, in.logExchange, panel);
  // What the operator types into the panel before printing.
  panel.numRequest = in.args.Text("number", panel.numRequest);
  panel.serialNumEklz = in.args.Text("eklz-serial");
  panel.developmentFailure = in.args.Text("failure");
  panel.dateOfBroken = in.args.Date("broken-date", panel.dateOfBroken);
  if (in.args.Has("not-transferred")) {
    panel.archiveTransferred = false;
    panel.failureToCarryOut = in.args.Text("not-transferred");
  }
  EklzSession& s = in.session;
  s.AppendResultLine("", false);
  s.AppendResultLine("Обнаружены неисправности:", false);
  s.AppendResultLine(panel.detectFailure, false);
  s.AppendResultLine("", false);
  s.AppendResultLine("Переменные бланка заявки:", false);
  for (const char* name : kRepairFormVariables) {
    s.AppendResultLine(std::string(name) + "=" + RepairFormVariable(s, panel, name), false);
  }
}

}  // namespace

const std::vector<SubCommand>& SubCommands() {
  static const std::vector<SubCommand> kAll = {
      {"sale", "продажа (0x10)", {kDepartment, kQuantity, kSum}, Sale},
      {"buy", "покупка (0x11)", {kDepartment, kQuantity, kSum}, Buy},
      {"return-sale", "возврат продажи (0x12)", {kDepartment, kQuantity, kSum}, ReturnSale},
      {"return-buy", "возврат покупки (0x13)", {kDepartment, kQuantity, kSum}, ReturnBuy},
      {"discount", "скидка (0x16)", {kSum}, Discount},
      {"margin", "наценка (0x17)", {kSum}, Margin},
      {"storno", "сторно (0x18)", {kStornoCommand, kDepartment, kQuantity, kSum}, Storno},
      {"finish-document", "завершение документа (0x19, 0x99)", {kOperator, kDate, kTime, kTextForm},
       FinishDocument},
      {"abort", "отмена документа или формирования отчёта (0x06)", {}, Abort},
      {"close-shift", "закрытие смены (0x09)", {kOperator, kDate, kTime}, CloseShift},
      {"free-text", "ввод произвольного текста (0x04)",
       {kTextLength, kDepartment, kBinding, TextOption("text", "ТЕКСТ", "строка текста"), kEncoding},
       FreeText},
      {"close-archive", "закрытие архива (0x0A)", {}, CloseArchive},
      {"cancel-close-archive", "снятие флага закрытия архива (0x40)", {}, CancelCloseArchive},
      {"init-archive", "инициализация архива, только для эмуляторов (0x26)", {}, InitArchive},
      {"status", "запрос состояния ЭКЛЗ (0x07, 01)", {}, Status},
      {"shift-status", "запрос итогов текущей смены (0x07, 02)", {}, ShiftStatus},
      {"archive-test", "проверка целостности архива (0x08)", {}, ArchiveTest},
      {"activate", "активизация ЭКЛЗ (0x01, 0x81)",
       {TextOption("serial", "ТЕКСТ", "заводской номер ККМ, 12 символов"),
        DateOption("date", "дата активизации (по умолчанию сегодня)"),
        TimeOption("time", "время активизации (по умолчанию сейчас)"),
        TextOption("inn", "ЦИФРЫ", "ИНН, 12 цифр"),
        TextOption("reg-number", "ЦИФРЫ", "регистрационный номер, 12 цифр"),
        IntOption("last-shift", "номер последней смены (по умолчанию 0)"),
        IntOption("line-width", "ширина строки принтера, 16 или 40 (по умолчанию 16)"),
        TextOption("name", "ТЕКСТ", "тип ККМ"), kTextForm},
       Activate},
      {"set-exchange", "установка параметров обмена (0x02)",
       {kRate, IntOption("exchange-timeout", "тайм-аут ЭКЛЗ, от 2 до 255 (по умолчанию 10)")},
       SetExchange},
      {"reg-number", "запрос регистрационного номера (0x14, 0x94)", {kTextForm}, RegNumber},
      {"activation-result", "запрос итога активизации (0x24, 0xA4)", {kTextForm}, ActivationResult},
      {"version", "запрос версии ЭКЛЗ (0x2A, 0xAA)", {kTextForm}, Version},
      {"crypto-serial", "запрос заводского номера криптопроцессора (0x39)", {}, CryptoSerial},
      {"current-kpk", "текущий номер КПК (0x3C)", {}, CurrentKpk},
      {"processor-dump", "часть дампа процессора (0x3D)", {}, ProcessorDump},
      {"control-tape", "запрос контрольной ленты (0x20, 0xA0)", {kShift, kTextForm}, ControlTape},
      {"document", "запрос документа (0x21, 0xA1)",
       {IntOption("kpk", "номер КПК (по умолчанию 0)", 0, 999999999999LL), kTextForm}, Document},
      {"shift-totals", "запрос итогов смены (0x23, 0xA3)", {kShift, kTextForm}, ShiftTotals},
      {"report", "запрос отчёта (0x22, 0xA2)",
       {IntOption("type", "тип отчёта от 0 до 7 (по умолчанию 4; 0-3 не поддерживаются)"),
        DateOption("from", "дата начала, типы 4 и 5 (по умолчанию сегодня)"),
        DateOption("to", "дата окончания, типы 4 и 5 (по умолчанию сегодня)"),
        IntOption("shift-from", "смена начала, типы 6 и 7 (по умолчанию 0)"),
        IntOption("shift-to", "смена окончания, типы 6 и 7 (по умолчанию 0)"), kTextForm},
       Report},
      {"dump", "запрос дампа архива (0x03)",
       {IntOption("page", "одна страница (по умолчанию 0)"),
        IntOption("from", "первая страница диапазона"),
        IntOption("to", "последняя страница диапазона"),
        TextOption("file", "ФАЙЛ", "сохранять дамп в файл")},
       Dump},
      {"command", "произвольная команда",
       {TextOption("bytes", "HEX", "код команды и параметры, байты через пробел, например \"07 01\""),
        TextOption("length", "HEX", "байт длины вместо вычисленного"), kTextForm,
        FlagOption("multi-fragment", "в ответе несколько фрагментов"),
        FlagOption("no-data", "ЭКЛЗ не возвращает никакой информации"),
        FlagOption("parse-fragments", "разобрать ответ как нетекстовые фрагменты")},
       Command},
      {"mass-documents", "массовое создание документов",
       {IntOption("count", "количество документов (по умолчанию 1)", 0, 1000000),
        kDocumentType,
        FlagOption("random-type", "случайный тип документа"),
        kDepartment,
        FlagOption("random-department", "случайный отдел"),
        kQuantity,
        FlagOption("random-quantity", "случайное количество"),
        kSum,
        FlagOption("random-sum", "случайная сумма документа"),
        IntOption("repeat", "количество повтора операции в документе (по умолчанию 1)", 0, 1000000),
        FlagOption("random-repeat", "случайное количество повторов"),
        IntOption("discounts", "выполнить скидку, в количестве N", 0, 1000000),
        NumberOption("discount-sum", "сумма скидки"),
        FlagOption("random-discounts", "скидки случайным образом"),
        IntOption("margins", "выполнить наценку, в количестве N", 0, 1000000),
        NumberOption("margin-sum", "сумма наценки"),
        FlagOption("random-margins", "наценки случайным образом"),
        FlagOption("no-text-log", "не выводить протокол обмена в текстовом виде"),
        FlagOption("no-hex-log", "не писать протокол обмена в шестнадцатиричном виде")},
       MassDocuments},
      {"autotest", "тестирование ЭКЛЗ", {kTextForm}, Autotest},
      {"full-dump", "весь дамп архива в файл",
       {TextOption("file", "ФАЙЛ", "имя файла (по умолчанию Dump.bin)"),
        FlagOption("max-speed", "увеличивать скорость до 19200")},
       FullDump},
      {"repair-request", "заявка на ремонт: опрос ЭКЛЗ и переменные бланка",
       {TextOption("number", "ТЕКСТ", "№ заявки (по умолчанию 1)"),
        TextOption("eklz-serial", "ТЕКСТ", "заводской № ЭКЛЗ"),
        TextOption("failure", "ТЕКСТ", "внешнее проявление отказа"),
        DateOption("broken-date", "дата отказа (по умолчанию сегодня)"),
        TextOption("not-transferred", "ТЕКСТ", "данные архива не перенесены, по этой причине")},
       RepairRequest},
  };
  return kAll;
}

const SubCommand* FindSubCommand(const std::string& name) {
  for (const SubCommand& c : SubCommands()) {
    if (name == c.name) return &c;
  }
  return nullptr;
}

}  // namespace eklz::cli
