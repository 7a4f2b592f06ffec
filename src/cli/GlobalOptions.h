// The options every command of the command line takes, before or after the
// command's name.
#pragma once

#include <vector>

#include "cli/Arguments.h"

namespace eklz::cli {

extern const OptionSpec kPort;
extern const OptionSpec kBaud;
extern const OptionSpec kTimeout;
extern const OptionSpec kSettings;
extern const OptionSpec kProtocol;
extern const OptionSpec kQuiet;
extern const OptionSpec kCrcOff;
extern const OptionSpec kWin1251;
extern const OptionSpec kCp866;
extern const OptionSpec kHelp;
extern const OptionSpec kVersion;
extern const std::vector<const OptionSpec*> kGlobalOptions;

}  // namespace eklz::cli
