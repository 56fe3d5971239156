#include "ui/webview2/runtime_search.h"

namespace tu {

std::optional<RuntimeVersion> parseRuntimeVersion(std::wstring_view text) {
  RuntimeVersion version{};
  std::size_t part = 0;
  std::size_t digits = 0;
  std::uint32_t value = 0;
  for (const wchar_t c : text) {
    if (c == L'.') {
      if (digits == 0 || part == 3) return std::nullopt;
      version[part++] = value;
      value = 0;
      digits = 0;
    } else if (c >= L'0' && c <= L'9') {
      if (++digits > 9) return std::nullopt;
      value = value * 10 + static_cast<std::uint32_t>(c - L'0');
    } else {
      return std::nullopt;
    }
  }
  if (digits == 0 || part != 3) return std::nullopt;
  version[3] = value;
  return version;
}

std::wstring_view lastPathComponent(std::wstring_view folder) {
  while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) {
    folder.remove_suffix(1);
  }
  const std::size_t separator = folder.find_last_of(L"\\/");
  return separator == std::wstring_view::npos ? folder : folder.substr(separator + 1);
}

std::wstring runtimeDllPath(std::wstring_view folder, std::wstring_view arch) {
  std::wstring path(folder);
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  path += L"\\EBWebView\\";
  path += arch;
  path += L"\\EmbeddedBrowserWebView.dll";
  return path;
}

std::array<std::wstring, 4> runtimeChannelKeys() {
  const std::wstring base = L"Software\\Microsoft\\EdgeUpdate\\ClientState\\";
  return {
      base + L"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}",  // stable (Evergreen)
      base + L"{2CD8A007-E189-409D-A2C8-9AF4EF3C72AA}",  // beta
      base + L"{0D50BFEC-CD6A-4F9A-964C-C7416E3ACB10}",  // dev
      base + L"{65C35B14-6C1D-4122-AC46-7148CC9D6497}",  // canary
  };
}

std::optional<std::wstring> findInstalledRuntime(const RuntimeSearch& search) {
  for (const std::wstring& key : runtimeChannelKeys()) {
    for (const RegistryRoot root : {RegistryRoot::LocalMachine, RegistryRoot::CurrentUser}) {
      const std::optional<std::wstring> folder = search.readEbWebView(root, key);
      if (!folder || folder->empty()) continue;
      const std::optional<RuntimeVersion> version = parseRuntimeVersion(lastPathComponent(*folder));
      if (!version || *version < kMinimumRuntimeVersion) continue;
      std::wstring dll = runtimeDllPath(*folder, search.arch);
      if (search.fileExists(dll)) return dll;
    }
  }
  return std::nullopt;
}

}  // namespace tu
