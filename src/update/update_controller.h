// UpdateController: starts, cancels and ends update runs for a front end (the launcher's
// window, the console tool). At most one run at a time, each on its own worker thread, which
// creates its own fetcher and Updater and reports every page message to the main thread as
// compact JSON text (MainMessage::PostJson): "phase", "progress" and "done", in the order the
// run produced them. A run that hands over a launcher replacement posts SelfUpdate with its
// path and nothing after it; every other run ends with UpdateDone, posted after its "done".
//
// Threads: every member function except the worker's own is for the main thread. busy is
// true from startUpdate until onUpdateDone (or, after a hand-over, until the front end's apply
// step calls setBusy(false)).
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "core/config.h"
#include "core/main_thread.h"
#include "net/fetcher.h"
#include "update/check_mode.h"

namespace tu {

class Updater;

class UpdateController {
 public:
  using FetcherFactory = std::function<std::unique_ptr<Fetcher>()>;

  // `config` must outlive the controller. An empty launcherPath disables self-update.
  UpdateController(MainThread& mainThread, const LauncherConfig& config,
                   std::filesystem::path clientDir, std::filesystem::path launcherPath,
                   FetcherFactory fetcherFactory = makeFetcher);
  // Cancels a running run and waits for its worker.
  ~UpdateController();
  UpdateController(const UpdateController&) = delete;
  UpdateController& operator=(const UpdateController&) = delete;

  // Starts a run unless one is going (a second request is ignored).
  void startUpdate(CheckMode mode);
  // Asks the running run to stop, and its fetcher to end the request in progress (a silent
  // server must not hold the run up); does nothing while idle.
  void cancelUpdate();
  // On MainMessage::UpdateDone: joins the ended worker and clears busy.
  void onUpdateDone();
  // Joins the worker when there is one to join (it ends right after a hand-over).
  void joinWorker();
  bool isBusy() const;
  void setBusy(bool value);
  // For the rest of the process every run leaves the launcher alone (after a failed swap).
  void disableSelfUpdate();

  std::atomic<bool> busy{false};

 private:
  void updateWorker(CheckMode mode);
  void runWorker(CheckMode mode, bool& handedOver);
  // Clears what cancelUpdate reaches; the run and its fetcher are about to go.
  void forgetRun();
  // A run that threw: a "done" message in place of the one it could not send.
  void endAfterFailure(bool handedOver, const char* detail);
  void postJson(const std::string& text);

  MainThread& mainThread;
  const LauncherConfig& config;
  std::filesystem::path clientDir;
  std::filesystem::path launcherPath;
  FetcherFactory fetcherFactory;
  // Guards currentUpdater, currentFetcher, selfUpdateDisabled and cancelRequested.
  std::mutex updateMutex;
  Updater* currentUpdater = nullptr;
  Fetcher* currentFetcher = nullptr;  // the running worker's, while it exists
  bool selfUpdateDisabled = false;
  bool cancelRequested = false;  // cancelUpdate was called during the current worker's life
  std::thread updateThread;
};

}  // namespace tu
