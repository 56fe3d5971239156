// The news and status pollers: their configuration and end with a canned fetcher, what they
// report with the platform's fetcher and TCP probe against the loopback server.
#include <gtest/gtest.h>

#include <atomic>

#include "net/news_worker.h"
#include "net/status_worker.h"
#include "net/tcp_probe.h"
#include "support/canned_fetcher.h"
#include "support/http_test_server.h"

namespace tu {
namespace {

using test::CannedFetcher;
using test::HttpTestServer;

// A URL alone, or a host without a port, is the page controller test's.
TEST(StatusPoller, IsConfiguredByAUrlOrAHostWithAPort) {
  EXPECT_TRUE(statusConfigured({"", "game.example", 1}));
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

TEST(PollersOverHttp, StatusFromTheDocumentOrElseAnIpv4TcpProbe) {
  HttpTestServer server;
  server.serve("/status.php", R"({"online":true,"players":12.9})");
  server.serve("/array.json", "[true]");
  server.serve("/odd.json", R"({"online":"yes","players":-3.7,"other":1})");
  const int closedPort = test::sockets::unusedLoopbackPort();
  const auto fetcher = makeFetcher();
  const TcpProbe probe = defaultTcpProbe();
  auto poll = [&](const std::string& path, const std::string& host, int port) {
    return pollStatus({path.empty() ? "" : server.url(path), host, port}, *fetcher, probe).dump();
  };
  EXPECT_EQ(poll("/status.php", "", 0), R"({"type":"status","online":true,"players":12})");
  // A 404 or an answer that is not an object: the game server's port is asked instead (here
  // the test server's own, which listens).
  EXPECT_EQ(poll("/missing", "127.0.0.1", server.port()),
            R"({"type":"status","online":true,"players":-1})");
  EXPECT_EQ(poll("/array.json", "127.0.0.1", server.port()),
            R"({"type":"status","online":true,"players":-1})");
  EXPECT_EQ(poll("", "127.0.0.1", closedPort), R"({"type":"status","online":false,"players":-1})");
  // Members of the wrong kind count as absent; players are truncated.
  EXPECT_EQ(poll("/odd.json", "", 0), R"({"type":"status","online":false,"players":-3})");
  EXPECT_EQ(poll("/missing", "", 0), R"({"type":"status","online":null})");
  EXPECT_EQ(poll("/missing", "127.0.0.1", 0), R"({"type":"status","online":null})");
  // An address with no IPv4 form: the probe never tries IPv6.
  for (const auto& [host, port] : {std::pair<const char*, int>{"::1", server.port()},
                                   {"tarn-test.invalid", server.port()},
                                   {"127.0.0.1", 0},
                                   {"127.0.0.1", 65536}}) {
    EXPECT_FALSE(probeTcp(host, port, 3000)) << host << ":" << port;
  }
}

TEST(PollersOverHttp, NewsAsParsedNullOrAbsent) {
  HttpTestServer server;
  server.serve("/news.json", "\xEF\xBB\xBF{\"banner\":{\"title\":\"T\"},\"news\":[]}");
  server.serve("/page.html", "<html>");
  const auto fetcher = makeFetcher();
  auto news = [&](const std::string& path) {
    std::string sent;
    newsWorker(server.url(path), *fetcher, [&](const Json& message) { sent = message.dump(); });
    return sent;
  };
  EXPECT_EQ(news("/news.json"), R"({"type":"news","data":{"banner":{"title":"T"},"news":[]}})");
  EXPECT_EQ(news("/page.html"), R"({"type":"news","data":null})");
  EXPECT_EQ(news("/missing"), R"({"type":"news"})");
}

}  // namespace
}  // namespace tu
