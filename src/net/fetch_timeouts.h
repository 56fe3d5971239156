// How long a fetcher waits at each network step. The defaults are the launcher's; tests pass
// short ones.
#pragma once

namespace tu {

struct FetchTimeouts {
  int resolveMs = 10000;  // looking up the host name
  int connectMs = 10000;  // opening the connection (TLS included)
  int sendMs = 15000;     // sending the request
  int receiveMs = 30000;  // longest wait for the response or for the next bytes of the body
};

}  // namespace tu
