// The status poller's configuration and its end on closing, with a canned fetcher. What it
// reports, from the document or the TCP probe, runs against the loopback server
// (poller_loopback_test.cpp).
#include <gtest/gtest.h>

#include <atomic>

#include "net/status_worker.h"
#include "support/canned_fetcher.h"

namespace tu {
namespace {

using test::CannedFetcher;

TEST(StatusPoller, IsConfiguredByAUrlOrAHostWithAPort) {
  EXPECT_TRUE(statusConfigured({"http://s/status", "", 0}));
  EXPECT_TRUE(statusConfigured({"", "game.example", 1}));
  EXPECT_FALSE(statusConfigured({"", "game.example", 0}));
  EXPECT_FALSE(statusConfigured({"", "", 7777}));
}

TEST(StatusPoller, PollsOncePerMinuteAndEndsWithinOneStepOfQuitting) {
  CannedFetcher fetcher;
  fetcher.bodies["http://s/status"] = R"({"online":true,"players":1})";
  std::atomic<bool> quitting{false};
  int sent = 0;
  int steps = 0;
  // A minute of steps, a second poll, then quitting set in the middle of the next wait.
  statusWorker(
      {"http://s/status", "", 0}, fetcher, quitting, [&](const Json&) { ++sent; },
      [](const std::string&, int, int) { return true; },
      [&] {
        if (++steps == 125) quitting = true;
      });
  EXPECT_EQ(sent, 2);
  EXPECT_EQ(steps, 125);
  EXPECT_EQ(fetcher.requests, 2);
}

}  // namespace
}  // namespace tu
