// The platform's side of the fetcher conformance tests: which fetcher runs, and what the
// platform offers the tests.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "net/fetch_timeouts.h"
#include "net/fetcher.h"

namespace tu::test {

std::unique_ptr<Fetcher> makeFetcherUnderTest(const FetchTimeouts& timeouts);

// A file that opens for writing but takes no data (empty path: the platform has none).
std::filesystem::path fullDevice();

}  // namespace tu::test
