// Shift and archive service commands.
#pragma once

#include <cstdint>
#include <string>

#include "codec/Regional.h"
#include "protocol/Session.h"

namespace eklz {

// Items of the free-text binding list, in list order, with their codes.
struct FreeTextBinding {
  const char* itemText;
  uint8_t code;
};
inline constexpr FreeTextBinding kFreeTextBindings[] = {
    {"Продажа", 0x10},
    {"Покупка", 0x11},
    {"Возврат продажи", 0x12},
    {"Возврат покупки", 0x13},
    {"Скидка", 0x16},
    {"Наценка", 0x17},
    {"Завершение документа", 0x19},
    {"Завершение документа (текстовое)", 0x99},
};

// Each returns the result text, "Операция успешно выполнена" on success.
std::string DoCloseShift(EklzSession& s, uint8_t operatorCode, const CalendarDate& date,
                         const ClockTime& time, bool quiet, bool logExchange);

// lengthChoice 0 sends 16 characters, any other 40; binding is the index of
// the binding list (refused outside 0..7); department 0..255; win1251 sends
// the text in Windows-1251, otherwise it is converted to CP866.
std::string DoFreeText(EklzSession& s, int lengthChoice, int department, int binding,
                       const std::string& text, bool win1251, bool quiet, bool logExchange);

std::string DoCloseArchive(EklzSession& s, bool quiet, bool logExchange);
std::string DoCancelCloseArchive(EklzSession& s, bool quiet, bool logExchange);
// Waits 4 s after the acknowledgement before reading the reply.
std::string DoInitArchive(EklzSession& s, bool quiet, bool logExchange);

}  // namespace eklz
