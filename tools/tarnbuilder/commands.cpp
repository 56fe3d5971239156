#include "tarnbuilder/commands.h"

namespace tu::builder {

namespace {

constexpr const char* kUsage = R"(tarnbuilder: prepares a server's updates for TarnLauncher

Usage: tarnbuilder COMMAND [ARGUMENTS]

Commands:
  keygen KEYFILE     make a new signing key (keep it secret, keep a backup)
  pubkey KEYFILE     print the public key that TarnLauncher.json carries
  publish            publish a client folder as an update folder for any web server
  verify             check a published folder the way a launcher will
  config             write the launcher's TarnLauncher.json
  uipack DIR OUT     pack a launcher page folder into a UI pack

Run "tarnbuilder COMMAND --help" for a command's arguments.
The whole procedure, from a new key to a running update server: docs/publishing.md.
Exit codes: 0 success, 1 failure, 2 usage error.
)";

}  // namespace

bool wantsHelp(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--") return false;
    if (arg == "--help" || arg == "-h") return true;
  }
  return false;
}

int usageError(Console& console, std::string_view command, const std::string& text) {
  console.err << "tarnbuilder " << command << ": " << text << "\n"
              << "Run \"tarnbuilder " << command << " --help\" for its arguments.\n";
  return kExitUsage;
}

int failure(Console& console, std::string_view command, const std::string& text) {
  console.err << "tarnbuilder " << command << ": " << text << "\n";
  return kExitFailure;
}

bool parseCommand(const std::vector<std::string>& args, const std::vector<OptionSpec>& known,
                  std::size_t positionals, std::string_view command, Console& console,
                  CommandLine& line, int& exitCode) {
  std::string error;
  if (!line.parse(args, known, error)) {
    exitCode = usageError(console, command, error);
    return false;
  }
  if (line.positionals().size() != positionals) {
    exitCode = usageError(console, command,
                          line.positionals().size() < positionals
                              ? "missing argument"
                              : "unexpected argument " + line.positionals()[positionals]);
    return false;
  }
  return true;
}

int runTarnbuilder(const std::vector<std::string>& args, Console& console) {
  if (args.empty()) {
    console.err << kUsage;
    return kExitUsage;
  }
  const std::string& command = args.front();
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (command == "--help" || command == "-h" || command == "help") {
    console.out << kUsage;
    return kExitOk;
  }
  if (command == "--version") {
    console.out << "tarnbuilder 1.0.0\n";
    return kExitOk;
  }
  if (command == "keygen") return runKeygen(rest, console);
  if (command == "pubkey") return runPubkey(rest, console);
  if (command == "publish") return runPublish(rest, console);
  if (command == "verify") return runVerify(rest, console);
  if (command == "config") return runConfig(rest, console);
  if (command == "uipack") return runUipack(rest, console);
  console.err << "tarnbuilder: unknown command " << command << "\n\n" << kUsage;
  return kExitUsage;
}

}  // namespace tu::builder
