#include "core/config.h"

#include "core/files.h"
#include "core/json.h"

namespace tu {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

bool parseConfig(std::string_view document, LauncherConfig& config, std::string& error) {
  // Editors on Windows like to save a byte-order mark; it is not part of the JSON text.
  if (startsWith(document, "\xEF\xBB\xBF")) document.remove_prefix(3);

  std::string parseError;
  const Json root = Json::parse(document, &parseError);
  if (!root.isObject()) {
    // A valid text of another kind (an array, say) leaves parseError empty.
    error = "TarnLauncher.json is not valid JSON: " + parseError;
    return false;
  }

  // Every getter falls back to the default when the key is absent or of another kind.
  LauncherConfig fresh;
  fresh.serverName = root.getString("serverName", fresh.serverName);
  fresh.updateUrl = root.getString("updateUrl", "");
  if (!fresh.updateUrl.empty() && fresh.updateUrl.back() != '/') fresh.updateUrl += '/';
  fresh.publicKey = toLowerAscii(root.getString("publicKey", ""));
  fresh.newsUrl = root.getString("newsUrl", "");
  fresh.statusUrl = root.getString("statusUrl", "");
  fresh.statusHost = root.getString("statusHost", "");
  // The low 32 bits, as a signed value: a port of -5 stays -5 and keeps the status probe off.
  fresh.statusPort =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(root.getInt64("statusPort", 0)));
  fresh.game = root.getString("game", fresh.game);
  fresh.gameArgs = root.getString("gameArgs", "");
  fresh.options = root.getString("options", fresh.options);
  fresh.language = toLowerAscii(root.getString("language", fresh.language));
  fresh.closeOnPlay = root.getBool("closeOnPlay", true);
  fresh.desktopShortcut = root.getBool("desktopShortcut", true);
  for (const Json::Member& link : root.get("links").members()) {
    const std::string& url = link.second.asString();
    if (startsWith(url, "https://") || startsWith(url, "http://")) {
      fresh.links.emplace_back(link.first, url);
    }
  }

  if (!isSafeRelativePath(fresh.game)) {
    error =
        "TarnLauncher.json: \"game\" must be a path inside the client folder, e.g. system/L2.exe";
    return false;
  }
  if (!fresh.options.empty() && !isSafeRelativePath(fresh.options)) {
    error = "TarnLauncher.json: bad \"options\" path";
    return false;
  }
  config = std::move(fresh);
  return true;
}

bool loadConfig(const std::filesystem::path& file, LauncherConfig& config, std::string& error) {
  std::string document;
  if (!readFile(file, document)) {
    error = "TarnLauncher.json not found next to the launcher";
    return false;
  }
  return parseConfig(document, config, error);
}

std::string linkUrl(const LauncherConfig& config, std::string_view name) {
  for (const auto& [linkName, url] : config.links) {
    if (linkName == name) return url;
  }
  return {};
}

}  // namespace tu
