// The command line's argument parser with any arguments (split at NUL bytes),
// against every option any command knows: an argument list is read or
// refused with a usage error, never anything else.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "cli/Arguments.h"
#include "cli/GlobalOptions.h"
#include "cli/SubCommands.h"

using namespace eklz;
using namespace eklz::cli;

namespace {

// Every option the command line declares, each name once.
const std::vector<const OptionSpec*>& AllOptions() {
  static const std::vector<const OptionSpec*> all = [] {
    std::vector<const OptionSpec*> v = kGlobalOptions;
    for (const SubCommand& c : SubCommands()) {
      for (const OptionSpec* o : c.options) {
        bool known = false;
        for (const OptionSpec* k : v) known = known || k->name == o->name;
        if (!known) v.push_back(o);
      }
    }
    return v;
  }();
  return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else {
      args.back() += static_cast<char>(data[i]);
    }
  }
  const std::vector<const OptionSpec*>& known = AllOptions();
  try {
    const Arguments a(args, known);
    a.Validate();
    if (const SubCommand* c = FindSubCommand(a.Command()); c && c->check) {
      // A command's joint checks read only its own options.
      const Arguments own(args, [&] {
        std::vector<const OptionSpec*> v = c->options;
        v.insert(v.end(), kGlobalOptions.begin(), kGlobalOptions.end());
        return v;
      }());
      own.Validate();
      c->check(own);
    }
    for (const OptionSpec* o : known) {
      switch (o->kind) {
        case ValueKind::Flag: a.Flag(*o); break;
        case ValueKind::Text: a.Text(*o); break;
        case ValueKind::Integer: a.Int64(*o, 0); a.Int(*o, 0); break;
        case ValueKind::Number: a.Number(*o, 0); break;
        case ValueKind::Date: a.Date(*o, {}); break;
        case ValueKind::Time: a.Time(*o, {}); break;
        case ValueKind::Choice: a.Choice(*o, 0); break;
      }
    }
  } catch (const UsageError&) {
  }
  return 0;
}
