// Opening the link from the settings.
#pragma once

#include "protocol/Session.h"

namespace eklz {

// Opens the port named by the settings at their rate and time-out, shows
// "Соединение установлено: COM1, 9600" and, when the settings ask for it, sends the
// abort command quietly and unlogged. Any failure leaves as an exception.
// When the settings file records a raised rate (a run that was killed before
// it set the speed back), the device is first asked at that rate to go back
// to the settings' rate; a device that does not answer there never took it.
// A rate set back is said in a result line and the exchange pane.
void OpenLink(EklzSession& s);

}  // namespace eklz
