// The news poller: one fetch of the server's news document, handed to the page untouched as
// a "news" message. No retry and no refresh. Runs on a thread of its own.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/json.h"
#include "net/fetcher.h"

namespace tu {

// Where a poller's page messages go (postToPage to the main thread, in the program).
using PageSink = std::function<void(const Json& message)>;

// {"type":"news","data":...}: "data" is the body parsed as JSON (a leading UTF-8 byte-order
// mark skipped), null when it is not JSON; absent when the fetch failed (fetched false).
Json newsMessage(bool fetched, std::string_view body);

// Thread body: fetches `newsUrl` with `fetcher` and sends the message. The fetcher's error
// text is dropped: a failed fetch shows as the page's empty news.
void newsWorker(const std::string& newsUrl, Fetcher& fetcher, const PageSink& send);

}  // namespace tu
