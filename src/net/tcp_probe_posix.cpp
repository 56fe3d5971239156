// POSIX half of the TCP probe: BSD sockets.
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "net/tcp_probe.h"

namespace tu {

namespace {

class AddressList {
 public:
  AddressList() = default;
  ~AddressList() {
    if (list_) freeaddrinfo(list_);
  }
  AddressList(const AddressList&) = delete;
  AddressList& operator=(const AddressList&) = delete;

  addrinfo** out() { return &list_; }
  const addrinfo* first() const { return list_; }

 private:
  addrinfo* list_ = nullptr;
};

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

bool probeTcp(const std::string& host, int port, int timeoutMs) {
  if (port < 1 || port > 65535) return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;  // the launcher's probe speaks IPv4 only
  hints.ai_socktype = SOCK_STREAM;
  AddressList addresses;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, addresses.out()) != 0 ||
      !addresses.first()) {
    return false;
  }
  const addrinfo& first = *addresses.first();
  Descriptor socket(::socket(first.ai_family, first.ai_socktype | SOCK_CLOEXEC, first.ai_protocol));
  if (socket.get() < 0) return false;
  const int flags = fcntl(socket.get(), F_GETFL, 0);
  if (flags < 0 || fcntl(socket.get(), F_SETFL, flags | O_NONBLOCK) < 0) return false;
  connect(socket.get(), first.ai_addr, first.ai_addrlen);  // completes or fails below

  // poll rather than select: select cannot watch a descriptor numbered FD_SETSIZE or above.
  pollfd watch{socket.get(), POLLOUT, 0};
  int ready = 0;
  do {
    ready = poll(&watch, 1, timeoutMs < 0 ? 0 : timeoutMs);
  } while (ready < 0 && errno == EINTR);
  if (ready != 1 || (watch.revents & POLLOUT) == 0) return false;
  // Unlike Winsock, a refused connection also reports the socket writable here; only the
  // socket's pending error tells the two apart.
  int error = 0;
  socklen_t size = sizeof error;
  return getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

}  // namespace tu
