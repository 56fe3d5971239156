// The little the console front end asks of the terminal.
#pragma once

namespace tu {

// Whether standard output is a terminal (then progress is drawn in place): a tty on POSIX, a
// console on Windows.
bool stdoutIsTerminal();
// Standard output's width in columns, or 0 when unknown.
int terminalWidth();

}  // namespace tu
