// CurlFetcher: libcurl's easy interface, one handle reused by every call of the object.
//
// libcurl pushes the answer through callbacks, so the decisions WinHTTP's fetcher makes after
// receiving the headers are made here when the headers of the final answer are complete (the
// headers callback sees their closing blank line); a refusal there stops the transfer before
// any of the body is taken.
#include "net/curl_fetcher.h"

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string_view>

#include "net/download_sink.h"
#include "net/fetch_rules.h"

namespace tu {

namespace {

using Clock = std::chrono::steady_clock;

// libcurl's largest receive buffer: fewer callbacks and larger file writes.
constexpr long kReceiveBufferSize = CURL_MAX_READ_SIZE;
// How long nothing moves before the caller is asked whether to go on.
constexpr std::chrono::milliseconds kIdleAsk{500};
// The number of redirects WinHTTP follows by default.
constexpr long kMaxRedirects = 10;

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' ||
                           text.back() == '\t')) {
    text.remove_suffix(1);
  }
  return text;
}

class HeaderList {
 public:
  HeaderList() = default;
  ~HeaderList() { curl_slist_free_all(list_); }
  HeaderList(const HeaderList&) = delete;
  HeaderList& operator=(const HeaderList&) = delete;

  bool add(const char* line) {
    curl_slist* grown = curl_slist_append(list_, line);
    if (!grown) return false;
    list_ = grown;
    return true;
  }
  curl_slist* get() const { return list_; }

 private:
  curl_slist* list_ = nullptr;
};

// Spaces, control bytes and bytes outside ASCII as %XX, the way WinHTTP sends them; every
// other byte, '%' included, unchanged.
std::string escapeUnsafeBytes(std::string_view url) {
  static const char digits[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(url.size());
  for (const char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte > 0x20 && byte < 0x7F) {
      escaped += c;
    } else {
      escaped += '%';
      escaped += digits[byte >> 4];
      escaped += digits[byte & 15];
    }
  }
  return escaped;
}

class UrlHandle {
 public:
  UrlHandle() : url_(curl_url()) {}
  ~UrlHandle() { curl_url_cleanup(url_); }
  UrlHandle(const UrlHandle&) = delete;
  UrlHandle& operator=(const UrlHandle&) = delete;

  // Parses an absolute http(s) URL, taking its path as it is ("." and ".." included).
  bool parse(const std::string& text) {
    if (!url_ || curl_url_set(url_, CURLUPART_URL, escapeUnsafeBytes(text).c_str(),
                              CURLU_PATH_AS_IS) != CURLUE_OK) {
      return false;
    }
    char* scheme = nullptr;
    if (curl_url_get(url_, CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK) return false;
    const std::string_view name(scheme);
    const bool web = name == "http" || name == "https";
    curl_free(scheme);
    return web;
  }
  CURLU* get() const { return url_; }

 private:
  CURLU* url_;
};

// One request on the handle: what the callbacks learn, and what the caller does with the
// answer (`onStatus` once the final headers are in, `onBody` per block; false stops).
struct Exchange {
  CURL* easy = nullptr;
  Clock::duration receiveTimeout{};
  std::function<bool(long status)> onStatus;
  std::function<bool(const char* data, std::size_t size)> onBody;
  // Asked while no bytes have moved for kIdleAsk (then about once a second), so that a caller
  // who wants to stop is not kept waiting for data or for the receive timeout; false stops.
  // May be empty.
  std::function<bool()> onIdle;
  // The fetcher's cancel, read by every callback.
  const std::atomic<bool>* cancelled = nullptr;

  bool connected = false;     // the connection (TLS included) is open
  bool finalHeaders = false;  // the headers of an answer that is not followed are complete
  long status = 0;
  std::string location;      // the Location of the answer being received
  std::string contentRange;  // its Content-Range
  bool timedOut = false;
  bool stoppedByStatus = false;
  bool stoppedByBody = false;
  bool stoppedWhileIdle = false;
  bool stoppedByCancel = false;
  Clock::time_point lastActivity;
  curl_off_t lastMoved = -1;
};

void noteActivity(Exchange& exchange) {
  exchange.lastActivity = Clock::now();
}

// Whether libcurl will follow the redirect now being received. HTTPS is never left for plain
// HTTP (WinHTTP's default policy); such an answer is handed over as it is.
bool followsRedirect(Exchange& exchange, long status) {
  if (status < 300 || status > 399 || exchange.location.empty()) return false;
  char* current = nullptr;
  curl_easy_getinfo(exchange.easy, CURLINFO_EFFECTIVE_URL, &current);
  const bool downgrade = current && startsWithNoCase(current, "https:") &&
                         startsWithNoCase(exchange.location, "http:");
  return !downgrade;
}

std::size_t onHeaderLine(char* data, std::size_t size, std::size_t count, void* user) {
  Exchange& exchange = *static_cast<Exchange*>(user);
  const std::size_t length = size * count;
  const std::string_view line(data, length);
  noteActivity(exchange);
  if (exchange.finalHeaders) return length;  // trailers after a chunked body
  if (startsWithNoCase(line, "http/")) {
    exchange.location.clear();
    exchange.contentRange.clear();
  } else if (startsWithNoCase(line, "location:")) {
    exchange.location = trim(line.substr(9));
  } else if (startsWithNoCase(line, "content-range:")) {
    exchange.contentRange = trim(line.substr(14));
  } else if (trim(line).empty()) {
    long status = 0;
    curl_easy_getinfo(exchange.easy, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 100 && status < 200) return length;  // an interim answer; the real one follows
    if (followsRedirect(exchange, status)) {
      exchange.connected = false;  // the next hop opens or reuses a connection of its own
      return length;
    }
    exchange.finalHeaders = true;
    exchange.status = status;
    if (!exchange.onStatus(status)) {
      exchange.stoppedByStatus = true;
      return 0;
    }
  }
  return length;
}

std::size_t onBodyBlock(char* data, std::size_t size, std::size_t count, void* user) {
  Exchange& exchange = *static_cast<Exchange*>(user);
  const std::size_t length = size * count;
  // The body of a redirect being followed is not part of the answer.
  if (!exchange.finalHeaders) return length;
  noteActivity(exchange);
  if (!exchange.onBody(data, length)) {
    exchange.stoppedByBody = true;
    return 0;
  }
  return length;
}

int onConnected(void* user, char*, char*, int, int) {
  Exchange& exchange = *static_cast<Exchange*>(user);
  exchange.connected = true;
  noteActivity(exchange);
  return CURL_PREREQFUNC_OK;
}

// The receive watchdog: libcurl calls this at least once a second during a transfer.
int onProgress(void* user, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent) {
  Exchange& exchange = *static_cast<Exchange*>(user);
  // Before the connection is open nothing can be lost; once it is, a cancel waits until the
  // data has stopped (kIdleAsk), so every byte that came is written and kept.
  if (!exchange.connected) {
    if (!*exchange.cancelled) return 0;  // the connect timeout covers this part
    exchange.stoppedByCancel = true;
    return 1;
  }
  const curl_off_t moved = received + sent;
  const Clock::time_point now = Clock::now();
  if (moved != exchange.lastMoved) {
    exchange.lastMoved = moved;
    exchange.lastActivity = now;
    return 0;
  }
  if (now - exchange.lastActivity >= kIdleAsk && *exchange.cancelled) {
    exchange.stoppedByCancel = true;
    return 1;
  }
  if (now - exchange.lastActivity >= kIdleAsk && exchange.onIdle && !exchange.onIdle()) {
    exchange.stoppedWhileIdle = true;
    return 1;
  }
  if (now - exchange.lastActivity < exchange.receiveTimeout) return 0;
  exchange.timedOut = true;
  return 1;
}

// The text for a transfer that libcurl ended with `result`.
std::string curlFailureText(const Exchange& exchange, CURLcode result) {
  const std::string_view stage = exchange.connected ? kStageDownload : kStageConnect;
  if (exchange.timedOut) return failureText(kStageDownload, NetFailure::Timeout);
  switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return failureText(kStageConnect, NetFailure::NameNotResolved);
    case CURLE_COULDNT_CONNECT: return failureText(kStageConnect, NetFailure::CannotConnect);
    case CURLE_OPERATION_TIMEDOUT: return failureText(stage, NetFailure::Timeout);
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING: return failureText(stage, NetFailure::ConnectionReset);
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_CLIENTCERT:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_USE_SSL_FAILED: return failureText(stage, NetFailure::Tls);
    default: return failureCodeText(stage, static_cast<long long>(result));
  }
}

// Runs one GET with the cache-defeating headers and `extraHeader` (empty or a Range line).
// False with "bad URL: <url>" when `url` is not an absolute http(s) URL; otherwise libcurl's
// result, with the callbacks' findings in `exchange`.
bool perform(CURL* easy, const std::string& url, const std::string& extraHeader, Exchange& exchange,
             CURLcode& result, std::string& error) {
  UrlHandle parsed;
  if (!parsed.parse(url)) {
    error = badUrlText(url);
    return false;
  }
  HeaderList headers;
  // "Accept:" with no value drops libcurl's own Accept line; WinHTTP sends none either.
  bool listed = headers.add("Cache-Control: no-cache") && headers.add("Pragma: no-cache") &&
                headers.add("Accept:");
  if (!extraHeader.empty()) listed = listed && headers.add(extraHeader.c_str());
  if (!listed) {
    result = CURLE_OUT_OF_MEMORY;
    return true;
  }
  exchange.easy = easy;
  noteActivity(exchange);
  curl_easy_setopt(easy, CURLOPT_CURLU, parsed.get());
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &exchange);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &exchange);
  curl_easy_setopt(easy, CURLOPT_PREREQDATA, &exchange);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &exchange);
  result = curl_easy_perform(easy);
  // Nothing of this call may outlive it on the reused handle.
  curl_easy_setopt(easy, CURLOPT_CURLU, nullptr);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
  if (result == CURLE_OK && !exchange.finalHeaders) {
    // A completed transfer whose last answer was not recognised as final (a redirect libcurl
    // did not follow after all): its status decides, like any other.
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &exchange.status);
    exchange.finalHeaders = true;
    if (!exchange.onStatus(exchange.status)) exchange.stoppedByStatus = true;
  }
  return true;
}

// One GET whose body goes to `sink`. `open` sees the final answer and opens the sink, or
// refuses the answer (false; `refused` is then set and `error` left to the caller).
bool receiveInto(CURL* easy, const FetchTimeouts& timeouts, const std::atomic<bool>& cancelled,
                 const std::string& url, const std::string& extraHeader, DownloadSink& sink,
                 const std::function<bool(const Exchange&)>& open, bool& refused,
                 std::string& error) {
  refused = false;
  if (!easy) {
    error = badUrlText(url);
    return false;
  }
  if (cancelled) {
    error = kCancelledText;
    return false;
  }
  Exchange exchange;
  exchange.cancelled = &cancelled;
  exchange.receiveTimeout = std::chrono::milliseconds(timeouts.receiveMs);
  exchange.onStatus = [&](long) { return open(exchange); };
  exchange.onBody = [&sink](const char* data, std::size_t size) { return sink.write(data, size); };
  exchange.onIdle = [&sink] { return sink.poll(); };
  CURLcode result = CURLE_OK;
  if (!perform(easy, url, extraHeader, exchange, result, error)) return false;
  if (exchange.stoppedByStatus) {
    refused = true;
    return false;
  }
  bool bodyOk = true;
  if (exchange.stoppedByBody || exchange.stoppedWhileIdle || exchange.stoppedByCancel) {
    error = kCancelledText;
    bodyOk = false;
  } else if (result != CURLE_OK) {
    error = curlFailureText(exchange, result);
    bodyOk = false;
  }
  if (!sink.isOpen()) return false;  // failed before the answer's headers were complete
  return sink.finish(bodyOk, error);
}

}  // namespace

void CurlFetcher::EasyDeleter::operator()(void* easy) const {
  curl_easy_cleanup(easy);
}

CurlFetcher::CurlFetcher(const FetchTimeouts& timeouts) : timeouts_(timeouts) {
  static std::once_flag initialised;
  std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  easy_.reset(curl_easy_init());
  CURL* easy = easy_.get();
  if (!easy) return;
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_USERAGENT, "TarnLauncher/1.0");
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
  // A proxy's answer to CONNECT is not the server's answer.
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                   static_cast<long>(timeouts.resolveMs) + static_cast<long>(timeouts.connectMs));
  curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeaderLine);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBodyBlock);
  curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, onConnected);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, onProgress);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
}

CurlFetcher::~CurlFetcher() = default;

bool CurlFetcher::getText(const std::string& url, std::string& out, std::string& error) {
  if (!easy_) {
    error = badUrlText(url);
    return false;
  }
  if (cancelled_) {
    error = kCancelledText;
    return false;
  }
  std::string failure;
  Exchange exchange;
  exchange.cancelled = &cancelled_;
  exchange.receiveTimeout = std::chrono::milliseconds(timeouts_.receiveMs);
  exchange.onStatus = [&](long status) {
    if (status != 200) {
      failure = textStatusText(static_cast<unsigned long>(status), url);
      return false;
    }
    out.clear();
    return true;
  };
  exchange.onBody = [&out](const char* data, std::size_t size) {
    return appendWithinTextLimit(out, data, size);
  };
  CURLcode result = CURLE_OK;
  if (!perform(easy_.get(), url, {}, exchange, result, error)) return false;
  if (exchange.stoppedByCancel) {
    error = kCancelledText;
    return false;
  }
  if (exchange.stoppedByStatus) {
    error = failure;
    return false;
  }
  if (exchange.stoppedByBody) {
    error = kCancelledText;
    return false;
  }
  if (result != CURLE_OK) {
    error = curlFailureText(exchange, result);
    return false;
  }
  return true;
}

bool CurlFetcher::download(const std::string& url, const std::filesystem::path& destination,
                           std::uint64_t offset, const ProgressCallback& progress,
                           std::string& error) {
  bool retried = false;
  for (;;) {
    DownloadSink sink(progress);
    DownloadStart start = DownloadStart::HttpError;
    std::string failure;
    const auto open = [&](const Exchange& exchange) {
      const auto status = static_cast<unsigned long>(exchange.status);
      start = chooseDownloadStart(status, offset, retried);
      switch (start) {
        case DownloadStart::RetryFromStart: return false;
        case DownloadStart::HttpError: failure = downloadStatusText(status); return false;
        case DownloadStart::Rewrite: return sink.open(destination, false, 0, failure);
        case DownloadStart::Append: return sink.open(destination, true, offset, failure);
      }
      return false;
    };
    bool refused = false;
    if (receiveInto(easy_.get(), timeouts_, cancelled_, url, rangeHeader(offset), sink, open, refused, error)) {
      return true;
    }
    if (!refused) return false;
    if (start != DownloadStart::RetryFromStart) {
      error = failure;  // "HTTP <status>" or "cannot write <path>"
      return false;
    }
    offset = 0;
    retried = true;
  }
}

bool CurlFetcher::downloadRange(const std::string& url, const std::filesystem::path& destination,
                                std::uint64_t first, std::uint64_t last,
                                const ProgressCallback& progress, std::string& error) {
  DownloadSink sink(progress);
  sink.expectExactly(last - first + 1);
  std::string failure;
  const auto open = [&](const Exchange& exchange) {
    return rangeAnswerFits(static_cast<unsigned long>(exchange.status), exchange.contentRange,
                           first, last, failure) &&
           sink.open(destination, true, 0, failure);
  };
  bool refused = false;
  if (receiveInto(easy_.get(), timeouts_, cancelled_, url, byteRangeHeader(first, last), sink, open, refused,
                  error)) {
    return true;
  }
  if (refused) error = failure;
  return false;
}

}  // namespace tu
