#include "app/command_line.h"

namespace tu {

bool parseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error) {
  out = CommandLine{};
  bool options = true;
  bool haveFolder = false;
  for (const std::string& arg : args) {
    if (options && arg == "--") {
      options = false;
    } else if (options && arg == "--repair") {
      out.repair = true;
    } else if (options && arg == "--json") {
      out.json = true;
    } else if (options && (arg == "--help" || arg == "-h")) {
      out.help = true;
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + arg;
      return false;
    } else if (haveFolder) {
      error = "more than one client folder given";
      return false;
    } else {
      out.clientDir = arg;
      haveFolder = true;
    }
  }
  return true;
}

const char* usageText() {
  return "usage: tarn-update [--repair] [--json] [CLIENT_DIR]\n"
         "\n"
         "Brings the game client in CLIENT_DIR (default: the current folder) in line with the\n"
         "server's signed manifest, using the settings in CLIENT_DIR/TarnLauncher.json.\n"
         "\n"
         "  --repair  hash every file instead of trusting the hash cache\n"
         "  --json    print every progress message as one JSON object per line\n"
         "\n"
         "Exit status: 0 when the client is up to date, 1 when the run failed or was\n"
         "cancelled, 2 on a usage or configuration error. Ctrl-C cancels the run; a second\n"
         "Ctrl-C ends the program at once.\n";
}

}  // namespace tu
