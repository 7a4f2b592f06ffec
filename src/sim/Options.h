// Command line of eklz-sim.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/Faults.h"
#include "sim/Model.h"
#include "sim/PtyServer.h"

namespace eklz::sim {

struct SimOptions {
  std::string linkPath;
  uint32_t rate = 9600;
  bool rateCheck = true;
  bool exitOnHangup = false;
  bool trace = false;  // each request, reply and ignored request on stderr
  bool demo = false;  // start from the demo state instead of a factory-new device
  std::string stateFile;
  std::string replayPath;  // answer from this protocol file instead of the device model
  TapMode tap = TapMode::None;  // copies of the line's traffic on pseudo-terminals of their own
  Identity identity;
  FaultPlan faults;
  bool help = false;
  bool version = false;
};

// Parses the arguments after the program name. Raises std::invalid_argument
// with a message naming the offending option.
SimOptions ParseOptions(const std::vector<std::string>& args);

// The --help text.
std::string HelpText();

}  // namespace eklz::sim
