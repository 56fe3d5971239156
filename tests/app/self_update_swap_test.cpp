#include "app/self_update_swap.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace tu {
namespace {

namespace fs = std::filesystem;

// A Host that only starts processes, as told, and remembers how it was asked.
class StartingHost : public Host {
 public:
  bool starts = true;
  struct Start {
    fs::path program;
    std::string arguments;
    fs::path folder;
  };
  std::vector<Start> starts_;

  ProcessStartResult startProcess(const fs::path& program, const std::string& arguments,
                                  const fs::path& folder) override {
    starts_.push_back({program, arguments, folder});
    ProcessStartResult result;
    result.started = starts;
    result.error = starts ? 0 : 193;
    return result;
  }
  bool post(MainMessage) override { return false; }
  bool hasWebView() const override { return false; }
  void deliverToWebView(const std::string&) override {}
  void minimizeWindow() override {}
  void closeWindow() override {}
  void startWindowDrag() override {}
  void shellOpen(const std::string&) override {}
  std::vector<DisplayMode> displayModes() override { return {}; }
};

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
  StartingHost host_;
};

TEST_F(SelfUpdateSwapTest, PutsTheNewBuildInPlaceAndStartsItWithUpdated) {
  test::writeTestFile(old_, "stale leftover");
  ASSERT_TRUE(swapInReplacement(exe_, replacement_, client_.path(), host_));
  EXPECT_EQ(test::readTestFile(exe_), "new build");
  EXPECT_EQ(test::readTestFile(old_), "old build");
  EXPECT_FALSE(fs::exists(replacement_));
  ASSERT_EQ(host_.starts_.size(), 1u);
  EXPECT_EQ(host_.starts_[0].program, exe_);
  EXPECT_EQ(host_.starts_[0].arguments, "--updated");
  EXPECT_EQ(host_.starts_[0].folder, client_.path());
}

TEST_F(SelfUpdateSwapTest, ANewBuildThatCannotStartIsReplacedByTheOldOne) {
  host_.starts = false;
  EXPECT_FALSE(swapInReplacement(exe_, replacement_, client_.path(), host_));
  EXPECT_EQ(test::readTestFile(exe_), "old build");
  EXPECT_FALSE(fs::exists(old_));
  EXPECT_FALSE(fs::exists(replacement_));
  EXPECT_EQ(host_.starts_.size(), 1u);
}

TEST_F(SelfUpdateSwapTest, AReplacementThatCannotBeMovedLeavesTheOldBuildInPlace) {
  fs::remove(replacement_);
  EXPECT_FALSE(swapInReplacement(exe_, replacement_, client_.path(), host_));
  EXPECT_EQ(test::readTestFile(exe_), "old build");
  EXPECT_FALSE(fs::exists(old_));
  EXPECT_TRUE(host_.starts_.empty());
}

}  // namespace
}  // namespace tu
