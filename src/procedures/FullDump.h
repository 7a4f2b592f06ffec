// The full archive dump: pages 0 to 8191 into one dump file, optionally at
// 19200 baud with the previous rate restored afterwards.
#pragma once

#include <string>

#include "protocol/Session.h"

namespace eklz {

// With `raiseSpeed` the EKLZ and the port are switched to 19200 baud and
// time-out 20 first and set back after the dump, also when the operator
// stopped it. A failure during the dump ends the run at once and leaves the
// speed raised. When the remembered rate has no rate code the speed is not
// set back; the run ends with a message naming the rate.
void RunFullDump(EklzSession& s, const std::string& fileName, bool raiseSpeed, bool quiet,
                 bool logExchange);

}  // namespace eklz
