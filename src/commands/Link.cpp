#include "commands/Link.h"

#include "commands/Documents.h"

namespace eklz {

void OpenLink(EklzSession& s) {
  s.OpenPort(s.settings.ComPort, s.settings.BoundRate, s.settings.TimeOuts);
  s.Output().ConnectionStatus("Соединение установлено");
  if (s.settings.EKLZAbort) DoAbort(s, true, false);
}

}  // namespace eklz
