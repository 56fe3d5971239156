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

std::wstring readWholePath(
    const std::function<std::uint32_t(wchar_t* buffer, std::uint32_t size)>& read) {
  std::wstring path(1040, L'\0');
  while (path.size() <= 65536) {
    const std::uint32_t length = read(path.data(), static_cast<std::uint32_t>(path.size()));
    if (length == 0) return {};
    // A length of the whole buffer means the path was cut to fit: ask again with more room.
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
  return {};
}

std::wstring instanceMutexName(std::uint32_t clientFolderHash) {
  return L"Local\\TarnLauncher_" + std::to_wstring(clientFolderHash);
}

std::wstring oldExecutablePath(std::wstring_view exePath) {
  return std::wstring(exePath) + L".old";
}

}  // namespace tu
