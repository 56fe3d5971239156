// The Windows side of the launcher's start-up: where it lives, the single-instance rule, the
// leftover of a self-update, and the configuration (or why there is none). Main thread, before
// any other thread exists. Windows builds only.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

#include "core/config.h"

namespace tu {

// exePath: the running executable's full path, however long (the buffer grows until the
// whole path fits). Empty only when the system cannot report it.
std::wstring currentExecutablePath();

// dataFolder: the user's local application data folder + "\TarnLauncher"; when the system
// cannot name that folder, clientDir + "\.tarn_update". Not created here.
std::wstring launcherDataFolder(const std::wstring& clientDir);

// The named mutex that allows one launcher per client folder, created initially owned and
// held (released and closed on destruction) for the whole run.
class SingleInstance {
 public:
  explicit SingleInstance(const std::wstring& name);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // Another launcher of the same folder created the mutex first. (A mutex that cannot be
  // created at all does not count: start-up goes on without it.)
  bool anotherIsRunning() const { return anotherIsRunning_; }
  // Waits up to `milliseconds` for the other instance to release or abandon the mutex; true
  // unless the wait timed out, and then this process owns it.
  bool waitForOther(DWORD milliseconds);

 private:
  HANDLE mutex_ = nullptr;
  bool anotherIsRunning_ = false;
};

// Restores and brings to the front the first window of the class "TarnLauncherWindow", if any.
void activateRunningLauncher();

// Deletes exePath + ".old" on a thread of its own, so that the window does not wait for it: up
// to 20 attempts 150 ms apart while it exists and stays locked (a read-only file made writable
// first); then leaves it for the next start.
void removeOldExecutableMeanwhile(const std::wstring& exePath);

// The configuration: clientDir \ TarnLauncher.json when it exists, else the document built into
// the executable (RCDATA 200), else the "no settings yet" error.
bool loadLauncherConfig(const std::filesystem::path& clientDir, LauncherConfig& config,
                        std::string& error);

// The start-up error box: no owner, caption "TarnLauncher", OK and the error icon.
void showStartupError(const std::string& error);

// COM for the main thread: a single-threaded apartment, left again on destruction.
class ComApartment {
 public:
  ComApartment();
  ~ComApartment();
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
};

}  // namespace tu
