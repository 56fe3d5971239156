#include "game/game_launch.h"

#include <string>
#include <system_error>

#include "core/files.h"
#include "ui/page_messages.h"

namespace tu {

namespace fs = std::filesystem;

void launchGame(Host& host, const LauncherConfig& config, const fs::path& clientDir,
                bool updateBusy) {
  // Whether the last run allowed playing is the page's concern; the host only refuses to
  // start the game while files are being replaced under it.
  if (updateBusy) {
    sendNotice(host, "busy", "");
    return;
  }
  const fs::path game = resolveRelative(clientDir, config.game);
  std::error_code ec;
  if (fs::status(game, ec).type() != fs::file_type::regular) {
    sendNotice(host, "gameMissing", config.game);
    return;
  }
  const ProcessStartResult result = host.startProcess(game, config.gameArgs, game.parent_path());
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
