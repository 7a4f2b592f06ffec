// The subcommands of the command-line tool: one small handler per
// operation or procedure, declared together with the options it reads.
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
  bool logExchange;  // protocol lines wanted: a protocol file takes them
  const std::string& settingsPath;
  bool portGiven = false;  // --port was on the command line
};

struct SubCommand {
  const char* name;
  const char* summary;
  std::vector<const OptionSpec*> options;  // the only options `run` may read
  void (*run)(Invocation&);
  // Checks of the values together, before the port is opened; raises UsageError.
  void (*check)(const Arguments&) = nullptr;
  const char* notes = nullptr;  // more help after the options
  // The command opens the ports it needs itself (or none): the run does not
  // open the link from the settings first.
  bool ownsLink = false;
  // The one argument the command takes besides its options (its name for
  // the help), or nullptr when it takes none.
  const char* operand = nullptr;
  // A stop request (Ctrl+C) is the command's normal end: the run ends with
  // status 0 and no interruption report.
  bool endsOnStop = false;
};

const std::vector<SubCommand>& SubCommands();
const SubCommand* FindSubCommand(const std::string& name);

}  // namespace eklz::cli
