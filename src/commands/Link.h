// Opening the link from the settings.
#pragma once

#include "protocol/Session.h"

namespace eklz {

// Opens the port named by the settings at their rate and time-out, shows
// "Соединение установлено" and, when the settings ask for it, sends the
// abort command quietly and unlogged. Any failure leaves as an exception.
void OpenLink(EklzSession& s);

}  // namespace eklz
