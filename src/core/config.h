// LauncherConfig: the staff's settings for their server, from TarnLauncher.json next to the
// launcher or from the copy built into the executable. Filled once at start-up, read-only
// afterwards, so every thread may read it without a lock.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tu {

struct LauncherConfig {
  std::string serverName = "Lineage II";
  std::string updateUrl;  // ends with '/' when not empty
  std::string publicKey;  // lower-cased; its length and digits are checked by the manifest code
  std::string newsUrl;
  std::string statusUrl;
  std::string statusHost;
  std::int32_t statusPort = 0;
  std::string game = "system/L2.exe";
  std::string gameArgs;
  std::string options = "system/Option.ini";
  std::string language = "lt";
  bool closeOnPlay = true;
  bool desktopShortcut = true;
  std::vector<std::pair<std::string, std::string>> links;  // (name, http(s) URL), document order
};

// Applies the document's rules to a fresh default configuration. On success replaces `config`
// whole; on failure leaves it as it was and sets `error` (texts start with "TarnLauncher.json").
bool parseConfig(std::string_view document, LauncherConfig& config, std::string& error);

// Reads the file and parses it; an unreadable file gives
// "TarnLauncher.json not found next to the launcher".
bool loadConfig(const std::filesystem::path& file, LauncherConfig& config, std::string& error);

// The URL of the first link named exactly `name`, or "".
std::string linkUrl(const LauncherConfig& config, std::string_view name);

}  // namespace tu
