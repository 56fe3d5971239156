#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "support/test_socket.h"

namespace tu::test::sockets {

namespace {

sockaddr_in loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  return address;
}

}  // namespace

Handle listenOnLoopback(int& port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return kNoSocket;
  sockaddr_in address = loopback(0);
  socklen_t size = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 64) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    close(fd);
    return kNoSocket;
  }
  port = ntohs(address.sin_port);
  return fd;
}

Handle acceptConnection(Handle listener) {
  for (;;) {
    const int fd =
        accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd >= 0) {
      // Headers and body go out in separate sends; without this the body can wait for the
      // client's delayed acknowledgement.
      const int on = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      return fd;
    }
    if (errno != EINTR && errno != ECONNABORTED) return kNoSocket;
  }
}

Handle connectToLoopback(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return kNoSocket;
  const sockaddr_in address = loopback(port);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return kNoSocket;
  }
  return fd;
}

Handle createStopSignal() {
  return eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

void raiseStopSignal(Handle signal) {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = write(static_cast<int>(signal), &one, sizeof one);
}

void closeStopSignal(Handle signal) {
  close(static_cast<int>(signal));
}

Handle startWatching(Handle socket) {
  return socket;
}

void stopWatching(Handle, Handle) {}

bool waitUntilReady(Handle socket, Handle, Direction direction, Handle stopSignal) {
  pollfd watch[2] = {{static_cast<int>(socket),
                      static_cast<short>(direction == Direction::Receive ? POLLIN : POLLOUT), 0},
                     {static_cast<int>(stopSignal), POLLIN, 0}};
  while (poll(watch, 2, -1) < 0 && errno == EINTR) {
  }
  return (watch[1].revents & POLLIN) == 0;
}

long receiveSome(Handle socket, char* data, std::size_t size) {
  for (;;) {
    const ssize_t got = recv(static_cast<int>(socket), data, size, 0);
    if (got >= 0) return static_cast<long>(got);
    if (errno == EAGAIN || errno == EWOULDBLOCK) return kWouldBlock;
    if (errno != EINTR) return -1;
  }
}

long sendSome(Handle socket, const char* data, std::size_t size) {
  for (;;) {
    // MSG_NOSIGNAL: a client that went away must not end the test program with SIGPIPE.
    const ssize_t sent = send(static_cast<int>(socket), data, size, MSG_NOSIGNAL);
    if (sent >= 0) return static_cast<long>(sent);
    if (errno == EAGAIN || errno == EWOULDBLOCK) return kWouldBlock;
    if (errno != EINTR) return -1;
  }
}

void closeSocket(Handle socket, bool reset) {
  const int fd = static_cast<int>(socket);
  const linger abortive{1, 0};
  if (reset) setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
  if (!reset) shutdown(fd, SHUT_RDWR);
  close(fd);
}

}  // namespace tu::test::sockets
