// tarnbuilder's command line: `tarnbuilder COMMAND [ARGUMENTS]`, one function per command.
// Exit codes: 0 success, 1 failure (a message on the error stream), 2 usage error. Every
// command answers --help. The arguments are UTF-8 texts (main converts them on Windows).
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tarnbuilder/command_line.h"

namespace tu::builder {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Where a command writes: results on `out`, messages and the progress bar on `err`.
struct Console {
  std::ostream& out;
  std::ostream& err;
  bool progressBar = false;  // standard error is a terminal
  int columns = 80;
};

// The whole tool; `args` excludes the program name.
int runTarnbuilder(const std::vector<std::string>& args, Console& console);

// The commands, each given the arguments after its name.
int runKeygen(const std::vector<std::string>& args, Console& console);
int runPubkey(const std::vector<std::string>& args, Console& console);
int runPublish(const std::vector<std::string>& args, Console& console);
int runVerify(const std::vector<std::string>& args, Console& console);
int runUipack(const std::vector<std::string>& args, Console& console);
int runConfig(const std::vector<std::string>& args, Console& console);

// Shared by the commands: whether --help (or -h) is among the options; a usage error
// ("tarnbuilder CMD: TEXT" and where to find help, exit 2); a failure ("tarnbuilder CMD: TEXT",
// exit 1).
bool wantsHelp(const std::vector<std::string>& args);
int usageError(Console& console, std::string_view command, const std::string& text);
int failure(Console& console, std::string_view command, const std::string& text);
// Parses `args` against `specs` and checks the count of positional arguments; on a usage
// error prints it and returns false with `exitCode` set.
bool parseCommand(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs,
                  std::size_t positionals, std::string_view command, Console& console,
                  CommandLine& line, int& exitCode);

}  // namespace tu::builder
