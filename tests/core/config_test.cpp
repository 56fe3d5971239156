#include "core/config.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace tu {
namespace {

using test::TempDir;
using test::writeTestFile;

const std::string kGameMessage =
    "TarnLauncher.json: \"game\" must be a path inside the client folder, e.g. system/L2.exe";

LauncherConfig parsed(std::string_view document) {
  LauncherConfig config;
  std::string error;
  EXPECT_TRUE(parseConfig(document, config, error)) << document << ": " << error;
  return config;
}

std::string failure(std::string_view document) {
  LauncherConfig config;
  config.serverName = "kept";
  std::string error;
  EXPECT_FALSE(parseConfig(document, config, error)) << document;
  EXPECT_EQ(config.serverName, "kept") << document;
  return error;
}

// The scalar members in one line, so a whole configuration is compared at once.
std::string summary(const LauncherConfig& c) {
  return c.serverName + "|" + c.updateUrl + "|" + c.publicKey + "|" + c.newsUrl + "|" +
         c.statusUrl + "|" + c.statusHost + "|" + std::to_string(c.statusPort) + "|" + c.game +
         "|" + c.gameArgs + "|" + c.options + "|" + c.language + "|" +
         (c.closeOnPlay ? "close" : "stay") + "|" + (c.desktopShortcut ? "shortcut" : "none") +
         "|" + std::to_string(c.links.size());
}

// A member of the wrong kind counts as absent, and an absent one takes its default: nothing of
// an earlier configuration stays.
TEST(ParseConfig, AbsentOrWrongKindsGiveTheDefaults) {
  LauncherConfig config;
  config.links = {{"old", "https://old/"}};
  config.statusPort = 9;
  config.closeOnPlay = false;
  std::string error;
  ASSERT_TRUE(parseConfig(
      R"({"serverName": 5, "game": null, "options": [], "language": true, "closeOnPlay": 0,
          "desktopShortcut": "false", "updateUrl": {}, "statusPort": "2106", "links": []})",
      config, error));
  EXPECT_EQ(summary(config),
            "Lineage II||||||0|system/L2.exe||system/Option.ini|lt|close|shortcut|0");
}

// An empty options path is allowed; the update address gets one trailing slash.
TEST(ParseConfig, ValuesAreTakenAndNormalised) {
  EXPECT_EQ(summary(parsed(R"({
    "serverName": "", "updateUrl": "https://example.com/updater", "publicKey": "ABCdef01",
    "newsUrl": "n", "statusUrl": "s", "statusHost": "h", "statusPort": 2106.9,
    "game": "bin/game.exe", "gameArgs": "-x", "options": "", "language": "EN",
    "closeOnPlay": false, "desktopShortcut": false, "unknown": 1})")),
            "|https://example.com/updater/|abcdef01|n|s|h|2106|bin/game.exe|-x||en|stay|none|0");
  EXPECT_EQ(parsed(R"({"updateUrl": "https://x/u/"})").updateUrl, "https://x/u/");
  EXPECT_EQ(parsed(R"({"updateUrl": ""})").updateUrl, "");
  // The status port keeps the low 32 bits of the truncated number.
  EXPECT_EQ(parsed(R"({"statusPort": -5.9})").statusPort, -5);
  EXPECT_EQ(parsed(R"({"statusPort": 4294969402})").statusPort, 2106);  // 2^32 + 2106
  // Saturates to INT64_MAX, whose low 32 bits are all ones.
  EXPECT_EQ(parsed(R"({"statusPort": 1e300})").statusPort, -1);
}

TEST(ParseConfig, GameAndOptionsMustStayInsideTheClientFolder) {
  for (const char* game :
       {"C:/Games/L2.exe", "../L2.exe", "/system/L2.exe", "system\\\\L2.exe", ""}) {
    EXPECT_EQ(failure(std::string("{\"game\": \"") + game + "\"}"), kGameMessage) << game;
  }
  EXPECT_EQ(failure(R"({"options": "../Option.ini"})"), "TarnLauncher.json: bad \"options\" path");
  EXPECT_EQ(failure(R"({"game": "", "options": "/x"})"), kGameMessage);  // game is checked first
}

TEST(ParseConfig, LinksKeepHttpAndHttpsInDocumentOrder) {
  const LauncherConfig config = parsed(R"({"links": {
    "website": "https://example.com/", "mail": "mailto:staff@example.com",
    "forum": "http://forum.example.com/", "shout": "HTTPS://x/", "number": 5,
    "empty": "", "website": "https://example.com/new"}})");
  EXPECT_EQ(config.links,
            (std::vector<std::pair<std::string, std::string>>{
                {"website", "https://example.com/new"}, {"forum", "http://forum.example.com/"}}));
  EXPECT_EQ(
      linkUrl(config, "forum") + "|" + linkUrl(config, "Forum") + "|" + linkUrl(config, "mail"),
      "http://forum.example.com/||");
}

TEST(ParseConfig, ByteOrderMarkAndParseErrors) {
  EXPECT_EQ(parsed("\xEF\xBB\xBF{\"language\": \"ru\"}").language, "ru");
  // Valid JSON of another kind: nothing follows the prefix.
  for (const auto& [document, reason] : std::initializer_list<std::pair<const char*, const char*>>{
           {"{\xEF\xBB\xBF}", "expected key at offset 1"},
           {"\xEF\xBB\xBF\xEF\xBB\xBF{}", "unexpected character at offset 0"},
           {"\xEF\xBB\xBF", "unexpected end at offset 0"},
           {"{\"game\" \"x\"}", "expected ':' at offset 8"},
           {"[]", ""},
           {"\"{}\"", ""}}) {
    EXPECT_EQ(failure(document), std::string("TarnLauncher.json is not valid JSON: ") + reason);
  }
}

TEST(LoadConfig, ReadsTheFileOrSaysItIsMissing) {
  TempDir dir;
  LauncherConfig config;
  std::string error;
  EXPECT_FALSE(loadConfig(dir / "TarnLauncher.json", config, error));
  EXPECT_EQ(error, "TarnLauncher.json not found next to the launcher");

  writeTestFile(dir / "TarnLauncher.json", "\xEF\xBB\xBF{\"serverName\": \"Tarn\"}");
  EXPECT_TRUE(loadConfig(dir / "TarnLauncher.json", config, error));
  EXPECT_EQ(config.serverName, "Tarn");

  writeTestFile(dir / "TarnLauncher.json", "{\"game\": \"../x.exe\"}");
  EXPECT_FALSE(loadConfig(dir / "TarnLauncher.json", config, error));
  EXPECT_EQ(error, kGameMessage);
  EXPECT_EQ(config.serverName, "Tarn");
}

}  // namespace
}  // namespace tu
