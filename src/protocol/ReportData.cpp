#include "protocol/ReportData.h"

#include "protocol/AnswerCodes.h"
#include "codec/CommandCodes.h"
#include "protocol/Exchange.h"

namespace eklz {

DecodedReply RequestReportData(EklzSession& session, int /*fragmentNumber*/, bool textForm,
                               bool logExchange, bool quiet, size_t* dataBytes) {
  SendFrame(session, BuildRequest(code::kReportData), logExchange);
  const Reply reply = ReadReply(session, ReplyShape{}, quiet, logExchange);
  if (dataBytes) *dataBytes = reply.data.size();
  if (session.LastAnswer.Code == kAnswerNoData) return {};
  RequireGoodAnswer(session);
  if (reply.data.empty()) return {};
  return DeliverReplyData(session, reply, textForm);
}

}  // namespace eklz
