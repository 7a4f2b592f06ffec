#include "procedures/Autotest.h"

#include <cstdio>
#include <functional>
#include <iterator>

#include "commands/Information.h"
#include "commands/Status.h"

namespace eklz {

void RunAutotest(EklzSession& s, bool textForm, bool quiet, bool logExchange) {
  const CalendarDate d = Today();
  const ClockTime t = TimeNow();
  char heading[64];
  std::snprintf(heading, sizeof heading, "%02d.%02d.%04d  %02d:%02d", d.day, d.month, d.year,
                t.hour, t.minute);
  s.AppendResultLine(std::string("Дата,время отчета:") + heading, quiet);

  const std::function<void()> queries[] = {
      [&] { AskRegNumber(s, textForm, quiet, logExchange); },
      [&] { AskCryptoSerial(s, quiet, logExchange); },
      [&] { AskVersion(s, textForm, quiet, logExchange); },
      [&] { DoArchiveTest(s, quiet, logExchange); },
      [&] { AskStatus(s, quiet, logExchange); },
      [&] { AskShiftStatus(s, quiet, logExchange); },
      [&] { AskActivationResult(s, textForm, quiet, logExchange); },
  };
  const int count = static_cast<int>(std::size(queries));
  for (int i = 0; i < count; ++i) {
    s.Output().StepProgress("Запрос", i + 1, count);
    queries[i]();
  }
}

}  // namespace eklz
