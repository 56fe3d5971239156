// The status poller: every 60 seconds until the launcher closes, asks the server's status
// document whether the game server is up and how many play, or failing that tries a TCP
// connection to the game server, and sends a "status" message. Runs on a thread of its own.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "core/json.h"
#include "net/fetcher.h"
#include "net/news_worker.h"

namespace tu {

struct StatusSource {
  std::string url;   // the status document; "" when there is none
  std::string host;  // the game server for the TCP probe; "" when there is none
  std::int32_t port = 0;
};

// A status document can be asked, or the TCP probe has a host and a port of at least 1.
bool statusConfigured(const StatusSource& source);

// The TCP probe: true when a connection to the host's first IPv4 address completes in time.
using TcpProbe = std::function<bool(const std::string& host, int port, int timeoutMs)>;
// probeTcp with the platform's sockets.
TcpProbe defaultTcpProbe();

// One poll: the "status" message. From a status document that is a JSON object: "online" is
// its boolean "online" (anything else false) and "players" its number truncated toward zero
// (anything else -1). Otherwise, when the probe is configured, "online" is the probe's answer
// (3000 ms) and "players" -1; otherwise "online" is null and "players" absent.
Json pollStatus(const StatusSource& source, Fetcher& fetcher, const TcpProbe& probe);

// One step of the wait between polls: 500 ms.
void statusWaitStep();

// Thread body: polls, sends, then waits 120 steps (one minute), looking at `quitting` before
// each; so it notices a close within one step (a poll in progress finishes first). Ends when
// `quitting` is set.
void statusWorker(const StatusSource& source, Fetcher& fetcher, const std::atomic<bool>& quitting,
                  const PageSink& send, const TcpProbe& probe,
                  const std::function<void()>& waitStep = statusWaitStep);

}  // namespace tu
