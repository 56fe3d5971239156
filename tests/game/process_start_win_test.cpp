// Starting a file that is not a program fails with the system's error number. Starting the game
// for real (its command line and working folder, from a folder named beyond ASCII) is the
// end-to-end test's.
#include <windows.h>

#include <gtest/gtest.h>

#include "game/game_launch.h"
#include "game/process_start_win.h"
#include "support/temp_dir.h"

namespace tu {
namespace {

TEST(ProcessStartWin, AFileThatIsNotAProgramFailsWithTheSystemsErrorNumber) {
  test::TempDir dir;
  const std::filesystem::path clientDir = dir.path() / L"Games L2 \u017D";
  test::writeTestFile(clientDir / L"system" / L"L2.exe", "not a program");
  LauncherConfig config;
  config.game = "system/L2.exe";
  GameStart found;
  ASSERT_TRUE(findGame(config, clientDir, found));
  const ProcessStartResult result =
      startGameProcess(nullptr, found.program, found.arguments, found.workingFolder);
  EXPECT_FALSE(result.started);
  EXPECT_FALSE(result.declined);
  EXPECT_GT(result.error, 0u);
}

}  // namespace
}  // namespace tu
