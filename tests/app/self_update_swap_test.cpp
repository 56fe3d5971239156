// A swap that cannot begin. The swap itself, and the one whose new build does not start, run
// for real in the end-to-end tests.
#include "app/self_update_swap.h"

#include <gtest/gtest.h>

#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace tu {
namespace {

namespace fs = std::filesystem;

TEST(SelfUpdateSwap, AReplacementThatCannotBeMovedLeavesTheOldBuildInPlace) {
  test::TempDir client;
  const fs::path exe = client / "TarnLauncher.exe";
  test::writeTestFile(exe, "old build");
  test::RecordingHost host;
  EXPECT_FALSE(swapInReplacement(exe, client / "TarnLauncher.exe.new", client.path(), host));
  EXPECT_EQ(test::readTestFile(exe), "old build");
  EXPECT_FALSE(fs::exists(client / "TarnLauncher.exe.old"));
  EXPECT_TRUE(host.starts.empty());
}

}  // namespace
}  // namespace tu
