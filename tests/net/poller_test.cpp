// The status poller's probe fallback, its configuration and its end on closing, with a canned
// fetcher. The document's cases run against the loopback server (poller_loopback_test.cpp).
#include <gtest/gtest.h>

#include <atomic>

#include "net/status_worker.h"
#include "support/canned_fetcher.h"

namespace tu {
namespace {

using test::CannedFetcher;

struct ProbeRecord {
  std::vector<std::string> calls;
  bool answer = true;
  TcpProbe probe() {
    return [this](const std::string& host, int port, int timeoutMs) {
      calls.push_back(host + ":" + std::to_string(port) + "/" + std::to_string(timeoutMs));
      return answer;
    };
  }
};

std::string status(const StatusSource& source, const std::string& body, ProbeRecord& probe) {
  CannedFetcher fetcher;
  fetcher.bodies[source.url] = body;
  return pollStatus(source, fetcher, probe.probe()).dump();
}

TEST(StatusPoller, FallsBackToTheTcpProbeWithThreeSeconds) {
  ProbeRecord probe;
  probe.answer = false;
  EXPECT_EQ(status({"http://s/status", "game.example", 7777}, "not json", probe),
            R"({"type":"status","online":false,"players":-1})");
  EXPECT_EQ(probe.calls, std::vector<std::string>{"game.example:7777/3000"});
}

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
      ProbeRecord().probe(),
      [&] {
        if (++steps == 125) quitting = true;
      });
  EXPECT_EQ(sent, 2);
  EXPECT_EQ(steps, 125);
  EXPECT_EQ(fetcher.requests, 2);
}

}  // namespace
}  // namespace tu
