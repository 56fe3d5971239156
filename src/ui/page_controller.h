// PageController: the UI host's logic over the Host seam. It receives every page command
// (handleWebMessage) and every message posted to the main thread (handleMainMessage), keeps
// the page bridge, answers "ready" with "init", starts the news and status pollers and the
// first check once, and closes in order. All state is here, none is global.
//
// Threads: everything is main-thread only, except postToPage, which any thread may call. The
// pollers run on detached threads of their own and reach the page only through the host's
// main-thread queue.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/config.h"
#include "core/json.h"
#include "core/prefs.h"
#include "net/fetcher.h"
#include "net/status_worker.h"
#include "ui/host.h"
#include "ui/page_bridge.h"
#include "ui/update_control.h"

namespace tu {

// The process-wide places worked out at start-up.
struct LauncherPaths {
  std::filesystem::path exePath;
  std::filesystem::path clientDir;
  std::filesystem::path dataFolder;
};

// What the pollers need from the outside world; tests substitute them.
struct PollerServices {
  std::function<std::unique_ptr<Fetcher>()> makeFetcher;  // called on the poller's thread
  TcpProbe probe;
  // Runs a poller's body on a detached thread of its own.
  std::function<void(std::function<void()> body)> runDetached;
};
// The platform's fetcher and TCP probe, and runDetachedThread.
PollerServices defaultPollerServices();

// Runs `body` on a thread of its own that nothing waits for; what it throws ends it quietly,
// and a thread that cannot be started leaves `body` undone. The thread begins its work only
// once it is detached: with MinGW's thread library, a detached thread that ends before
// detach() has returned hands its bookkeeping to the next thread made, which may then never
// run (a status poller made right after a quick news poller, for one).
void runDetachedThread(std::function<void()> body);

class PageController {
 public:
  // `config`, `prefs`, `host` and `update` must outlive the controller; `config` is read-only.
  PageController(Host& host, const LauncherConfig& config, LauncherPaths paths, Prefs& prefs,
                 UpdateControl& update, PollerServices services = defaultPollerServices());
  // Marks the launcher as quitting and cuts the pollers off from the host, so a poller still
  // inside a network call can never post to a host that is gone.
  ~PageController();
  PageController(const PageController&) = delete;
  PageController& operator=(const PageController&) = delete;

  // Any thread: posts one page message through the host's main-thread queue.
  void postToPage(const Json& message);

  // One message taken from the main-thread queue (the window's WM_APP_* messages).
  void handleMainMessage(MainMessage message);
  // WM_APP_POST_JSON.
  void deliverToPage(std::string text) { bridge_.deliverToPage(std::move(text)); }

  // A web message from the page, as UTF-8 text. Runs the command it names; anything that is
  // not an object with a known string "cmd" is ignored.
  void handleWebMessage(std::string_view text);

  // WM_CLOSE, before the window is destroyed: sets quitting (the status poller stops), cancels
  // a running update and waits for its worker.
  void prepareToClose();
  // Sets quitting without the rest (the self-update hand-over destroys the window itself).
  void markQuitting();
  bool quitting() const;

  void sendInit();

  bool pageReady() const { return bridge_.pageReady(); }
  const std::vector<std::string>& pendingToPage() const { return bridge_.pendingToPage(); }
  bool workersStarted() const { return workersStarted_; }
  const Prefs& prefs() const { return prefs_; }

 private:
  struct PollerLink;

  void onReady(const Json& command);
  void onPlay(const Json& command);
  void onCheck(const Json& command);
  void onRepair(const Json& command);
  void onCancel(const Json& command);
  void onLink(const Json& command);
  void onOpenUrl(const Json& command);
  void onMinimize(const Json& command);
  void onClose(const Json& command);
  void onDrag(const Json& command);
  void onGetSettings(const Json& command);
  void onSaveSettings(const Json& command);
  void onSetLanguage(const Json& command);

  void startPollers();
  std::filesystem::path optionsFile() const;

  Host& host_;
  const LauncherConfig& config_;
  LauncherPaths paths_;
  Prefs& prefs_;
  UpdateControl& update_;
  PollerServices services_;
  PageBridge bridge_;
  std::shared_ptr<PollerLink> link_;
  bool workersStarted_ = false;
};

}  // namespace tu
