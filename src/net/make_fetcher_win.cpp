#include "net/winhttp_fetcher.h"

namespace tu {

std::unique_ptr<Fetcher> makePlatformFetcher(const FetchTimeouts& timeouts) {
  return std::make_unique<WinHttpFetcher>(timeouts);
}

}  // namespace tu
