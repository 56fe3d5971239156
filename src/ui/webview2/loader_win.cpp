// The Windows half of the loader: the registry, the file system and the runtime DLL.
#include "ui/webview2/loader.h"

#include <shlwapi.h>

#include <string>
#include <vector>

#include "ui/webview2/runtime_search.h"

namespace tu {
namespace {

class RegistryKey {
 public:
  RegistryKey(HKEY root, const std::wstring& path) {
    // The runtime's updater writes the machine's entries into the 32-bit view; asking for it
    // explicitly reads the same place from a 64-bit build.
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &key_) != ERROR_SUCCESS) {
      key_ = nullptr;
    }
  }
  ~RegistryKey() {
    if (key_) RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  std::optional<std::wstring> text(const wchar_t* name) const {
    if (!key_) return std::nullopt;
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key_, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
      return std::nullopt;
    }
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &bytes) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    // The stored text need not end with a terminator; the extra unit above supplies one.
    return std::wstring(buffer.data());
  }

 private:
  HKEY key_ = nullptr;
};

bool isFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

const wchar_t* processArch() {
  return sizeof(void*) == 8 ? L"x64" : L"x86";
}

std::wstring executableFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

HRESULT lastErrorResult() {
  const DWORD error = GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

}  // namespace

HRESULT CreateCoreWebView2EnvironmentWithOptions(
    LPCWSTR browserExecutableFolder, LPCWSTR userDataFolder, Wv2Object* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler) {
  if (!environmentCreatedHandler) return E_POINTER;

  std::wstring dll;
  std::int32_t runtimeKind = 0;  // installed
  if (browserExecutableFolder && *browserExecutableFolder) {
    std::wstring folder = browserExecutableFolder;
    if (PathIsRelativeW(folder.c_str())) folder = executableFolder() + L"\\" + folder;
    dll = runtimeDllPath(folder, processArch());
    if (!isFile(dll)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    runtimeKind = 1;  // a fixed-version folder
  } else {
    RuntimeSearch search;
    search.readEbWebView = [](RegistryRoot root, const std::wstring& keyPath) {
      const HKEY hive = root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
      return RegistryKey(hive, keyPath).text(L"EBWebView");
    };
    search.fileExists = isFile;
    search.arch = processArch();
    std::optional<std::wstring> found = findInstalledRuntime(search);
    if (!found) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    dll = std::move(*found);
  }

  // Loaded once and never freed: the runtime keeps its objects in it for the process's life.
  // The altered search path lets the DLL find its own dependencies beside it.
  HMODULE module = LoadLibraryExW(dll.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module) return lastErrorResult();
  auto create =
      reinterpret_cast<CreateWebViewEnvironmentWithOptionsInternalFn>(reinterpret_cast<void*>(
          GetProcAddress(module, "CreateWebViewEnvironmentWithOptionsInternal")));
  if (!create) return lastErrorResult();
  return create(1, runtimeKind, userDataFolder, environmentOptions, environmentCreatedHandler);
}

}  // namespace tu
