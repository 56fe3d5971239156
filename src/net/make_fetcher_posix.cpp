#include "net/curl_fetcher.h"

namespace tu {

std::unique_ptr<Fetcher> makeFetcher() {
  return std::make_unique<CurlFetcher>();
}

}  // namespace tu
