// Document commands: the lines of a receipt as the cash register registers
// them in the EKLZ, the document's completion and the abort.
#pragma once

#include <cstdint>
#include <string>

#include "codec/Regional.h"
#include "protocol/Session.h"

namespace eklz {

// Each returns the result text, "Операция успешно выполнена" on success.
// Quantities above 99999.999, sums above 99999999.99 and negative values are
// refused before anything is sent.
std::string DoSale(EklzSession& s, uint8_t department, double quantity, double sum, bool quiet,
                   bool logExchange);
std::string DoBuy(EklzSession& s, uint8_t department, double quantity, double sum, bool quiet,
                  bool logExchange);
std::string DoReturnSale(EklzSession& s, uint8_t department, double quantity, double sum,
                         bool quiet, bool logExchange);
std::string DoReturnBuy(EklzSession& s, uint8_t department, double quantity, double sum,
                        bool quiet, bool logExchange);
std::string DoDiscount(EklzSession& s, double sum, bool quiet, bool logExchange);
std::string DoMargin(EklzSession& s, double sum, bool quiet, bool logExchange);
// Reversed codes below 0x14 carry department and quantity, the others only the sum.
std::string DoStorno(EklzSession& s, uint8_t reversedCommand, uint8_t department, double sum,
                     double quantity, bool quiet, bool logExchange);
// Returns the decoded KPK line (numeric form) or the reply text (text form).
std::string DoFinishDocument(EklzSession& s, bool textForm, uint8_t operatorCode,
                             const CalendarDate& date, const ClockTime& time, bool quiet,
                             bool logExchange);
std::string DoAbort(EklzSession& s, bool quiet, bool logExchange);

// Name of a reversed command in the storno heading ("продажи", ...), empty
// for a code without one.
std::string ReversedCommandName(uint8_t command);

}  // namespace eklz
