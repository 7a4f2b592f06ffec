// The command line's argument parser with any arguments (split at NUL bytes),
// against every option any command knows: an argument list is read or
// refused with a usage error, never anything else.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "cli/Arguments.h"
#include "cli/SubCommands.h"

using namespace eklz;
using namespace eklz::cli;

namespace {

const std::vector<OptionSpec>& AllOptions() {
  static const std::vector<OptionSpec> all = [] {
    std::vector<OptionSpec> v = {
        {"port", "ИМЯ", "", ValueKind::Text, {}},
        {"timeout", "МС", "", ValueKind::Integer, {}, 0, 32000},
        {"quiet", "", "", ValueKind::Flag, {}},
    };
    for (const SubCommand& c : SubCommands()) {
      for (const OptionSpec& o : c.options) {
        bool known = false;
        for (const OptionSpec& k : v) known = known || k.name == o.name;
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
  const std::vector<OptionSpec>& known = AllOptions();
  try {
    const Arguments a(args, known);
    a.Validate(known);
    FindSubCommand(a.Command());
    for (const OptionSpec& o : known) {
      switch (o.kind) {
        case ValueKind::Flag: a.Flag(o.name); break;
        case ValueKind::Text: a.Text(o.name); break;
        case ValueKind::Integer: a.Int64(o.name, 0); a.Int(o.name, 0); break;
        case ValueKind::Number: a.Number(o.name, 0); break;
        case ValueKind::Date: a.Date(o.name, {}); break;
        case ValueKind::Time: a.Time(o.name, {}); break;
        case ValueKind::Choice: a.Choice(o, 0); break;
      }
    }
  } catch (const UsageError&) {
  }
  return 0;
}
