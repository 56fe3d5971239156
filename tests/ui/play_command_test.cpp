// Play: the game path, what is handed to the process start, and what follows. Play during a
// run is the page controller test's (it holds the busy state).
#include "ui/play_command.h"

#include <gtest/gtest.h>

#include "core/files.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace tu {
namespace {

namespace fs = std::filesystem;
using test::RecordingHost;
using test::TempDir;
using test::writeTestFile;

class GameLaunchTest : public ::testing::Test {
 protected:
  GameLaunchTest() {
    config.game = "system/L2.exe";
    config.gameArgs = "-login srv  \"two words\"";
  }
  std::string notices() {
    std::string out;
    for (const Json& message : host.takePosted()) out += message.dump();
    return out;
  }

  TempDir dir;
  LauncherConfig config;
  RecordingHost host;
};

TEST_F(GameLaunchTest, AMissingGameOrAFolderInItsPlaceIsReported) {
  launchGame(host, config, dir.path(), false);
  fs::create_directories(dir / "system/L2.exe");
  launchGame(host, config, dir.path(), false);
  const std::string missing = R"({"type":"notice","code":"gameMissing","detail":"system/L2.exe"})";
  EXPECT_EQ(notices(), missing + missing);
  EXPECT_TRUE(host.starts.empty());
}

TEST_F(GameLaunchTest, StartsTheGameInItsFolderThenClosesOrMinimizes) {
  writeTestFile(dir / "system/L2.exe", "MZ");
  launchGame(host, config, dir.path(), false);
  ASSERT_EQ(host.starts.size(), 1u);
  EXPECT_EQ(host.starts[0].program, resolveRelative(dir.path(), "system/L2.exe"));
  EXPECT_EQ(host.starts[0].arguments, "-login srv  \"two words\"");
  EXPECT_EQ(host.starts[0].workingFolder, resolveRelative(dir.path(), "system"));
  EXPECT_EQ(host.closed, 1);
  EXPECT_EQ(host.minimized, 0);

  config.closeOnPlay = false;
  launchGame(host, config, dir.path(), false);
  EXPECT_EQ(host.closed, 1);
  EXPECT_EQ(host.minimized, 1);
  EXPECT_EQ(notices(), "");
}

TEST_F(GameLaunchTest, AFailedStartIsReportedADeclinedOneIsNot) {
  writeTestFile(dir / "system/L2.exe", "MZ");
  host.startResult = {false, 0, true};
  launchGame(host, config, dir.path(), false);
  EXPECT_EQ(notices(), "");
  host.startResult = {false, 193, false};
  launchGame(host, config, dir.path(), false);
  EXPECT_EQ(notices(), R"({"type":"notice","code":"gameStartFailed","detail":"193"})");
  EXPECT_EQ(host.closed + host.minimized, 0);
}

}  // namespace
}  // namespace tu
