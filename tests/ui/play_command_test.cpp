// Play's failures as the player reads them, and what the window does after a start. Starting
// the game for real is the end-to-end test's; play during a run is the page controller's.
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

TEST_F(GameLaunchTest, FailedStartsAreReportedAndAStartClosesOrMinimizesTheWindow) {
  launchGame(host, config, dir.path(), false);
  fs::create_directories(dir / "system/L2.exe");
  launchGame(host, config, dir.path(), false);
  const std::string missing = R"({"type":"notice","code":"gameMissing","detail":"system/L2.exe"})";
  EXPECT_EQ(notices(), missing + missing);
  EXPECT_TRUE(host.starts.empty());

  fs::remove(dir / "system/L2.exe");
  writeTestFile(dir / "system/L2.exe", "MZ");
  host.startResult = {false, 0, true};
  launchGame(host, config, dir.path(), false);
  EXPECT_EQ(notices(), "");
  host.startResult = {false, 193, false};
  launchGame(host, config, dir.path(), false);
  EXPECT_EQ(notices(), R"({"type":"notice","code":"gameStartFailed","detail":"193"})");
  EXPECT_EQ(host.closed + host.minimized, 0);

  host.startResult = {true, 0, false};
  launchGame(host, config, dir.path(), false);
  EXPECT_EQ(host.closed, 1);
  config.closeOnPlay = false;
  launchGame(host, config, dir.path(), false);
  EXPECT_EQ(host.closed + 10 * host.minimized, 11);
  EXPECT_EQ(notices(), "");
}

}  // namespace
}  // namespace tu
