#include "commands/Status.h"

#include <vector>

#include "commands/Common.h"
#include "codec/Errors.h"
#include "commands/LineDecoder.h"

namespace eklz {

namespace {

// Sends a status-type request and reads its reply with `dataBytes` data
// bytes; returns the reply after the answer lines are written.
Reply StatusExchange(EklzSession& s, const char* heading, uint8_t command, uint8_t selector,
                     int dataBytes, bool quiet, bool logExchange) {
  s.AppendResultLine(heading, quiet);
  SendFrame(s, BuildRequest(command, ByteField(selector)), logExchange);
  s.AppendResultLine(kRequestSent, quiet);
  ReplyShape shape;
  shape.count = ReplyShape::DataCount::Fixed;
  shape.fixedCount = dataBytes;
  shape.resultLabel = kResultLabel;
  return ReadReply(s, shape, quiet, logExchange);
}

}  // namespace

std::string ShortAmount(const std::string& bcdDigits) {
  const int64_t v = BcdDigitsValue(bcdDigits);
  std::string out = std::to_string(v / 100);
  int64_t cents = v % 100;
  if (cents != 0) {
    out += kDecimalSeparator;
    out += static_cast<char>('0' + cents / 10);
    if (cents % 10 != 0) out += static_cast<char>('0' + cents % 10);
  }
  return out;
}

std::vector<std::string> StatusFlagLines(uint8_t flags) {
  const bool d = flags & 0x20;
  std::string t = "  Флаг t=00, верней его значение не определено";
  if (d) {
    static const char* const kKinds[] = {"документ продажи", "документ покупки",
                                         "документ возврата продажи", "документ возврата покупки"};
    const int bit0 = flags & 0x01, bit1 = (flags >> 1) & 0x01;
    t = "  Флаг t=" + std::to_string(bit0) + std::to_string(bit1) + " " + kKinds[bit0 + 2 * bit1];
  }
  return {
      d ? "  Флаг d=1 - Открыт документ " : "  Флаг d=0 - Открытых документов нет ",
      t,
      flags & 0x04 ? "  Флаг i=1 - Архив открыт" : "  Флаг i=0 - Архив не открыт",
      flags & 0x08 ? "  Флаг f=1 - Выполнена активизация ЭКЛЗ" : "  Флаг f=0 - ЭКЛЗ не активизирована ",
      flags & 0x10 ? "  Флаг w=1 - Выполнен запрос отчета" : "  Флаг w=0 - Отчеты не запрашивались",
      flags & 0x40 ? "  Флаг s=1 - Открыта смена" : "  Флаг s=0 - Cмена не открыта",
      flags & 0x80 ? "  Флаг a=1 - Неисправимая ошибка устройства"
                   : "  Флаг a=0 - Неисправимых ошибок в устройстве не обнаружено",
  };
}

void AskStatus(EklzSession& s, bool quiet, bool logExchange) {
  const Reply reply = StatusExchange(s, "Запрос состояния ЭКЛЗ", code::kStatus, 0x01, 20, quiet, logExchange);
  RequireGoodAnswer(s);
  std::string badDigits;
  for (const std::string& line : StatusRecordLines(reply.data, &badDigits)) {
    s.AppendResultLine(line, quiet);
  }
  if (!badDigits.empty()) throw InvalidInteger(badDigits);
}

void AskShiftStatus(EklzSession& s, bool quiet, bool logExchange) {
  const Reply reply =
      StatusExchange(s, "Запрос состояния ЭКЛЗ по смене", code::kStatus, 0x02, 26, quiet, logExchange);
  RequireGoodAnswer(s);
  std::string badDigits;
  for (const std::string& line : ShiftStatusLines(reply.data, &badDigits)) {
    s.AppendResultLine(line, quiet);
  }
  if (!badDigits.empty()) throw InvalidInteger(badDigits);
}

std::string DoArchiveTest(EklzSession& s, bool quiet, bool logExchange) {
  const Reply reply = StatusExchange(s, "Тест архива", code::kArchiveTest, 0x01, 0, quiet, logExchange);
  const std::string archiveState =
      reply.answerByte == 0x03 ? "Архив повреждён!" : "Архив в нормальном состоянии";
  s.AppendResultLine(archiveState, quiet);
  RequireGoodAnswer(s);
  return archiveState;
}

}  // namespace eklz
