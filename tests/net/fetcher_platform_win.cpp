#include "fetcher_platform.h"
#include "net/winhttp_fetcher.h"

namespace tu::test {

std::unique_ptr<Fetcher> makeFetcherUnderTest(const FetchTimeouts& timeouts) {
  return std::make_unique<WinHttpFetcher>(timeouts);
}

std::filesystem::path fullDevice() {
  return {};
}

}  // namespace tu::test
