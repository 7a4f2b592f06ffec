#include "procedures/FullDump.h"

#include "commands/Activation.h"
#include "commands/ArchiveDump.h"
#include "protocol/Errors.h"

namespace eklz {

void RunFullDump(EklzSession& s, const std::string& fileName, bool raiseSpeed, bool quiet,
                 bool logExchange) {
  const std::string oldRate = s.settings.BoundRate;
  const int oldTimeout = s.settings.TimeOuts;
  std::string result;
  if (raiseSpeed) {
    DoSetExchangeParams(s, s.settings.ComPort, 3, 20, "19200", quiet, logExchange, result);
  }

  std::string pageData;
  AskArchiveDump(s, true, fileName, 0, kArchivePages - 1, false, quiet, logExchange, pageData);

  if (raiseSpeed) {
    const int rateIndex = ExchangeRateIndex(oldRate);
    if (rateIndex < 0) {
      throw TEKLZException("Скорость " + oldRate +
                           " не входит в список скоростей обмена ЭКЛЗ, прежняя скорость не "
                           "восстановлена: ЭКЛЗ и порт остаются на скорости 19200");
    }
    DoSetExchangeParams(s, s.settings.ComPort, rateIndex, oldTimeout, oldRate, quiet, logExchange,
                        result);
  }
}

}  // namespace eklz
