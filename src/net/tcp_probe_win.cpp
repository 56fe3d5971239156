// Windows half of the TCP probe: Winsock, started on first use and never shut down.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>

#include "net/tcp_probe.h"

namespace tu {

namespace {

// Starts Winsock 2.2 once; a failed start is tried again at the next probe.
bool winsockStarted() {
  static std::mutex mutex;
  static bool started = false;
  std::lock_guard<std::mutex> lock(mutex);
  if (!started) {
    WSADATA data;
    started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  return started;
}

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

class Socket {
 public:
  explicit Socket(SOCKET socket) : socket_(socket) {}
  ~Socket() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  SOCKET get() const { return socket_; }

 private:
  SOCKET socket_;
};

}  // namespace

bool probeTcp(const std::string& host, int port, int timeoutMs) {
  if (!winsockStarted() || port < 1 || port > 65535) return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;  // the launcher's probe speaks IPv4 only
  hints.ai_socktype = SOCK_STREAM;
  AddressList addresses;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, addresses.out()) != 0 ||
      !addresses.first()) {
    return false;
  }
  const addrinfo& first = *addresses.first();
  Socket socket(::socket(first.ai_family, first.ai_socktype, first.ai_protocol));
  if (socket.get() == INVALID_SOCKET) return false;
  u_long nonBlocking = 1;
  if (ioctlsocket(socket.get(), FIONBIO, &nonBlocking) != 0) return false;
  connect(socket.get(), first.ai_addr, static_cast<int>(first.ai_addrlen));  // result below

  // A completed connection makes the socket writable; a failed one lands in the exception set.
  fd_set writable;
  fd_set failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(socket.get(), &writable);
  FD_SET(socket.get(), &failed);
  if (timeoutMs < 0) timeoutMs = 0;
  timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  const int ready = select(0, nullptr, &writable, &failed, &timeout);
  return ready == 1 && FD_ISSET(socket.get(), &writable);
}

}  // namespace tu
