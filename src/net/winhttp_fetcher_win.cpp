// WinHttpFetcher: synchronous WinHTTP, one connection and request handle per call; the blocking
// calls run on a helper thread (WinHttpCalls), so that a cancel never waits for one of them.
#include <windows.h>
#include <winhttp.h>
#include <winsock2.h>

#include <cwchar>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <vector>

#include "core/text_win.h"
#include "net/download_sink.h"
#include "net/fetch_rules.h"
#include "net/winhttp_fetcher.h"

namespace tu {

namespace {

constexpr DWORD kTls12 = 0x800;        // WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2
constexpr DWORD kTls12And13 = 0x2800;  // ... | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3
constexpr DWORD kReadBufferSize = 65536;
constexpr DWORD kHostNameCapacity = 256;
constexpr wchar_t kCacheHeaders[] = L"Cache-Control: no-cache\r\nPragma: no-cache\r\n";

// Owns one HINTERNET (session or connection).
class InternetHandle {
 public:
  InternetHandle() = default;
  explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
  ~InternetHandle() {
    if (handle_) WinHttpCloseHandle(handle_);
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;

  HINTERNET get() const { return handle_; }
  void reset(HINTERNET handle) {
    if (handle_) WinHttpCloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HINTERNET handle_ = nullptr;
};

// The text for a WinHTTP error, prefixed with the step that reported it.
std::string errorText(std::string_view stage, DWORD error) {
  switch (error) {
    case ERROR_WINHTTP_TIMEOUT:
    case WSAETIMEDOUT:  // Wine's WinHTTP passes some socket errors through as they are
      return failureText(stage, NetFailure::Timeout);
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return failureText(stage, NetFailure::NameNotResolved);
    case ERROR_WINHTTP_CANNOT_CONNECT: return failureText(stage, NetFailure::CannotConnect);
    case ERROR_WINHTTP_CONNECTION_ERROR:
    case WSAECONNRESET:  // Wine again: the socket's reset comes through unchanged
    case WSAECONNABORTED: return failureText(stage, NetFailure::ConnectionReset);
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR: return failureText(stage, NetFailure::Tls);
    default: return failureCodeText(stage, error);
  }
}

// WinHTTP looks up the name and opens the connection (TLS included) only inside
// WinHttpSendRequest. Failures that can only come from those steps name the connection, as
// they do with every other fetcher; the rest name the transfer.
std::string_view sendFailureStage(DWORD error) {
  switch (error) {
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR: return kStageConnect;
    default: return kStageDownload;
  }
}

// The body length the answer announced: its Content-Length, unless a transfer coding (chunked)
// makes that header meaningless.
std::optional<std::uint64_t> announcedLength(HINTERNET request) {
  DWORD size = 0;
  if (WinHttpQueryHeaders(request, WINHTTP_QUERY_TRANSFER_ENCODING, WINHTTP_HEADER_NAME_BY_INDEX,
                          WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX) ||
      GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    return std::nullopt;
  }
  wchar_t text[32] = {};
  size = sizeof text;
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                           text, &size, WINHTTP_NO_HEADER_INDEX)) {
    return std::nullopt;
  }
  std::uint64_t length = 0;
  const wchar_t* digit = text;
  if (*digit < L'0' || *digit > L'9') return std::nullopt;
  for (; *digit >= L'0' && *digit <= L'9'; ++digit) {
    if (length > (UINT64_MAX - 9) / 10) return std::nullopt;
    length = length * 10 + static_cast<std::uint64_t>(*digit - L'0');
  }
  return *digit == L'\0' ? std::optional<std::uint64_t>(length) : std::nullopt;
}

// A header's value as text ("" when absent); for short ASCII headers such as Content-Range.
std::string headerText(HINTERNET request, DWORD header) {
  wchar_t text[128] = {};
  DWORD size = sizeof text - sizeof text[0];
  if (!WinHttpQueryHeaders(request, header, WINHTTP_HEADER_NAME_BY_INDEX, text, &size,
                           WINHTTP_NO_HEADER_INDEX)) {
    return {};
  }
  std::string value;
  for (const wchar_t* c = text; *c != L'\0'; ++c) value += static_cast<char>(*c & 0x7f);
  return value;
}

// One request: its handles and everything its blocking calls read and write. Shared with the
// helper thread, because a call that a cancel left behind still writes into it.
struct Exchange {
  InternetHandle connection;
  HINTERNET request = nullptr;  // closed through WinHttpCalls, which a cancel may do first
  std::wstring headers;
  std::vector<char> buffer;
  // What the last call left: its outcome and the thread's error code on failure.
  BOOL ok = FALSE;
  DWORD error = ERROR_INTERNAL_ERROR;
  DWORD read = 0;
  DWORD status = 0;  // an unreadable status stays 0 and is refused like any other
  std::optional<std::uint64_t> announced;
  std::string contentRange;
};

}  // namespace

// The helper thread that runs the blocking calls, the request a cancel closes, and the cancel
// itself. Shared by the fetcher, its helper and any thread that cancels. The helper is a plain
// Windows thread, synchronised with Windows' own lock and condition variable: it outlives the
// fetcher now and then, and nothing of the C++ runtime's thread bookkeeping should depend on
// when it ends.
class WinHttpCalls {
 public:
  // Starts the helper thread. Without one (no thread could be started) calls run on the
  // caller's thread, and a cancel under Wine takes effect when the current call returns.
  static void start(const std::shared_ptr<WinHttpCalls>& calls) {
    auto* held = new (std::nothrow) std::shared_ptr<WinHttpCalls>(calls);
    if (!held) return;
    HANDLE thread = CreateThread(nullptr, 0, &WinHttpCalls::helperMain, held, 0, nullptr);
    if (!thread) {
      delete held;
      return;
    }
    CloseHandle(thread);
    calls->helper_ = true;
  }

  // The fetcher is going: the helper ends once it is idle.
  void stop() {
    const Lock lock(this);
    stopping_ = true;
    WakeAllConditionVariable(&changed_);
  }

  void cancel() {
    const Lock lock(this);
    cancelled_ = true;
    // Windows ends a synchronous call on a request whose handle is closed, at once.
    if (request_) WinHttpCloseHandle(request_);
    request_ = nullptr;
    WakeAllConditionVariable(&changed_);
  }

  bool cancelled() {
    const Lock lock(this);
    return cancelled_;
  }

  // Makes `request` the one a cancel closes; false, with the handle closed, when a cancel came
  // first.
  bool adopt(HINTERNET request) {
    const Lock lock(this);
    if (cancelled_) {
      WinHttpCloseHandle(request);
      return false;
    }
    request_ = request;
    return true;
  }

  // Closes `request` unless a cancel already did.
  void release(HINTERNET request) {
    const Lock lock(this);
    if (!request || request != request_) return;
    WinHttpCloseHandle(request);
    request_ = nullptr;
  }

  // Runs `call` on the helper and waits for it. False when a cancel came first: the call may
  // still be running and the caller must not touch what it uses.
  bool run(std::function<void()> call) {
    const Lock lock(this);
    if (cancelled_) return false;
    if (!helper_) {
      // Without a helper the caller runs it, outside the lock (a cancel must get in).
      ReleaseSRWLockExclusive(&lock_);
      call();
      AcquireSRWLockExclusive(&lock_);
      return true;
    }
    call_ = std::move(call);
    callDone_ = false;
    WakeAllConditionVariable(&changed_);
    while (!callDone_ && !cancelled_) SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
    return callDone_;
  }

 private:
  class Lock {
   public:
    explicit Lock(WinHttpCalls* calls) : lock_(&calls->lock_) { AcquireSRWLockExclusive(lock_); }
    ~Lock() { ReleaseSRWLockExclusive(lock_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

   private:
    SRWLOCK* lock_;
  };

  static DWORD WINAPI helperMain(void* parameter) {
    const std::unique_ptr<std::shared_ptr<WinHttpCalls>> calls(
        static_cast<std::shared_ptr<WinHttpCalls>*>(parameter));
    (*calls)->helperLoop();
    return 0;
  }

  void helperLoop() {
    const Lock lock(this);
    for (;;) {
      while (!call_ && !stopping_) SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
      if (!call_) return;
      std::function<void()> call = std::move(call_);
      call_ = nullptr;
      ReleaseSRWLockExclusive(&lock_);
      // The calls are WinHTTP functions writing into their exchange; nothing in them throws,
      // and nothing may leave this thread.
      try {
        call();
      } catch (...) {
      }
      call = nullptr;  // a left-behind exchange goes here, with its connection handle
      AcquireSRWLockExclusive(&lock_);
      callDone_ = true;
      WakeAllConditionVariable(&changed_);
    }
  }

  SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
  std::function<void()> call_;
  bool callDone_ = false;
  bool cancelled_ = false;
  bool stopping_ = false;
  bool helper_ = false;
  HINTERNET request_ = nullptr;  // the request of the call in progress, open
};

namespace {

// The caller's hold on one request: closes it when the caller is done (unless a cancel did),
// while the exchange itself lives on as long as a call left behind still uses it.
class Request {
 public:
  explicit Request(WinHttpCalls& calls) : calls_(calls), exchange_(std::make_shared<Exchange>()) {}
  ~Request() { calls_.release(exchange_->request); }
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;

  Exchange& exchange() { return *exchange_; }

  // Runs `call` (over the exchange) on the helper; false when it ended with "cancelled": a
  // cancel came first or ended it.
  template <typename Call>
  bool run(Call call, std::string& error) {
    const std::shared_ptr<Exchange> exchange = exchange_;
    const bool finished = calls_.run([exchange, call] { call(*exchange); });
    if (!finished || (!exchange_->ok && calls_.cancelled())) {
      error = kCancelledText;
      return false;
    }
    return true;
  }

 private:
  WinHttpCalls& calls_;
  std::shared_ptr<Exchange> exchange_;
};

bool sendRequest(HINTERNET session, WinHttpCalls& calls, const std::string& url,
                 const std::string& extraHeader, Request& request, std::string& error) {
  const std::wstring wideUrl = utf8ToWide(url);
  const std::size_t partCapacity = wideUrl.size() + 1;
  std::vector<wchar_t> host(kHostNameCapacity);
  std::vector<wchar_t> path(partCapacity);
  std::vector<wchar_t> extra(partCapacity);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host.data();
  parts.dwHostNameLength = kHostNameCapacity;
  parts.lpszUrlPath = path.data();
  parts.dwUrlPathLength = static_cast<DWORD>(partCapacity);
  parts.lpszExtraInfo = extra.data();
  parts.dwExtraInfoLength = static_cast<DWORD>(partCapacity);
  if (!session || wideUrl.empty() ||
      !WinHttpCrackUrl(wideUrl.c_str(), static_cast<DWORD>(wideUrl.size()), 0, &parts)) {
    error = badUrlText(url);
    return false;
  }
  std::wstring objectName(path.data(), parts.dwUrlPathLength);
  objectName.append(extra.data(), parts.dwExtraInfoLength);

  Exchange& exchange = request.exchange();
  exchange.connection.reset(WinHttpConnect(session, host.data(), parts.nPort, 0));
  if (!exchange.connection.get()) {
    error = errorText(kStageConnect, GetLastError());
    return false;
  }
  DWORD flags = WINHTTP_FLAG_REFRESH;
  if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= WINHTTP_FLAG_SECURE;
  HINTERNET handle =
      WinHttpOpenRequest(exchange.connection.get(), L"GET", objectName.c_str(), nullptr,
                         WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags);
  if (!handle) {
    error = errorText(kStageRequest, GetLastError());
    return false;
  }
  if (!calls.adopt(handle)) {
    error = kCancelledText;
    return false;
  }
  exchange.request = handle;
  exchange.headers = kCacheHeaders;
  if (!extraHeader.empty()) {
    exchange.headers += utf8ToWide(extraHeader);
    exchange.headers += L"\r\n";
  }
  const bool answered = request.run(
      [](Exchange& e) {
        e.ok = WinHttpSendRequest(e.request, e.headers.c_str(), static_cast<DWORD>(-1L),
                                  WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
               WinHttpReceiveResponse(e.request, nullptr);
        e.error = e.ok ? 0 : GetLastError();
        if (!e.ok) return;
        DWORD size = sizeof e.status;
        WinHttpQueryHeaders(e.request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &e.status, &size,
                            WINHTTP_NO_HEADER_INDEX);
        e.announced = announcedLength(e.request);
        e.contentRange = headerText(e.request, WINHTTP_QUERY_CONTENT_RANGE);
      },
      error);
  if (!answered) return false;
  if (!exchange.ok) {
    error = errorText(sendFailureStage(exchange.error), exchange.error);
    return false;
  }
  return true;
}

// Reads the body in 64 KiB blocks into `sink` (bool(const char*, std::size_t)); a refusal by
// the sink fails with "cancelled".
//
// The announced length is enforced here because Wine's WinHTTP does not: it reports a body cut
// short as complete, and can hand over bytes that follow the announced end.
template <typename Sink>
bool readBody(Request& request, Sink&& sink, std::string& error) {
  Exchange& exchange = request.exchange();
  const std::optional<std::uint64_t> expected = exchange.announced;
  exchange.buffer.resize(kReadBufferSize);
  std::uint64_t received = 0;
  while (!expected || received < *expected) {
    const bool finished = request.run(
        [](Exchange& e) {
          e.read = 0;
          e.ok = WinHttpReadData(e.request, e.buffer.data(), kReadBufferSize, &e.read);
          e.error = e.ok ? 0 : GetLastError();
        },
        error);
    if (!finished) return false;
    if (!exchange.ok) {
      error = errorText(kStageDownload, exchange.error);
      return false;
    }
    if (exchange.read == 0) break;
    std::uint64_t taken = exchange.read;
    if (expected && taken > *expected - received) taken = *expected - received;
    received += taken;
    if (!sink(exchange.buffer.data(), static_cast<std::size_t>(taken))) {
      error = kCancelledText;
      return false;
    }
  }
  if (expected && received < *expected) {
    error = failureText(kStageDownload, NetFailure::ConnectionReset);
    return false;
  }
  return true;
}

// The body of a download answer into its opened sink.
bool receiveInto(Request& request, DownloadSink& sink, std::string& error) {
  const bool bodyOk = readBody(
      request, [&sink](const char* data, std::size_t size) { return sink.write(data, size); },
      error);
  return sink.finish(bodyOk, error);
}

}  // namespace

class WinHttpFetcher::Session {
 public:
  InternetHandle handle;
};

WinHttpFetcher::WinHttpFetcher(const FetchTimeouts& timeouts)
    : session_(std::make_unique<Session>()), calls_(std::make_shared<WinHttpCalls>()) {
  WinHttpCalls::start(calls_);
  HINTERNET session = WinHttpOpen(L"TarnLauncher/1.0", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                  WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  // Automatic proxy discovery needs Windows 8.1; fall back to the configured proxy.
  if (!session) {
    session = WinHttpOpen(L"TarnLauncher/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                          WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  }
  session_->handle.reset(session);
  if (!session) return;
  WinHttpSetTimeouts(session, timeouts.resolveMs, timeouts.connectMs, timeouts.sendMs,
                     timeouts.receiveMs);
  // The wait for the answer's headers has a timeout of its own (90 s on Windows, none at all
  // under Wine, where a server that never answers would hold the update forever).
  DWORD headersTimeout = static_cast<DWORD>(timeouts.receiveMs);
  WinHttpSetOption(session, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headersTimeout,
                   sizeof headersTimeout);
  // Systems without TLS 1.3 in WinHTTP refuse the combined value.
  DWORD protocols = kTls12And13;
  if (!WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
    protocols = kTls12;
    WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
  }
}

WinHttpFetcher::~WinHttpFetcher() {
  calls_->stop();
}

void WinHttpFetcher::cancel() {
  calls_->cancel();
}

bool WinHttpFetcher::getText(const std::string& url, std::string& out, std::string& error) {
  Request request(*calls_);
  if (!sendRequest(session_->handle.get(), *calls_, url, {}, request, error)) return false;
  if (request.exchange().status != 200) {
    error = textStatusText(request.exchange().status, url);
    return false;
  }
  out.clear();
  return readBody(
      request,
      [&out](const char* data, std::size_t size) { return appendWithinTextLimit(out, data, size); },
      error);
}

bool WinHttpFetcher::download(const std::string& url, const std::filesystem::path& destination,
                              std::uint64_t offset, const ProgressCallback& progress,
                              std::string& error) {
  bool retried = false;
  for (;;) {
    Request request(*calls_);
    if (!sendRequest(session_->handle.get(), *calls_, url, rangeHeader(offset), request, error)) {
      return false;
    }
    const DWORD status = request.exchange().status;
    bool append = false;
    switch (chooseDownloadStart(status, offset, retried)) {
      case DownloadStart::RetryFromStart:
        offset = 0;
        retried = true;
        continue;
      case DownloadStart::HttpError: error = downloadStatusText(status); return false;
      case DownloadStart::Rewrite: offset = 0; break;
      case DownloadStart::Append: append = true; break;
    }
    DownloadSink sink(progress);
    if (!sink.open(destination, append, offset, error)) return false;
    return receiveInto(request, sink, error);
  }
}

bool WinHttpFetcher::downloadRange(const std::string& url, const std::filesystem::path& destination,
                                   std::uint64_t first, std::uint64_t last,
                                   const ProgressCallback& progress, std::string& error) {
  Request request(*calls_);
  if (!sendRequest(session_->handle.get(), *calls_, url, byteRangeHeader(first, last), request,
                   error)) {
    return false;
  }
  if (!rangeAnswerFits(request.exchange().status, request.exchange().contentRange, first, last,
                       error)) {
    return false;
  }
  DownloadSink sink(progress);
  sink.expectExactly(last - first + 1);
  if (!sink.open(destination, true, 0, error)) return false;
  return receiveInto(request, sink, error);
}

}  // namespace tu
