#include "app/startup_win.h"

#include <objbase.h>
#include <shlobj.h>

#include <system_error>

#include "app/launch_paths.h"
#include "core/files.h"
#include "core/text_win.h"
#include "ui/main_window_win.h"

namespace tu {
namespace {

constexpr char kNoSettings[] =
    "This launcher has no settings yet: prepare it with TarnBuilder (make_update.bat), or put "
    "TarnLauncher.json next to it.";

// The configuration document built into the executable, or false when it has none.
bool builtInConfig(HINSTANCE module, std::string& document) {
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(200), MAKEINTRESOURCEW(10));  // RCDATA
  if (!resource) return false;
  HGLOBAL loaded = LoadResource(module, resource);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return false;
  document.assign(static_cast<const char*>(data), SizeofResource(module, resource));
  return true;
}

}  // namespace

std::wstring currentExecutablePath() {
  // The manifest declares long-path awareness, so the path may be far longer than MAX_PATH.
  return readWholePath([](wchar_t* buffer, std::uint32_t size) {
    return static_cast<std::uint32_t>(GetModuleFileNameW(nullptr, buffer, size));
  });
}

std::wstring launcherDataFolder(const std::wstring& clientDir) {
  PWSTR localAppData = nullptr;
  std::wstring folder;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &localAppData)) &&
      localAppData && *localAppData) {
    folder = std::wstring(localAppData) + L"\\TarnLauncher";
  } else {
    folder = clientDir + L"\\.tarn_update";
  }
  CoTaskMemFree(localAppData);
  return folder;
}

SingleInstance::SingleInstance(const std::wstring& name) {
  mutex_ = CreateMutexW(nullptr, TRUE, name.c_str());
  anotherIsRunning_ = mutex_ && GetLastError() == ERROR_ALREADY_EXISTS;
}

SingleInstance::~SingleInstance() {
  if (!mutex_) return;
  ReleaseMutex(mutex_);
  CloseHandle(mutex_);
}

bool SingleInstance::waitForOther(DWORD milliseconds) {
  // WAIT_OBJECT_0 and WAIT_ABANDONED (the old process ended holding it) both give ownership.
  return WaitForSingleObject(mutex_, milliseconds) != WAIT_TIMEOUT;
}

void activateRunningLauncher() {
  if (HWND window = FindWindowW(kMainWindowClass, nullptr)) {
    ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
  }
}

void removeOldExecutable(const std::wstring& exePath) {
  const std::wstring old = exePath + L".old";
  // The old instance may still be unloading; its file stays locked until it has gone.
  for (int round = 0; round < 20; ++round) {
    if (GetFileAttributesW(old.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    if (DeleteFileW(old.c_str())) return;
    Sleep(150);
  }
}

bool loadLauncherConfig(HINSTANCE module, const std::filesystem::path& clientDir,
                        LauncherConfig& config, std::string& error) {
  const std::filesystem::path file = resolveRelative(clientDir, "TarnLauncher.json");
  std::error_code testError;
  if (std::filesystem::exists(file, testError) && !testError) {
    return loadConfig(file, config, error);
  }
  std::string document;
  if (builtInConfig(module, document)) return parseConfig(document, config, error);
  error = kNoSettings;
  return false;
}

void showStartupError(const std::string& error) {
  const std::wstring text = utf8ToWide(error);
  MessageBoxW(nullptr, text.c_str(), L"TarnLauncher", MB_OK | MB_ICONERROR);
}

ComApartment::ComApartment() {
  ok_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

ComApartment::~ComApartment() {
  if (ok_) CoUninitialize();
}

}  // namespace tu
