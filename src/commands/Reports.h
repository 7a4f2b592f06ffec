// Report queries: journal data read out of the archive fragment by fragment.
#pragma once

#include <string>

#include "codec/Regional.h"
#include "protocol/Session.h"

namespace eklz {

// Items of the report-type list; the first four are refused without a request.
inline constexpr const char* kReportTypes[] = {
    "Полный по  датам по отделу(в данной версии ЭКЛЗ не поддерживается)",
    "Краткий по  датам по отделу(в данной версии ЭКЛЗ не поддерживается)",
    "Полный по номерам смен  по отделу(в данной версии ЭКЛЗ не поддерживается)",
    "Краткий по номерам смен  по отделу(в данной версии ЭКЛЗ не поддерживается)",
    "Полный по  датам по закрытиям смен",
    "Краткий по  датам по закрытиям смен",
    "Полный по номерам смен по закрытиям смен",
    "Краткий по номерам смен  по закрытиям смен",
};

// Shift numbers are refused outside 0..32767 and KPK numbers outside
// 0..99999999 before anything is sent. Each returns the first fragment.
std::string AskControlTape(EklzSession& s, bool textForm, int shiftNumber, bool quiet,
                           bool logExchange);
std::string AskDocument(EklzSession& s, bool textForm, long long kpkNumber, bool quiet,
                        bool logExchange);
std::string AskShiftTotals(EklzSession& s, bool textForm, int shiftNumber, bool quiet,
                           bool logExchange);
// reportType is the index of the report-type list (0..7); 4 and 5 cover a
// date range, 6 and 7 a shift range; the four refused types return an empty text.
std::string AskReport(EklzSession& s, bool textForm, int reportType, const CalendarDate& dateFrom,
                      const CalendarDate& dateTo, int shiftFrom, int shiftTo, bool quiet,
                      bool logExchange);

}  // namespace eklz
