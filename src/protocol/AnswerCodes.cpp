#include "protocol/AnswerCodes.h"

namespace eklz {

namespace {
const char* const kMessages[] = {
    "Нормальное  завершение",
    "Некорректный  формат или параметр команды",
    "Некорректное состояние ЭКЛЗ",
    "Авария  ЭКЛЗ",
    "Авария  КС  (Криптографического сопроцессора) в составе ЭКЛЗ",
    "Исчерпан временной ресурс использования ЭКЛЗ",
    "ЭКЛЗ  переполнена",
    "Неверные  дата или время",
    "Нет  запрошенных данных",
    "Переполнение (отрицательный итог документа, слишком много отделов для клиента) ",
};
constexpr uint8_t kUnknownCode = 10;
const char* const kUnknownMessage = "Неизвестное значение кода ответа";
const char* const kNearlyFullLine = "ЭКЛЗ близка к заполнению (предупреждение)";
}  // namespace

TAnswerInfo DecodeAnswerCode(uint8_t answerByte) {
  TAnswerInfo info;
  info.Code = kUnknownCode;
  info.Message = kUnknownMessage;
  info.NearlyFull = (answerByte & 0x80) != 0;
  const uint8_t value = answerByte & 0x7F;
  if (value <= 9) {
    info.Code = value;
    info.Message = kMessages[value];
  }
  if (info.NearlyFull) info.Message += std::string("\r\n") + kNearlyFullLine;
  return info;
}

}  // namespace eklz
