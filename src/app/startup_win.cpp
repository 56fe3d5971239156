#include "app/startup_win.h"

#include <objbase.h>
#include <shlobj.h>

#include <memory>
#include <new>
#include <system_error>

#include "app/launch_paths.h"
#include "core/files.h"
#include "core/text_win.h"
#include "ui/main_window_win.h"
#include "ui/program_resources.h"

namespace tu {
namespace {

constexpr int kDefaultConfigResource = 200;  // the staff's TarnLauncher.json, built in

constexpr char kNoSettings[] =
    "This launcher has no settings yet: prepare it with TarnBuilder (make_update.bat), or put "
    "TarnLauncher.json next to it.";

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

namespace {

// One attempt to delete the leftover; true when it is gone.
bool deleteLeftover(const std::wstring& old) {
  const DWORD attributes = GetFileAttributesW(old.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  // A read-only file cannot be deleted (a copy from a disc or an archive keeps the flag).
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    SetFileAttributesW(old.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
  return DeleteFileW(old.c_str()) != FALSE;
}

DWORD WINAPI deleteLeftoverLater(void* parameter) {
  const std::unique_ptr<std::wstring> old(static_cast<std::wstring*>(parameter));
  // The old instance may still be unloading; its file stays locked until it has gone.
  for (int round = 1; round < 20; ++round) {
    Sleep(150);
    if (deleteLeftover(*old)) break;
  }
  return 0;
}

}  // namespace

void removeOldExecutableMeanwhile(const std::wstring& exePath) {
  std::wstring old = oldExecutablePath(exePath);
  if (deleteLeftover(old)) return;
  // The remaining attempts on a plain Windows thread of their own: the window does not wait.
  auto* held = new (std::nothrow) std::wstring(std::move(old));
  if (!held) return;
  HANDLE thread = CreateThread(nullptr, 0, &deleteLeftoverLater, held, 0, nullptr);
  if (thread) {
    CloseHandle(thread);
  } else {
    delete held;  // the file waits for the next start
  }
}

bool loadLauncherConfig(const std::filesystem::path& clientDir, LauncherConfig& config,
                        std::string& error) {
  const std::filesystem::path file = resolveRelative(clientDir, "TarnLauncher.json");
  std::error_code testError;
  if (std::filesystem::exists(file, testError) && !testError) {
    return loadConfig(file, config, error);
  }
  if (const std::optional<std::string> document = loadProgramResource(kDefaultConfigResource)) {
    return parseConfig(*document, config, error);
  }
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
