// Where and how the game starts. The launcher starts it and forgets it: it neither waits for
// the game nor watches it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/config.h"

namespace tu {

struct GameStart {
  std::filesystem::path program;        // clientDir / config.game
  std::string arguments;                // config.gameArgs, handed over as configured
  std::filesystem::path workingFolder;  // the game's own folder
};

// The outcome of starting a program (the game).
struct ProcessStartResult {
  bool started = false;
  std::uint32_t error = 0;  // the system's error number when not started; 0 when declined
  bool declined = false;    // the player refused the elevation prompt
};

// The game of the configuration in `clientDir`. False when it is not an existing regular file
// (missing, a folder, or its status cannot be read).
bool findGame(const LauncherConfig& config, const std::filesystem::path& clientDir,
              GameStart& start);

}  // namespace tu
