#include "cli/SubCommands.h"

#include <cstdio>

#include "codec/Regional.h"
#include "cli/Files.h"
#include "commands/Activation.h"
#include "commands/Arbitrary.h"
#include "commands/ArchiveDump.h"
#include "commands/Documents.h"
#include "commands/Information.h"
#include "commands/Limits.h"
#include "commands/PortSearch.h"
#include "commands/Reports.h"
#include "commands/Service.h"
#include "commands/Status.h"
#include "procedures/Autotest.h"
#include "procedures/FullDump.h"
#include "procedures/MassDocuments.h"
#include "procedures/RepairRequest.h"
#include "codec/CodePage.h"
#include "codec/CommandCodes.h"
#include "codec/Errors.h"
#include "serial/PortList.h"
#include "settings/Settings.h"

namespace eklz::cli {

namespace {

OptionSpec FlagOption(const char* name, const char* help) {
  return {name, "", help, ValueKind::Flag, {}};
}
OptionSpec IntOption(const char* name, const char* help, long long min = -2147483648LL,
                     long long max = 2147483647LL) {
  return {name, "N", help, ValueKind::Integer, {}, min, max};
}
// A number the window takes in a field with the same range.
OptionSpec IntOption(const char* name, const char* help, const IntegerRange& range) {
  return IntOption(name, help, range.min, range.max);
}
// A quantity (three decimals) or a sum (two), within its limit.
OptionSpec AmountOption(const char* name, const char* help, const AmountLimit& limit) {
  OptionSpec o{name, "ЧИСЛО", help, ValueKind::Number, {}};
  o.decimals = limit.places;
  o.amount = &limit;
  return o;
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

OptionSpec Required(OptionSpec option) {
  option.required = true;
  return option;
}
OptionSpec Checked(OptionSpec option, std::string (*check)(const std::string&)) {
  option.check = check;
  return option;
}

// Options shared by several commands.
const OptionSpec kTextForm = FlagOption("text-form", "ответ в текстовой форме (код команды + 0x80)");
const OptionSpec kDepartment =
    IntOption("department", "номер отдела (по умолчанию 1)", kDepartmentRange);
const OptionSpec kQuantity = AmountOption(
    "quantity", "количество, до трёх знаков после \",\" или \".\" (по умолчанию 0)",
    kQuantityLimit);
const OptionSpec kSum = AmountOption(
    "sum", "сумма, копейки через \",\" или \".\" (по умолчанию 0)", kSumLimit);
const OptionSpec kOperator = IntOption("operator", "код оператора (по умолчанию 1)", kOperatorRange);
const OptionSpec kDate = DateOption("date", "дата (по умолчанию сегодня)");
const OptionSpec kTime = TimeOption("time", "время (по умолчанию сейчас)");
const OptionSpec kShift = IntOption("shift", "номер смены (по умолчанию 1)", kShiftRange);

// Options with a range are checked before the run, so this cannot fail.
uint8_t Byte(const Invocation& in, const OptionSpec& option, int def) {
  return static_cast<uint8_t>(in.args.Int(option, def));
}

// --- Documents --------------------------------------------------------------

using ItemOperation = std::string (*)(EklzSession&, uint8_t, double, double, bool, bool);

void Item(Invocation& in, ItemOperation op) {
  op(in.session, Byte(in, kDepartment, 1), in.args.Number(kQuantity, 0), in.args.Number(kSum, 0),
     in.quiet, in.logExchange);
}

const SubCommand kSaleCommand{"sale", "продажа (0x10)", {&kDepartment, &kQuantity, &kSum},
                              [](Invocation& in) { Item(in, DoSale); }};
const SubCommand kBuyCommand{"buy", "покупка (0x11)", {&kDepartment, &kQuantity, &kSum},
                             [](Invocation& in) { Item(in, DoBuy); }};
const SubCommand kReturnSaleCommand{"return-sale", "возврат продажи (0x12)",
                                    {&kDepartment, &kQuantity, &kSum},
                                    [](Invocation& in) { Item(in, DoReturnSale); }};
const SubCommand kReturnBuyCommand{"return-buy", "возврат покупки (0x13)",
                                   {&kDepartment, &kQuantity, &kSum},
                                   [](Invocation& in) { Item(in, DoReturnBuy); }};

const OptionSpec kDiscountAmount = AmountOption(
    "sum", "сумма скидки, копейки через \",\" или \".\" (по умолчанию 0)", kDiscountLimit);
const SubCommand kDiscountCommand{"discount", "скидка (0x16)", {&kDiscountAmount},
                                  [](Invocation& in) {
                                    DoDiscount(in.session, in.args.Number(kDiscountAmount, 0),
                                               in.quiet, in.logExchange);
                                  }};
const OptionSpec kMarginAmount = AmountOption(
    "sum", "сумма наценки, копейки через \",\" или \".\" (по умолчанию 0)", kMarginLimit);
const SubCommand kMarginCommand{"margin", "наценка (0x17)", {&kMarginAmount}, [](Invocation& in) {
                                  DoMargin(in.session, in.args.Number(kMarginAmount, 0), in.quiet,
                                           in.logExchange);
                                }};

const OptionSpec kStornoCommand =
    ChoiceOption("command", "КОМАНДА", "сторнируемая команда (по умолчанию sale)",
                 {"sale", "buy", "return-sale", "return-buy", "discount", "margin"});
const SubCommand kStorno{
    "storno", "сторно (0x18)", {&kStornoCommand, &kDepartment, &kQuantity, &kSum},
    [](Invocation& in) {
      static const uint8_t kCodes[] = {0x10, 0x11, 0x12, 0x13, 0x16, 0x17};
      DoStorno(in.session, kCodes[in.args.Choice(kStornoCommand, 0)], Byte(in, kDepartment, 1),
               in.args.Number(kSum, 0), in.args.Number(kQuantity, 0), in.quiet, in.logExchange);
    }};

const SubCommand kFinishDocument{
    "finish-document", "завершение документа (0x19, 0x99)",
    {&kOperator, &kDate, &kTime, &kTextForm}, [](Invocation& in) {
      DoFinishDocument(in.session, in.args.Flag(kTextForm), Byte(in, kOperator, 1),
                       in.args.Date(kDate, Today()), in.args.Time(kTime, TimeNow()), in.quiet,
                       in.logExchange);
    }};

const SubCommand kAbort{"abort", "отмена документа или формирования отчёта (0x06)", {},
                        [](Invocation& in) { DoAbort(in.session, in.quiet, in.logExchange); }};

// --- Shift and archive service ----------------------------------------------

const SubCommand kCloseShift{"close-shift", "закрытие смены (0x09)", {&kOperator, &kDate, &kTime},
                             [](Invocation& in) {
                               DoCloseShift(in.session, Byte(in, kOperator, 1),
                                            in.args.Date(kDate, Today()),
                                            in.args.Time(kTime, TimeNow()), in.quiet,
                                            in.logExchange);
                             }};

const OptionSpec kTextLength =
    ChoiceOption("length", "16|40", "длина строки (по умолчанию 16)", {"16", "40"});
const OptionSpec kBinding = Required(
    ChoiceOption("binding", "КОД", "привязка текста",
                 {"sale", "buy", "return-sale", "return-buy", "discount", "margin", "finish",
                  "finish-text"}));
const OptionSpec kFreeText = TextOption("text", "ТЕКСТ", "строка текста");
const OptionSpec kEncoding = ChoiceOption(
    "encoding", "КОДИРОВКА",
    "кодировка строки (по умолчанию cp866; общие --win1251 и --cp866 на неё не влияют)",
    {"cp866", "win1251"});
const OptionSpec kFreeTextDepartment =
    IntOption("department", "номер отдела (по умолчанию 1)", kFreeTextDepartmentRange);
const SubCommand kFreeTextCommand{
    "free-text", "ввод произвольного текста (0x04)",
    {&kTextLength, &kFreeTextDepartment, &kBinding, &kFreeText, &kEncoding}, [](Invocation& in) {
      const int length = in.args.Choice(kTextLength, 0);
      // The line shows the text as it goes to the device: cut to the line width.
      const std::string text = Utf8Left(in.args.Text(kFreeText), length == 0 ? 16 : 40);
      DoFreeText(in.session, length, in.args.Int(kFreeTextDepartment, 1),
                 in.args.Choice(kBinding, -1), text, in.args.Choice(kEncoding, 0) == 1, in.quiet,
                 in.logExchange);
    }};

const SubCommand kCloseArchive{"close-archive", "закрытие архива (0x0A)", {}, [](Invocation& in) {
                                 DoCloseArchive(in.session, in.quiet, in.logExchange);
                               }};
const SubCommand kCancelCloseArchive{
    "cancel-close-archive", "снятие флага закрытия архива (0x40)", {},
    [](Invocation& in) { DoCancelCloseArchive(in.session, in.quiet, in.logExchange); }};
const SubCommand kInitArchive{"init-archive", "инициализация архива, только для эмуляторов (0x26)",
                              {}, [](Invocation& in) {
                                DoInitArchive(in.session, in.quiet, in.logExchange);
                              }};

// --- Status -----------------------------------------------------------------

const SubCommand kStatus{"status", "запрос состояния ЭКЛЗ (0x07, 01)", {},
                         [](Invocation& in) { AskStatus(in.session, in.quiet, in.logExchange); }};
const SubCommand kShiftStatus{"shift-status", "запрос итогов текущей смены (0x07, 02)", {},
                              [](Invocation& in) {
                                AskShiftStatus(in.session, in.quiet, in.logExchange);
                              }};
const SubCommand kArchiveTest{"archive-test", "проверка целостности архива (0x08)", {},
                              [](Invocation& in) {
                                DoArchiveTest(in.session, in.quiet, in.logExchange);
                              }};

// --- Activation and exchange parameters ------------------------------------

const OptionSpec kSerial = Required(Checked(
    TextOption("serial", "ТЕКСТ", "заводской номер ККМ, 12 символов"),
    [](const std::string& v) -> std::string {
      try {
        if (Utf8ToCp1251(v).size() == 12) return "";
      } catch (const std::exception&) {
      }
      return "нужно ровно 12 символов кодовой страницы Windows-1251";
    }));
const OptionSpec kActivationDate = DateOption("date", "дата активизации (по умолчанию сегодня)");
const OptionSpec kActivationTime = TimeOption("time", "время активизации (по умолчанию сейчас)");
std::string TwelveDigits(const std::string& v) {
  const bool good = v.size() == 12 && v.find_first_not_of("0123456789") == std::string::npos;
  return good ? "" : "нужно ровно 12 цифр";
}
const OptionSpec kInn = Required(Checked(TextOption("inn", "ЦИФРЫ", "ИНН, 12 цифр"), TwelveDigits));
const OptionSpec kRegNumber = Required(
    Checked(TextOption("reg-number", "ЦИФРЫ", "регистрационный номер, 12 цифр"), TwelveDigits));
const OptionSpec kLastShift =
    IntOption("last-shift", "номер последней смены (по умолчанию 0)", 0, 65535);
const OptionSpec kLineWidth = ChoiceOption(
    "line-width", "16|40", "ширина строки принтера (по умолчанию 16)", {"16", "40"});
const OptionSpec kKkmName = TextOption("name", "ТЕКСТ", "тип ККМ");
int LineWidth(const Arguments& a) { return a.Choice(kLineWidth, 0) == 0 ? 16 : 40; }
const SubCommand kActivate{
    "activate", "активизация ЭКЛЗ (0x01, 0x81)",
    {&kSerial, &kActivationDate, &kActivationTime, &kInn, &kRegNumber, &kLastShift, &kLineWidth,
     &kKkmName, &kTextForm},
    [](Invocation& in) {
      const Arguments& a = in.args;
      DoActivate(in.session, a.Flag(kTextForm), a.Text(kSerial),
                 a.Date(kActivationDate, Today()), a.Time(kActivationTime, TimeNow()),
                 a.Text(kInn), a.Text(kRegNumber), a.Text(kKkmName), LineWidth(a),
                 a.Int(kLastShift, 0), in.quiet, in.logExchange);
    },
    [](const Arguments& a) {
      const size_t width = static_cast<size_t>(LineWidth(a));
      if (Utf8Length(a.Text(kKkmName)) > width) {
        throw UsageError("неверное значение параметра --name: не длиннее " +
                         Counted(static_cast<long long>(width), "символа", "символов", "символов") + " при ширине строки " +
                         std::to_string(width));
      }
    }};

const OptionSpec kRate = Required(ChoiceOption(
    "rate", "СКОРОСТЬ", "скорость обмена", {std::begin(kExchangeRates), std::end(kExchangeRates)}));
const OptionSpec kExchangeTimeout =
    IntOption("exchange-timeout", "тайм-аут ЭКЛЗ (по умолчанию 10)", kExchangeTimeoutRange);
const SubCommand kSetExchange{
    "set-exchange", "установка параметров обмена (0x02)", {&kRate, &kExchangeTimeout},
    [](Invocation& in) {
      const int index = in.args.Choice(kRate, -1);
      DoSetExchangeParams(in.session, in.session.settings.ComPort, index,
                          in.args.Int(kExchangeTimeout, 10), kExchangeRates[index], in.quiet,
                          in.logExchange);
    }};

// --- Information ------------------------------------------------------------

const SubCommand kRegNumberQuery{
    "reg-number", "запрос регистрационного номера (0x14, 0x94)", {&kTextForm}, [](Invocation& in) {
      AskRegNumber(in.session, in.args.Flag(kTextForm), in.quiet, in.logExchange);
    }};
const SubCommand kActivationResult{
    "activation-result", "запрос итога активизации (0x24, 0xA4)", {&kTextForm},
    [](Invocation& in) {
      AskActivationResult(in.session, in.args.Flag(kTextForm), in.quiet,
                          in.logExchange);
    }};
const SubCommand kVersion{"version", "запрос версии ЭКЛЗ (0x2A, 0xAA)", {&kTextForm},
                          [](Invocation& in) {
                            AskVersion(in.session, in.args.Flag(kTextForm),
                                       in.quiet, in.logExchange);
                          }};
const SubCommand kCryptoSerial{"crypto-serial", "запрос заводского номера криптопроцессора (0x39)",
                               {}, [](Invocation& in) {
                                 AskCryptoSerial(in.session, in.quiet,
                                                 in.logExchange);
                               }};
const SubCommand kCurrentKpk{"current-kpk", "текущий номер КПК (0x3C)", {}, [](Invocation& in) {
                               AskCurrentKpk(in.session, in.quiet, in.logExchange);
                             }};
const SubCommand kProcessorDump{"processor-dump", "часть дампа процессора (0x3D)", {},
                                [](Invocation& in) {
                                  AskProcessorDump(in.session, in.quiet,
                                                   in.logExchange);
                                }};

// --- Reports ----------------------------------------------------------------

const SubCommand kControlTape{
    "control-tape", "запрос контрольной ленты (0x20, 0xA0)", {&kShift, &kTextForm},
    [](Invocation& in) {
      AskControlTape(in.session, in.args.Flag(kTextForm), in.args.Int(kShift, 1),
                     in.quiet, in.logExchange);
    }};

const OptionSpec kKpk = IntOption("kpk", "номер КПК (по умолчанию 0)", kKpkRange);
const SubCommand kDocument{
    "document", "запрос документа (0x21, 0xA1)", {&kKpk, &kTextForm}, [](Invocation& in) {
      AskDocument(in.session, in.args.Flag(kTextForm), in.args.Int64(kKpk, 0),
                  in.quiet, in.logExchange);
    }};

const SubCommand kShiftTotals{
    "shift-totals", "запрос итогов смены (0x23, 0xA3)", {&kShift, &kTextForm}, [](Invocation& in) {
      AskShiftTotals(in.session, in.args.Flag(kTextForm), in.args.Int(kShift, 1),
                     in.quiet, in.logExchange);
    }};

const OptionSpec kReportType = IntOption("type", "тип отчёта (по умолчанию 4), см. ниже", 0, 7);
const OptionSpec kReportFrom = DateOption("from", "дата начала, типы 4 и 5 (по умолчанию сегодня)");
const OptionSpec kReportTo = DateOption("to", "дата окончания, типы 4 и 5 (по умолчанию сегодня)");
const OptionSpec kShiftFrom =
    IntOption("shift-from", "смена начала, типы 6 и 7 (по умолчанию 0)", kReportShiftRange);
const OptionSpec kShiftTo =
    IntOption("shift-to", "смена окончания, типы 6 и 7 (по умолчанию 0)", kReportShiftRange);
const SubCommand kReport{
    "report", "запрос отчёта (0x22, 0xA2)",
    {&kReportType, &kReportFrom, &kReportTo, &kShiftFrom, &kShiftTo, &kTextForm},
    [](Invocation& in) {
      const Arguments& a = in.args;
      const int type = a.Int(kReportType, 4);
      AskReport(in.session, a.Flag(kTextForm), type, a.Date(kReportFrom, Today()),
                a.Date(kReportTo, Today()), a.Int(kShiftFrom, 0), a.Int(kShiftTo, 0),
                in.quiet, in.logExchange);
      // The device has no such report: the run fails like a refusal by the device.
      if (type < 4) {
        throw TEKLZException("Выбранный Вами тип отчета в данной версии ЭКЛЗ не подерживается");
      }
    },
    nullptr,
    "Типы отчёта:\n"
    "  0-3  по отделу; в данной версии ЭКЛЗ не поддерживаются (код завершения 1)\n"
    "  4    полный по датам по закрытиям смен (--from, --to)\n"
    "  5    краткий по датам по закрытиям смен (--from, --to)\n"
    "  6    полный по номерам смен по закрытиям смен (--shift-from, --shift-to)\n"
    "  7    краткий по номерам смен по закрытиям смен (--shift-from, --shift-to)"};

// --- Archive dump and arbitrary command --------------------------------------

const OptionSpec kPage = IntOption("page", "одна страница (по умолчанию 0)", kPageRange);
const OptionSpec kPageFrom = IntOption("from", "первая страница диапазона", kPageRange);
const OptionSpec kPageTo = IntOption("to", "последняя страница диапазона", kPageRange);
const OptionSpec kDumpFile = TextOption("file", "ФАЙЛ", "сохранять дамп в файл");
const SubCommand kDump{
    "dump", "запрос дампа архива (0x03)", {&kPage, &kPageFrom, &kPageTo, &kDumpFile},
    [](Invocation& in) {
      const Arguments& a = in.args;
      const bool range = a.Has(kPageFrom) || a.Has(kPageTo);
      const int from = range ? a.Int(kPageFrom, 0) : a.Int(kPage, 0);
      const int to = range ? a.Int(kPageTo, from) : from;
      const std::string file = a.Text(kDumpFile);
      AskArchiveDump(in.session, !file.empty(), file, from, to, !range, in.quiet,
                     in.logExchange);
    },
    [](const Arguments& a) {
      if ((a.Has(kPageFrom) || a.Has(kPageTo)) && a.Has(kPage)) {
        throw UsageError("параметр --page нельзя задавать вместе с --from и --to");
      }
    }};

const OptionSpec kBytes = Required(
    TextOption("bytes", "HEX", "код команды и параметры, байты через пробел, например \"07 01\""));
const OptionSpec kLengthByte = TextOption("length", "HEX", "байт длины вместо вычисленного");
const OptionSpec kReplyAsText =
    FlagOption("text-form", "читать данные ответа как текст в кодировке 866 (код команды "
                            "не меняется: для текстовой формы задайте код + 0x80 в --bytes)");
const OptionSpec kMultiFragment = FlagOption("multi-fragment", "в ответе несколько фрагментов");
const OptionSpec kNoData = FlagOption("no-data", "ЭКЛЗ не возвращает никакой информации");
const OptionSpec kParseFragments =
    FlagOption("parse-fragments", "разобрать ответ как нетекстовые фрагменты");

// The bytes go into the command grid as the operator would type them: the
// grid sets the length and the checksum.
CommandGrid GridOf(const Arguments& a) {
  const std::string bytes = a.Text(kBytes);
  std::vector<std::string> cells;
  for (size_t pos = 0; pos < bytes.size();) {
    const size_t end = bytes.find(' ', pos);
    const std::string cell =
        bytes.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    if (!cell.empty()) cells.push_back(cell);
    if (end == std::string::npos) break;
    pos = end + 1;
  }
  if (cells.empty() || cells.size() > 100) {
    throw UsageError("неверное значение параметра --bytes: нужно от 1 до 100 байт");
  }
  CommandGrid grid;
  grid.SetCommandLength(static_cast<int>(cells.size()));
  // A cell takes two hexadecimal digits; anything else is the option's fault,
  // judged before the port is opened.
  const auto put = [&grid](int column, const std::string& text, const char* option) {
    std::string problem;
    try {
      const CommandGrid::Edit edit = grid.SetValue(column, text);
      if (edit == CommandGrid::Edit::NotHex) problem = CommandGrid::kNotHexMessage;
      if (edit == CommandGrid::Edit::Empty) problem = "пустое значение";
    } catch (const TEKLZException& e) {
      problem = e.what();
    }
    if (!problem.empty()) {
      throw UsageError(std::string("неверное значение параметра --") + option + ": " + problem);
    }
  };
  for (size_t i = 0; i < cells.size(); ++i) put(static_cast<int>(i) + 2, cells[i], "bytes");
  if (a.Has(kLengthByte)) put(1, a.Text(kLengthByte), "length");
  return grid;
}

const SubCommand kCommand{
    "command", "произвольная команда",
    {&kBytes, &kLengthByte, &kReplyAsText, &kMultiFragment, &kNoData, &kParseFragments},
    [](Invocation& in) {
      const Arguments& a = in.args;
      RunArbitraryCommand(in.session, a.Flag(kReplyAsText),
                          GridOf(a).ReadCommandGrid(), a.Flag(kMultiFragment), a.Flag(kNoData),
                          a.Flag(kParseFragments), in.quiet, in.logExchange);
    },
    [](const Arguments& a) { GridOf(a); }};

// --- Procedures ---------------------------------------------------------------

const OptionSpec kCount =
    IntOption("count", "количество документов (по умолчанию 1)", kDocumentCountRange);
const OptionSpec kDocumentType =
    ChoiceOption("type", "ТИП", "тип документа (по умолчанию sale)",
                 {"sale", "buy", "return-sale", "return-buy"});
const OptionSpec kRandomType = FlagOption("random-type", "случайный тип документа");
const OptionSpec kRandomDepartment = FlagOption("random-department", "случайный отдел");
const OptionSpec kRandomQuantity = FlagOption("random-quantity", "случайное количество");
const OptionSpec kRandomSum = FlagOption("random-sum", "случайная сумма документа");
const OptionSpec kRepeat = IntOption(
    "repeat", "количество повтора операции в документе (по умолчанию 1)", kRepetitionRange);
const OptionSpec kRandomRepeat = FlagOption("random-repeat", "случайное количество повторов");
const OptionSpec kDiscounts =
    IntOption("discounts", "выполнить скидку, в количестве N", kDiscountCountRange);
const OptionSpec kDiscountSum = AmountOption("discount-sum", "сумма скидки", kDiscountLimit);
const OptionSpec kRandomDiscounts = FlagOption("random-discounts", "скидки случайным образом");
const OptionSpec kMargins =
    IntOption("margins", "выполнить наценку, в количестве N", kMarginCountRange);
const OptionSpec kMarginSum = AmountOption("margin-sum", "сумма наценки", kMarginLimit);
const OptionSpec kRandomMargins = FlagOption("random-margins", "наценки случайным образом");
const OptionSpec kNoTextLog =
    FlagOption("no-text-log", "не выводить протокол обмена в текстовом виде");
const OptionSpec kNoHexLog =
    FlagOption("no-hex-log", "не писать протокол обмена в шестнадцатиричном виде");
const SubCommand kMassDocuments{
    "mass-documents", "массовое создание документов",
    {&kCount, &kDocumentType, &kRandomType, &kDepartment, &kRandomDepartment, &kQuantity,
     &kRandomQuantity, &kSum, &kRandomSum, &kRepeat, &kRandomRepeat, &kDiscounts, &kDiscountSum,
     &kRandomDiscounts, &kMargins, &kMarginSum, &kRandomMargins, &kNoTextLog, &kNoHexLog},
    [](Invocation& in) {
      MassDocumentsParams p;
      const Arguments& a = in.args;
      p.documentCount = a.Int(kCount, 1);
      p.documentType = a.Choice(kDocumentType, 0);
      p.randomType = a.Flag(kRandomType);
      p.department = a.Int(kDepartment, 1);
      p.randomDepartment = a.Flag(kRandomDepartment);
      p.quantity = a.Number(kQuantity, 0);
      p.randomQuantity = a.Flag(kRandomQuantity);
      p.sum = a.Number(kSum, 0);
      p.randomSum = a.Flag(kRandomSum);
      p.repetitions = a.Int(kRepeat, 1);
      p.randomRepetitions = a.Flag(kRandomRepeat);
      p.makeDiscounts = a.Has(kDiscounts);
      p.discountCount = a.Int(kDiscounts, 1);
      p.discountSum = a.Number(kDiscountSum, 0);
      p.randomDiscounts = a.Flag(kRandomDiscounts);
      p.makeMargins = a.Has(kMargins);
      p.marginCount = a.Int(kMargins, 1);
      p.marginSum = a.Number(kMarginSum, 0);
      p.randomMargins = a.Flag(kRandomMargins);
      ClockSeededRandom random;
      // This procedure has logging switches of its own besides --quiet and --protocol.
      RunMassDocuments(in.session, p, random, in.quiet || a.Flag(kNoTextLog),
                       in.logExchange && !a.Flag(kNoHexLog));
    }};

const SubCommand kAutotest{"autotest", "тестирование ЭКЛЗ", {&kTextForm}, [](Invocation& in) {
                             RunAutotest(in.session, in.args.Flag(kTextForm), in.quiet,
                                         in.logExchange);
                           }};

const OptionSpec kFullDumpFile = TextOption("file", "ФАЙЛ", "имя файла (по умолчанию Dump.bin)");
const OptionSpec kMaxSpeed = FlagOption("max-speed", "увеличивать скорость (до 19200 или до --raise-to)");
// The rates of the window's list, and "max" for the fastest, which is
// easier to type than its Russian name.
std::vector<std::string> RaiseToChoices() {
  std::vector<std::string> choices(std::begin(kFullDumpRates), std::end(kFullDumpRates));
  choices.push_back("max");
  return choices;
}
const OptionSpec kRaiseTo = ChoiceOption("raise-to", "СКОРОСТЬ",
                                         "поднять скорость на время дампа до", RaiseToChoices());
const OptionSpec kResume =
    FlagOption("resume", "продолжить файл, в котором уже есть целые страницы дампа");
const SubCommand kFullDump{
    "full-dump", "весь дамп архива в файл", {&kFullDumpFile, &kMaxSpeed, &kRaiseTo, &kResume},
    [](Invocation& in) {
      const Arguments& a = in.args;
      const std::string file = a.Text(kFullDumpFile, "Dump.bin");
      const bool raise = a.Flag(kMaxSpeed) || a.Has(kRaiseTo);
      FullDumpOptions options;
      options.raiseTo = std::min(a.Choice(kRaiseTo, 0), kFullDumpFastest);
      options.resume = a.Flag(kResume);
      // Nothing changes on the device unless the dump can be kept and, with a
      // raised speed, the settings can follow it. A file to continue must
      // hold whole pages.
      RequireCreatableFile(file);
      if (options.resume) DumpFilePages(file);
      if (raise) RequireWritableSettings(in.settingsPath);
      RunFullDump(in.session, file, raise, in.quiet, in.logExchange, options);
    },
    nullptr,
    "--raise-to поднимает скорость и без --max-speed; \"наибольшая\" (или max) пробует\n"
    "57600, 38400 и 19200 и берёт первую, на которой ЭКЛЗ отвечает на запрос состояния.\n"
    "Скорость возвращается после дампа, также после сбоя и прерывания.\n"
    "--resume дописывает в файл страницы, которых в нём ещё нет; файл, размер которого\n"
    "не кратен 512 байтам, не продолжается и не изменяется."};

const OptionSpec kRequestNumber = TextOption("number", "ТЕКСТ", "№ заявки (по умолчанию 1)");
const OptionSpec kEklzSerial = TextOption("eklz-serial", "ТЕКСТ", "заводской № ЭКЛЗ");
const OptionSpec kFailure = TextOption("failure", "ТЕКСТ", "внешнее проявление отказа");
const OptionSpec kBrokenDate = DateOption("broken-date", "дата отказа (по умолчанию сегодня)");
const OptionSpec kNotTransferred =
    TextOption("not-transferred", "ТЕКСТ", "данные архива не перенесены, по этой причине");
const SubCommand kRepairRequest{
    "repair-request", "заявка на ремонт: опрос ЭКЛЗ и переменные бланка",
    {&kRequestNumber, &kEklzSerial, &kFailure, &kBrokenDate, &kNotTransferred},
    [](Invocation& in) {
      RepairRequestPanel panel;
      const KkmParticulars kkm =
          RunRepairRequest(in.session, false, in.quiet, in.logExchange, panel);
      // What the operator types into the panel before printing.
      const Arguments& a = in.args;
      panel.numRequest = a.Text(kRequestNumber, panel.numRequest);
      panel.serialNumEklz = a.Text(kEklzSerial);
      panel.developmentFailure = a.Text(kFailure);
      panel.dateOfBroken = a.Date(kBrokenDate, panel.dateOfBroken);
      if (a.Has(kNotTransferred)) {
        panel.archiveTransferred = false;
        panel.failureToCarryOut = a.Text(kNotTransferred);
      }
      EklzSession& s = in.session;
      s.AppendResultLine("", false);
      s.AppendResultLine("Обнаружены неисправности:", false);
      s.AppendResultLine(panel.detectFailure, false);
      s.AppendResultLine("", false);
      s.AppendResultLine("Переменные бланка заявки:", false);
      // The organisation's particulars are those the window's options keep.
      const WindowSettings stored = LoadWindowSettings(in.settingsPath);
      const RepairOrganisation organisation{stored.NameOrg, stored.FioBoss};
      for (const char* name : kRepairFormVariables) {
        s.AppendResultLine(
            std::string(name) + "=" + RepairFormVariable(kkm, organisation, panel, name), false);
      }
    }};

const SubCommand kPorts{"ports", "последовательные порты этого компьютера", {},
                        [](Invocation& in) {
                          for (const SerialPortInfo& p : ListSerialPorts()) {
                            std::string line = p.name;
                            if (p.devicePath != p.name) line += "\t" + p.devicePath;
                            if (const std::string d = p.Description(); !d.empty()) line += "\t" + d;
                            in.session.AppendResultLine(line, false);
                          }
                        },
                        nullptr, nullptr, true};

const OptionSpec kRates = TextOption(
    "rates", "СКОРОСТИ", "скорости через запятую (по умолчанию 2400,4800,9600,19200,38400,57600)");
// The rates of --rates (comma-separated), or every rate of the device.
std::vector<std::string> SearchRates(const Arguments& a) {
  const std::string list = a.Text(kRates, "");
  if (list.empty()) return {std::begin(kExchangeRates), std::end(kExchangeRates)};
  std::vector<std::string> rates;
  for (size_t start = 0; start <= list.size();) {
    const size_t comma = std::min(list.find(',', start), list.size());
    rates.push_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  return rates;
}

const SubCommand kFind{
    "find", "поиск ЭКЛЗ на портах и скоростях; первый ответивший порт и скорость", {&kRates},
    [](Invocation& in) {
      const Settings& settings = in.session.settings;
      const std::vector<std::string> rates = SearchRates(in.args);
      std::vector<std::string> ports;
      if (in.portGiven) ports.push_back(settings.ComPort);
      for (const SerialPortInfo& p : ListSerialPorts()) {
        if (!in.portGiven || p.name != settings.ComPort) ports.push_back(p.name);
      }
      EklzSession& s = in.session;
      const PortSearchResult result =
          FindEklz(s, ports, rates, settings.TimeOuts,
                   [&](const std::string& port, const std::string& rate, int index, int total) {
                     s.Output().StepProgress("Поиск: " + port + ", " + rate, index, total);
                   });
      for (const std::string& failed : result.failed) {
        s.AppendResultLine("Порт не открывается: " + failed, false);
      }
      if (!result.found) throw TEKLZException("ЭКЛЗ не найдена");
      s.AppendResultLine("ЭКЛЗ найдена: " + result.port + ", " + result.rate, false);
    },
    [](const Arguments& a) {
      for (const std::string& rate : SearchRates(a)) {
        if (ExchangeRateIndex(rate) < 0) {
          throw UsageError("--rates: скорость " + rate +
                           " не из списка 2400, 4800, 9600, 19200, 38400, 57600");
        }
      }
    },
    "Пробует каждый существующий порт (сначала заданный --port) на каждой скорости\n"
    "запросом регистрационного номера в текстовой форме; каждая попытка ждёт ответа\n"
    "до 2000 мс + тайм-аут. Код выхода 1, если ЭКЛЗ не ответила ни на одном порту.",
    true};

}  // namespace

const std::vector<SubCommand>& SubCommands() {
  static const std::vector<SubCommand> kAll = {
      kSaleCommand, kBuyCommand, kReturnSaleCommand, kReturnBuyCommand, kDiscountCommand,
      kMarginCommand, kStorno, kFinishDocument, kAbort, kCloseShift, kFreeTextCommand,
      kCloseArchive, kCancelCloseArchive, kInitArchive, kStatus, kShiftStatus, kArchiveTest,
      kActivate, kSetExchange, kRegNumberQuery, kActivationResult, kVersion, kCryptoSerial,
      kCurrentKpk, kProcessorDump, kControlTape, kDocument, kShiftTotals, kReport, kDump,
      kCommand, kMassDocuments, kAutotest, kFullDump, kRepairRequest, kPorts, kFind,
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
