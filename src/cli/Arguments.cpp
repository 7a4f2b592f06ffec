#include "cli/Arguments.h"

#include <cerrno>
#include <cstdlib>

#include "protocol/Errors.h"

namespace eklz::cli {

namespace {

const OptionSpec* Find(const std::vector<OptionSpec>& known, const std::string& name) {
  for (const OptionSpec& o : known) {
    if (o.name == name) return &o;
  }
  return nullptr;
}

// Converts with `convert`; a conversion failure names the option.
template <typename F>
auto Converted(const std::string& name, const std::string& value, F convert) {
  try {
    return convert(value);
  } catch (const EConvertError& e) {
    throw UsageError("неверное значение параметра --" + name + ": " + e.what());
  }
}

}  // namespace

Arguments::Arguments(const std::vector<std::string>& args, const std::vector<OptionSpec>& known) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
      std::string name = a.substr(2);
      std::string value;
      bool inlineValue = false;
      const size_t eq = name.find('=');
      if (eq != std::string::npos) {
        value = name.substr(eq + 1);
        name = name.substr(0, eq);
        inlineValue = true;
      }
      const OptionSpec* option = Find(known, name);
      if (!option) throw UsageError("неизвестный параметр --" + name);
      if (option->kind == ValueKind::Flag) {
        if (inlineValue) throw UsageError("параметр --" + name + " не принимает значения");
        flags_.insert(name);
        continue;
      }
      if (!inlineValue) {
        if (i + 1 >= args.size()) throw UsageError("параметру --" + name + " не хватает значения");
        value = args[++i];
      }
      values_[name] = value;
    } else if (command_.empty()) {
      command_ = a;
    } else {
      positional_.push_back(a);
    }
  }
}

void Arguments::Validate(const std::vector<OptionSpec>& known) const {
  for (const auto& [name, value] : values_) {
    const OptionSpec* option = Find(known, name);
    switch (option->kind) {
      case ValueKind::Integer: {
        const long long v = Int64(name, 0);
        if (v < option->min || v > option->max) {
          throw UsageError("неверное значение параметра --" + name + ": допустимо от " +
                           std::to_string(option->min) + " до " + std::to_string(option->max));
        }
        break;
      }
      case ValueKind::Number: Number(name, 0); break;
      case ValueKind::Date: Date(name, {}); break;
      case ValueKind::Time: Time(name, {}); break;
      case ValueKind::Choice: Choice(*option, 0); break;
      default: break;
    }
  }
}

int Arguments::Choice(const OptionSpec& option, int def) const {
  if (!Has(option.name)) return def;
  const std::string value = Text(option.name);
  std::string list;
  for (size_t i = 0; i < option.choices.size(); ++i) {
    if (option.choices[i] == value) return static_cast<int>(i);
    list += (i ? ", " : "") + option.choices[i];
  }
  throw UsageError("неверное значение параметра --" + option.name + ": допустимы " + list);
}

bool Arguments::Has(const std::string& name) const { return values_.count(name) != 0; }

std::string Arguments::Text(const std::string& name, const std::string& def) const {
  const auto it = values_.find(name);
  return it == values_.end() ? def : it->second;
}

std::string Arguments::RequiredText(const std::string& name) const {
  if (!Has(name)) throw UsageError("не задан параметр --" + name);
  return Text(name);
}

int Arguments::Int(const std::string& name, int def) const {
  if (!Has(name)) return def;
  return Converted(name, Text(name), [](const std::string& v) { return ParseInt(v); });
}

long long Arguments::Int64(const std::string& name, long long def) const {
  if (!Has(name)) return def;
  return Converted(name, Text(name), [](const std::string& v) {
    size_t i = v.size() > 0 && (v[0] == '-' || v[0] == '+') ? 1 : 0;
    bool digits = i < v.size() && v.size() - i <= 18;
    for (; digits && i < v.size(); ++i) digits = v[i] >= '0' && v[i] <= '9';
    if (!digits) throw InvalidInteger(v);
    return std::strtoll(v.c_str(), nullptr, 10);
  });
}

double Arguments::Number(const std::string& name, double def) const {
  if (!Has(name)) return def;
  return Converted(name, Text(name),
                   [](const std::string& v) { return static_cast<double>(ParseFloat(v)); });
}

CalendarDate Arguments::Date(const std::string& name, const CalendarDate& def) const {
  if (!Has(name)) return def;
  return Converted(name, Text(name), [](const std::string& v) { return ParseShortDate(v); });
}

ClockTime Arguments::Time(const std::string& name, const ClockTime& def) const {
  if (!Has(name)) return def;
  return Converted(name, Text(name), [](const std::string& v) { return ParseTime(v); });
}

}  // namespace eklz::cli
