#include "commands/Link.h"

#include "commands/Activation.h"
#include "commands/Documents.h"
#include "codec/CommandCodes.h"
#include "codec/Errors.h"
#include "settings/Settings.h"

namespace eklz {

namespace {

void SetBackARaisedRate(EklzSession& s) {
  if (s.settingsFile.empty()) return;
  const std::optional<RaisedRate> raised = ReadRaisedRate(s.settingsFile);
  if (!raised) return;
  const Settings& wanted = s.settings;
  const int rateIndex = ExchangeRateIndex(wanted.BoundRate);
  if ((raised->rate != wanted.BoundRate || raised->timeout != wanted.TimeOuts) && rateIndex >= 0) {
    try {
      s.OpenPort(wanted.ComPort, raised->rate, raised->timeout);
      DoSetExchangeParams(s, wanted.ComPort, rateIndex, wanted.TimeOuts, wanted.BoundRate, true,
                          false);
      // The operator learns why the link opened with an exchange he did not ask for.
      s.AppendResultLine("ЭКЛЗ была на скорости " + raised->rate +
                             ", оставшейся от прерванного дампа; скорость возвращена на " +
                             wanted.BoundRate,
                         false);
      s.SetExchangeStatus("Скорость ЭКЛЗ возвращена с " + raised->rate + " на " + wanted.BoundRate);
    } catch (const TEKLZException&) {
      // No answer at the raised rate: the device is still at the settings' rate.
    } catch (const EConvertError&) {
      // A record that names no rate.
    }
    s.ClosePort();
  }
  try {
    ClearRaisedRate(s.settingsFile);
  } catch (const std::exception&) {
    // A file that cannot be written: the next start asks once more.
  }
}

}  // namespace

void OpenLink(EklzSession& s) {
  SetBackARaisedRate(s);
  s.OpenPort(s.settings.ComPort, s.settings.BoundRate, s.settings.TimeOuts);
  s.ShowLinkEstablished();
  if (s.settings.EKLZAbort) DoAbort(s, true, false);
}

}  // namespace eklz
