#include "fetcher_platform.h"
#include "net/curl_fetcher.h"

namespace tu::test {

std::unique_ptr<Fetcher> makeFetcherUnderTest(const FetchTimeouts& timeouts) {
  return std::make_unique<CurlFetcher>(timeouts);
}

std::filesystem::path fullDevice() {
  return "/dev/full";
}

}  // namespace tu::test
