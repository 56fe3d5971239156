// Any body as the news document, through the poller: it sends exactly one "news" message, a
// JSON text the page can read, whose "data" is the document (a leading byte-order mark skipped)
// or null when that is not JSON.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "net/news_worker.h"
#include "support/canned_fetcher.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  tu::test::CannedFetcher fetcher({{"http://news/", body}});
  std::vector<std::string> sent;
  tu::newsWorker("http://news/", fetcher,
                 [&](const tu::Json& message) { sent.push_back(message.dump()); });
  check(sent.size() == 1);

  std::string error;
  const tu::Json message = tu::Json::parse(sent[0], &error);
  check(error.empty() && message.isObject() && message.members().size() == 2);
  check(message.getString("type") == "news");
  const std::string_view document =
      body.rfind("\xEF\xBB\xBF", 0) == 0 ? std::string_view(body).substr(3) : body;
  check(message.get("data").kind() == tu::Json::parse(document).kind());
  return 0;
}
