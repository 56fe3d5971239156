// WinHTTP opens the connection only when the request is sent, so it reports both failures at
// the send step.
#include "fetcher_platform.h"
#include "net/winhttp_fetcher.h"

namespace tu::test {

std::unique_ptr<Fetcher> makeFetcherUnderTest(const FetchTimeouts& timeouts) {
  return std::make_unique<WinHttpFetcher>(timeouts);
}

const std::string kRefusedText = "download: cannot connect";
const std::string kUnresolvedText = "download: server name not found (no internet?)";

std::filesystem::path fullDevice() {
  return {};
}

}  // namespace tu::test
