// The command table of the eklz program, in process.
#include <gtest/gtest.h>

#include <map>

#include "cli/GlobalOptions.h"
#include "cli/SubCommands.h"
#include "codec/Errors.h"
#include "support/Pty.h"

namespace eklz::cli {
namespace {

// Every handler and its check read options only through the objects the
// command declares: a read of an undeclared option raises std::logic_error,
// which fails here. The link is closed, so each run ends at its first
// exchange.
TEST(SubCommands, HandlersReadOnlyDeclaredOptions) {
  const std::map<std::string, std::vector<std::string>> required = {
      {"activate", {"--serial", "000000123456", "--inn", "771234567890", "--reg-number", "000000654321"}},
      {"set-exchange", {"--rate", "9600"}},
      {"command", {"--bytes", "07 01"}},
      {"free-text", {"--binding", "sale"}},
      {"dump", {"--from", "1", "--to", "2"}},
      {"monitor", {"--kkm", "/nonexistent/kkm", "--eklz", "/nonexistent/eklz"}},
      {"decode", {"/nonexistent/protocol.txt"}},
  };
  for (const SubCommand& c : SubCommands()) {
    std::vector<std::string> args{c.name};
    if (const auto it = required.find(c.name); it != required.end()) {
      args.insert(args.end(), it->second.begin(), it->second.end());
    }
    // The program knows the global options beside the command's own.
    std::vector<const OptionSpec*> known = kGlobalOptions;
    known.insert(known.end(), c.options.begin(), c.options.end());
    const Arguments a(args, known);
    test::RecordingSink sink;
    EklzSession session(sink);
    const std::string settingsPath;
    Invocation in{session, a, false, false, settingsPath};
    try {
      if (c.check) c.check(a);
      c.run(in);
    } catch (const std::logic_error& e) {
      ADD_FAILURE() << c.name << ": " << e.what();
    } catch (const std::exception&) {
      // "Нет соединения" or a usage error: the options were read as declared.
    }
  }
}

TEST(SubCommands, ReadingAnUndeclaredOptionIsAnError) {
  const OptionSpec declared{"sum", "ЧИСЛО", "", ValueKind::Number, {}};
  const OptionSpec other{"sum", "ЧИСЛО", "", ValueKind::Number, {}};
  const Arguments a({"sale", "--sum", "5"}, {&declared});
  EXPECT_EQ(a.Number(declared, 0), 5);
  EXPECT_THROW(a.Number(other, 0), std::logic_error);
  EXPECT_THROW(a.Has(other), std::logic_error);
}

}  // namespace
}  // namespace eklz::cli
