// tarn-update: one update run of a client folder from the console, the same run the launcher's
// update worker makes (the same controller, fetcher, work folder, cache and .part files, so the
// two can share a folder), without the launcher's self-update.
#include "app/tarn_update.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "app/command_line.h"
#include "app/console_progress.h"
#include "app/console_queue.h"
#include "app/interrupt_watch.h"
#include "app/terminal.h"
#include "core/config.h"
#include "core/files.h"
#include "core/json.h"
#include "update/update_controller.h"

namespace tu {
namespace {

namespace fs = std::filesystem;

void writeOut(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

int runUpdate(const CommandLine& commandLine) {
  fs::path clientDir = pathFromUtf8(commandLine.clientDir.empty() ? "." : commandLine.clientDir);
  std::error_code ec;
  const fs::path absolute = fs::absolute(clientDir, ec);
  if (!ec) clientDir = absolute.lexically_normal();

  LauncherConfig config;
  std::string error;
  if (!loadConfig(resolveRelative(clientDir, "TarnLauncher.json"), config, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }

  ConsoleQueue queue;
  ConsoleProgress progress(writeOut, stdoutIsTerminal(), terminalWidth());
  InterruptWatch interrupts([&queue] { queue.interrupt(); });
  // The console tool never replaces itself: no launcher path.
  UpdateController controller(queue, config, clientDir, fs::path());
  controller.startUpdate(commandLine.repair ? CheckMode::Repair : CheckMode::Check);
  interrupts.deliver();  // only this thread takes the signals; the worker is left alone

  bool ok = false;
  for (;;) {
    ConsoleQueue::Event event = queue.take();
    if (event.interrupt) {
      controller.cancelUpdate();
      if (!commandLine.json) progress.showCancelling();
      continue;
    }
    MainMessage& message = event.message;
    if (message.kind == MainMessage::Kind::PostJson) {
      const Json parsed = Json::parse(message.text);
      if (parsed.getString("type") == "done") ok = parsed.getBool("ok", false);
      if (commandLine.json) {
        writeOut(message.text + "\n");
      } else {
        progress.show(parsed);
      }
    } else if (message.kind == MainMessage::Kind::UpdateDone) {
      controller.onUpdateDone();
      break;
    } else {
      // A launcher hand-over cannot happen without a launcher path; end like a failed run.
      controller.joinWorker();
      break;
    }
  }
  progress.finish();
  return ok ? 0 : 1;
}

}  // namespace

int runTarnUpdate(const std::vector<std::string>& args) {
  CommandLine commandLine;
  std::string error;
  if (!parseCommandLine(args, commandLine, error)) {
    std::fprintf(stderr, "tarn-update: %s\n%s", error.c_str(), usageText());
    return 2;
  }
  if (commandLine.help) {
    std::fputs(usageText(), stdout);
    return 0;
  }
  return runUpdate(commandLine);
}

}  // namespace tu
