// The report-data request (command 0x05): fetches the next fragment of the
// report the EKLZ is delivering.
#pragma once

#include <cstddef>
#include <string>

#include "protocol/Particulars.h"
#include "protocol/Session.h"

namespace eklz {

// Returns the fragment as text, decoded in the numeric form (with the
// particulars it carried), converted from CP866 in the text form. The text
// is empty when the report is complete (answer code 8, with or without the
// near-full bit, or a good answer that carries no data). `fragmentNumber`
// only labels the request for the caller. The request and every reply piece are logged when `logExchange`; the fetch
// loop of ReceiveReply always passes it on and `quiet` on. `dataBytes`, when
// given, receives the number of data bytes the reply carried.
DecodedReply RequestReportData(EklzSession& session, int fragmentNumber, bool textForm,
                               bool logExchange, bool quiet, size_t* dataBytes = nullptr);

}  // namespace eklz
