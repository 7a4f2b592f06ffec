#include "commands/Information.h"

#include "commands/Common.h"
#include "codec/Errors.h"
#include "protocol/Fragments.h"

namespace eklz {

namespace {

constexpr size_t kProcessorDumpBytes = 90;

// Heading, request, "Запрос успешно отправлен" (and "Ожидание ответа..." when
// asked), then the reply with the given delivery.
DecodedReply Query(EklzSession& s, const char* heading, uint8_t command, bool awaitLine,
                   const ReplyDelivery& delivery, bool quiet, bool logExchange) {
  s.AppendResultLine(heading, quiet);
  SendFrame(s, BuildRequest(command), logExchange);
  s.AppendResultLine(kRequestSent, quiet);
  if (awaitLine) s.AppendResultLine(kAwaitingReply, quiet);
  return ReceiveDecodedReply(s, delivery, quiet, logExchange);
}

}  // namespace

std::string AskRegNumber(EklzSession& s, bool textForm, bool quiet, bool logExchange) {
  const std::string result =
      Query(s, "Запрос регистрационного номера ЭКЛЗ", FormCode(code::kRegNumber, textForm), false,
            textForm ? ReplyDelivery::Text() : ReplyDelivery::Hex(), quiet, logExchange)
          .text;
  s.AppendResultLine("Регистрационный номер ЭКЛЗ:" + result, quiet);
  return result;
}

DecodedReply AskActivationResult(EklzSession& s, bool textForm, bool quiet, bool logExchange) {
  DecodedReply result =
      Query(s, "Запрос итога активизации", FormCode(code::kActivationResult, textForm), false,
            ReplyDelivery::TextOrFragments(textForm).WithReport(textForm), quiet, logExchange);
  s.AppendResultLine(result.text, quiet);
  return result;
}

std::string AskVersion(EklzSession& s, bool textForm, bool quiet, bool logExchange) {
  const std::string result = Query(s, "Запрос версии ЭКЛЗ", FormCode(code::kVersion, textForm),
                                   false, ReplyDelivery::Text(), quiet, logExchange)
                                 .text;
  s.AppendResultLine("Версия ЭКЛЗ:" + result, quiet);
  return result;
}

std::string AskCryptoSerial(EklzSession& s, bool quiet, bool logExchange) {
  const std::string result = Query(s, "Запрос серийного номера криптопроцессора",
                                   code::kCryptoSerial, true, ReplyDelivery::Hex(), quiet,
                                   logExchange)
                                 .text;
  s.AppendResultLine("Серийный номер криптопроцессора (HEX): " + result, quiet);
  return result;
}

std::string AskCurrentKpk(EklzSession& s, bool quiet, bool logExchange) {
  const std::string result = Query(s, "Запрос текущего номера КПК", code::kCurrentKpk, true,
                                   ReplyDelivery::Hex(), quiet, logExchange)
                                 .text;
  // Up to eight hexadecimal digits, one signed 32-bit number, high byte first.
  if (result.empty() || result.size() > 8) throw InvalidInteger("$" + result);
  const auto value = static_cast<int32_t>(std::stoul(result, nullptr, 16));
  s.AppendResultLine("Текущий номер КПК: " + std::to_string(value), quiet);
  return result;
}

DecodedReply AskProcessorDump(EklzSession& s, bool quiet, bool logExchange) {
  const std::string data = Query(s, "Запрос дампа одного из процессоров (?)", code::kProcessorDump,
                                 true, ReplyDelivery::Hex(), quiet, logExchange)
                               .text;
  if (data.size() / 2 < kProcessorDumpBytes) {
    throw TEKLZException("Ответ ЭКЛЗ слишком короткий: получено " + std::to_string(data.size() / 2) +
                         " байт данных вместо " + std::to_string(kProcessorDumpBytes));
  }
  const std::string result = data.substr(2);
  // Byte n of the reply data starts at digit 2n - 2 of `result` (the first
  // byte was removed).
  const auto digits = [&](size_t n, size_t count) { return result.substr(2 * n - 4, 2 * count); };
  const auto byteAt = [&](size_t n) { return HexByteAt(result, 2 * n - 3); };

  const std::string date = BcdDateText(digits(2, 3));
  const std::string serial = HexDigitsToText(digits(7, 12));
  const std::string name = HexDigitsToText(digits(34, 40));
  s.AppendResultLine("Дата активизации ЭКЛЗ: " + date, quiet);
  s.AppendResultLine("Время активизации:" + std::to_string(byteAt(5)) + ":" +
                         std::to_string(byteAt(6)),
                     quiet);
  s.AppendResultLine("Заводской № ККМ:" + serial, quiet);
  s.AppendResultLine("ИНН:" + digits(19, 6), quiet);
  s.AppendResultLine("Регистрационный № ККМ:" + digits(25, 6), quiet);
  s.AppendResultLine("№ смены:" + std::to_string(byteAt(31) * 256 + byteAt(32)), quiet);
  s.AppendResultLine("Имя ККМ (тип):" + name, quiet);
  s.AppendResultLine("Серийный номер процессора:" + digits(78, 4), quiet);
  s.AppendResultLine("Регистрационный № ЭКЛЗ:" + digits(86, 5), quiet);

  DecodedReply decoded{result, {}};
  decoded.kkm.activationDate = ParseShortDateYY(date);
  decoded.kkm.model = name;
  decoded.kkm.serial = serial;
  s.Output().ParticularsLearned(decoded.kkm);
  return decoded;
}

}  // namespace eklz
