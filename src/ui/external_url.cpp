#include "ui/external_url.h"

namespace tu {

bool isExternalUrl(std::string_view url) {
  return url.substr(0, 8) == "https://" || url.substr(0, 7) == "http://";
}

bool openExternalUrl(Host& host, const std::string& url) {
  if (!isExternalUrl(url)) return false;
  host.shellOpen(url);
  return true;
}

}  // namespace tu
