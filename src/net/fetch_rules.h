// What both fetchers share: the error texts the player reads, the text-size cap, the Range
// header and the choice of how a download answer is written. Kept in one place so that the
// WinHTTP and libcurl fetchers cannot drift apart in wording or status handling.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tu {

// getText refuses bodies larger than this, so a wrong URL cannot exhaust memory.
inline constexpr std::size_t kTextLimit = 16777216;

// Where a request failed: "connect" while resolving or opening the connection, "request"
// when the request could not be set up, "download" once the request is under way.
inline constexpr std::string_view kStageConnect = "connect";
inline constexpr std::string_view kStageRequest = "request";
inline constexpr std::string_view kStageDownload = "download";

enum class NetFailure { Timeout, NameNotResolved, CannotConnect, ConnectionReset, Tls };

// "<stage>: timeout", "<stage>: server name not found (no internet?)", ...
std::string failureText(std::string_view stage, NetFailure failure);
// "<stage>: error <code>" for failures without a named text.
std::string failureCodeText(std::string_view stage, long long code);
// "bad URL: <url>".
std::string badUrlText(std::string_view url);
// getText's refusal of a status other than 200: "HTTP <status> <url>".
std::string textStatusText(unsigned long status, std::string_view url);
// download's refusal of a status: "HTTP <status>".
std::string downloadStatusText(unsigned long status);
// "cannot write <path>", the path in UTF-8.
std::string cannotWriteText(std::string_view pathUtf8);
inline constexpr std::string_view kCancelledText = "cancelled";
inline constexpr std::string_view kWriteFailedText = "write failed (disk full?)";

// The header line that resumes a download at `offset` ("Range: bytes=<offset>-"), without
// its line end; empty at offset 0, where the whole resource is asked for.
std::string rangeHeader(std::uint64_t offset);

// The header line that asks for bytes first..last, both included ("Range: bytes=<first>-<last>"),
// without its line end.
std::string byteRangeHeader(std::uint64_t first, std::uint64_t last);

// Whether an answer to byteRangeHeader(first, last) is exactly that part: a 206 whose
// Content-Range value ("bytes <first>-<last>/<total or *>") names it. Otherwise `error` is
// "HTTP <status>" (200: the server ignores ranges) or "HTTP 206 for another range".
bool rangeAnswerFits(unsigned long status, std::string_view contentRange, std::uint64_t first,
                     std::uint64_t last, std::string& error);
inline constexpr std::string_view kLongerThanRangeText = "download: answer longer than the range";

// Appends `size` bytes to a getText body unless that would take it past kTextLimit.
bool appendWithinTextLimit(std::string& out, const char* data, std::size_t size);

// How a download proceeds once the answer's status is known.
enum class DownloadStart {
  Rewrite,         // 200: the whole resource; the file is rewritten from its start
  Append,          // 206 to a ranged request: the tail is appended
  RetryFromStart,  // 416 to a ranged request not yet retried: ask again for everything
  HttpError,       // anything else: fails with "HTTP <status>"
};
DownloadStart chooseDownloadStart(unsigned long status, std::uint64_t offset, bool retried);

}  // namespace tu
