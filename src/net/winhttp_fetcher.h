// The launcher's fetcher on Windows, over WinHTTP. One instance per worker thread; the
// session (user agent "TarnLauncher/1.0", automatic proxy discovery, TLS 1.2 and 1.3) lives as
// long as the object, connections and requests only inside one call.
//
// The blocking WinHTTP calls run on a helper thread of the object's own while the caller
// waits, so that cancel() can release the caller at once: Windows ends a call whose request
// handle is closed (cancel() closes it), but Wine's WinHTTP finishes the call only at its
// timeout, half a minute later. A call left behind that way completes on the helper, which
// then ends; the caller never touches its request again.
#pragma once

#include <memory>

#include "net/fetch_timeouts.h"
#include "net/fetcher.h"

namespace tu {

class WinHttpCalls;  // the helper thread and what it shares with the caller and cancel()

class WinHttpFetcher final : public Fetcher {
 public:
  explicit WinHttpFetcher(const FetchTimeouts& timeouts = {});
  ~WinHttpFetcher() override;
  WinHttpFetcher(const WinHttpFetcher&) = delete;
  WinHttpFetcher& operator=(const WinHttpFetcher&) = delete;

  bool getText(const std::string& url, std::string& out, std::string& error) override;
  bool download(const std::string& url, const std::filesystem::path& destination,
                std::uint64_t offset, const ProgressCallback& progress,
                std::string& error) override;
  bool downloadRange(const std::string& url, const std::filesystem::path& destination,
                     std::uint64_t first, std::uint64_t last, const ProgressCallback& progress,
                     std::string& error) override;
  void cancel() override;

 private:
  class Session;
  std::unique_ptr<Session> session_;  // holds a null handle when opening it failed
  std::shared_ptr<WinHttpCalls> calls_;
};

}  // namespace tu
