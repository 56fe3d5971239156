// Fetcher: every HTTP(S) request of the launcher. Blocking; used from worker threads only, one
// instance per thread, except cancel(), which any thread may call. Failures are `false` plus an
// English text that reaches the player as is ("connect: timeout", "HTTP 404 <url>",
// "cancelled", ...).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "net/fetch_timeouts.h"

namespace tu {

// Called with the number of bytes the destination holds so far (a resumed prefix included);
// returns false to stop the transfer, which then fails with "cancelled". CurlFetcher also calls
// it again with the same count while the body stalls, so a stop does not wait for data.
using ProgressCallback = std::function<bool(std::uint64_t bytesSoFar)>;

class Fetcher {
 public:
  virtual ~Fetcher() = default;

  // The whole body of a 200 response (at most 16 MiB). Any other status fails with
  // "HTTP <status> <url>". `out` is unchanged unless a 200 arrived.
  virtual bool getText(const std::string& url, std::string& out, std::string& error) = 0;

  // Downloads into `destination`, resuming at `offset` (the bytes already there) with a Range
  // request: 206 appends, 200 rewrites from the start, one 416 retries once from 0. The file is
  // left as the failure left it, for the caller to resume or delete.
  virtual bool download(const std::string& url, const std::filesystem::path& destination,
                        std::uint64_t offset, const ProgressCallback& progress,
                        std::string& error) = 0;

  // Appends bytes first..last (both included) of the resource to `destination` (created when
  // missing) with "Range: bytes=<first>-<last>". Succeeds only when the answer is a 206 whose
  // Content-Range names exactly that range and its whole body arrives: a server that ignores
  // ranges (200) fails with "HTTP 200" before anything is written, another range with
  // "HTTP 206 for another range", a longer body with "download: answer longer than the
  // range". `progress` sees the bytes of the range appended so far. What arrived before a
  // failure stays. A fetcher that cannot ask for ranges fails with "ranges not supported".
  virtual bool downloadRange(const std::string& /*url*/,
                             const std::filesystem::path& /*destination*/, std::uint64_t /*first*/,
                             std::uint64_t /*last*/, const ProgressCallback& /*progress*/,
                             std::string& error) {
    error = "ranges not supported";
    return false;
  }

  // Any thread, at any time: the call in progress ends as soon as the platform allows (at once,
  // also while waiting for a silent server) and fails with "cancelled", and so does every later
  // call. What the call already wrote stays, as after any failure. Closing the window must not
  // wait for a network timeout.
  virtual void cancel() = 0;
};

// The platform's fetcher: WinHttpFetcher on Windows, CurlFetcher elsewhere.
std::unique_ptr<Fetcher> makePlatformFetcher(const FetchTimeouts& timeouts);
// The platform's fetcher with the launcher's timeouts.
inline std::unique_ptr<Fetcher> makeFetcher() {
  return makePlatformFetcher({});
}

}  // namespace tu
