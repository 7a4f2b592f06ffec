#include "procedures/FullDump.h"

#include "commands/Activation.h"
#include "commands/ArchiveDump.h"
#include "codec/Errors.h"
#include "settings/Settings.h"

namespace eklz {

namespace {

// Sets the EKLZ and the port back to the rate and time-out they had before
// the dump raised the speed.
void RestoreSpeed(EklzSession& s, const std::string& oldRate, int oldTimeout, bool quiet,
                  bool logExchange) {
  const int rateIndex = ExchangeRateIndex(oldRate);
  if (rateIndex < 0) {
    throw TEKLZException("Скорость " + oldRate +
                         " не входит в список скоростей обмена ЭКЛЗ, прежняя скорость не "
                         "восстановлена: ЭКЛЗ и порт остаются на скорости 19200");
  }
  DoSetExchangeParams(s, s.settings.ComPort, rateIndex, oldTimeout, oldRate, quiet, logExchange);
}

}  // namespace

void RunFullDump(EklzSession& s, const std::string& fileName, bool raiseSpeed, bool quiet,
                 bool logExchange) {
  const std::string oldRate = s.settings.BoundRate;
  const int oldTimeout = s.settings.TimeOuts;
  if (raiseSpeed) {
    // Recorded first: a program killed from here on still finds the device.
    if (!s.settingsFile.empty()) RecordRaisedRate(s.settingsFile, {"19200", 20});
    DoSetExchangeParams(s, s.settings.ComPort, 3, 20, "19200", quiet, logExchange);
  }

  bool cancelled = false;
  try {
    AskArchiveDump(s, true, fileName, 0, kArchivePages - 1, false, quiet, logExchange);
  } catch (const EOperationCancelled&) {
    // The operator stopped the run in a wait; the device did not fail.
    if (!raiseSpeed) throw;
    cancelled = true;
  }
  if (raiseSpeed) {
    // Also after a cancel (in a wait or between pages) the raised speed is set
    // back: the EKLZ must not be left at 19200.
    EklzSession::CleanupScope cleanup(s);
    RestoreSpeed(s, oldRate, oldTimeout, quiet, logExchange);
    if (!s.settingsFile.empty()) ClearRaisedRate(s.settingsFile);
  }
  if (cancelled) throw EOperationCancelled();
}

}  // namespace eklz
