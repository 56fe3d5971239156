// WinHTTP opens the connection (TLS included) only when the request is sent, so it reports
// these failures at the send step.
#include "fetcher_platform.h"
#include "net/winhttp_fetcher.h"

namespace tu::test {

std::unique_ptr<Fetcher> makeFetcherUnderTest(const FetchTimeouts& timeouts) {
  return std::make_unique<WinHttpFetcher>(timeouts);
}

const std::string kRefusedText = "download: cannot connect";
const std::string kUnresolvedText = "download: server name not found (no internet?)";
// ERROR_WINHTTP_SECURE_CHANNEL_ERROR: not among the codes that have a text of their own.
const std::string kHandshakeFailedText = "download: error 12157";

std::filesystem::path fullDevice() {
  return {};
}

}  // namespace tu::test
