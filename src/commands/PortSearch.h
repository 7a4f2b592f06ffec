// Looking for an EKLZ: the probe of one port and rate, and the search over
// ports and rates that stops at the first that answers.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "protocol/Session.h"

namespace eklz {

// The probe request: the registration-number request in its text form,
// quiet and unlogged, on the open port. True when it completed (answer code
// 0); false on any failure of the exchange. A cancel request leaves as
// EOperationCancelled.
bool ProbeEklz(EklzSession& s);

struct PortSearchResult {
  bool found = false;
  std::string port;  // the port and rate that answered
  std::string rate;
  std::vector<std::string> missing;  // listed ports that do not exist on this computer
  std::vector<std::string> failed;   // "port: error" for ports that exist but did not open
};

// Called before each probe: the port and rate about to be tried, the number
// of this try (from 1) and of all tries.
using PortSearchStep =
    std::function<void(const std::string& port, const std::string& rate, int index, int total)>;

// Tries every port of `ports` that exists on this computer (in list order,
// each once) at every rate of `rates` (in list order), opening it as the
// session's port with the time-out `timeout`, until a probe succeeds; the
// port that answered stays open. A port that does not exist is skipped, and
// so is one that cannot be opened (busy, no permission), with its error
// kept; a rate that is not a number ends the search with EConvertError.
// When nothing answered the last port tried stays open. The session's cancel
// request ends the search with EOperationCancelled.
PortSearchResult FindEklz(EklzSession& s, const std::vector<std::string>& ports,
                          const std::vector<std::string>& rates, int timeout,
                          const PortSearchStep& onStep = {});

}  // namespace eklz
