// Activation of the EKLZ and its serial exchange parameters.
#pragma once

#include <string>

#include "codec/CommandCodes.h"
#include "codec/Regional.h"
#include "protocol/Session.h"

namespace eklz {

// Activates the EKLZ. The serial number must have 12 characters, INN and
// registration number 12 digits each, the name at most 16 characters (line
// width 16) or 40 (any other width), the shift 0..65535 and the line width
// 0..255; anything else is refused before a line is written. The request is
// always logged. Returns the decoded KPK line or the reply text.
std::string DoActivate(EklzSession& s, bool textForm, const std::string& serialNumber,
                       const CalendarDate& activationDate, const ClockTime& activationTime,
                       const std::string& inn, const std::string& regNumber,
                       const std::string& kkmName, int lineWidth, int lastShift, bool quiet,
                       bool logExchange);

// Sets the EKLZ's rate (code `rateIndex`, 0..5) and time-out (2..255); after
// the device accepts them the port is closed and opened again on `portName`
// at `rateText`, and the session's settings take the three values. Returns
// the result text of the device's reply.
std::string DoSetExchangeParams(EklzSession& s, const std::string& portName, int rateIndex,
                                int timeout, const std::string& rateText, bool quiet,
                                bool logExchange);

}  // namespace eklz
