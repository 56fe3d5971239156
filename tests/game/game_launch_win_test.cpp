// Starting the game for real: the command line and working folder the game sees.
#include <windows.h>

#include <gtest/gtest.h>

#include "core/files.h"
#include "game/game_launch.h"
#include "game/host_services_win.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace tu {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// Hands the process start to the real implementation, as the window's Host does.
class ProcessHost : public test::RecordingHost {
 public:
  ProcessStartResult startProcess(const fs::path& program, const std::string& arguments,
                                  const fs::path& workingFolder) override {
    RecordingHost::startProcess(program, arguments, workingFolder);
    return startGameProcess(nullptr, program, arguments, workingFolder);
  }
};

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

class GameLaunchWinTest : public ::testing::Test {
 protected:
  GameLaunchWinTest() {
    clientDir = dir.path() / L"Games L2 \u017D";
    std::error_code ec;
    fs::create_directories(clientDir / L"system", ec);
    fs::copy_file(recorderProgram(), clientDir / L"system" / L"L2.exe", ec);
    EXPECT_FALSE(ec) << ec.message();
    config.game = "system/L2.exe";
  }

  TempDir dir;
  fs::path clientDir;
  LauncherConfig config;
  ProcessHost host;
};

TEST_F(GameLaunchWinTest, TheGameSeesItsQuotedPathAndItsFolder) {
  launchGame(host, config, clientDir, false);
  const fs::path game = clientDir / L"system" / L"L2.exe";
  EXPECT_EQ(awaitRecord(clientDir / L"system"),
            L"\"" + game.native() + L"\"\n" + (clientDir / L"system").native());
  EXPECT_EQ(host.closed, 1);
  EXPECT_TRUE(host.takePosted().empty());
}

TEST_F(GameLaunchWinTest, ArgumentsFollowUnchangedAfterOneBlank) {
  config.gameArgs = "-login  \"two words\" \xC5\xBD";
  config.closeOnPlay = false;
  launchGame(host, config, clientDir, false);
  const fs::path game = clientDir / L"system" / L"L2.exe";
  EXPECT_EQ(awaitRecord(clientDir / L"system"), L"\"" + game.native() +
                                                    L"\" -login  \"two words\" \u017D\n" +
                                                    (clientDir / L"system").native());
  EXPECT_EQ(host.minimized, 1);
  EXPECT_EQ(host.closed, 0);
}

TEST_F(GameLaunchWinTest, AFileThatIsNotAProgramFailsWithTheSystemsErrorNumber) {
  test::writeTestFile(clientDir / L"system" / L"L2.exe", "not a program");
  launchGame(host, config, clientDir, false);
  const auto posted = host.takePosted();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].getString("code"), "gameStartFailed");
  EXPECT_GT(std::stoul(posted[0].getString("detail")), 0u);
  EXPECT_EQ(host.closed + host.minimized, 0);
}

}  // namespace
}  // namespace tu
