#include <windows.h>

#include <shellapi.h>

#include "core/text_win.h"
#include "game/external_url.h"
#include "game/host_services_win.h"

namespace tu {

void shellOpenUrl(const std::string& url) {
  // Checked again here: this is the last step before the shell, which would run a program
  // for a path as readily as it opens a web page.
  if (!isExternalUrl(url)) return;
  ShellExecuteW(nullptr, L"open", utf8ToWide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace tu
