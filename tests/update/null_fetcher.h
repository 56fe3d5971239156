// A fetcher for tests that never reach a server: every request fails with "offline".
#pragma once

#include "net/fetcher.h"

namespace tu::test {

class NullFetcher : public Fetcher {
 public:
  bool getText(const std::string&, std::string&, std::string& error) override {
    error = "offline";
    return false;
  }
  bool download(const std::string&, const std::filesystem::path&, std::uint64_t,
                const ProgressCallback&, std::string& error) override {
    error = "offline";
    return false;
  }
  void cancel() override {}
};

}  // namespace tu::test
