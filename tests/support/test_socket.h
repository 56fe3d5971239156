// The few blocking socket calls the loopback test server needs, over BSD sockets or Winsock.
// Every socket is an integer handle; kNoSocket means none.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tu::test::sockets {

using Handle = std::intptr_t;
inline constexpr Handle kNoSocket = -1;

// A socket listening on 127.0.0.1 at a port the system picks (written to `port`).
Handle listenOnLoopback(int& port);
// Waits for the next connection; kNoSocket when the listener is closed or broken.
Handle acceptConnection(Handle listener);
// A connection to 127.0.0.1:port, or kNoSocket.
Handle connectToLoopback(int port);
// Up to `size` bytes: the count, 0 at the peer's end of stream, negative on failure.
long receiveSome(Handle socket, char* data, std::size_t size);
// Sends everything; false when the connection broke.
bool sendAll(Handle socket, const char* data, std::size_t size);
// Ends both directions, waking a thread blocked in receiveSome or acceptConnection.
void shutdownBoth(Handle socket);
void closeSocket(Handle socket);
// Closes with a reset (RST) instead of an orderly end of stream.
void closeWithReset(Handle socket);
// A loopback port that nothing listens on right now (bound, then released).
int unusedLoopbackPort();

}  // namespace tu::test::sockets
