// The plain TCP check of the game server, for when no status document answers.
#pragma once

#include <string>

namespace tu {

// True when a TCP connection to the first IPv4 address of `host` (a name or a dotted address)
// completes within `timeoutMs`. Anything else (no IPv4 address, refused, unreachable, too slow,
// a port outside 1..65535) is false. Blocks for at most the resolution plus `timeoutMs`.
bool probeTcp(const std::string& host, int port, int timeoutMs);

}  // namespace tu
