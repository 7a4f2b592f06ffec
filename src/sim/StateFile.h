// The state file: the requests that built the archive, one per line as
// hexadecimal text, replayed into a factory-new device on load. Replaying
// gives back every record, KPK and total exactly, since the device keeps
// nothing it was not told.
//
//   EKLZ-SIM-STATE 1
//   # comment lines and empty lines are skipped
//   02 31 01 24 03 11 08 30 ...
//   02 0B 10 01 00 00 10 00 00 00 01 00 00 1B
#pragma once

#include <string>

#include "sim/Device.h"

namespace eklz::sim {

// Writes the device's journal to `path` (through a temporary file renamed
// over the old one). Raises std::runtime_error when it cannot.
void SaveState(const Device& device, const std::string& path);

// Replays the journal in `path` into `device`, which must be factory-new.
// Returns false when the file does not exist; raises std::runtime_error
// for a file that is not a state file or a request the device refuses.
bool LoadState(Device& device, const std::string& path);

}  // namespace eklz::sim
