// What the end-to-end tests use to run the real TarnLauncher.exe under Wine: the fake WebView2
// runtime installed as the real one is, the launcher's processes, windows and dialogs.
#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "fake_webview2/protocol.h"

namespace tu::e2e {

// Prepares this Wine prefix for unattended runs; call before the program's first window.
// - Top-level windows are unmanaged: without a window manager (Xvfb) Wine's X11 driver otherwise
//   waits up to two seconds, each time a window appears or goes, for states nobody confirms.
// - No crash debugger: a process that crashes ends at once instead of waiting in winedbg until
//   the test times out.
// Launchers started later read both. Only meant for a test prefix.
void prepareWinePrefix();

// Sets the text value `name` (null: the key's default value) of `key`, creating the key; `view`
// may pick the 32-bit or 64-bit registry view.
bool writeRegistryText(HKEY root, const wchar_t* key, const wchar_t* name,
                       const std::wstring& value, REGSAM view = 0);

// Polls `condition` every 20 ms until it holds or `timeoutMs` has passed; returns its last value.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 30000);

struct Event {
  DWORD pid = 0;
  std::string name;  // "navigate", "post", ...
  std::string text;  // the rest of the line
};

// The fake runtime in a version folder under `root`, registered for the current user the way
// the runtime's updater registers the real one. Removed from the registry on destruction.
class FakeRuntime {
 public:
  FakeRuntime(const std::filesystem::path& root, const std::filesystem::path& dll);
  ~FakeRuntime();
  FakeRuntime(const FakeRuntime&) = delete;
  FakeRuntime& operator=(const FakeRuntime&) = delete;

  void registerInstall();    // the "EBWebView" value names the version folder
  void unregisterInstall();  // no runtime on this machine
  // How the fake behaves in the launchers started from now on (fake::kSettingsName).
  void setBehaviour(const std::string& words);
  // The recorded events in recording order: every one, or those of process `pid` (0: any),
  // or only those of that process named `name`.
  std::vector<Event> events(DWORD pid = 0, const std::string& name = "") const;

 private:
  std::filesystem::path versionFolder_;
};

// A running TarnLauncher.exe started by the test (or found by its process id). Terminated on
// destruction if still running, so a failing test leaves no process behind.
class LauncherProcess {
 public:
  LauncherProcess() = default;
  // Starts `exe` with the command line "\"exe\" arguments" in `folder`.
  static LauncherProcess start(const std::filesystem::path& exe, const std::wstring& arguments,
                               const std::filesystem::path& folder);
  static LauncherProcess attach(DWORD pid);
  LauncherProcess(LauncherProcess&& other) noexcept;
  ~LauncherProcess();

  bool valid() const { return process_ != nullptr; }
  DWORD pid() const { return pid_; }
  // True once the process has ended (within the timeout); its exit code is then exitCode().
  bool waitForExit(int timeoutMs = 30000);
  DWORD exitCode() const;

  // Plays one command on the fake web view of this process (WM_COPYDATA to the fake's window);
  // false when the process has no fake view (yet, or any more).
  bool play(fake::Command command, const std::string& text) const;
  bool webMessage(const std::string& json) const { return play(fake::kWebMessage, json); }
  // Sends a marker through the launcher's main-thread queue and waits until it came out.
  bool sync(const FakeRuntime& runtime) const;

  HWND mainWindow() const;  // the process's "TarnLauncherWindow", or null
  // The process's dialog box (message box) once it shows, or null after 30 s.
  HWND waitForDialog() const;

 private:
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
};

// A window's title (a static control's text).
std::wstring windowText(HWND window);
struct MessageBoxContent {
  std::wstring caption;
  std::wstring text;
  bool ok = false;
  bool yes = false;
  bool no = false;
};
MessageBoxContent readMessageBox(HWND dialog);
void pressButton(HWND dialog, int id);

// The lines a recorder program wrote, which it writes to its own path + ".log".
std::vector<std::string> recorderLines(const std::filesystem::path& recorderExe);

}  // namespace tu::e2e
