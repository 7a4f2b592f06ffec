// Status queries and the archive test. They read their replies with a fixed
// number of data bytes (20, 26 and none) whatever the length byte says.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/Session.h"

namespace eklz {

// Document total, date, time, last KPK, EKLZ number and the state flags.
void AskStatus(EklzSession& s, bool quiet, bool logExchange);
// Current shift number and its four running totals.
void AskShiftStatus(EklzSession& s, bool quiet, bool logExchange);
// Returns "Архив повреждён!" when the answer byte is exactly 0x03, else
// "Архив в нормальном состоянии"; a non-zero answer code fails after that
// line is written.
std::string DoArchiveTest(EklzSession& s, bool quiet, bool logExchange);

// An amount of BCD digits whose last two are hundredths, in its shortest
// form with the decimal comma: "12345" -> "123,45", "10000" -> "100".
std::string ShortAmount(const std::string& bcdDigits);

// The seven lines that explain a state flags byte, in the order d, t, i, f, w, s, a.
std::vector<std::string> StatusFlagLines(uint8_t flags);

}  // namespace eklz
