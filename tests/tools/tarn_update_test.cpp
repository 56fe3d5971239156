// tarn-update as players and scripts use it: its exit codes, its --json lines (the launcher's
// page messages, member for member), its console output, its signals and a full disk.
#include <signal.h>

#include <gtest/gtest.h>

#include "core/files.h"
#include "publish/manifest_writer.h"
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

TEST_F(TarnUpdateTest, JsonLinesAreThePageMessagesAndSuccessExitsWithZero) {
  publish(kTree);
  const ToolRun run = runTool(argsFor({"--json"}));
  EXPECT_EQ(run.exitCode(), 0) << run.err;
  EXPECT_EQ(run.err, "");
  ASSERT_FALSE(run.out.empty());
  EXPECT_EQ(run.out.back(), '\n');

  std::vector<std::string> events;
  for (const std::string& line : run.lines) {
    std::string error;
    const Json message = Json::parse(line, &error);
    ASSERT_TRUE(message.isObject()) << line << ": " << error;
    EXPECT_EQ(message.dump(), line) << "compact, as the page receives it";
    // The messages' members are the controller test's; here their order on the line.
    const std::string type = message.getString("type");
    std::string event = type == "done" ? type : type + " " + message.getString("phase");
    // Consecutive progress messages of one phase count as one event.
    if (events.empty() || events.back() != event) events.push_back(event);
  }
  EXPECT_EQ(events, (std::vector<std::string>{"phase manifest", "phase check", "progress check",
                                              "phase download", "progress download", "done"}));
  EXPECT_EQ(run.lines.back(),
            "{\"type\":\"done\",\"ok\":true,\"canPlay\":true,"
            "\"code\":\"updated\",\"detail\":\"\",\"build\":\"build 1\"}");
  expectTool(kTree);

  // Not on a terminal and without --json: a line per phase, then the result.
  const ToolRun again = runTool(argsFor({}));
  EXPECT_EQ(again.exitCode(), 0);
  EXPECT_EQ(again.out, "Fetching the manifest\nChecking files\nUp to date (build build 1).\n");
}

TEST_F(TarnUpdateTest, FailedRunsExitWithOne) {
  publish(kTree);
  server.serve("/manifest.sig", std::string(128, '0') + "\n");
  const ToolRun badSignature = runTool(argsFor({}));
  EXPECT_EQ(badSignature.exitCode(), 1);
  EXPECT_EQ(badSignature.out,
            "Fetching the manifest\nManifest rejected: manifest signature does not match\n");

  publish(kTree);
  scriptFile("readme.txt", {.status = 404});
  const ToolRun failed = runTool(argsFor({"--json"}));
  EXPECT_EQ(failed.exitCode(), 1);
  const Json done = doneOf(failed.lines);
  EXPECT_EQ(done.getString("code"), "failed");
  EXPECT_EQ(done.getString("detail"), "readme.txt: HTTP 404");
  EXPECT_TRUE(done.getBool("canPlay", false));
}

TEST_F(TarnUpdateTest, ClientFolderDefaultsToTheCurrentOne) {
  publish(kTree);
  const ToolRun run = runTool({"--json"}, {.workingDir = client});
  EXPECT_EQ(run.exitCode(), 0);
  EXPECT_EQ(doneOf(run.lines).getString("code"), "updated");
  expectTool(kTree);
  // "--" ends the options; what follows is the folder.
  EXPECT_EQ(runTool({"--", client.string()}).exitCode(), 0);
}

TEST_F(TarnUpdateTest, ConfigurationErrorsExitWithTwoAndTheirText) {
  publish(kTree);
  const auto expectError = [&](const std::string& text) {
    const ToolRun run = runTool(argsFor({"--json"}));
    EXPECT_EQ(run.exitCode(), 2);
    EXPECT_EQ(run.err, text + "\n");
    EXPECT_EQ(run.out, "");
  };
  // The texts themselves are loadConfig's (config_test); one missing and one refused file.
  fs::remove(at("TarnLauncher.json"));
  expectError("TarnLauncher.json not found next to the launcher");
  writeTestFile(at("TarnLauncher.json"), "[]");
  expectError("TarnLauncher.json is not valid JSON: ");
  EXPECT_EQ(server.requests().size(), 0u);
}

TEST_F(TarnUpdateTest, UsageErrorsExitWithTwo) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--bogus"}, {"-r"}, {client.string(), client.string()}}) {
    const ToolRun run = runTool(args);
    EXPECT_EQ(run.exitCode(), 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("tarn-update: ", 0), 0u) << run.err;
  }
  const ToolRun help = runTool({"--help"});
  EXPECT_EQ(help.exitCode(), 0);
  EXPECT_EQ(help.out.rfind("usage: tarn-update [--repair] [--json] [CLIENT_DIR]\n", 0), 0u);
  EXPECT_EQ(server.requests().size(), 0u);
}

TEST_F(TarnUpdateTest, TerminalShowsOneLiveLineThenTheResult) {
  publish(kTree);
  const ToolRun run = runTool(argsFor({}), {.terminal = true});
  EXPECT_EQ(run.exitCode(), 0);
  // The terminal turns each line feed into CR LF: the whole output is one line, redrawn.
  const std::string result = "Updated (build build 1).\r\n";
  ASSERT_GE(run.out.size(), result.size());
  EXPECT_EQ(run.out.substr(run.out.size() - result.size()), result);
  EXPECT_EQ(run.out.find('\n'), run.out.size() - 1);
  EXPECT_NE(run.out.find("Downloading ["), std::string::npos) << run.out;
  // Every drawing fits the terminal's 100 columns.
  std::size_t start = 0;
  while (start < run.out.size()) {
    std::size_t end = run.out.find_first_of("\r\n", start);
    if (end == std::string::npos) end = run.out.size();
    std::string drawn = run.out.substr(start, end - start);
    if (drawn.size() >= 3 && drawn.compare(drawn.size() - 3, 3, "\x1b[K") == 0)
      drawn.resize(drawn.size() - 3);
    EXPECT_LT(drawn.size(), 100u) << drawn;
    start = end + 1;
  }
}

class TarnUpdateSignals : public TarnUpdateTest {
 protected:
  // A download that stalls half way: the signal ends the run without waiting for the data,
  // and the partial download stays (the update runs test resuming from it).
  void cancelStalledDownload(int signal) {
    const std::vector<ClientFile> tree = {{"data/big.bin", noise(200000, 3)}};
    publish(tree);
    scriptFile("data/big.bin", {.body = packedBytes("data/big.bin"), .stallAfter = 1000});
    ChildProcess child(program(), argsFor({"--json"}));
    server.waitUntilStalled();
    child.sendSignal(signal);
    const int status = child.wait();
    server.release();
    EXPECT_EQ(exitCodeOf(status), 1) << child.err();
    const Json done = doneOf(child.lines());
    EXPECT_EQ(done.getString("code"), "cancelled");
    EXPECT_FALSE(done.getBool("canPlay", true));
    EXPECT_EQ(done.getString("detail"), "data/big.bin: cancelled");
    const fs::path part = at(".tarn_update/" + entry("data/big.bin").sha256 + ".part");
    EXPECT_EQ(readTestFile(part).size(), 1000u) << "kept for resuming";
  }
};

TEST_F(TarnUpdateSignals, InterruptCancelsAStalledDownload) {
  cancelStalledDownload(SIGINT);
}

TEST_F(TarnUpdateSignals, TerminateCancelsAStalledDownload) {
  cancelStalledDownload(SIGTERM);
}

TEST_F(TarnUpdateSignals, SecondSignalEndsTheProcessAtOnce) {
  publish(kTree);
  // The manifest never comes, and nothing but the receive timeout would end that wait.
  server.script("/manifest.json", {.body = servedManifest, .stallBeforeHeaders = true});
  ChildProcess child(program(), argsFor({"--json"}));
  server.waitUntilStalled();
  child.sendSignal(SIGINT);
  child.waitUntilDelivered(SIGINT);
  child.sendSignal(SIGINT);
  const int status = child.wait();
  server.release();
  EXPECT_EQ(signalOf(status), SIGINT) << "exit code " << exitCodeOf(status);
  EXPECT_EQ(doneOf(child.lines()).kind(), Json::Kind::Null);
}

TEST_F(TarnUpdateTest, FullDiskFailsAndDamagesNothing) {
  // Packs small but unpacks past the limit; the other one is too big to download at all.
  const std::vector<ClientFile> tree = {{"data/a.txt", "first"},
                                        {"data/big.bin", std::string(3000000, 'z')},
                                        {"data/noise.bin", noise(1500000, 4)}};
  publish(tree);
  writeTestFile(at("data/big.bin"), "old big");
  writeTestFile(at("data/noise.bin"), "old noise");
  const ChildOptions limited{.fileSizeLimit = 1000000};

  const ToolRun unpack = runTool(argsFor({"--json"}), limited);
  EXPECT_EQ(unpack.exitCode(), 1);
  Json done = doneOf(unpack.lines);
  EXPECT_EQ(done.getString("code"), "failed");
  EXPECT_EQ(done.getString("detail"), "data/big.bin: write failed (disk full?)");
  EXPECT_EQ(readTestFile(at("data/a.txt")), "first");
  EXPECT_EQ(readTestFile(at("data/big.bin")), "old big");
  EXPECT_FALSE(fs::exists(at("data/big.bin.tznew")));

  // Now the big one is in place, so the download of the noise is what hits the limit.
  writeTestFile(at("data/big.bin"), tree[1].content);
  const ToolRun download = runTool(argsFor({"--json"}), limited);
  EXPECT_EQ(download.exitCode(), 1);
  done = doneOf(download.lines);
  EXPECT_EQ(done.getString("code"), "failed");
  EXPECT_EQ(done.getString("detail"), "data/noise.bin: write failed (disk full?)");
  EXPECT_EQ(readTestFile(at("data/noise.bin")), "old noise");

  // With room again, one run completes the client.
  EXPECT_EQ(runTool(argsFor({})).exitCode(), 0);
  expectTool(tree);
}

}  // namespace
}  // namespace tu::test
