#include "net/status_worker.h"

#include <chrono>
#include <thread>

#include "net/tcp_probe.h"

namespace tu {

bool statusConfigured(const StatusSource& source) {
  return !source.url.empty() || (!source.host.empty() && source.port >= 1);
}

TcpProbe defaultTcpProbe() {
  return [](const std::string& host, int port, int timeoutMs) {
    return probeTcp(host, port, timeoutMs);
  };
}

Json pollStatus(const StatusSource& source, Fetcher& fetcher, const TcpProbe& probe) {
  Json message = Json::object();
  message.set("type", "status");
  if (!source.url.empty()) {
    std::string body;
    std::string error;
    if (fetcher.getText(source.url, body, error)) {
      const Json document = Json::parse(body);
      if (document.isObject()) {
        const Json& online = document.get("online");
        const Json& players = document.get("players");
        message.set("online", online.isBool() && online.asBool());
        message.set("players",
                    players.isNumber() ? truncateToInt64(players.asNumber()) : std::int64_t{-1});
        return message;
      }
    }
  }
  if (!source.host.empty() && source.port >= 1) {
    message.set("online", probe(source.host, source.port, 3000));
    message.set("players", -1);
  } else {
    message.set("online", nullptr);
  }
  return message;
}

void statusWaitStep() {
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
}

void statusWorker(const StatusSource& source, Fetcher& fetcher, const std::atomic<bool>& quitting,
                  const PageSink& send, const TcpProbe& probe,
                  const std::function<void()>& waitStep) {
  while (!quitting) {
    send(pollStatus(source, fetcher, probe));
    // One poll a minute, cut into short sleeps only so that closing is not held up.
    for (int step = 0; step < 120 && !quitting; ++step) waitStep();
  }
}

}  // namespace tu
