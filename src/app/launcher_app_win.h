// LauncherApp: the running launcher, put together. It owns the window (the Host), the update
// controller and the page controller, routes the window's messages and the page's commands to
// them, and carries out the main thread's part of a self-update. Main thread only, except
// what the window's Host::post allows. Windows builds only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/config.h"
#include "core/prefs.h"
#include "ui/page_controller.h"
#include "ui/main_window_win.h"
#include "ui/update_control.h"
#include "update/update_controller.h"

namespace tu {

class LauncherApp final : public MainWindowEvents, public UpdateControl {
 public:
  // `config` and `prefs` must outlive the app. `folderHash` tells this client folder apart
  // however its path is spelled (it names the folder of the unpacked page).
  LauncherApp(HINSTANCE module, const LauncherConfig& config, const LauncherPaths& paths,
              std::uint32_t folderHash, Prefs& prefs, bool devMode);
  LauncherApp(const LauncherApp&) = delete;
  LauncherApp& operator=(const LauncherApp&) = delete;

  // createMainWindow with the server's name as the title; false when it cannot be created.
  bool createWindow();
  // createWebView: the page appears asynchronously.
  void createWebView();

  // MainWindowEvents
  void handleMainMessage(MainMessage message) override;
  void closing() override;
  void handleWebMessage(const std::string& text) override;
  void openExternalUrl(const std::string& url) override;
  std::filesystem::path startPage() override;

  // UpdateControl (over the update controller)
  void startUpdate(CheckMode mode) override { controller_.startUpdate(mode); }
  void cancelUpdate() override { controller_.cancelUpdate(); }
  bool isBusy() const override { return controller_.isBusy(); }
  void onUpdateDone() override { controller_.onUpdateDone(); }
  void onSelfUpdate(const std::filesystem::path& replacement) override;
  void joinWorker() override { controller_.joinWorker(); }

 private:
  const LauncherConfig& config_;
  LauncherPaths paths_;
  std::uint32_t folderHash_;
  MainWindow window_;
  UpdateController controller_;
  PageController page_;
};

// The whole program after the command line: start-up, the message loop and the ordered
// shutdown. Returns the process's exit code.
int runLauncher(HINSTANCE module, const wchar_t* commandLine);

}  // namespace tu
