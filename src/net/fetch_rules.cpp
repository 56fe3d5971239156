#include "net/fetch_rules.h"

#include <charconv>

namespace tu {

std::string failureText(std::string_view stage, NetFailure failure) {
  std::string_view reason;
  switch (failure) {
    case NetFailure::Timeout: reason = "timeout"; break;
    case NetFailure::NameNotResolved: reason = "server name not found (no internet?)"; break;
    case NetFailure::CannotConnect: reason = "cannot connect"; break;
    case NetFailure::ConnectionReset: reason = "connection reset"; break;
    case NetFailure::Tls: reason = "TLS/certificate error"; break;
  }
  std::string text(stage);
  text += ": ";
  text += reason;
  return text;
}

std::string failureCodeText(std::string_view stage, long long code) {
  std::string text(stage);
  text += ": error ";
  text += std::to_string(code);
  return text;
}

std::string badUrlText(std::string_view url) {
  std::string text = "bad URL: ";
  text += url;
  return text;
}

std::string textStatusText(unsigned long status, std::string_view url) {
  std::string text = downloadStatusText(status);
  text += ' ';
  text += url;
  return text;
}

std::string downloadStatusText(unsigned long status) {
  return "HTTP " + std::to_string(status);
}

std::string cannotWriteText(std::string_view pathUtf8) {
  std::string text = "cannot write ";
  text += pathUtf8;
  return text;
}

std::string rangeHeader(std::uint64_t offset) {
  if (offset == 0) return {};
  return "Range: bytes=" + std::to_string(offset) + "-";
}

std::string byteRangeHeader(std::uint64_t first, std::uint64_t last) {
  return "Range: bytes=" + std::to_string(first) + "-" + std::to_string(last);
}

namespace {

// Moves past `prefix` at the start of `text`, when it is there.
bool take(std::string_view& text, std::string_view prefix) {
  if (text.substr(0, prefix.size()) != prefix) return false;
  text.remove_prefix(prefix.size());
  return true;
}

// Reads a decimal number at the start of `text` and moves past it.
bool takeNumber(std::string_view& text, std::uint64_t& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data()) return false;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return true;
}

}  // namespace

bool rangeAnswerFits(unsigned long status, std::string_view contentRange, std::uint64_t first,
                     std::uint64_t last, std::string& error) {
  if (status != 206) {
    error = downloadStatusText(status);
    return false;
  }
  std::string_view text = contentRange;
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  std::uint64_t from = 0;
  std::uint64_t to = 0;
  const bool named = take(text, "bytes ") && takeNumber(text, from) && take(text, "-") &&
                     takeNumber(text, to) && take(text, "/");
  if (!named || from != first || to != last) {
    error = "HTTP 206 for another range";
    return false;
  }
  return true;
}

bool appendWithinTextLimit(std::string& out, const char* data, std::size_t size) {
  if (out.size() > kTextLimit || size > kTextLimit - out.size()) return false;
  out.append(data, size);
  return true;
}

DownloadStart chooseDownloadStart(unsigned long status, std::uint64_t offset, bool retried) {
  if (status == 416 && offset > 0 && !retried) return DownloadStart::RetryFromStart;
  if (status == 200) return DownloadStart::Rewrite;
  if (status == 206 && offset > 0) return DownloadStart::Append;
  return DownloadStart::HttpError;
}

}  // namespace tu
