// Identification and activation queries. Each request is the command byte
// alone; the text variants (code + 0x80) answer with CP866 text.
#pragma once

#include <string>

#include "protocol/Session.h"

namespace eklz {

// `result` receives the data as hexadecimal digits (numeric) or the text.
void AskRegNumber(EklzSession& s, bool textForm, bool quiet, bool logExchange, std::string& result);
// The first fragment decoded (numeric) or as text; the rest of the activation
// report is fetched and written before it.
void AskActivationResult(EklzSession& s, bool textForm, bool quiet, bool logExchange,
                         std::string& result);
// The version is always read as CP866 text, also for the numeric code 0x2A.
void AskVersion(EklzSession& s, bool textForm, bool quiet, bool logExchange, std::string& result);
void AskCryptoSerial(EklzSession& s, bool quiet, bool logExchange, std::string& result);
void AskCurrentKpk(EklzSession& s, bool quiet, bool logExchange, std::string& result);
// Shows the activation data of the dump and stores the activation date, the
// cash-register model and serial for the repair request. A reply with fewer
// than 90 data bytes is refused after the answer lines.
void AskProcessorDump(EklzSession& s, bool quiet, bool logExchange, std::string& result);

}  // namespace eklz
