// The reader of recorded protocol files that eklz-sim --replay answers from:
// a user hands it any file. It either refuses it with its own message or
// gives exchanges that each have a request.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sim/Replay.h"

using namespace eklz::sim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<RecordedExchange> exchanges;
  try {
    exchanges = ParseProtocol(text);
  } catch (const ProtocolFileError& e) {
    if (std::string(e.what()).empty()) std::abort();
    return 0;
  }
  if (exchanges.empty()) std::abort();
  int line = 0;
  for (const RecordedExchange& e : exchanges) {
    if (e.request.empty() || e.line <= line) std::abort();
    line = e.line;
  }
  // Every request matches itself when replayed in its order.
  Replay replay(exchanges);
  for (const RecordedExchange& e : exchanges) {
    if (!replay.CouldMatch(e.request) || !replay.Take(e.request).matched) std::abort();
  }
  if (!replay.Complete()) std::abort();
  return 0;
}
