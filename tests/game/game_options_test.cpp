// The options file: the three [Video] keys read and merged, every other byte kept.
#include "game/game_options.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace tu {
namespace {

namespace fs = std::filesystem;
using test::readTestFile;
using test::TempDir;
using test::writeTestFile;

// The options read from `text` over the defaults, as "windowed|width|height".
std::string read(std::string_view text) {
  DisplayOptions options;
  applyGameOptionsText(text, options);
  return std::to_string(options.windowed) + "|" + std::to_string(options.width) + "|" +
         std::to_string(options.height);
}

std::string merge(std::string_view text, bool windowed, int width, int height) {
  return mergeGameOptionsText(text, DisplayOptions{windowed, width, height});
}

// Later keys and sections win; a byte order mark hides the first header; values follow atoi,
// and only "True" in any case and spacing means full screen. Unset values keep the defaults.
TEST(GameOptionsRead, TheThreeKeysOfTheVideoSectionsLaterOnesWinning) {
  const std::pair<std::string, std::string> cases[] = {
      {"[Audio]\nGamePlayViewportX=1\n[VIDEO]\r\n  gameplayviewportx = 1280abc \r\n"
       "GamePlayViewportY=-720\nStartupFullScreen=TRUE\n",
       "0|1280|-720"},
      {"[Video]\nGamePlayViewportX=800\nGamePlayViewportX=1024\n[Other]\n[Video]\n"
       "GamePlayViewportY=600\n",
       "1|1024|600"},
      {"\xEF\xBB\xBF[Video]\nGamePlayViewportX=800", "1|1024|768"},
      {"[Video]\nStartupFullScreen=1", "1|1024|768"},
      {"[Video]\nStartupFullScreen=yes", "1|1024|768"},
      {"[Video]\nStartupFullScreen= True ", "0|1024|768"},
      {"[Video]\nGamePlayViewportX=abc", "1|0|768"},
      {"[Video]\nGamePlayViewportX=+800x600", "1|800|768"},
      {"[Video]\nGamePlayViewportX=99999999999", "1|2147483647|768"},
      {"[Video]\nGamePlayViewportX=-99999999999", "1|-2147483648|768"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(read(text), expected) << text;
}

// Every line the merge does not own is kept byte for byte (line ends become CRLF); the keys go
// before the section's trailing blank lines, every [Video] section is rewritten, and a header
// hidden behind a byte order mark gets a new section at the top.
TEST(GameOptionsMerge, ReplacesOrAddsTheKeysAndKeepsEverythingElse) {
  const struct {
    std::string text;
    bool windowed;
    int width, height;
    std::string merged;
  } cases[] = {
      {"[Video]\nGamePlayViewportX=800\nGamePlayViewportY=600\n\n[Audio]\n", true, 1280, 1024,
       "[Video]\r\nGamePlayViewportX=1280\r\nGamePlayViewportY=1024\r\n"
       "StartupFullScreen=False\r\n\r\n[Audio]\r\n"},
      {"", false, 1920, 1080,
       "[Video]\r\nGamePlayViewportX=1920\r\nGamePlayViewportY=1080\r\nStartupFullScreen=True"},
      {"; comment\r\n[Audio]\r\nGamePlayViewportX=5\r\n  Volume = 7  \t\r\n"
       "[video]\n  gameplayviewportx = 1024 ; old\r\nOther=\xC3\xA9\nno equals here\n\n\n",
       true, 800, 600,
       "; comment\r\n[Audio]\r\nGamePlayViewportX=5\r\n  Volume = 7  \t\r\n"
       "[video]\r\nGamePlayViewportX=800\r\nOther=\xC3\xA9\r\nno equals here\r\n"
       "GamePlayViewportY=600\r\nStartupFullScreen=False\r\n\r\n\r\n"},
      {"[Video]\nGamePlayViewportX=1\n[Video]\nGamePlayViewportX=2\n", true, 800, 600,
       "[Video]\r\nGamePlayViewportX=800\r\nGamePlayViewportY=600\r\nStartupFullScreen=False"
       "\r\n[Video]\r\nGamePlayViewportX=800\r\n"},
      {"[Audio]\nA=1\n[Video]\nGamePlayViewportY=1\n\n\n", true, -1, 600,
       "[Audio]\r\nA=1\r\n[Video]\r\nGamePlayViewportY=600\r\nGamePlayViewportX=-1\r\n"
       "StartupFullScreen=False\r\n\r\n\r\n"},
      {"\xEF\xBB\xBF[Video]\nGamePlayViewportX=800", true, 640, 480,
       "[Video]\r\nGamePlayViewportX=640\r\nGamePlayViewportY=480\r\nStartupFullScreen=False"
       "\r\n\xEF\xBB\xBF[Video]\r\nGamePlayViewportX=800\r\n"},
      {"[Video]\n\n[Audio]", false, 800, 600,
       "[Video]\r\nGamePlayViewportX=800\r\nGamePlayViewportY=600\r\nStartupFullScreen=True"
       "\r\n\r\n[Audio]\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(merge(c.text, c.windowed, c.width, c.height), c.merged);
}

TEST(GameOptionsFile, MissingFileIsCreatedAndUnreadableFileIsLeftAlone) {
  TempDir dir;
  DisplayOptions options{false, 1, 2};
  EXPECT_FALSE(readGameOptions(dir / "system/Option.ini", options));
  EXPECT_EQ(options.width, 1);  // unchanged
  ASSERT_TRUE(writeGameOptions(dir / "system/Option.ini", {false, 1920, 1080}));
  EXPECT_EQ(
      readTestFile(dir / "system/Option.ini"),
      "[Video]\r\nGamePlayViewportX=1920\r\nGamePlayViewportY=1080\r\nStartupFullScreen=True");
  ASSERT_TRUE(readGameOptions(dir / "system/Option.ini", options));
  EXPECT_EQ(options.width, 1920);

  // Something that exists but cannot be read as the options file (here an empty folder) must
  // not be replaced by a file holding only the three keys.
  fs::create_directories(dir / "other/Option.ini");
  EXPECT_FALSE(writeGameOptions(dir / "other/Option.ini", {}));
  EXPECT_TRUE(fs::is_directory(dir / "other/Option.ini"));
}

}  // namespace
}  // namespace tu
