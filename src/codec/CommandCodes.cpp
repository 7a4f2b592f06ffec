#include "codec/CommandCodes.h"

namespace eklz {

int ExchangeRateIndex(const std::string& rateText) {
  for (int i = 0; i < kExchangeRateCount; ++i) {
    if (rateText == kExchangeRates[i]) return i;
  }
  return -1;
}

int ExchangeRateIndex(uint32_t baud) { return ExchangeRateIndex(std::to_string(baud)); }

std::string CommandCodeName(uint8_t code) {
  const bool textForm = (code & code::kTextForm) != 0;
  const char* name = "неизвестная команда";
  switch (code & ~code::kTextForm) {
    case code::kActivate: name = "активизация"; break;
    case code::kExchangeParams: name = "установка параметров обмена"; break;
    case code::kDump: name = "запрос дампа архива"; break;
    case code::kFreeText: name = "ввод произвольного текста"; break;
    case code::kReportData: name = "запрос данных отчёта"; break;
    case code::kAbort: name = "отмена документа или отчёта"; break;
    case code::kStatus: name = "запрос состояния"; break;
    case code::kArchiveTest: name = "проверка целостности архива"; break;
    case code::kCloseShift: name = "закрытие смены"; break;
    case code::kCloseArchive: name = "закрытие архива"; break;
    case code::kSale: name = "продажа"; break;
    case code::kPurchase: name = "покупка"; break;
    case code::kSaleReturn: name = "возврат продажи"; break;
    case code::kPurchaseReturn: name = "возврат покупки"; break;
    case code::kRegNumber: name = "запрос регистрационного номера"; break;
    case code::kDiscount: name = "скидка"; break;
    case code::kMarkup: name = "наценка"; break;
    case code::kStorno: name = "сторно"; break;
    case code::kComplete: name = "завершение документа"; break;
    case code::kControlTape: name = "запрос контрольной ленты"; break;
    case code::kDocument: name = "запрос документа"; break;
    case code::kReport: name = "запрос отчёта"; break;
    case code::kShiftTotals: name = "запрос итогов смены"; break;
    case code::kActivationResult: name = "запрос итога активизации"; break;
    case code::kInitArchive: name = "инициализация архива"; break;
    case code::kVersion: name = "запрос версии"; break;
    case code::kCryptoSerial: name = "запрос заводского номера криптопроцессора"; break;
    case code::kCurrentKpk: name = "запрос текущего номера КПК"; break;
    case code::kProcessorDump: name = "запрос дампа процессора"; break;
    case code::kLiftArchiveClosed: name = "снятие флага закрытия архива"; break;
    default: return name;
  }
  return textForm ? std::string(name) + " (текстовая форма)" : std::string(name);
}

uint32_t ExchangeRateOfIndex(int index) {
  if (index < 0 || index >= kExchangeRateCount) return 0;
  return static_cast<uint32_t>(std::stoul(kExchangeRates[index]));
}

}  // namespace eklz
