// tarn-update as players and scripts use it, on every platform: its exit codes, its --json
// lines (the launcher's page messages, member for member), its output off a terminal, Ctrl+C.
#include <gtest/gtest.h>

#include "core/files.h"
#include "support/test_data.h"
#include "tarn_update_fixture.h"

namespace tu::test {
namespace {

namespace fs = std::filesystem;

const std::vector<ClientFile> kTree = {
    {"system/L2.exe", noise(70000, 1)},
    {"system/Option.ini", "[Video]\nWidth=800\n"},
    {"readme.txt", "hello"},
};

// Without a folder the client is the current one; "--" ends the options.
TEST_F(TarnUpdateTest, JsonLinesAreThePageMessagesAndSuccessExitsWithZero) {
  publish(kTree);
  const ToolRun run = runTool({"--json"}, {.workingDir = client});
  EXPECT_EQ(run.exitCode(), 0) << run.err;
  EXPECT_EQ(run.err, "");
  ASSERT_FALSE(run.out.empty());
  EXPECT_EQ(run.out.back(), '\n');
  for (const std::string& line : run.lines) {
    std::string error;
    const Json message = Json::parse(line, &error);
    ASSERT_TRUE(message.isObject()) << line << ": " << error;
    EXPECT_EQ(message.dump(), line) << "compact, as the page receives it";
  }
  // Which messages, in which order, with which members, is the controller test's.
  expectTool(kTree);

  // Not on a terminal and without --json: a line per phase, then the result.
  const ToolRun again = runTool({"--repair", "--", pathToUtf8(client)});
  EXPECT_EQ(again.exitCode(), 0);
  EXPECT_EQ(again.out, "Fetching the manifest\nChecking files\nUp to date (build build 1).\n");
}

TEST_F(TarnUpdateTest, UsageErrorsExitWithTwoBeforeAnyRequest) {
  const ToolRun help = runTool({"--help"});
  EXPECT_EQ(help.exitCode(), 0);
  EXPECT_EQ(help.out.rfind("usage: tarn-update [--repair] [--json] [CLIENT_DIR]\n", 0), 0u);
  publish(kTree);
  const auto expectError = [&](const std::vector<std::string>& args, const std::string& start) {
    const ToolRun run = runTool(args);
    EXPECT_EQ(run.exitCode(), 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind(start, 0), 0u) << run.err;
  };
  expectError({"--bogus"}, "tarn-update: ");
  expectError(argsFor({pathToUtf8(client)}), "tarn-update: ");
  // The texts themselves are loadConfig's (config_test).
  fs::remove(at("TarnLauncher.json"));
  expectError(argsFor({"--json"}), "TarnLauncher.json not found next to the launcher\n");
  EXPECT_EQ(server.requests().size(), 0u);
}

TEST_F(TarnUpdateTest, InterruptCancelsAStalledDownload) {
  const Json done = cancelStalledDownload([](ChildProcess& child) { child.interrupt(); }).first;
  // How soon the cancel reaches the stalled transfer is the fetcher's matter: curl asks the
  // run at once, WinHTTP only when its receive timeout ends the wait.
  EXPECT_EQ(done.getString("detail").rfind("data/big.bin: ", 0), 0u) << done.dump();
}

}  // namespace
}  // namespace tu::test
