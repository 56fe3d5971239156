#include "net/winhttp_fetcher.h"

namespace tu {

std::unique_ptr<Fetcher> makeFetcher() {
  return std::make_unique<WinHttpFetcher>();
}

}  // namespace tu
