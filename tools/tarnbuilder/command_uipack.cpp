// uipack.
#include "core/files.h"
#include "tarnbuilder/commands.h"
#include "tarnbuilder/progress_bar.h"
#include "ui/ui_pack.h"

namespace tu::builder {

namespace {

constexpr const char* kHelp = R"(Usage: tarnbuilder uipack DIR OUT

Packs every file under DIR (the launcher's page: index.html, style.css, app.js, logo.png and
anything they use) into the UI pack OUT, names in byte order. The launcher's build carries a
UI pack as its page; a server can also restyle its launcher without a new build by publishing
a "ui" folder in the client folder instead.
)";

}  // namespace

int runUipack(const std::vector<std::string>& args, Console& console) {
  if (wantsHelp(args)) {
    console.out << kHelp;
    return kExitOk;
  }
  CommandLine line;
  int exitCode = kExitOk;
  if (!parseCommand(args, {}, 2, "uipack", console, line, exitCode)) return exitCode;
  std::string pack;
  std::string error;
  if (!buildUiPackFromFolder(pathFromUtf8(line.positionals()[0]), pack, error)) {
    return failure(console, "uipack", error);
  }
  const std::filesystem::path out = pathFromUtf8(line.positionals()[1]);
  if (!writeFileAtomic(out, pack))
    return failure(console, "uipack", "cannot write " + pathToUtf8(out));
  console.out << "wrote " << pathToUtf8(out) << " (" << formatBytes(pack.size()) << ")\n";
  return kExitOk;
}

}  // namespace tu::builder
