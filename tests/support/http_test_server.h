// A small HTTP/1.1 server on 127.0.0.1 inside the test program, for tests of everything that
// fetches: it serves bodies like a static file server (Range requests included) and, scripted
// per path, misbehaves on purpose: wrong statuses, cut or stalled bodies, wrong lengths,
// redirects. It records every request it receives. A thread per connection; connections are
// kept alive between requests as HTTP/1.1 allows.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/test_socket.h"

namespace tu::test {

// How the server answers a request for one path.
struct Behaviour {
  enum class Length {
    Exact,        // Content-Length of what is sent
    Announced,    // Content-Length is `announcedLength`, whatever is sent
    Unannounced,  // no Content-Length: the body ends when the connection closes
  };

  std::string body;
  // 0 answers like a file server: 200 with the body, or, for "Range: bytes=N-" or "bytes=N-M"
  // when `honourRange` is set, 206 with that part (416 when N is at or past the end). Any other
  // value is sent as the status with the whole body (206 to an unranged request, 404, 500, a
  // redirect with a "Location: ..." line in `headers`).
  int status = 0;
  bool honourRange = true;
  std::vector<std::string> headers;  // extra header lines without line ends
  Length length = Length::Exact;
  std::uint64_t announcedLength = 0;
  // Close the connection after this many body bytes (abortively, with a reset, when
  // `resetOnClose` is set).
  std::optional<std::size_t> closeAfter;
  bool resetOnClose = false;
  // Stop after this many body bytes (0: right after the headers) until release() or stop().
  std::optional<std::size_t> stallAfter;
  bool stallBeforeHeaders = false;
};

struct ReceivedRequest {
  std::string requestLine;               // "GET /a?b HTTP/1.1"
  std::string method;                    // "GET"
  std::string target;                    // "/a?b"
  std::vector<std::string> headerLines;  // "Name: value", as received and in order
  // The value of the first header called `name` (in any case), trimmed; nullopt when absent.
  std::optional<std::string> header(std::string_view name) const;
};

class HttpTestServer {
 public:
  // Listening when constructed; fails the current test when no port can be had.
  HttpTestServer();
  ~HttpTestServer();
  HttpTestServer(const HttpTestServer&) = delete;
  HttpTestServer& operator=(const HttpTestServer&) = delete;

  int port() const { return port_; }
  std::string url(std::string_view path) const;

  // Requests are matched on their whole target first, then on the target without its query.
  // Paths nobody serves answer 404.
  void serve(const std::string& path, std::string body) {
    script(path, Behaviour{.body = std::move(body)});
  }
  void script(const std::string& path, Behaviour behaviour) {
    scriptSequence(path, std::vector<Behaviour>(1, std::move(behaviour)));
  }
  // One behaviour per request, in turn; the last one answers every later request.
  void scriptSequence(const std::string& path, std::vector<Behaviour> sequence);

  // Blocks until `count` answers (counted since the start) have reached their stall, or the
  // server stops.
  void waitUntilStalled(std::size_t count = 1);
  // Lets every stalled answer go on, and every later stall pass at once.
  void release();

  std::vector<ReceivedRequest> requests() const;
  // The requests whose target is `target` (with the query, if one was sent).
  std::vector<ReceivedRequest> requestsFor(std::string_view target) const;
  void clearRequests();
  // Body bytes sent since the start or the last clearRequests(), headers not counted.
  std::uint64_t bodyBytesSent() const { return bodyBytesSent_; }

  // Releases stalls, ends every connection and waits for the server's threads. Idempotent.
  void stop();

 private:
  struct Script {
    std::vector<std::shared_ptr<const Behaviour>> sequence;
    std::size_t next = 0;
  };
  struct Connection {
    sockets::Handle socket = sockets::kNoSocket;  // used and closed by `thread` only
    sockets::Handle watch = sockets::kNoSocket;
    std::thread thread;
    std::atomic<bool> finished{false};
  };

  void acceptLoop();
  void serveConnection(const std::shared_ptr<Connection>& connection);
  // Answers one request; false when the connection is to be closed afterwards.
  bool answer(Connection& connection, const ReceivedRequest& request);
  std::shared_ptr<const Behaviour> behaviourFor(const std::string& target);
  // Sends everything as fast as the client reads; false when the connection broke or the
  // server is stopping.
  bool sendAll(Connection& connection, std::string_view data);
  // Some bytes: the count, or 0 or less when the connection ended or the server is stopping.
  long receive(Connection& connection, char* data, std::size_t size);
  // Waits until release() or stop(); false when the server is stopping.
  bool waitForRelease();
  void closeConnection(Connection& connection, bool reset);
  void reapFinished();

  int port_ = 0;
  sockets::Handle listener_ = sockets::kNoSocket;
  sockets::Handle stopSignal_ = sockets::kNoSocket;
  std::thread acceptor_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;  // released_, stalls_ or stopping_
  bool released_ = false;
  std::size_t stalls_ = 0;
  std::atomic<bool> stopping_{false};  // set under mutex_, read anywhere
  std::map<std::string, Script> scripts_;
  std::vector<ReceivedRequest> requests_;
  std::atomic<std::uint64_t> bodyBytesSent_{0};
  std::list<std::shared_ptr<Connection>> connections_;
};

}  // namespace tu::test
