#include "app/launch_paths.h"

namespace tu {

LaunchSwitches parseLaunchSwitches(std::wstring_view commandLine) {
  LaunchSwitches switches;
  switches.dev = commandLine.find(L"--dev") != std::wstring_view::npos;
  switches.updated = commandLine.find(L"--updated") != std::wstring_view::npos;
  return switches;
}

std::wstring clientDirOf(std::wstring_view exePath) {
  std::size_t end = exePath.find_last_of(L"\\/");
  if (end == std::wstring_view::npos) return {};
  while (end > 0 && (exePath[end - 1] == L'\\' || exePath[end - 1] == L'/')) --end;
  return std::wstring(exePath.substr(0, end));
}

std::wstring instanceMutexName(std::uint32_t clientFolderHash) {
  return L"Local\\TarnLauncher_" + std::to_wstring(clientFolderHash);
}

std::wstring oldExecutablePath(std::wstring_view exePath) {
  return std::wstring(exePath) + L".old";
}

}  // namespace tu
