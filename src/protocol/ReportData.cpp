#include "protocol/ReportData.h"

#include "protocol/CodePage.h"
#include "protocol/Errors.h"
#include "protocol/Exchange.h"
#include "protocol/Fragments.h"

namespace eklz {

std::string RequestReportData(EklzSession& session, int /*fragmentNumber*/, bool textForm,
                              bool logExchange, bool quiet) {
  const std::string frame = FinishFrame(InsertFrameLength("02 05 ", 0));
  SendFrame(session, frame, logExchange);
  const Reply reply = ReadReply(session, ReplyShape{}, quiet, logExchange);
  const TAnswerInfo& answer = session.LastAnswer;
  if (answer.Code == kAnswerNoData) return {};
  if (answer.Code != 0) throw TEKLZException(answer.Message);
  if (reply.data.empty()) return {};
  if (textForm) return Cp866ToUtf8(std::string(reply.data.begin(), reply.data.end()));
  return DecodeFragments(session, RemoveBlanks(reply.dataText));
}

}  // namespace eklz
