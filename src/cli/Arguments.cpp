#include "cli/Arguments.h"

#include <algorithm>
#include <cstdlib>

#include "codec/Errors.h"

namespace eklz::cli {

namespace {

// Converts with `convert`; a value that does not convert is named with the
// option and the form it must have (the core's own conversion messages are
// the window's English ones).
template <typename F>
auto Converted(const std::string& name, ValueKind kind, const std::string& value, F convert) {
  try {
    return convert(value);
  } catch (const EConvertError&) {
    throw UsageError("неверное значение параметра --" + name + ": " + NotOfItsForm(kind, value));
  }
}

UsageError BadValue(const OptionSpec& option, const std::string& why) {
  return UsageError("неверное значение параметра --" + option.name + ": " + why);
}

// Digits after the decimal separator ("," or ".") of a number as typed
// (numbers have no exponent), trailing zeros not counted.
bool TooManyDecimals(const std::string& text, int decimals) {
  const size_t separator = text.find_first_of(",.");
  if (separator == std::string::npos) return false;
  const size_t last = text.find_last_not_of('0');
  return last > separator && last - separator > static_cast<size_t>(decimals);
}

}  // namespace

std::string NotOfItsForm(ValueKind kind, const std::string& value) {
  const std::string quoted = "'" + value + "'";
  switch (kind) {
    case ValueKind::Integer:
      return quoted + ", нужно целое число";
    case ValueKind::Number:
      return quoted + ", нужно число, например 12,50 (дробная часть через запятую или точку)";
    case ValueKind::Date: {
      const bool shaped = value.size() == 10 && value[2] == '.' && value[5] == '.';
      return quoted + (shaped ? ", такой даты нет" : ", нужна дата ДД.ММ.ГГГГ");
    }
    case ValueKind::Time:
      return quoted + ", нужно время ЧЧ:ММ";
    default:
      return quoted;
  }
}

Arguments::Arguments(const std::vector<std::string>& args, std::vector<const OptionSpec*> known)
    : known_(std::move(known)) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-h" && Find("help")) {
      flags_.insert("help");  // the short form of --help
    } else if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
      std::string name = a.substr(2);
      std::string value;
      bool inlineValue = false;
      const size_t eq = name.find('=');
      if (eq != std::string::npos) {
        value = name.substr(eq + 1);
        name = name.substr(0, eq);
        inlineValue = true;
      }
      const OptionSpec* option = Find(name);
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

const OptionSpec* Arguments::Find(const std::string& name) const {
  for (const OptionSpec* o : known_) {
    if (o->name == name) return o;
  }
  return nullptr;
}

void Arguments::RequireDeclared(const OptionSpec& option) const {
  if (std::find(known_.begin(), known_.end(), &option) == known_.end()) {
    throw std::logic_error("option --" + option.name + " is read but not declared");
  }
}

const std::string* Arguments::Value(const OptionSpec& option) const {
  RequireDeclared(option);
  const auto it = values_.find(option.name);
  return it == values_.end() ? nullptr : &it->second;
}

void Arguments::Validate() const {
  for (const OptionSpec* option : known_) {
    if (option->required && !Has(*option)) throw UsageError("не задан параметр --" + option->name);
  }
  for (const auto& [name, value] : values_) {
    const OptionSpec& option = *Find(name);
    switch (option.kind) {
      case ValueKind::Integer: {
        const long long v = Int64(option, 0);
        if (v < option.min || v > option.max) {
          throw BadValue(option, "допустимо от " + std::to_string(option.min) + " до " +
                                     std::to_string(option.max));
        }
        break;
      }
      case ValueKind::Number: {
        Number(option, 0);
        if (option.decimals >= 0 && TooManyDecimals(value, option.decimals)) {
          throw BadValue(option, "не больше " + std::to_string(option.decimals) +
                                     " знаков после запятой");
        }
        if (option.amount) {
          try {
            AmountUnits(*option.amount, Number(option, 0));
          } catch (const TEKLZException& e) {
            throw BadValue(option, e.what());
          }
        }
        break;
      }
      case ValueKind::Date: Date(option, {}); break;
      case ValueKind::Time: Time(option, {}); break;
      case ValueKind::Choice: Choice(option, 0); break;
      case ValueKind::Text:
        if (option.check) {
          if (const std::string why = option.check(value); !why.empty()) throw BadValue(option, why);
        }
        break;
      case ValueKind::Flag: break;
    }
  }
}

int Arguments::Choice(const OptionSpec& option, int def) const {
  const std::string* value = Value(option);
  if (!value) return def;
  std::string list;
  for (size_t i = 0; i < option.choices.size(); ++i) {
    if (option.choices[i] == *value) return static_cast<int>(i);
    list += (i ? ", " : "") + option.choices[i];
  }
  throw BadValue(option, "допустимы " + list);
}

bool Arguments::Has(const OptionSpec& option) const { return Value(option) != nullptr; }

bool Arguments::Flag(const OptionSpec& option) const {
  RequireDeclared(option);
  return flags_.count(option.name) != 0;
}

std::string Arguments::Text(const OptionSpec& option, const std::string& def) const {
  const std::string* value = Value(option);
  return value ? *value : def;
}

int Arguments::Int(const OptionSpec& option, int def) const {
  const std::string* value = Value(option);
  if (!value) return def;
  return Converted(option.name, ValueKind::Integer, *value, [](const std::string& v) { return ParseInt(v); });
}

long long Arguments::Int64(const OptionSpec& option, long long def) const {
  const std::string* value = Value(option);
  if (!value) return def;
  return Converted(option.name, ValueKind::Integer, *value, [](const std::string& v) {
    size_t i = v.size() > 0 && (v[0] == '-' || v[0] == '+') ? 1 : 0;
    bool digits = i < v.size() && v.size() - i <= 18;
    for (; digits && i < v.size(); ++i) digits = v[i] >= '0' && v[i] <= '9';
    if (!digits) throw InvalidInteger(v);
    return std::strtoll(v.c_str(), nullptr, 10);
  });
}

double Arguments::Number(const OptionSpec& option, double def) const {
  const std::string* value = Value(option);
  if (!value) return def;
  return Converted(option.name, ValueKind::Number, *value,
                   [](const std::string& v) { return static_cast<double>(ParseFloat(v)); });
}

CalendarDate Arguments::Date(const OptionSpec& option, const CalendarDate& def) const {
  const std::string* value = Value(option);
  if (!value) return def;
  return Converted(option.name, ValueKind::Date, *value, [](const std::string& v) { return ParseShortDate(v); });
}

ClockTime Arguments::Time(const OptionSpec& option, const ClockTime& def) const {
  const std::string* value = Value(option);
  if (!value) return def;
  return Converted(option.name, ValueKind::Time, *value, [](const std::string& v) { return ParseTime(v); });
}

}  // namespace eklz::cli
