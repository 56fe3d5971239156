// libcurl reports failures of the name lookup, the connection and the TLS handshake while
// opening the connection.
#include "fetcher_platform.h"
#include "net/curl_fetcher.h"

namespace tu::test {

std::unique_ptr<Fetcher> makeFetcherUnderTest(const FetchTimeouts& timeouts) {
  return std::make_unique<CurlFetcher>(timeouts);
}

const std::string kRefusedText = "connect: cannot connect";
const std::string kUnresolvedText = "connect: server name not found (no internet?)";
const std::string kHandshakeFailedText = "connect: TLS/certificate error";

std::filesystem::path fullDevice() {
  return "/dev/full";
}

}  // namespace tu::test
