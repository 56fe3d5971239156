// The arguments of one tarnbuilder command: options ("--name VALUE", "--name=VALUE", or a bare
// "--switch") and positional arguments. "--" ends the options. Only the options a command
// declares are accepted, so a typo is a usage error rather than a silently ignored word.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tu::builder {

struct OptionSpec {
  std::string name;  // without the leading "--"
  bool takesValue = true;
  bool repeatable = false;
};

class CommandLine {
 public:
  // False with a one-line usage error (unknown option, missing value, repeated option).
  bool parse(const std::vector<std::string>& args, const std::vector<OptionSpec>& known,
             std::string& error);

  bool has(std::string_view name) const;
  // The value of a single-valued option, or `fallback` when it was not given.
  std::string value(std::string_view name, std::string_view fallback = {}) const;
  // Every value of a repeatable option, in order.
  std::vector<std::string> values(std::string_view name) const;
  const std::vector<std::string>& positionals() const { return positionals_; }

 private:
  std::map<std::string, std::vector<std::string>, std::less<>> options_;
  std::vector<std::string> positionals_;
};

// A decimal number from `min` to `max` ("1048576"; also "64K", "1M", "16M" for sizes when
// `allowSuffix`). False on anything else.
bool parseNumber(std::string_view text, std::uint64_t min, std::uint64_t max, bool allowSuffix,
                 std::uint64_t& out);

}  // namespace tu::builder
