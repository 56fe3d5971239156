// tarnbuilder's entry point on Windows: arguments arrive as UTF-16 and become UTF-8 with the
// system's conversion; the console is switched to UTF-8 so non-ASCII paths print as written.
#include <windows.h>

#include <iostream>

#include "core/text_win.h"
#include "tarnbuilder/commands.h"
#include "tarnbuilder/system.h"

int wmain(int argc, wchar_t** argv) {
  SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(tu::wideToUtf8(argv[i]));
  tu::builder::Console console{std::cout, std::cerr, tu::builder::stderrIsTerminal(),
                               tu::builder::terminalColumns()};
  const int code = tu::builder::runTarnbuilder(args, console);
  std::cout.flush();
  return std::cout ? code : tu::builder::kExitFailure;
}
