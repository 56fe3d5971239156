// tarn-update's command line: `tarn-update [--repair] [--json] [CLIENT_DIR]`. Scripts and
// other programs call it, so the options and their meaning stay as they are.
#pragma once

#include <string>
#include <vector>

namespace tu {

struct CommandLine {
  bool repair = false;
  bool json = false;
  bool help = false;
  std::string clientDir;  // empty: the current folder
};

// Reads the arguments after the program name. "--" ends the options, so a folder whose name
// starts with "-" can still be given. False with an English text on an unknown option or a
// second folder.
bool parseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error);

// The usage text, ending with a line feed.
const char* usageText();

}  // namespace tu
