// tarn-update's entry point on Windows: the arguments arrive as UTF-16 and become UTF-8 with the
// system's conversion, and the output is byte for byte what the POSIX program writes (UTF-8, line
// ends left alone), so scripts read both the same way.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/tarn_update.h"
#include "core/text_win.h"

namespace {

// The output code page belongs to the console, not to the process: it outlives the program, so
// it is put back when the run ends.
class Utf8Console {
 public:
  Utf8Console() : codePage_(GetConsoleOutputCP()) {
    if (codePage_ != 0) SetConsoleOutputCP(CP_UTF8);
  }
  ~Utf8Console() {
    std::fflush(stdout);
    if (codePage_ != 0) SetConsoleOutputCP(codePage_);
  }
  Utf8Console(const Utf8Console&) = delete;
  Utf8Console& operator=(const Utf8Console&) = delete;

 private:
  UINT codePage_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  Utf8Console console;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(tu::wideToUtf8(argv[i]));
  return tu::runTarnUpdate(args);
}
