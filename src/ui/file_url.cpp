#include "ui/file_url.h"

#include "core/files.h"

namespace tu {
namespace {

std::optional<std::string> decoded(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i] == '/' ? '\\' : text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = hexDigitValue(text[i + 1]);
    const int low = hexDigitValue(text[i + 2]);
    if (high < 0 || low < 0 || (high == 0 && low == 0)) return std::nullopt;
    const char byte = static_cast<char>(high * 16 + low);
    out += byte == '/' ? '\\' : byte;
    i += 2;
  }
  return out;
}

}  // namespace

std::optional<std::string> windowsPathOfFileUrl(std::string_view url) {
  if (toLowerAscii(url.substr(0, 5)) != "file:") return std::nullopt;
  url.remove_prefix(5);
  url = url.substr(0, url.find_first_of("?#"));
  if (url.substr(0, 2) != "//") return std::nullopt;
  url.remove_prefix(2);
  const std::size_t hostEnd = url.find('/');
  const std::string_view host = url.substr(0, hostEnd);
  const std::string_view path = hostEnd == std::string_view::npos ? "" : url.substr(hostEnd);
  std::optional<std::string> local = decoded(path);
  if (!local) return std::nullopt;
  if (!host.empty() && toLowerAscii(host) != "localhost") {
    const std::optional<std::string> server = decoded(host);
    if (!server) return std::nullopt;
    return "\\\\" + *server + *local;
  }
  // "/C:/dir" names the drive's path; the slash before the drive letter is the URL's own.
  if (local->size() >= 3 && (*local)[0] == '\\' && (*local)[2] == ':') local->erase(0, 1);
  return local;
}

}  // namespace tu
