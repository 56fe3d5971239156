// Any body as the status document, through one poll. A document that is a JSON object gives
// "online" as a boolean and "players" as a whole number; anything else falls back to the TCP
// probe ("players" -1). The message text, as the page receives it, reads back to itself.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/status_worker.h"
#include "support/canned_fetcher.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  tu::test::CannedFetcher fetcher({{"http://status/", body}});
  const tu::StatusSource source{"http://status/", "game.example", 7777};
  int probes = 0;
  const tu::TcpProbe probe = [&](const std::string&, int, int) { return ++probes > 0; };

  const std::string text = tu::pollStatus(source, fetcher, probe).dump();
  const tu::Json message = tu::Json::parse(text);
  check(message.dump() == text);
  check(message.isObject() && message.members().size() == 3);
  check(message.getString("type") == "status");
  const tu::Json& online = message.get("online");
  const tu::Json& players = message.get("players");
  check(online.isBool() && players.isNumber());
  check(players.asNumber() == std::trunc(players.asNumber()));

  if (tu::Json::parse(body).isObject()) {
    check(probes == 0);
  } else {
    check(probes == 1 && online.asBool() && players.asNumber() == -1);
  }
  return 0;
}
