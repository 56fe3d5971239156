// The desktop shortcut: on the first start in a client folder the launcher puts a shortcut to
// itself on the player's desktop, named after the server. A marker in prefs.json remembers it
// per client folder, so a shortcut the player deleted is not made again. Every failure is
// silent; one that happens before the marker is set means another try at the next start.
// Main thread, COM initialised (single-threaded apartment).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/config.h"
#include "core/prefs.h"

namespace tu {

struct ShortcutTarget {
  std::filesystem::path exePath;    // the link's target and icon
  std::filesystem::path clientDir;  // the link's working folder
  std::uint32_t clientFolderHash = 0;
};

// "shortcut-" + the hash in decimal, e.g. "shortcut-2906646095".
std::string shortcutMarkerKey(std::uint32_t clientFolderHash);

// The server name with every control character (below 0x20) and every one of \ / : * ? " < >
// | replaced by '_', "Lineage II" when empty, then ".lnk". UTF-8; nothing else changes.
std::string shortcutFileName(std::string_view serverName);

// At start-up: into the user's desktop folder (FOLDERID_Desktop).
void placeDesktopShortcut(const LauncherConfig& config, const ShortcutTarget& target, Prefs& prefs,
                          const std::filesystem::path& dataFolder);

// The same into a given folder.
void placeDesktopShortcutIn(const std::filesystem::path& desktopFolder,
                            const LauncherConfig& config, const ShortcutTarget& target,
                            Prefs& prefs, const std::filesystem::path& dataFolder);

// Platform half (desktop_shortcut_win.cpp; elsewhere there is no desktop and no link).
std::optional<std::filesystem::path> userDesktopFolder();
// Writes a shell link: target and icon `exePath` (icon 0), working folder `workingFolder`,
// no arguments, description `description`. True when the file was saved.
bool createShellLink(const std::filesystem::path& linkFile, const std::filesystem::path& exePath,
                     const std::filesystem::path& workingFolder, const std::string& description);

}  // namespace tu
