// tarnbuilder's entry point on POSIX systems, where arguments already are bytes (UTF-8).
#include <iostream>

#include "tarnbuilder/commands.h"
#include "tarnbuilder/system.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  tu::builder::Console console{std::cout, std::cerr, tu::builder::stderrIsTerminal(),
                               tu::builder::terminalColumns()};
  const int code = tu::builder::runTarnbuilder(args, console);
  std::cout.flush();
  return std::cout ? code : tu::builder::kExitFailure;
}
