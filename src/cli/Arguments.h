// Command-line arguments: "--name value", "--name=value" and "--flag".
#pragma once

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "commands/Limits.h"
#include "codec/Regional.h"

namespace eklz::cli {

// A usage error: the run ends with status 2 and this message.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Kinds of option values, checked before anything is sent.
enum class ValueKind { Flag, Text, Integer, Number, Date, Time, Choice };

// One declared option. Commands declare their options as objects and read
// the values through those same objects.
struct OptionSpec {
  std::string name;       // without the leading "--"
  std::string valueName;  // shown in the help; empty for a flag
  std::string help;
  ValueKind kind = ValueKind::Text;
  std::vector<std::string> choices;  // the allowed values of a Choice
  long long min = -2147483648LL;     // the range of an Integer
  long long max = 2147483647LL;
  bool required = false;
  int decimals = -1;  // a Number: at most this many digits after the separator (-1: any)
  // A Number that is a quantity or a sum: refused outside its limit with the
  // limit's message.
  const AmountLimit* amount = nullptr;
  // A Text: the reason the value is refused, or empty when it is good.
  std::string (*check)(const std::string& value) = nullptr;

  // The range of an Integer when it is narrower than the int type.
  bool HasRange() const { return kind == ValueKind::Integer && (min != -2147483648LL || max != 2147483647LL); }
};

// "'<value>', нужно целое число" and the like: a value that is not of its
// kind's form, and the form it must have.
std::string NotOfItsForm(ValueKind kind, const std::string& value);

class Arguments {
 public:
  // Reads `args` against the declared options ("-h" is --help when that is
  // declared); the first argument that is not an option is the command. Raises UsageError for an unknown option or
  // a missing value.
  Arguments(const std::vector<std::string>& args, std::vector<const OptionSpec*> known);

  // Checks every value against its option's kind, choices, range and
  // constraints, and that every required option is given.
  void Validate() const;

  const std::string& Command() const { return command_; }
  const std::vector<std::string>& Positional() const { return positional_; }

  // Reading an option that was not declared is a programming error
  // (std::logic_error), whatever the command line holds.
  bool Has(const OptionSpec& option) const;
  bool Flag(const OptionSpec& option) const;

  // Typed values; a value that does not convert is a UsageError naming the option.
  std::string Text(const OptionSpec& option, const std::string& def = "") const;
  int Int(const OptionSpec& option, int def) const;
  long long Int64(const OptionSpec& option, long long def) const;
  double Number(const OptionSpec& option, double def) const;
  CalendarDate Date(const OptionSpec& option, const CalendarDate& def) const;
  ClockTime Time(const OptionSpec& option, const ClockTime& def) const;
  // The index of the value among the option's choices.
  int Choice(const OptionSpec& option, int def) const;

 private:
  const OptionSpec* Find(const std::string& name) const;
  void RequireDeclared(const OptionSpec& option) const;
  const std::string* Value(const OptionSpec& option) const;

  std::vector<const OptionSpec*> known_;
  std::string command_;
  std::vector<std::string> positional_;
  std::map<std::string, std::string> values_;
  std::set<std::string> flags_;
};

}  // namespace eklz::cli
