#include <windows.h>

#include <shlwapi.h>

#include "ui/start_page_url.h"

namespace tu {

std::wstring startPageUrl(const std::filesystem::path& page) {
  wchar_t buffer[4096];
  DWORD length = 4096;
  if (SUCCEEDED(UrlCreateFromPathW(page.c_str(), buffer, &length, 0))) {
    return std::wstring(buffer, wcsnlen(buffer, 4096));
  }
  std::wstring url = L"file:///" + page.native();
  if (url.size() > 4095) url.resize(4095);
  return url;
}

}  // namespace tu
