// A swap that cannot begin. The swap itself, and the one whose new build does not start, run
// for real in the end-to-end tests.
#include "app/self_update_swap.h"

#include <gtest/gtest.h>

#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace tu {
namespace {

namespace fs = std::filesystem;

class SelfUpdateSwapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::writeTestFile(exe_, "old build");
    test::writeTestFile(replacement_, "new build");
  }
  test::TempDir client_;
  fs::path exe_ = client_ / "TarnLauncher.exe";
  fs::path old_ = client_ / "TarnLauncher.exe.old";
  fs::path replacement_ = client_ / "TarnLauncher.exe.new";
  test::RecordingHost host_;
};

TEST_F(SelfUpdateSwapTest, AReplacementThatCannotBeMovedLeavesTheOldBuildInPlace) {
  fs::remove(replacement_);
  EXPECT_FALSE(swapInReplacement(exe_, replacement_, client_.path(), host_));
  EXPECT_EQ(test::readTestFile(exe_), "old build");
  EXPECT_FALSE(fs::exists(old_));
  EXPECT_TRUE(host_.starts.empty());
}

}  // namespace
}  // namespace tu
