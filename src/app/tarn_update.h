// tarn-update, the console front end of the update engine, apart from its entry point (which
// differs per platform only in how the arguments and the console are set up).
//
//   tarn-update [--repair] [--json] [CLIENT_DIR]
//
// Exit status: 0 when the run ends with "ok" true, 1 when it ends with "ok" false, 2 on a usage
// or configuration error. The first interrupt (Ctrl+C; SIGTERM on POSIX) cancels the run; a
// second ends the process at once.
#pragma once

#include <string>
#include <vector>

namespace tu {

// The whole program: `args` are the arguments after the program name, in UTF-8. Writes to
// standard output and standard error; returns the exit status. Call it on the main thread,
// before any other thread starts.
int runTarnUpdate(const std::vector<std::string>& args);

}  // namespace tu
