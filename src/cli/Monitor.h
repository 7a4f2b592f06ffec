// The line monitor (`eklz monitor`) and the decoding of a recorded protocol
// file (`eklz decode`).
#pragma once

#include "cli/SubCommands.h"

namespace eklz::cli {

extern const SubCommand kMonitorCommand;
extern const SubCommand kDecodeCommand;

}  // namespace eklz::cli
