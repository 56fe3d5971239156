#include "app/launcher_app_win.h"

#include "app/launch_paths.h"
#include "app/self_update_swap.h"
#include "app/startup_win.h"
#include "core/path_identity_win.h"
#include "core/text_win.h"
#include "game/desktop_shortcut.h"
#include "ui/client_folder_hash.h"
#include "ui/external_url.h"
#include "ui/page_assets.h"
#include "ui/page_messages.h"

namespace tu {

LauncherApp::LauncherApp(HINSTANCE module, const LauncherConfig& config, const LauncherPaths& paths,
                         std::uint32_t folderHash, Prefs& prefs, bool devMode)
    : config_(config),
      paths_(paths),
      folderHash_(folderHash),
      window_(module, *this, devMode),
      controller_(window_, config, paths.clientDir, paths.exePath),
      page_(window_, config, paths, prefs, *this) {}

bool LauncherApp::createWindow() {
  return window_.create(utf8ToWide(config_.serverName));
}

void LauncherApp::createWebView() {
  window_.createWebView(paths_.dataFolder);
}

void LauncherApp::handleMainMessage(MainMessage message) {
  page_.handleMainMessage(std::move(message));
}

void LauncherApp::closing() {
  page_.prepareToClose();
}

void LauncherApp::handleWebMessage(const std::string& text) {
  page_.handleWebMessage(text);
}

void LauncherApp::openExternalUrl(const std::string& url) {
  tu::openExternalUrl(window_, url);
}

std::filesystem::path LauncherApp::startPage() {
  return resolveUiStartPage(paths_.clientDir, paths_.dataFolder, folderHash_);
}

void LauncherApp::onSelfUpdate(const std::filesystem::path& replacement) {
  // The worker ends right after handing the replacement over; nothing may run while the
  // executables move.
  controller_.joinWorker();
  controller_.setBusy(false);
  if (swapInReplacement(paths_.exePath, replacement, paths_.clientDir, window_)) {
    // The new instance waits for this one's mutex, released once the loop has ended.
    page_.markQuitting();
    window_.destroy();
    return;
  }
  sendNotice(window_, "selfUpdateFailed", "");
  // A launcher that cannot replace itself must not try again and loop.
  controller_.disableSelfUpdate();
  controller_.startUpdate(CheckMode::Check);
}

int runLauncher(HINSTANCE module, const wchar_t* commandLine) {
  const LaunchSwitches switches = parseLaunchSwitches(commandLine ? commandLine : L"");

  LauncherPaths paths;
  const std::wstring exePath = currentExecutablePath();
  const std::wstring clientDir = clientDirOf(exePath);
  paths.exePath = exePath;
  paths.clientDir = clientDir;
  paths.dataFolder = launcherDataFolder(clientDir);
  // One launcher per client folder however its path is spelled (letter case, 8.3 names).
  const std::uint32_t folderHash = clientFolderHash(pathIdentity(clientDir));

  SingleInstance instance(instanceMutexName(folderHash));
  if (instance.anotherIsRunning()) {
    // A self-update's new instance waits for the old one to finish closing.
    if (!switches.updated || !instance.waitForOther(10000)) {
      activateRunningLauncher();
      return 0;
    }
  }
  removeOldExecutableMeanwhile(exePath);

  LauncherConfig config;
  std::string error;
  if (!loadLauncherConfig(paths.clientDir, config, error)) {
    showStartupError(error);
    return 1;
  }

  Prefs prefs;
  loadPrefs(prefs, paths.dataFolder, config);
  ComApartment com;
  if (!com.ok()) return 1;
  // The shortcut's marker keeps the hash of the path as reported, as it always had: another
  // number would give every player a second shortcut.
  placeDesktopShortcut(config,
                       ShortcutTarget{paths.exePath, paths.clientDir, clientFolderHash(clientDir)},
                       prefs, paths.dataFolder);

  {
    LauncherApp app(module, config, paths, folderHash, prefs, switches.dev);
    if (!app.createWindow()) return 1;
    app.createWebView();
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    MainWindow::discardQueuedMessages();
  }
  // COM is left, then the mutex released, as the objects above go in reverse order.
  return 0;
}

}  // namespace tu
