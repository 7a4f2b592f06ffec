// The subcommands of the command-line tool: one small function per
// operation or procedure, each reading its options and calling the core.
#pragma once

#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "protocol/Session.h"

namespace eklz::cli {

struct Invocation {
  EklzSession& session;
  const Arguments& args;
  bool quiet;        // no result lines (the settings' LogTXT off)
  bool logExchange;  // protocol lines wanted (the settings' LogHEX and a protocol file)
  bool protocolFile; // a protocol file takes the protocol lines
};

struct SubCommand {
  const char* name;
  const char* summary;
  std::vector<OptionSpec> options;
  void (*run)(Invocation&);
};

const std::vector<SubCommand>& SubCommands();
const SubCommand* FindSubCommand(const std::string& name);

}  // namespace eklz::cli
