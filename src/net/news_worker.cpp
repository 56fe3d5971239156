#include "net/news_worker.h"

namespace tu {

Json newsMessage(bool fetched, std::string_view body) {
  Json message = Json::object();
  message.set("type", "news");
  if (fetched) {
    if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
    message.set("data", Json::parse(body));
  }
  return message;
}

void newsWorker(const std::string& newsUrl, Fetcher& fetcher, const PageSink& send) {
  std::string body;
  std::string error;
  const bool fetched = fetcher.getText(newsUrl, body, error);
  send(newsMessage(fetched, body));
}

}  // namespace tu
