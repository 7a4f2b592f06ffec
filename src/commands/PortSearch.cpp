#include "commands/PortSearch.h"

#include <algorithm>

#include "commands/Information.h"
#include "codec/Errors.h"
#include "serial/PortList.h"

namespace eklz {

bool ProbeEklz(EklzSession& s) {
  try {
    AskRegNumber(s, true, true, false);
    return true;
  } catch (const EOperationCancelled&) {
    throw;
  } catch (const std::exception&) {
    return false;
  }
}

PortSearchResult FindEklz(EklzSession& s, const std::vector<std::string>& ports,
                          const std::vector<std::string>& rates, int timeout,
                          const PortSearchStep& onStep) {
  PortSearchResult result;
  std::vector<std::string> present;
  for (const std::string& port : ports) {
    if (std::find(present.begin(), present.end(), port) != present.end()) continue;
    if (PortPresent(port)) {
      present.push_back(port);
    } else if (std::find(result.missing.begin(), result.missing.end(), port) == result.missing.end()) {
      result.missing.push_back(port);
    }
  }

  const int total = static_cast<int>(present.size() * rates.size());
  int index = 0;
  for (const std::string& port : present) {
    for (size_t r = 0; r < rates.size(); ++r) {
      const std::string& rate = rates[r];
      s.ThrowIfCancelled();
      ++index;
      if (onStep) onStep(port, rate, index, total);
      try {
        s.OpenPort(port, rate, timeout);
      } catch (const ESystemError& e) {
        // The port will not open at another rate either.
        result.failed.push_back(port + ": " + e.what());
        index += static_cast<int>(rates.size() - r - 1);
        break;
      }
      if (ProbeEklz(s)) {
        result.found = true;
        result.port = port;
        result.rate = rate;
        return result;
      }
    }
  }
  return result;
}

}  // namespace eklz
