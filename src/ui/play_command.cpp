#include "ui/play_command.h"

#include <string>

#include "game/game_launch.h"
#include "ui/page_messages.h"

namespace tu {

void launchGame(Host& host, const LauncherConfig& config, const std::filesystem::path& clientDir,
                bool updateBusy) {
  // Whether the last run allowed playing is the page's concern; the host only refuses to
  // start the game while files are being replaced under it.
  if (updateBusy) {
    sendNotice(host, "busy", "");
    return;
  }
  GameStart game;
  if (!findGame(config, clientDir, game)) {
    sendNotice(host, "gameMissing", config.game);
    return;
  }
  const ProcessStartResult result =
      host.startProcess(game.program, game.arguments, game.workingFolder);
  if (result.declined) return;
  if (!result.started) {
    sendNotice(host, "gameStartFailed", std::to_string(result.error));
    return;
  }
  if (config.closeOnPlay) {
    host.closeWindow();
  } else {
    host.minimizeWindow();
  }
}

}  // namespace tu
