#include "update/updater.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/canned_fetcher.h"

namespace tu {
namespace {

// An Updater whose clock the test moves and whose progress messages it keeps.
class Progress : public ::testing::Test {
 protected:
  Progress()
      : updater(
            "client", {}, config, fetcher, nullptr,
            [this](const Json& message) { sent.push_back(message); }, nullptr, nullptr) {
    updater.clock = [this] { return now; };
  }

  void send(const char* phase, std::uint64_t bytes, bool force = false) {
    updater.sendProgress(phase, entry, 1, 2, bytes, 1000000000, force);
  }

  LauncherConfig config;
  test::CannedFetcher fetcher;
  std::vector<Json> sent;
  double now = 1000.0;
  ManifestFile entry{"system/L2.exe", 10, std::string(64, 'a'), 20, false};
  Updater updater;
};

TEST_F(Progress, AtMostTenUnforcedMessagesASecond) {
  send("download", 1);
  now += 0.05;
  send("download", 2);
  EXPECT_EQ(sent.size(), 1u);
  send("download", 3, true);  // forced: always sent, and restarts the interval
  EXPECT_EQ(sent.size(), 2u);
  now += 0.09;
  send("download", 4);
  EXPECT_EQ(sent.size(), 2u);
  now += 0.01;
  send("download", 5);
  EXPECT_EQ(sent.size(), 3u);
}

TEST_F(Progress, SpeedIsSmoothedOverWindowsOfOneSecond) {
  send("download", 0);
  now += 0.5;
  send("download", 1000000);  // a window shorter than a second changes nothing
  EXPECT_EQ(sent.back().get("speed").asNumber(), 0);
  now += 1.5;
  send("download", 4000000);  // 4,000,000 bytes in 2 s
  EXPECT_EQ(sent.back().get("speed").asNumber(), 2000000);
  now += 1.0;
  send("download", 5000000);  // 1,000,000 in 1 s, weighted 0.4
  EXPECT_EQ(sent.back().get("speed").asNumber(), 1600000);
  now += 1.0;
  send("check", 6000000);  // speed is only reported for downloads
  EXPECT_EQ(sent.back().get("speed").asNumber(), 0);
  now += 1.0;
  send("download", 100);  // a restarted transfer counts as rate 0, never negative
  EXPECT_NEAR(sent.back().get("speed").asNumber(), 0.6 * (0.4 * 1000000 + 0.6 * 1600000), 1e-6);
}

}  // namespace
}  // namespace tu
