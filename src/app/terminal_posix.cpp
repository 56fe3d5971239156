#include <sys/ioctl.h>
#include <unistd.h>

#include "app/terminal.h"

namespace tu {

bool stdoutIsTerminal() {
  return isatty(STDOUT_FILENO) == 1;
}

int terminalWidth() {
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

}  // namespace tu
