// One suite for every Fetcher: CurlFetcher natively, WinHttpFetcher under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/files.h"
#include "net/fetcher.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"
#include "support/test_data.h"

namespace tu::test {
namespace {

namespace fs = std::filesystem;

// Short waits, so the failure cases finish quickly.
constexpr FetchTimeouts kTestTimeouts{2000, 2000, 2000, 800};

class FetcherTest : public testing::Test {
 protected:
  ProgressCallback recordCounts() {
    counts.clear();
    return [this](std::uint64_t count) {
      counts.push_back(count);
      return true;
    };
  }
  bool download(const std::string& path, std::uint64_t offset, std::string& error) {
    return downloadUrl(server.url(path), offset, error);
  }
  bool downloadUrl(const std::string& url, std::uint64_t offset, std::string& error,
                   const fs::path& to = {}) {
    return fetcher->download(url, to.empty() ? destination : to, offset, recordCounts(), error);
  }

  HttpTestServer server;
  TempDir dir;
  fs::path destination = dir / "file.part";
  std::unique_ptr<Fetcher> fetcher = makePlatformFetcher(kTestTimeouts);
  std::vector<std::uint64_t> counts;
};

// A fresh download asks for everything and counts up to the whole file; a server that answers
// a resume with the whole file has it written from the start, and counted from zero.
TEST_F(FetcherTest, DownloadsFreshOrResumedAndRewritesForAWholeAnswer) {
  const std::string body = noise(300000, 7);
  server.serve("/f.bin", body);
  std::string error = "untouched";
  ASSERT_TRUE(download("/f.bin", 0, error));
  EXPECT_EQ(error, "untouched");
  EXPECT_EQ(readTestFile(destination), body);
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_FALSE(server.requests()[0].header("Range"));
  ASSERT_FALSE(counts.empty());
  EXPECT_TRUE(std::is_sorted(counts.begin(), counts.end()));
  EXPECT_EQ(counts.back(), body.size());

  const std::string whole = noise(500, 7);
  server.script("/whole.bin", {.body = whole, .honourRange = false});
  writeTestFile(destination, std::string(1000, 'x'));
  ASSERT_TRUE(download("/whole.bin", 1000, error)) << error;
  EXPECT_EQ(readTestFile(destination), whole);
  ASSERT_FALSE(counts.empty());
  EXPECT_LE(counts.front(), whole.size());
  EXPECT_EQ(counts.back(), whole.size());
}

TEST_F(FetcherTest, RangeNotSatisfiableIsRetriedOnceFromTheStart) {
  const std::string body = noise(700, 7);
  server.scriptSequence("/f.bin", {{.status = 416}, {.body = body}});
  writeTestFile(destination, std::string(1000, 'x'));
  std::string error;
  ASSERT_TRUE(download("/f.bin", 1000, error)) << error;
  EXPECT_EQ(readTestFile(destination), body);
  ASSERT_EQ(server.requests().size(), 2u);
  EXPECT_FALSE(server.requests()[1].header("Range"));

  server.clearRequests();
  server.script("/again.bin", {.status = 416});
  EXPECT_FALSE(download("/again.bin", 1000, error));
  EXPECT_EQ(error, "HTTP 416");
  EXPECT_EQ(server.requests().size(), 2u);

  server.clearRequests();
  EXPECT_FALSE(download("/again.bin", 0, error));
  EXPECT_EQ(error, "HTTP 416");
  EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(FetcherTest, RangeDownloadsAppendExactlyTheRangeOrNothing) {
  const std::string body = noise(300000, 7);
  server.serve("/f.bin", body);
  writeTestFile(destination, "head");
  std::string error;
  ASSERT_TRUE(fetcher->downloadRange(server.url("/f.bin"), destination, 1000, 200999,
                                     recordCounts(), error))
      << error;
  EXPECT_EQ(readTestFile(destination), "head" + body.substr(1000, 200000));
  EXPECT_EQ(server.requests().at(0).header("Range"), "bytes=1000-200999");
  EXPECT_EQ(counts.back(), 200000u);

  // Every answer that is not exactly the range fails, and only a cut one leaves bytes behind.
  const std::string range = "Content-Range: bytes 1000-1999/300000";
  struct Case {
    Behaviour answer;
    std::string text;
  };
  const std::vector<Case> cases = {
      {{.body = body, .honourRange = false}, "HTTP 200"},
      {{.body = body.substr(0, 1000),
        .status = 206,
        .headers = {"Content-Range: bytes 0-999/300000"}},
       "HTTP 206 for another range"},
      {{.body = body.substr(0, 1500), .status = 206, .headers = {range}},
       "download: answer longer than the range"},
      {{.body = body, .closeAfter = 400}, "download: connection reset"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    writeTestFile(destination, "head");
    server.script("/g.bin", c.answer);
    EXPECT_FALSE(fetcher->downloadRange(server.url("/g.bin"), destination, 1000, 1999,
                                        recordCounts(), error));
    EXPECT_EQ(error, c.text);
    const std::string kept = readTestFile(destination);
    EXPECT_EQ(kept, "head" + body.substr(1000, kept.size() - 4));
    if (c.answer.closeAfter) {
      EXPECT_EQ(kept.size(), 404u);
    } else if (c.answer.status == 0) {
      EXPECT_EQ(kept, "head");
    }
  }
}

// Status errors name the address only for texts; addresses without a web scheme never reach
// the wire.
TEST_F(FetcherTest, StatusErrorsAndBadUrlsReadAsThePlayerSeesThem) {
  std::string out = "kept";
  std::string error;
  EXPECT_FALSE(fetcher->getText(server.url("/missing.json"), out, error));
  EXPECT_EQ(error, "HTTP 404 " + server.url("/missing.json"));
  EXPECT_FALSE(download("/missing.bin", 0, error));
  EXPECT_EQ(error, "HTTP 404");
  server.script("/broken.json", {.body = "oops", .status = 500});
  EXPECT_FALSE(fetcher->getText(server.url("/broken.json?x=1"), out, error));
  EXPECT_EQ(error, "HTTP 500 " + server.url("/broken.json?x=1"));
  // A partial answer to a request for the whole file is refused.
  server.script("/part.bin", {.body = "tail", .status = 206});
  EXPECT_FALSE(download("/part.bin", 0, error));
  EXPECT_EQ(error, "HTTP 206");
  server.clearRequests();
  for (const std::string url : {"example.com/manifest.json", "ftp://127.0.0.1/x", ""}) {
    EXPECT_FALSE(fetcher->getText(url, out, error));
    EXPECT_EQ(error, "bad URL: " + url);
    EXPECT_FALSE(downloadUrl(url, 0, error));
    EXPECT_EQ(error, "bad URL: " + url);
  }
  EXPECT_EQ(out, "kept");
  EXPECT_TRUE(server.requests().empty());
}

TEST_F(FetcherTest, TextsUpToSixteenMebibytesAreAccepted) {
  const std::string exact = noise(16777216, 7);
  server.serve("/exact", exact);
  server.serve("/over", exact + "!");
  std::string out = "old";
  std::string error;
  ASSERT_TRUE(fetcher->getText(server.url("/exact"), out, error)) << error;
  EXPECT_TRUE(out == exact);
  EXPECT_FALSE(fetcher->getText(server.url("/over"), out, error));
  EXPECT_EQ(error, "cancelled");
  server.serve("/empty", "");
  ASSERT_TRUE(fetcher->getText(server.url("/empty"), out, error)) << error;
  EXPECT_EQ(out, "");
}

// A download that ends early keeps what it wrote: stopped through the callback, or cut by the
// server (a reset reads the same as a close); a second call resumes.
TEST_F(FetcherTest, AnEarlyEndKeepsThePartAndASecondCallResumes) {
  const std::string body = noise(4 << 20, 7);
  server.scriptSequence("/f.bin",
                        {{.body = body}, {.body = body, .closeAfter = 100000}, {.body = body}});
  std::uint64_t last = 0;
  std::string error;
  EXPECT_FALSE(fetcher->download(
      server.url("/f.bin"), destination, 0,
      [&last](std::uint64_t count) {
        last = count;
        return count < (1 << 20);
      },
      error));
  EXPECT_EQ(error, "cancelled");
  EXPECT_GE(last, 1u << 20);
  EXPECT_EQ(readTestFile(destination), body.substr(0, last));

  EXPECT_FALSE(download("/f.bin", 0, error));
  EXPECT_EQ(error, "download: connection reset");
  EXPECT_EQ(readTestFile(destination), body.substr(0, 100000));
  ASSERT_TRUE(download("/f.bin", 100000, error)) << error;
  EXPECT_EQ(readTestFile(destination), body);
  EXPECT_EQ(server.requests().at(2).header("Range"), "bytes=100000-");
  EXPECT_GT(counts.front(), 100000u) << "the counts are of the whole file";

  server.script("/reset.bin", {.body = body, .closeAfter = 1000, .resetOnClose = true});
  std::string out;
  EXPECT_FALSE(fetcher->getText(server.url("/reset.bin"), out, error));
  EXPECT_EQ(error, "download: connection reset");
}

// A silent server times out, before the headers or within the body; a pause shorter than the
// timeout does not.
TEST_F(FetcherTest, StalledAnswersTimeOutAndBriefPausesComplete) {
  const std::string body = noise(5000, 7);
  server.script("/body", {.body = body, .stallAfter = 1000});
  server.script("/head", {.body = "x", .stallBeforeHeaders = true});
  std::string out;
  std::string error;
  EXPECT_FALSE(download("/body", 0, error));
  EXPECT_EQ(error, "download: timeout");
  const std::string kept = readTestFile(destination);
  EXPECT_EQ(kept, body.substr(0, kept.size()));
  EXPECT_FALSE(fetcher->getText(server.url("/head"), out, error));
  EXPECT_EQ(error, "download: timeout");

  std::thread releaser([this] {
    server.waitUntilStalled(3);
    server.release();
  });
  EXPECT_TRUE(download("/body", 0, error)) << error;
  releaser.join();
  EXPECT_EQ(readTestFile(destination), body);
}

// Odd lengths and redirects are followed. Every request, retries and redirects included,
// names the launcher and asks past caches; unsafe bytes of an address are escaped and its own
// escapes kept.
TEST_F(FetcherTest, OddLengthsRedirectsAndWhatEveryRequestCarries) {
  const std::string body = noise(2000, 7);
  server.script("/long",
                {.body = body, .length = Behaviour::Length::Announced, .announcedLength = 1500});
  server.script("/open", {.body = body, .length = Behaviour::Length::Unannounced});
  server.script("/moved", {.status = 302, .headers = {"Location: /open"}});
  server.scriptSequence("/f.bin", {{.status = 416}, {.body = "data"}});
  std::string out;
  std::string error;
  ASSERT_TRUE(fetcher->getText(server.url("/long"), out, error)) << error;
  EXPECT_EQ(out, body.substr(0, 1500));
  ASSERT_TRUE(fetcher->getText(server.url("/open"), out, error)) << error;
  EXPECT_EQ(out, body);
  ASSERT_TRUE(download("/moved", 0, error)) << error;
  EXPECT_EQ(readTestFile(destination), body);
  EXPECT_EQ(server.requests().back().target, "/open");
  fetcher->getText(server.url("/sp ace/\xC5\xBE.bin?q=1 2"), out, error);
  fetcher->getText(server.url("/a%20b/c%2Fd"), out, error);
  download("/f.bin", 10, error);
  const std::vector<ReceivedRequest> requests = server.requests();
  ASSERT_EQ(requests.size(), 8u);
  EXPECT_EQ(requests[4].target, "/sp%20ace/%C5%BE.bin?q=1%202");
  EXPECT_EQ(requests[5].target, "/a%20b/c%2Fd");
  for (const ReceivedRequest& request : requests) {
    EXPECT_EQ(request.method, "GET") << request.requestLine;
    EXPECT_EQ(request.header("User-Agent"), "TarnLauncher/1.0") << request.requestLine;
    EXPECT_EQ(request.header("Cache-Control"), "no-cache") << request.requestLine;
    EXPECT_EQ(request.header("Pragma"), "no-cache") << request.requestLine;
  }
}

// The player reads the same words whichever fetcher runs: failures before the request is on
// the wire name the connection.
TEST_F(FetcherTest, FailuresWhileConnectingNameTheConnection) {
  std::string out;
  std::string error;
  const std::string refused =
      "http://127.0.0.1:" + std::to_string(sockets::unusedLoopbackPort()) + "/x";
  EXPECT_FALSE(fetcher->getText(refused, out, error));
  EXPECT_EQ(error, "connect: cannot connect");

  const std::string plain = "https://127.0.0.1:" + std::to_string(server.port()) + "/x";
  EXPECT_FALSE(fetcher->getText(plain, out, error));
  EXPECT_EQ(error, "connect: TLS/certificate error");

  // .invalid names never resolve; the short timeouts bound the wait for the resolver.
  EXPECT_FALSE(downloadUrl("http://tarn-test.invalid/x", 0, error));
  if (error.ends_with(": timeout")) GTEST_SKIP() << "the resolver does not answer here";
  EXPECT_EQ(error, "connect: server name not found (no internet?)");
}

// A cancel from another thread ends a call that waits for a silent server long before any
// timeout would, and every later call of that fetcher fails the same way at once.
TEST_F(FetcherTest, ACancelEndsTheWaitingCallAndEveryLaterOne) {
  static constexpr FetchTimeouts kPatient{60000, 60000, 60000, 60000};
  server.script("/head", {.body = "x", .stallBeforeHeaders = true});
  server.script("/body", {.body = noise(5000, 7), .stallAfter = 1000});
  std::string error;
  const auto cancelWhileWaiting = [&](const std::function<bool(Fetcher&)>& call,
                                      std::size_t stalls) {
    std::unique_ptr<Fetcher> waiting = makePlatformFetcher(kPatient);
    auto result = std::async(std::launch::async, [&] { return call(*waiting); });
    server.waitUntilStalled(stalls);
    waiting->cancel();
    ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(result.get());
    EXPECT_EQ(error, "cancelled");
    std::string out;
    EXPECT_FALSE(waiting->getText(server.url("/text"), out, error));
    EXPECT_EQ(error, "cancelled");
  };
  std::string out;
  cancelWhileWaiting([&](Fetcher& f) { return f.getText(server.url("/head"), out, error); }, 1);
  cancelWhileWaiting(
      [&](Fetcher& f) {
        return f.download(server.url("/body"), destination, 0, recordCounts(), error);
      },
      2);
  EXPECT_TRUE(server.requestsFor("/text").empty());
}

TEST_F(FetcherTest, UnwritableDestinationsAreNamedAndFailedWritesReadAsAFullDisk) {
  server.serve("/f.bin", noise(1000, 7));
  const fs::path missingFolder = dir / "no/such/folder/file.part";
  std::string error;
  EXPECT_FALSE(downloadUrl(server.url("/f.bin"), 0, error, missingFolder));
  EXPECT_EQ(error, "cannot write " + pathToUtf8(missingFolder));
  const fs::path full = TARN_FULL_DEVICE;  // a file that opens for writing but takes no data
  if (full.empty()) GTEST_SKIP() << "no device that refuses data here";
  EXPECT_FALSE(downloadUrl(server.url("/f.bin"), 0, error, full));
  EXPECT_EQ(error, "write failed (disk full?)");
}

}  // namespace
}  // namespace tu::test
