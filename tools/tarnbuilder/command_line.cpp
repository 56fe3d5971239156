#include "tarnbuilder/command_line.h"

#include <algorithm>

namespace tu::builder {

bool CommandLine::parse(const std::vector<std::string>& args, const std::vector<OptionSpec>& known,
                        std::string& error) {
  options_.clear();
  positionals_.clear();
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
        error = "unknown option " + arg;
        return false;
      }
      positionals_.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string name =
        arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    const auto option = std::find_if(known.begin(), known.end(),
                                   [&](const OptionSpec& s) { return s.name == name; });
    if (option == known.end()) {
      error = "unknown option --" + name;
      return false;
    }
    std::string value;
    if (option->takesValue) {
      if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        error = "--" + name + " needs a value";
        return false;
      }
    } else if (equals != std::string::npos) {
      error = "--" + name + " takes no value";
      return false;
    }
    std::vector<std::string>& slot = options_[name];
    if (!slot.empty() && !option->repeatable) {
      error = "--" + name + " given twice";
      return false;
    }
    slot.push_back(std::move(value));
  }
  return true;
}

bool CommandLine::has(std::string_view name) const {
  return options_.find(name) != options_.end();
}

std::string CommandLine::value(std::string_view name, std::string_view fallback) const {
  const auto it = options_.find(name);
  return it == options_.end() ? std::string(fallback) : it->second.front();
}

std::vector<std::string> CommandLine::values(std::string_view name) const {
  const auto it = options_.find(name);
  return it == options_.end() ? std::vector<std::string>{} : it->second;
}

bool parseNumber(std::string_view text, std::uint64_t min, std::uint64_t max, bool allowSuffix,
                 std::uint64_t& out) {
  std::uint64_t multiplier = 1;
  if (allowSuffix && !text.empty()) {
    const char last = text.back();
    if (last == 'K' || last == 'k') multiplier = 1024;
    if (last == 'M' || last == 'm') multiplier = 1024 * 1024;
    if (multiplier != 1) text.remove_suffix(1);
  }
  if (text.empty() || text.size() > 12) return false;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  value *= multiplier;
  if (value < min || value > max) return false;
  out = value;
  return true;
}

}  // namespace tu::builder
