// tarn-update where POSIX alone has the means: a pseudo-terminal, SIGTERM, a file size limit.
#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <sstream>

#include "support/test_data.h"
#include "tarn_update_fixture.h"

namespace tu::test {
namespace {

namespace fs = std::filesystem;

TEST_F(TarnUpdateTest, TerminateCancelsAStalledDownloadAtOnce) {
  const auto [done, kept] =
      cancelStalledDownload([](ChildProcess& child) { child.sendSignal(SIGTERM); });
  // The cancel reached the transfer while it waited, not after the receive timeout.
  EXPECT_EQ(done.getString("detail"), "data/big.bin: cancelled");
  EXPECT_EQ(kept, 1000u);
}

TEST_F(TarnUpdateTest, ASecondInterruptEndsTheProcessAtOnce) {
  publish({{"readme.txt", "hello"}});
  server.script("/manifest.json", {.body = servedManifest, .stallBeforeHeaders = true});
  ChildProcess child(program(), argsFor({"--json"}));
  server.waitUntilStalled();
  // Every wait of a run now ends on the first interrupt, so the program is held still while
  // two arrive: kept apart as two signals, the second must end it before the run can.
  child.sendSignal(SIGSTOP);
  child.interrupt();
  child.sendSignal(SIGTERM);
  child.sendSignal(SIGCONT);
  const int status = child.wait();
  server.release();
  EXPECT_TRUE(WIFSIGNALED(status) && (WTERMSIG(status) == SIGINT || WTERMSIG(status) == SIGTERM))
      << "status " << status;
  EXPECT_EQ(doneOf(child.lines()).kind(), Json::Kind::Null);
}

// A failed run exits with 1. How a download that hits a full disk reads is the fetcher
// conformance test's; here the install of a file that packs small but unpacks past the limit.
TEST_F(TarnUpdateTest, FullDiskFailsAndDamagesNothingThenATerminalShowsTheRunThatCompletes) {
  const std::vector<ClientFile> tree = {{"data/a.txt", "first"},
                                        {"data/big.bin", std::string(3000000, 'z')}};
  publish(tree);
  writeTestFile(at("data/big.bin"), "old big");
  const ToolRun failed = runTool(argsFor({"--json"}), {.fileSizeLimit = 1000000});
  EXPECT_EQ(failed.exitCode(), 1);
  const Json done = doneOf(failed.lines);
  EXPECT_EQ(done.getString("code"), "failed");
  EXPECT_EQ(done.getString("detail"), "data/big.bin: write failed (disk full?)");
  EXPECT_EQ(readTestFile(at("data/a.txt")), "first");
  EXPECT_EQ(readTestFile(at("data/big.bin")), "old big");
  EXPECT_FALSE(fs::exists(at("data/big.bin.tznew")));

  // With room again, one run completes the client, on a terminal: one live line, then the result.
  const ToolRun run = runTool(argsFor({}), {.terminal = true});
  EXPECT_EQ(run.exitCode(), 0);
  expectTool(tree);
  // The terminal turns each line feed into CR LF: the whole output is one line, redrawn.
  const std::string result = "Updated (build build 1).\r\n";
  ASSERT_TRUE(run.out.ends_with(result)) << run.out;
  EXPECT_EQ(run.out.find('\n'), run.out.size() - 1);
  EXPECT_NE(run.out.find("Downloading ["), std::string::npos) << run.out;
  // Every drawing fits the terminal's 100 columns and covers all the previous one left.
  std::istringstream live(run.out.substr(0, run.out.size() - result.size()));
  std::size_t previous = 0;
  for (std::string drawn; std::getline(live, drawn, '\r');) {
    EXPECT_LT(drawn.size(), 100u) << drawn;
    EXPECT_GE(drawn.size(), previous) << drawn;
    if (!drawn.empty()) previous = drawn.find_last_not_of(' ') + 1;
  }
}

}  // namespace
}  // namespace tu::test
