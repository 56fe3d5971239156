// WinHttpFetcher: synchronous WinHTTP, one connection and request handle per call.
#include <windows.h>
#include <winhttp.h>
#include <winsock2.h>

#include <cwchar>
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

// Owns one HINTERNET (session, connection or request).
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

// One request's handles and answer. The request is declared last so it is closed first.
struct RequestHandles {
  InternetHandle connection;
  InternetHandle request;
  DWORD status = 0;
};

// The text for the thread's last WinHTTP error, prefixed with the step that reported it.
std::string errorText(std::string_view stage) {
  const DWORD error = GetLastError();
  switch (error) {
    case ERROR_WINHTTP_TIMEOUT:
    case WSAETIMEDOUT:  // Wine's WinHTTP passes some socket errors through as they are
      return failureText(stage, NetFailure::Timeout);
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return failureText(stage, NetFailure::NameNotResolved);
    case ERROR_WINHTTP_CANNOT_CONNECT: return failureText(stage, NetFailure::CannotConnect);
    case ERROR_WINHTTP_CONNECTION_ERROR:
    case WSAECONNRESET:  // Wine again: the socket's reset comes through unchanged
    case WSAECONNABORTED: return failureText(stage, NetFailure::ConnectionReset);
    case ERROR_WINHTTP_SECURE_FAILURE: return failureText(stage, NetFailure::Tls);
    default: return failureCodeText(stage, error);
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

bool sendRequest(HINTERNET session, const std::string& url, const std::string& extraHeader,
                 RequestHandles& handles, std::string& error) {
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

  handles.connection.reset(WinHttpConnect(session, host.data(), parts.nPort, 0));
  if (!handles.connection.get()) {
    error = errorText(kStageConnect);
    return false;
  }
  DWORD flags = WINHTTP_FLAG_REFRESH;
  if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= WINHTTP_FLAG_SECURE;
  handles.request.reset(WinHttpOpenRequest(handles.connection.get(), L"GET", objectName.c_str(),
                                           nullptr, WINHTTP_NO_REFERER,
                                           WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
  if (!handles.request.get()) {
    error = errorText(kStageRequest);
    return false;
  }
  std::wstring headers = kCacheHeaders;
  if (!extraHeader.empty()) {
    headers += utf8ToWide(extraHeader);
    headers += L"\r\n";
  }
  if (!WinHttpSendRequest(handles.request.get(), headers.c_str(), static_cast<DWORD>(-1L),
                          WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !WinHttpReceiveResponse(handles.request.get(), nullptr)) {
    error = errorText(kStageDownload);
    return false;
  }
  // An unreadable status stays 0 and is refused like any other unexpected status.
  DWORD size = sizeof handles.status;
  WinHttpQueryHeaders(handles.request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                      WINHTTP_HEADER_NAME_BY_INDEX, &handles.status, &size,
                      WINHTTP_NO_HEADER_INDEX);
  return true;
}

// Reads the body in 64 KiB blocks into `sink` (bool(const char*, std::size_t)); a refusal by
// the sink fails with "cancelled".
//
// The announced length is enforced here because Wine's WinHTTP does not: it reports a body cut
// short as complete, and can hand over bytes that follow the announced end.
template <typename Sink>
bool readBody(HINTERNET request, Sink&& sink, std::string& error) {
  const std::optional<std::uint64_t> expected = announcedLength(request);
  std::vector<char> buffer(kReadBufferSize);
  std::uint64_t received = 0;
  while (!expected || received < *expected) {
    DWORD read = 0;
    if (!WinHttpReadData(request, buffer.data(), kReadBufferSize, &read)) {
      error = errorText(kStageDownload);
      return false;
    }
    if (read == 0) break;
    std::uint64_t taken = read;
    if (expected && taken > *expected - received) taken = *expected - received;
    received += taken;
    if (!sink(buffer.data(), static_cast<std::size_t>(taken))) {
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
bool receiveInto(HINTERNET request, DownloadSink& sink, std::string& error) {
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
    : session_(std::make_unique<Session>()) {
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

WinHttpFetcher::~WinHttpFetcher() = default;

bool WinHttpFetcher::getText(const std::string& url, std::string& out, std::string& error) {
  RequestHandles handles;
  if (!sendRequest(session_->handle.get(), url, {}, handles, error)) return false;
  if (handles.status != 200) {
    error = textStatusText(handles.status, url);
    return false;
  }
  out.clear();
  return readBody(
      handles.request.get(),
      [&out](const char* data, std::size_t size) { return appendWithinTextLimit(out, data, size); },
      error);
}

bool WinHttpFetcher::download(const std::string& url, const std::filesystem::path& destination,
                              std::uint64_t offset, const ProgressCallback& progress,
                              std::string& error) {
  bool retried = false;
  for (;;) {
    RequestHandles handles;
    if (!sendRequest(session_->handle.get(), url, rangeHeader(offset), handles, error)) {
      return false;
    }
    bool append = false;
    switch (chooseDownloadStart(handles.status, offset, retried)) {
      case DownloadStart::RetryFromStart:
        offset = 0;
        retried = true;
        continue;
      case DownloadStart::HttpError: error = downloadStatusText(handles.status); return false;
      case DownloadStart::Rewrite: offset = 0; break;
      case DownloadStart::Append: append = true; break;
    }
    DownloadSink sink(progress);
    if (!sink.open(destination, append, offset, error)) return false;
    return receiveInto(handles.request.get(), sink, error);
  }
}

bool WinHttpFetcher::downloadRange(const std::string& url, const std::filesystem::path& destination,
                                   std::uint64_t first, std::uint64_t last,
                                   const ProgressCallback& progress, std::string& error) {
  RequestHandles handles;
  if (!sendRequest(session_->handle.get(), url, byteRangeHeader(first, last), handles, error)) {
    return false;
  }
  if (!rangeAnswerFits(handles.status,
                       headerText(handles.request.get(), WINHTTP_QUERY_CONTENT_RANGE), first, last,
                       error)) {
    return false;
  }
  DownloadSink sink(progress);
  sink.expectExactly(last - first + 1);
  if (!sink.open(destination, true, 0, error)) return false;
  return receiveInto(handles.request.get(), sink, error);
}

}  // namespace tu
