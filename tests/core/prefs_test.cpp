#include "core/prefs.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace tu {
namespace {

namespace fs = std::filesystem;
using test::readTestFile;
using test::TempDir;
using test::writeTestFile;

LauncherConfig withLanguage(std::string language) {
  LauncherConfig config;
  config.language = std::move(language);
  return config;
}

// A stored language the page does not offer, or a document that is not an object, gives way to
// the configured language, and the next save writes over it.
TEST(Prefs, UnusableStoredValuesGiveWayToTheConfiguredLanguage) {
  for (const char* content : {R"({"lang":"de"})", R"({"lang":"EN"})", R"({"lang":""})",
                              R"(["lang","ru"])", R"({"lang":)", "", R"("ru")"}) {
    TempDir dir;
    writeTestFile(prefsFile(dir.path()), content);
    Prefs state;
    loadPrefs(state, dir.path(), withLanguage("lt"));
    EXPECT_EQ(state.currentLanguage, "lt") << content;
    savePrefs(state, dir.path());
    EXPECT_EQ(readTestFile(prefsFile(dir.path())), "{\n  \"lang\": \"lt\"\n}\n") << content;
  }
}

// Nothing is written until something changes; a stored language overrides the configured one,
// and a save keeps the other members in their order.
TEST(Prefs, AStoredLanguageOverridesTheConfiguredOneAndSaveKeepsOtherMembers) {
  TempDir dir;
  Prefs state;
  loadPrefs(state, dir.path(), withLanguage("en"));
  EXPECT_EQ(state.currentLanguage, "en");
  EXPECT_TRUE(state.prefs.isObject());
  EXPECT_FALSE(fs::exists(prefsFile(dir.path())));

  writeTestFile(prefsFile(dir.path()), R"({"a":1,"lang":"ru","shortcut-2906646095":true})");
  loadPrefs(state, dir.path(), withLanguage("lt"));
  EXPECT_EQ(state.currentLanguage, "ru");
  state.currentLanguage = "en";
  savePrefs(state, dir.path());
  EXPECT_EQ(readTestFile(prefsFile(dir.path())),
            "{\n  \"a\": 1,\n  \"lang\": \"en\",\n  \"shortcut-2906646095\": true\n}\n");

  // Without a "lang" member it is appended at the end.
  writeTestFile(prefsFile(dir.path()), R"({"shortcut-1":true,"x":[]})");
  loadPrefs(state, dir.path(), withLanguage("ru"));
  savePrefs(state, dir.path());
  EXPECT_EQ(readTestFile(prefsFile(dir.path())),
            "{\n  \"shortcut-1\": true,\n  \"x\": [],\n  \"lang\": \"ru\"\n}\n");
}

TEST(Prefs, SaveCreatesTheDataFolderAndIgnoresAFailedWrite) {
  TempDir dir;
  Prefs state;
  state.currentLanguage = "ru";
  savePrefs(state, dir / "Tarn/data");
  EXPECT_EQ(readTestFile(prefsFile(dir / "Tarn/data")), "{\n  \"lang\": \"ru\"\n}\n");

  // A file where the data folder should be: nothing can be written, nothing is reported.
  writeTestFile(dir / "blocked", "file");
  savePrefs(state, dir / "blocked");
  EXPECT_EQ(state.currentLanguage, "ru");
  EXPECT_EQ(readTestFile(dir / "blocked"), "file");
}

}  // namespace
}  // namespace tu
