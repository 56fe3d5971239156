// Host: what the portable UI logic (the page bridge and the page's commands, Play and the
// settings panel among them) needs of the program's window and of the desktop. The Win32
// window implements it; tests implement it with a recorder and a pump that plays the main
// thread. Everything here is main-thread only, except post() (inherited from MainThread), which
// any thread may call.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/main_thread.h"
#include "game/display_modes.h"
#include "game/game_launch.h"

namespace tu {

class Host : public MainThread {
 public:
  // Whether the page's web view exists yet (it is created asynchronously after the window).
  virtual bool hasWebView() const = 0;
  // Hands one page message (compact JSON text) to the web view (PostWebMessageAsJson).
  virtual void deliverToWebView(const std::string& json) = 0;

  virtual void hideWindow() = 0;       // ShowWindow(SW_HIDE)
  virtual void minimizeWindow() = 0;   // ShowWindow(SW_MINIMIZE)
  virtual void closeWindow() = 0;      // posts WM_CLOSE: the window closes in order
  virtual void startWindowDrag() = 0;  // ReleaseCapture, then WM_NCLBUTTONDOWN with HTCAPTION

  // Opens an address in the default browser (ShellExecuteW "open"). Callers pass only
  // "http://" and "https://" addresses (openExternalUrl filters).
  virtual void shellOpen(const std::string& url) = 0;

  // Starts a program: CreateProcessW, and on ERROR_ELEVATION_REQUIRED the shell's elevation
  // path (ShellExecuteExW). `arguments` is appended to the quoted program path on the command
  // line (nothing when empty).
  virtual ProcessStartResult startProcess(const std::filesystem::path& program,
                                          const std::string& arguments,
                                          const std::filesystem::path& workingFolder) = 0;

  // The display modes of the current display device (EnumDisplaySettingsW).
  virtual std::vector<DisplayMode> displayModes() = 0;
};

}  // namespace tu
