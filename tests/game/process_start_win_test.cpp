// Starting the game for real: the command line and working folder the game sees.
#include <windows.h>

#include <gtest/gtest.h>

#include "core/files.h"
#include "game/game_launch.h"
#include "game/process_start_win.h"
#include "support/temp_dir.h"

namespace tu {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

fs::path recorderProgram() {
  wchar_t self[4096];
  const DWORD length = GetModuleFileNameW(nullptr, self, 4096);
  return fs::path(std::wstring(self, length)).parent_path() / L"record_launch.exe";
}

// The recorder's output, once it has written it (the launcher does not wait for the game).
std::wstring awaitRecord(const fs::path& folder) {
  std::string bytes;
  for (int attempt = 0; attempt < 400 && !readFile(folder / L"launch_record.bin", bytes);
       ++attempt) {
    Sleep(50);
  }
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

class ProcessStartWinTest : public ::testing::Test {
 protected:
  ProcessStartWinTest() {
    clientDir = dir.path() / L"Games L2 \u017D";
    std::error_code ec;
    fs::create_directories(clientDir / L"system", ec);
    fs::copy_file(recorderProgram(), clientDir / L"system" / L"L2.exe", ec);
    EXPECT_FALSE(ec) << ec.message();
    config.game = "system/L2.exe";
  }

  ProcessStartResult start() {
    GameStart game;
    EXPECT_TRUE(findGame(config, clientDir, game));
    return startGameProcess(nullptr, game.program, game.arguments, game.workingFolder);
  }

  TempDir dir;
  fs::path clientDir;
  LauncherConfig config;
};

TEST_F(ProcessStartWinTest, TheGameSeesItsQuotedPathAndItsFolder) {
  EXPECT_TRUE(start().started);
  const fs::path game = clientDir / L"system" / L"L2.exe";
  EXPECT_EQ(awaitRecord(clientDir / L"system"),
            L"\"" + game.native() + L"\"\n" + (clientDir / L"system").native());
}

TEST_F(ProcessStartWinTest, ArgumentsFollowUnchangedAfterOneBlank) {
  config.gameArgs = "-login  \"two words\" \xC5\xBD";
  EXPECT_TRUE(start().started);
  const fs::path game = clientDir / L"system" / L"L2.exe";
  EXPECT_EQ(awaitRecord(clientDir / L"system"), L"\"" + game.native() +
                                                    L"\" -login  \"two words\" \u017D\n" +
                                                    (clientDir / L"system").native());
}

TEST_F(ProcessStartWinTest, AFileThatIsNotAProgramFailsWithTheSystemsErrorNumber) {
  test::writeTestFile(clientDir / L"system" / L"L2.exe", "not a program");
  const ProcessStartResult result = start();
  EXPECT_FALSE(result.started);
  EXPECT_FALSE(result.declined);
  EXPECT_GT(result.error, 0u);
}

}  // namespace
}  // namespace tu
