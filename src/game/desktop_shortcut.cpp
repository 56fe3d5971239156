#include "game/desktop_shortcut.h"

#include <string_view>
#include <system_error>

#include "core/files.h"

namespace tu {

namespace fs = std::filesystem;

namespace {

bool markerSet(const Prefs& prefs, const std::string& key) {
  const Json& marker = prefs.prefs.get(key);
  return marker.isBool() && marker.asBool();
}

}  // namespace

std::string shortcutMarkerKey(std::uint32_t clientFolderHash) {
  return "shortcut-" + std::to_string(clientFolderHash);
}

std::string shortcutFileName(std::string_view serverName) {
  // Working on the UTF-8 bytes gives the same name as working on UTF-16 units: every unit
  // replaced here is ASCII, and ASCII bytes never occur inside a multi-byte sequence.
  constexpr std::string_view kReserved = "\\/:*?\"<>|";
  std::string name(serverName);
  for (char& c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || kReserved.find(c) != std::string_view::npos) {
      c = '_';
    }
  }
  if (name.empty()) name = "Lineage II";
  return name + ".lnk";
}

void placeDesktopShortcut(const LauncherConfig& config, const ShortcutTarget& target, Prefs& prefs,
                          const fs::path& dataFolder) {
  if (!config.desktopShortcut) return;
  if (markerSet(prefs, shortcutMarkerKey(target.clientFolderHash))) return;
  const auto desktop = userDesktopFolder();
  if (!desktop || desktop->empty()) return;
  placeDesktopShortcutIn(*desktop, config, target, prefs, dataFolder);
}

void placeDesktopShortcutIn(const fs::path& desktopFolder, const LauncherConfig& config,
                            const ShortcutTarget& target, Prefs& prefs,
                            const fs::path& dataFolder) {
  if (!config.desktopShortcut) return;
  const std::string key = shortcutMarkerKey(target.clientFolderHash);
  if (markerSet(prefs, key)) return;
  const fs::path linkFile = desktopFolder / pathFromUtf8(shortcutFileName(config.serverName));
  std::error_code ec;
  // A file of that name (made by hand, or by the same launcher in another client folder) is
  // left alone and counts as done.
  if (!fs::exists(linkFile, ec)) {
    if (!createShellLink(linkFile, target.exePath, target.clientDir, config.serverName)) return;
  }
  prefs.prefs.set(key, true);
  savePrefs(prefs, dataFolder);
}

}  // namespace tu
