#include "support/http_test_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "core/files.h"

namespace tu::test {

namespace {

constexpr std::size_t kSendChunk = 1 << 20;
constexpr std::size_t kRequestHeadLimit = 1 << 16;

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// "bytes=N-" or "bytes=N-M" as [first, last] (last absent: to the end).
bool parseRange(const std::string& value, std::uint64_t& first,
                std::optional<std::uint64_t>& last) {
  unsigned long long from = 0;
  unsigned long long to = 0;
  char dash = 0;
  const int fields = std::sscanf(value.c_str(), "bytes=%llu%c%llu", &from, &dash, &to);
  if (fields < 2 || dash != '-' || (fields == 3 && to < from)) return false;
  first = from;
  last = fields == 3 ? std::optional<std::uint64_t>(to) : std::nullopt;
  return true;
}

bool parseRequestHead(std::string_view head, ReceivedRequest& request) {
  std::size_t lineEnd = head.find("\r\n");
  request.requestLine = std::string(head.substr(0, lineEnd));
  const std::size_t firstSpace = request.requestLine.find(' ');
  const std::size_t secondSpace = request.requestLine.find(' ', firstSpace + 1);
  if (firstSpace == std::string::npos || secondSpace == std::string::npos) return false;
  request.method = request.requestLine.substr(0, firstSpace);
  request.target = request.requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1);
  while (lineEnd != std::string_view::npos) {
    const std::size_t start = lineEnd + 2;
    lineEnd = head.find("\r\n", start);
    const std::string_view line = head.substr(start, lineEnd - start);
    if (!line.empty()) request.headerLines.emplace_back(line);
  }
  return true;
}

}  // namespace

std::optional<std::string> ReceivedRequest::header(std::string_view name) const {
  for (const std::string& line : headerLines) {
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos &&
        toLowerAscii(std::string_view(line).substr(0, colon)) == toLowerAscii(name)) {
      return std::string(trim(std::string_view(line).substr(colon + 1)));
    }
  }
  return std::nullopt;
}

HttpTestServer::HttpTestServer() {
  stopSignal_ = sockets::createStopSignal();
  listener_ = sockets::listenOnLoopback(port_);
  if (listener_ == sockets::kNoSocket) {
    ADD_FAILURE() << "the test server cannot listen on 127.0.0.1";
    return;
  }
  acceptor_ = std::thread([this] { acceptLoop(); });
}

HttpTestServer::~HttpTestServer() {
  stop();
  sockets::closeStopSignal(stopSignal_);
}

std::string HttpTestServer::url(std::string_view path) const {
  std::string text = "http://127.0.0.1:" + std::to_string(port_);
  text += path;
  return text;
}

void HttpTestServer::scriptSequence(const std::string& path, std::vector<Behaviour> sequence) {
  Script script;
  for (Behaviour& behaviour : sequence) {
    script.sequence.push_back(std::make_shared<const Behaviour>(std::move(behaviour)));
  }
  std::lock_guard<std::mutex> lock(mutex_);
  scripts_[path] = std::move(script);
}

void HttpTestServer::waitUntilStalled(std::size_t count) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return stalls_ >= count || stopping_; });
}

void HttpTestServer::release() {
  std::lock_guard<std::mutex> lock(mutex_);
  released_ = true;
  changed_.notify_all();
}

std::vector<ReceivedRequest> HttpTestServer::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::vector<ReceivedRequest> HttpTestServer::requestsFor(std::string_view target) const {
  std::vector<ReceivedRequest> matching;
  for (ReceivedRequest& request : requests()) {
    if (request.target == target) matching.push_back(std::move(request));
  }
  return matching;
}

void HttpTestServer::clearRequests() {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.clear();
  bodyBytesSent_ = 0;
}

void HttpTestServer::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
    changed_.notify_all();
  }
  sockets::raiseStopSignal(stopSignal_);
  if (acceptor_.joinable()) {
    // Wake the acceptor with a connection of our own; it sees the stop and ends.
    const sockets::Handle wake = sockets::connectToLoopback(port_);
    if (wake != sockets::kNoSocket) sockets::closeSocket(wake);
    acceptor_.join();
  }
  if (listener_ != sockets::kNoSocket) sockets::closeSocket(listener_);
  listener_ = sockets::kNoSocket;

  std::list<std::shared_ptr<Connection>> connections;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    connections.swap(connections_);
  }
  for (const auto& connection : connections) connection->thread.join();
}

void HttpTestServer::acceptLoop() {
  for (;;) {
    const sockets::Handle socket = sockets::acceptConnection(listener_);
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_ || socket == sockets::kNoSocket) {
      if (socket != sockets::kNoSocket) sockets::closeSocket(socket);
      return;
    }
    reapFinished();
    auto connection = std::make_shared<Connection>();
    connection->socket = socket;
    connection->thread = std::thread([this, connection] { serveConnection(connection); });
    connections_.push_back(std::move(connection));
  }
}

// Joins the threads of connections that have ended. Called with mutex_ held.
void HttpTestServer::reapFinished() {
  for (auto it = connections_.begin(); it != connections_.end();) {
    if ((*it)->finished) {
      (*it)->thread.join();
      it = connections_.erase(it);
    } else {
      ++it;
    }
  }
}

void HttpTestServer::serveConnection(const std::shared_ptr<Connection>& connection) {
  connection->watch = sockets::startWatching(connection->socket);
  std::string pending;
  char buffer[16384];
  bool open = true;
  while (open) {
    // Whatever is not HTTP (a TLS handshake, say) gets what a plain HTTP server says to it.
    if (!pending.empty() && (pending[0] < 'A' || pending[0] > 'Z')) {
      const std::string_view refusal =
          "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
      sendAll(*connection, refusal);
      break;
    }
    const std::size_t headEnd = pending.find("\r\n\r\n");
    if (headEnd == std::string::npos) {
      if (pending.size() > kRequestHeadLimit) break;
      const long got = receive(*connection, buffer, sizeof buffer);
      if (got <= 0) break;
      pending.append(buffer, static_cast<std::size_t>(got));
      continue;
    }
    ReceivedRequest request;
    const bool parsed = parseRequestHead(std::string_view(pending).substr(0, headEnd), request);
    pending.erase(0, headEnd + 4);
    if (!parsed) break;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
    }
    open = answer(*connection, request);
  }
  closeConnection(*connection, false);
  connection->finished = true;
}

std::shared_ptr<const Behaviour> HttpTestServer::behaviourFor(const std::string& target) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = scripts_.find(target);
  if (found == scripts_.end()) found = scripts_.find(target.substr(0, target.find('?')));
  if (found == scripts_.end()) return nullptr;
  Script& script = found->second;
  const std::size_t index = std::min(script.next, script.sequence.size() - 1);
  ++script.next;
  return script.sequence[index];
}

bool HttpTestServer::answer(Connection& connection, const ReceivedRequest& request) {
  static const Behaviour notFound{.body = "not found", .status = 404};
  std::shared_ptr<const Behaviour> scripted = behaviourFor(request.target);
  const Behaviour& behaviour = scripted ? *scripted : notFound;

  int status = behaviour.status;
  std::string_view body = behaviour.body;
  std::vector<std::string> headers;
  if (status == 0) {
    status = 200;
    std::uint64_t first = 0;
    std::optional<std::uint64_t> last;
    const std::optional<std::string> range = request.header("Range");
    if (behaviour.honourRange && range && parseRange(*range, first, last)) {
      const std::uint64_t size = body.size();
      if (first >= size) {
        status = 416;
        headers.push_back("Content-Range: bytes */" + std::to_string(size));
        body = {};
      } else {
        const std::uint64_t end = last ? std::min(*last, size - 1) : size - 1;
        status = 206;
        headers.push_back("Content-Range: bytes " + std::to_string(first) + "-" +
                          std::to_string(end) + "/" + std::to_string(size));
        body = body.substr(first, end - first + 1);
      }
    }
  }

  bool keepOpen = !behaviour.closeAfter && behaviour.length == Behaviour::Length::Exact;
  if (const auto value = request.header("Connection"); value && toLowerAscii(*value) == "close") {
    keepOpen = false;
  }
  // Clients read the code; the reason phrase is only for people.
  std::string head = "HTTP/1.1 " + std::to_string(status) + " Status\r\n";
  switch (behaviour.length) {
    case Behaviour::Length::Exact:
      head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
      break;
    case Behaviour::Length::Announced:
      head += "Content-Length: " + std::to_string(behaviour.announcedLength) + "\r\n";
      break;
    case Behaviour::Length::Unannounced: break;
  }
  for (const std::string& line : headers) head += line + "\r\n";
  for (const std::string& line : behaviour.headers) head += line + "\r\n";
  if (!keepOpen) head += "Connection: close\r\n";
  head += "\r\n";

  if (behaviour.stallBeforeHeaders && !waitForRelease()) return false;
  if (!sendAll(connection, head)) return false;

  std::size_t limit = body.size();
  if (behaviour.closeAfter) limit = std::min(limit, *behaviour.closeAfter);
  std::size_t sent = 0;
  if (behaviour.stallAfter && *behaviour.stallAfter <= limit) {
    sent = *behaviour.stallAfter;
    // Counted before the write: once the client has the bytes, a test may read the count.
    bodyBytesSent_ += sent;
    if (!sendAll(connection, body.substr(0, sent))) return false;
    if (!waitForRelease()) return false;
  }
  bodyBytesSent_ += limit - sent;
  if (!sendAll(connection, body.substr(sent, limit - sent))) return false;
  if (behaviour.closeAfter) {
    closeConnection(connection, behaviour.resetOnClose);
    return false;
  }
  return keepOpen;
}

bool HttpTestServer::sendAll(Connection& connection, std::string_view data) {
  while (!data.empty()) {
    if (stopping_) return false;
    const long sent =
        sockets::sendSome(connection.socket, data.data(), std::min(data.size(), kSendChunk));
    if (sent == sockets::kWouldBlock) {
      if (!sockets::waitUntilReady(connection.socket, connection.watch, sockets::Direction::Send,
                                   stopSignal_)) {
        return false;
      }
      continue;
    }
    if (sent <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

long HttpTestServer::receive(Connection& connection, char* data, std::size_t size) {
  for (;;) {
    if (stopping_) return -1;
    const long got = sockets::receiveSome(connection.socket, data, size);
    if (got != sockets::kWouldBlock) return got;
    if (!sockets::waitUntilReady(connection.socket, connection.watch, sockets::Direction::Receive,
                                 stopSignal_)) {
      return -1;
    }
  }
}

bool HttpTestServer::waitForRelease() {
  std::unique_lock<std::mutex> lock(mutex_);
  ++stalls_;
  changed_.notify_all();
  changed_.wait(lock, [this] { return released_ || stopping_; });
  return !stopping_;
}

void HttpTestServer::closeConnection(Connection& connection, bool reset) {
  if (connection.socket == sockets::kNoSocket) return;
  sockets::stopWatching(connection.socket, connection.watch);
  sockets::closeSocket(connection.socket, reset);
  connection.socket = sockets::kNoSocket;
}

int sockets::unusedLoopbackPort() {
  int port = 0;
  const sockets::Handle listener = sockets::listenOnLoopback(port);
  if (listener == sockets::kNoSocket) return 0;
  sockets::closeSocket(listener);
  return port;
}

}  // namespace tu::test
