// Command-line arguments: "--name value", "--name=value" and "--flag".
#pragma once

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "protocol/Regional.h"

namespace eklz::cli {

// A usage error: the run ends with status 2 and this message.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Kinds of option values, checked before anything is sent.
enum class ValueKind { Flag, Text, Integer, Number, Date, Time, Choice };

struct OptionSpec {
  std::string name;       // without the leading "--"
  std::string valueName;  // shown in the help; empty for a flag
  std::string help;
  ValueKind kind = ValueKind::Text;
  std::vector<std::string> choices;  // the allowed values of a Choice
  long long min = -2147483648LL;     // the range of an Integer
  long long max = 2147483647LL;
};

class Arguments {
 public:
  // Reads `args` against the known options; the first argument that is not
  // an option is the command. Raises UsageError for an unknown option or a
  // missing value.
  Arguments(const std::vector<std::string>& args, const std::vector<OptionSpec>& known);

  // Checks every value against its option's kind, choices and range.
  void Validate(const std::vector<OptionSpec>& known) const;

  const std::string& Command() const { return command_; }
  const std::vector<std::string>& Positional() const { return positional_; }

  bool Has(const std::string& name) const;
  bool Flag(const std::string& name) const { return flags_.count(name) != 0; }

  // Typed values; a value that does not convert is a UsageError naming the option.
  std::string Text(const std::string& name, const std::string& def = "") const;
  std::string RequiredText(const std::string& name) const;
  int Int(const std::string& name, int def) const;
  long long Int64(const std::string& name, long long def) const;
  double Number(const std::string& name, double def) const;
  CalendarDate Date(const std::string& name, const CalendarDate& def) const;
  ClockTime Time(const std::string& name, const ClockTime& def) const;
  // The index of the value among the option's choices.
  int Choice(const OptionSpec& option, int def) const;

 private:
  std::string command_;
  std::vector<std::string> positional_;
  std::map<std::string, std::string> values_;
  std::set<std::string> flags_;
};

}  // namespace eklz::cli
