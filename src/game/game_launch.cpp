#include "game/game_launch.h"

#include <system_error>

#include "core/files.h"

namespace tu {

namespace fs = std::filesystem;

bool findGame(const LauncherConfig& config, const fs::path& clientDir, GameStart& start) {
  const fs::path game = resolveRelative(clientDir, config.game);
  std::error_code ec;
  if (fs::status(game, ec).type() != fs::file_type::regular) return false;
  start.program = game;
  start.arguments = config.gameArgs;
  start.workingFolder = game.parent_path();
  return true;
}

}  // namespace tu
