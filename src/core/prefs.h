// Preferences: the player's own choices (page language, desktop-shortcut markers) in
// prefs.json in the launcher's data folder. The whole document stays in memory and is written
// back whole, so members written by other versions survive. Main thread only.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "core/config.h"
#include "core/json.h"

namespace tu {

// True for the page's languages: exactly "lt", "en" and "ru".
bool isPageLanguage(std::string_view code);

struct Prefs {
  Json prefs = Json::object();         // the document as read; other members kept as they are
  std::string currentLanguage = "lt";  // the language the page is told to use
};

// The document's path: dataFolder / "prefs.json".
std::filesystem::path prefsFile(const std::filesystem::path& dataFolder);

// Starts from the configuration's language; then reads prefs.json, keeps it when it is an
// object and takes its "lang" when that is one of the page's languages. Failures (missing,
// unreadable, not JSON, not an object) leave the defaults and report nothing.
void loadPrefs(Prefs& state, const std::filesystem::path& dataFolder, const LauncherConfig& config);

// Sets "lang" to the current language (in place, or appended) and writes the document with the
// indented layout and one line feed, atomically; creates the data folder when missing. A failed
// write is ignored: the choice then lasts until the program ends.
void savePrefs(Prefs& state, const std::filesystem::path& dataFolder);

}  // namespace tu
