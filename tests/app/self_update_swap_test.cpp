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

TEST_F(SelfUpdateSwapTest, PutsTheNewBuildInPlaceAndStartsItWithUpdated) {
  test::writeTestFile(old_, "stale leftover");
  ASSERT_TRUE(swapInReplacement(exe_, replacement_, client_.path(), host_));
  EXPECT_EQ(test::readTestFile(exe_), "new build");
  EXPECT_EQ(test::readTestFile(old_), "old build");
  EXPECT_FALSE(fs::exists(replacement_));
  ASSERT_EQ(host_.starts.size(), 1u);
  EXPECT_EQ(host_.starts[0].program, exe_);
  EXPECT_EQ(host_.starts[0].arguments, "--updated");
  EXPECT_EQ(host_.starts[0].workingFolder, client_.path());
}

TEST_F(SelfUpdateSwapTest, ANewBuildThatCannotStartIsReplacedByTheOldOne) {
  host_.startResult.started = false;
  EXPECT_FALSE(swapInReplacement(exe_, replacement_, client_.path(), host_));
  EXPECT_EQ(test::readTestFile(exe_), "old build");
  EXPECT_FALSE(fs::exists(old_));
  EXPECT_FALSE(fs::exists(replacement_));
  EXPECT_EQ(host_.starts.size(), 1u);
}

TEST_F(SelfUpdateSwapTest, AReplacementThatCannotBeMovedLeavesTheOldBuildInPlace) {
  fs::remove(replacement_);
  EXPECT_FALSE(swapInReplacement(exe_, replacement_, client_.path(), host_));
  EXPECT_EQ(test::readTestFile(exe_), "old build");
  EXPECT_FALSE(fs::exists(old_));
  EXPECT_TRUE(host_.starts.empty());
}

}  // namespace
}  // namespace tu
