// The fetcher on POSIX systems, over libcurl, keeping the WinHTTP fetcher's contract: the same
// user agent and cache-defeating headers, TLS 1.2 at least, redirects followed (never from
// HTTPS down to HTTP), the same status handling, 16 MiB text cap and error texts.
//
// Failures while resolving the name or opening the connection (TLS included) carry the stage
// word "connect", later ones "download". A transfer that receives nothing for
// `FetchTimeouts::receiveMs` fails with "timeout"; the name lookup and the connection share
// resolveMs + connectMs. One libcurl handle per object, so connections are reused between calls.
// cancel() sets a flag that libcurl's callbacks read; libcurl asks them at least once a second,
// also while it resolves, connects or waits for a silent server. Once connected, a cancel takes
// effect once the data has stopped for half a second, so every byte that came is kept (a
// download that flows is stopped by its progress callback).
#pragma once

#include <atomic>
#include <memory>

#include "net/fetch_timeouts.h"
#include "net/fetcher.h"

namespace tu {

class CurlFetcher final : public Fetcher {
 public:
  explicit CurlFetcher(const FetchTimeouts& timeouts = {});
  ~CurlFetcher() override;
  CurlFetcher(const CurlFetcher&) = delete;
  CurlFetcher& operator=(const CurlFetcher&) = delete;

  bool getText(const std::string& url, std::string& out, std::string& error) override;
  bool download(const std::string& url, const std::filesystem::path& destination,
                std::uint64_t offset, const ProgressCallback& progress,
                std::string& error) override;
  bool downloadRange(const std::string& url, const std::filesystem::path& destination,
                     std::uint64_t first, std::uint64_t last, const ProgressCallback& progress,
                     std::string& error) override;
  void cancel() override { cancelled_ = true; }

 private:
  struct EasyDeleter {
    void operator()(void* easy) const;
  };
  FetchTimeouts timeouts_;
  std::atomic<bool> cancelled_{false};
  std::unique_ptr<void, EasyDeleter> easy_;
};

}  // namespace tu
