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
// Waits for the next connection; kNoSocket when the listener is closed or broken. The new
// socket does not block (see below) and sends small writes at once.
Handle acceptConnection(Handle listener);
// A connection to 127.0.0.1:port, or kNoSocket.
Handle connectToLoopback(int port);
// Accepted sockets never block, so that a server thread can notice that it is to stop (Wine
// does not wake a blocked call when another thread shuts its socket down). The calls below
// return kWouldBlock when nothing can be done yet; waitUntilReady waits for that.
inline constexpr long kWouldBlock = -2;
enum class Direction { Receive, Send };

// A signal, raised once when the server stops, that ends every waitUntilReady.
Handle createStopSignal();
void raiseStopSignal(Handle signal);
void closeStopSignal(Handle signal);

// What a connection's thread waits on. On Windows an event tied to the socket: waiting in
// select() with short timeouts, many threads at once, can crash Wine's server. Elsewhere the
// socket itself. stopWatching before the socket is closed.
Handle startWatching(Handle socket);
void stopWatching(Handle socket, Handle watch);
// Waits until `socket` may be ready for `direction` (spurious wakes happen: try again) and
// returns true, or returns false once `stopSignal` is raised.
bool waitUntilReady(Handle socket, Handle watch, Direction direction, Handle stopSignal);

// Up to `size` bytes: the count, 0 at the peer's end of stream, kWouldBlock, or -1 on failure.
long receiveSome(Handle socket, char* data, std::size_t size);
// Some of the bytes: the count, kWouldBlock, or -1 when the connection broke.
long sendSome(Handle socket, const char* data, std::size_t size);
// Closes with an orderly end of stream for the peer, or with a reset (RST).
void closeSocket(Handle socket, bool reset = false);
// A loopback port that nothing listens on right now (bound, then released).
int unusedLoopbackPort();

}  // namespace tu::test::sockets
