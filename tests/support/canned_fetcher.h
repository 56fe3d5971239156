// CannedFetcher: a Fetcher that answers getText from a table (a URL that is not in it fails
// with "HTTP 404 <url>") and never downloads.
#pragma once

#include <atomic>
#include <map>
#include <string>

#include "net/fetcher.h"

namespace tu::test {

class CannedFetcher : public Fetcher {
 public:
  CannedFetcher() = default;
  explicit CannedFetcher(std::map<std::string, std::string> answers) : bodies(std::move(answers)) {}

  std::map<std::string, std::string> bodies;
  std::atomic<int> requests{0};

  bool getText(const std::string& url, std::string& out, std::string& error) override {
    ++requests;
    const auto found = bodies.find(url);
    if (found == bodies.end()) {
      error = "HTTP 404 " + url;
      return false;
    }
    out = found->second;
    return true;
  }
  bool download(const std::string&, const std::filesystem::path&, std::uint64_t,
                const ProgressCallback&, std::string& error) override {
    error = "cancelled";
    return false;
  }
  void cancel() override {}
};

}  // namespace tu::test
