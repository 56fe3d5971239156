#include <winsock2.h>
#include <ws2tcpip.h>

#include <climits>
#include <mutex>

#include "support/test_socket.h"

namespace tu::test::sockets {

namespace {

void startWinsock() {
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  });
}

SOCKET toSocket(Handle handle) {
  return static_cast<SOCKET>(handle);
}

Handle toHandle(SOCKET socket) {
  return socket == INVALID_SOCKET ? kNoSocket : static_cast<Handle>(socket);
}

sockaddr_in loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<u_short>(port));
  return address;
}

int chunk(std::size_t size) {
  return size > INT_MAX ? INT_MAX : static_cast<int>(size);
}

}  // namespace

Handle listenOnLoopback(int& port) {
  startWinsock();
  const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener == INVALID_SOCKET) return kNoSocket;
  // No port sharing with other programs: the test server must own its port.
  BOOL exclusive = TRUE;
  setsockopt(listener, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
             sizeof exclusive);
  sockaddr_in address = loopback(0);
  int size = sizeof address;
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener, 64) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    closesocket(listener);
    return kNoSocket;
  }
  port = ntohs(address.sin_port);
  return toHandle(listener);
}

Handle acceptConnection(Handle listener) {
  const SOCKET connection = accept(toSocket(listener), nullptr, nullptr);
  if (connection == INVALID_SOCKET) return kNoSocket;
  // Headers and body go out in separate sends; without this the body can wait for the
  // client's delayed acknowledgement.
  BOOL on = TRUE;
  setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  u_long nonBlocking = 1;
  ioctlsocket(connection, FIONBIO, &nonBlocking);
  return toHandle(connection);
}

Handle connectToLoopback(int port) {
  startWinsock();
  const SOCKET connection = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (connection == INVALID_SOCKET) return kNoSocket;
  const sockaddr_in address = loopback(port);
  if (connect(connection, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    closesocket(connection);
    return kNoSocket;
  }
  return toHandle(connection);
}

Handle createStopSignal() {
  return reinterpret_cast<Handle>(WSACreateEvent());
}

void raiseStopSignal(Handle signal) {
  WSASetEvent(reinterpret_cast<WSAEVENT>(signal));
}

void closeStopSignal(Handle signal) {
  WSACloseEvent(reinterpret_cast<WSAEVENT>(signal));
}

Handle startWatching(Handle socket) {
  const WSAEVENT event = WSACreateEvent();
  WSAEventSelect(toSocket(socket), event, FD_READ | FD_WRITE | FD_CLOSE);
  return reinterpret_cast<Handle>(event);
}

void stopWatching(Handle socket, Handle watch) {
  WSAEventSelect(toSocket(socket), nullptr, 0);
  WSACloseEvent(reinterpret_cast<WSAEVENT>(watch));
}

bool waitUntilReady(Handle socket, Handle watch, Direction, Handle stopSignal) {
  // The stop comes first, so a raised stop wins over a ready socket. Socket events are
  // edge-triggered (recorded again only after a call that would have blocked), which is how
  // the callers use them; the bounded wait is a safety net.
  WSAEVENT events[2] = {reinterpret_cast<WSAEVENT>(stopSignal), reinterpret_cast<WSAEVENT>(watch)};
  const DWORD woken = WSAWaitForMultipleEvents(2, events, FALSE, 1000, FALSE);
  if (woken == WSA_WAIT_EVENT_0) return false;
  WSANETWORKEVENTS happened;
  WSAEnumNetworkEvents(toSocket(socket), events[1], &happened);  // also resets the event
  return true;
}

long receiveSome(Handle socket, char* data, std::size_t size) {
  const int got = recv(toSocket(socket), data, chunk(size), 0);
  if (got >= 0) return got;
  return WSAGetLastError() == WSAEWOULDBLOCK ? kWouldBlock : -1;
}

long sendSome(Handle socket, const char* data, std::size_t size) {
  const int sent = send(toSocket(socket), data, chunk(size), 0);
  if (sent >= 0) return sent;
  return WSAGetLastError() == WSAEWOULDBLOCK ? kWouldBlock : -1;
}

void closeSocket(Handle socket, bool reset) {
  const linger abortive{1, 0};
  if (reset) {
    setsockopt(toSocket(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive),
               sizeof abortive);
  } else {
    shutdown(toSocket(socket), SD_BOTH);
  }
  closesocket(toSocket(socket));
}

}  // namespace tu::test::sockets
