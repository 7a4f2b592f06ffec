#include "protocol/CommandCodes.h"

namespace eklz {

int ExchangeRateIndex(const std::string& rateText) {
  for (int i = 0; i < kExchangeRateCount; ++i) {
    if (rateText == kExchangeRates[i]) return i;
  }
  return -1;
}

int ExchangeRateIndex(uint32_t baud) { return ExchangeRateIndex(std::to_string(baud)); }

uint32_t ExchangeRateOfIndex(int index) {
  if (index < 0 || index >= kExchangeRateCount) return 0;
  return static_cast<uint32_t>(std::stoul(kExchangeRates[index]));
}

}  // namespace eklz
