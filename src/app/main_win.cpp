// The entry point of TarnLauncher.exe (a GUI program with a UTF-16 command line).
#include <windows.h>

#include "app/launcher_app_win.h"

int WINAPI wWinMain(HINSTANCE module, HINSTANCE, PWSTR commandLine, int) {
  // Nothing may leave the entry point; a launcher that runs out of memory ends with 1.
  try {
    return tu::runLauncher(module, commandLine);
  } catch (...) {
    return 1;
  }
}
