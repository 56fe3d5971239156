// Where the installed WebView2 runtime lives: the pure part of the launcher's own loader, with
// the registry and the file system passed in, so it runs and is tested on every platform.
//
// The runtime's updater records each installed channel's version folder under
//   Software\Microsoft\EdgeUpdate\ClientState\{channel GUID}, value "EBWebView"
// in the machine's and the user's registry (32-bit view). The folder's last component is the
// version; the DLL that creates the environment is
//   <version folder>\EBWebView\<arch>\EmbeddedBrowserWebView.dll
// with arch "x86" for a 32-bit process and "x64" for a 64-bit one.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tu {

using RuntimeVersion = std::array<std::uint32_t, 4>;

// The oldest runtime that has every interface the launcher uses.
inline constexpr RuntimeVersion kMinimumRuntimeVersion = {86, 0, 616, 0};

// Exactly four dot-separated decimal numbers (each at most 9 digits); nothing else.
std::optional<RuntimeVersion> parseRuntimeVersion(std::wstring_view text);

// The last component of a Windows folder path, ignoring trailing separators ('\' or '/').
std::wstring_view lastPathComponent(std::wstring_view folder);

// <folder>\EBWebView\<arch>\EmbeddedBrowserWebView.dll, one separator between pieces.
std::wstring runtimeDllPath(std::wstring_view folder, std::wstring_view arch);

enum class RegistryRoot { LocalMachine, CurrentUser };

struct RuntimeSearch {
  // The "EBWebView" text under `keyPath` of `root` (32-bit view), or nothing.
  std::function<std::optional<std::wstring>(RegistryRoot root, const std::wstring& keyPath)>
      readEbWebView;
  // Whether `path` is an existing file (not a folder).
  std::function<bool(const std::wstring& path)> fileExists;
  std::wstring arch;  // "x86" or "x64"
};

// The key of each release channel, in the order searched: the stable (Evergreen) runtime
// first, then beta, dev and canary.
std::array<std::wstring, 4> runtimeChannelKeys();

// The first runtime DLL found: channels in order, for each the machine's registry then the
// user's; a candidate counts when its folder's version parses, is at least the minimum, and
// its DLL file exists. Nothing when no channel qualifies.
std::optional<std::wstring> findInstalledRuntime(const RuntimeSearch& search);

}  // namespace tu
