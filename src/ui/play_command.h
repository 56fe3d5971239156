// "play": starts the game client and gets the launcher out of the way. Main thread.
#pragma once

#include <filesystem>

#include "core/config.h"
#include "ui/host.h"

namespace tu {

// While an update runs, only the notice "busy". Otherwise starts the configured game
// (findGame) through Host::startProcess, then closes the window (closeOnPlay) or minimizes it.
// Notices: "gameMissing" (detail: config.game as written) when the game is not an existing
// regular file; "gameStartFailed" (detail: the system's error number) when it cannot be
// started; nothing when the player declined the elevation prompt.
void launchGame(Host& host, const LauncherConfig& config, const std::filesystem::path& clientDir,
                bool updateBusy);

}  // namespace tu
