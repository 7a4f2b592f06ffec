// The autotest: seven read-only queries under a dated heading.
#pragma once

#include "protocol/Session.h"

namespace eklz {

// Registration number, crypto serial, version, archive test, status, shift
// status and activation result, in this order; textForm applies to the three
// that have a text form. The first failure ends the run.
void RunAutotest(EklzSession& s, bool textForm, bool quiet, bool logExchange);

}  // namespace eklz
