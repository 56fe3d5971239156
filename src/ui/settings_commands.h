// The page's settings panel: "getSettings" answers with the display options and the
// resolutions to offer, "saveSettings" writes the chosen ones. Main thread.
#pragma once

#include <filesystem>
#include <string>

#include "core/json.h"
#include "game/game_options.h"
#include "ui/host.h"

namespace tu {

// "getSettings": reads the options file over the defaults and posts "settings".
void sendSettings(Host& host, const std::filesystem::path& optionsFile,
                  const std::string& language);

// The record "saveSettings" writes: "windowed" when it is a boolean; "width" and "height",
// truncated toward zero, only when both are numbers in 640..16384 and 480..16384 (else the
// stored size stays, while the window mode still applies).
DisplayOptions savedDisplayOptions(DisplayOptions stored, const Json& command);

// "saveSettings": reads the file over the defaults, applies the command, writes the file and
// posts "settingsSaved" with whether the write succeeded.
void handleSaveSettings(Host& host, const std::filesystem::path& optionsFile, const Json& command);

}  // namespace tu
