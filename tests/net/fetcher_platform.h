// The platform's side of the fetcher conformance tests: which fetcher runs, and the few
// expectations that depend on the step at which the platform's HTTP stack reports a failure.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "net/fetch_timeouts.h"
#include "net/fetcher.h"

namespace tu::test {

std::unique_ptr<Fetcher> makeFetcherUnderTest(const FetchTimeouts& timeouts);

// The error for a connection the server refuses, and for a host name that does not resolve.
extern const std::string kRefusedText;
extern const std::string kUnresolvedText;
// The error for an https:// URL whose server answers in plain HTTP.
extern const std::string kHandshakeFailedText;

// A file that opens for writing but takes no data (empty path: the platform has none).
std::filesystem::path fullDevice();

}  // namespace tu::test
