#include "core/prefs.h"

#include "core/files.h"

namespace tu {

bool isPageLanguage(std::string_view code) {
  return code == "lt" || code == "en" || code == "ru";
}

std::filesystem::path prefsFile(const std::filesystem::path& dataFolder) {
  return resolveRelative(dataFolder, "prefs.json");
}

void loadPrefs(Prefs& state, const std::filesystem::path& dataFolder,
               const LauncherConfig& config) {
  state.currentLanguage = config.language;
  std::string text;
  if (!readFile(prefsFile(dataFolder), text)) return;  // first run
  Json document = Json::parse(text);
  if (document.isObject()) state.prefs = std::move(document);
  // Only a language the page has replaces the configured one; anything else stays in the
  // document until the next save overwrites it.
  const std::string stored = state.prefs.getString("lang");
  if (isPageLanguage(stored)) state.currentLanguage = stored;
}

void savePrefs(Prefs& state, const std::filesystem::path& dataFolder) {
  state.prefs.set("lang", state.currentLanguage);
  // A failed write is not reported: the choice then lasts until the program ends.
  writeFileAtomic(prefsFile(dataFolder), state.prefs.dump(true) + "\n");
}

}  // namespace tu
