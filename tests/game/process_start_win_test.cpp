// Starting the game for real, from a folder whose name is beyond ASCII: the command line and
// the working folder the game sees, and the error of a file that is not a program.
#include <windows.h>

#include <gtest/gtest.h>

#include "core/files.h"
#include "game/game_launch.h"
#include "game/process_start_win.h"
#include "support/temp_dir.h"

namespace tu {
namespace {

namespace fs = std::filesystem;

class ProcessStartWinTest : public ::testing::Test {
 protected:
  ProcessStartWinTest() {
    std::error_code ec;
    fs::create_directories(game.parent_path(), ec);
    fs::copy_file(pathFromUtf8(TARN_RECORDER_EXE), game, ec);
    EXPECT_FALSE(ec) << ec.message();
    config.game = "system/L2.exe";
  }

  ProcessStartResult start() {
    GameStart found;
    EXPECT_TRUE(findGame(config, clientDir, found));
    return startGameProcess(nullptr, found.program, found.arguments, found.workingFolder);
  }

  // What the recorder standing in for the game wrote (the launcher does not wait for the game).
  std::string takeRecord() {
    const fs::path log = game.native() + L".log";
    std::string record;
    for (int attempt = 0; attempt < 400 && !(readFile(log, record) && record.ends_with("\n"));
         ++attempt) {
      Sleep(50);
    }
    fs::remove(log);
    return record;
  }

  test::TempDir dir;
  fs::path clientDir = dir.path() / L"Games L2 \u017D";
  fs::path game = clientDir / L"system" / L"L2.exe";
  LauncherConfig config;
};

TEST_F(ProcessStartWinTest, TheGameSeesItsQuotedPathTheArgumentsUnchangedAndItsFolder) {
  const std::string folder = "\ncwd=" + pathToUtf8(clientDir / L"system") + "\n";
  EXPECT_TRUE(start().started);
  EXPECT_EQ(takeRecord(), "\"" + pathToUtf8(game) + "\"" + folder);
  config.gameArgs = "-login  \"two words\" \xC5\xBD";
  EXPECT_TRUE(start().started);
  EXPECT_EQ(takeRecord(), "\"" + pathToUtf8(game) + "\" -login  \"two words\" \xC5\xBD" + folder);
}

TEST_F(ProcessStartWinTest, AFileThatIsNotAProgramFailsWithTheSystemsErrorNumber) {
  test::writeTestFile(game, "not a program");
  const ProcessStartResult result = start();
  EXPECT_FALSE(result.started);
  EXPECT_FALSE(result.declined);
  EXPECT_GT(result.error, 0u);
}

}  // namespace
}  // namespace tu
