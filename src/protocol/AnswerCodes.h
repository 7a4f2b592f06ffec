// The answer byte of every device reply: its code, the near-full warning
// bit and the message the operator sees.
#pragma once

#include <cstdint>
#include <string>

namespace eklz {

struct TAnswerInfo {
  uint8_t Code = 0;         // 0..9, or 10 for every value without an entry
  bool NearlyFull = false;  // the top bit of the answer byte was set
  std::string Message;      // with the warning line appended when NearlyFull
};

inline constexpr uint8_t kAnswerNoData = 8;  // "Нет  запрошенных данных"

TAnswerInfo DecodeAnswerCode(uint8_t answerByte);

}  // namespace eklz
