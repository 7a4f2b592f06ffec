// Identification and activation queries. Each request is the command byte
// alone; the text variants (code + 0x80) answer with CP866 text.
#pragma once

#include <string>

#include "protocol/Particulars.h"
#include "protocol/Session.h"

namespace eklz {

// Each returns what the reply delivered: the data as hexadecimal digits
// (numeric) or the text.
std::string AskRegNumber(EklzSession& s, bool textForm, bool quiet, bool logExchange);
// The first fragment decoded (numeric) or as text; the rest of the activation
// report is fetched and written before it. In the numeric form the returned
// particulars are those its fragments carried.
DecodedReply AskActivationResult(EklzSession& s, bool textForm, bool quiet, bool logExchange);
// The version is always read as CP866 text, also for the numeric code 0x2A.
std::string AskVersion(EklzSession& s, bool textForm, bool quiet, bool logExchange);
std::string AskCryptoSerial(EklzSession& s, bool quiet, bool logExchange);
std::string AskCurrentKpk(EklzSession& s, bool quiet, bool logExchange);
// Shows the activation data of the dump and returns its digits after the
// first byte with the activation date, the cash-register model and serial
// that the repair request prints. A reply with fewer than 90 data bytes is
// refused after the answer lines.
DecodedReply AskProcessorDump(EklzSession& s, bool quiet, bool logExchange);

}  // namespace eklz
