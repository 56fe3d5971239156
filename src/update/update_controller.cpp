#include "update/update_controller.h"

#include <new>
#include <system_error>
#include <utility>

#include "core/json.h"
#include "update/updater.h"

namespace tu {

namespace fs = std::filesystem;

UpdateController::UpdateController(MainThread& mainThread, const LauncherConfig& config,
                                   fs::path clientDir, fs::path launcherPath,
                                   FetcherFactory fetcherFactory)
    : mainThread(mainThread),
      config(config),
      clientDir(std::move(clientDir)),
      launcherPath(std::move(launcherPath)),
      fetcherFactory(std::move(fetcherFactory)) {}

UpdateController::~UpdateController() {
  cancelUpdate();
  joinWorker();
}

void UpdateController::startUpdate(CheckMode mode) {
  if (busy) return;
  joinWorker();
  {
    std::lock_guard<std::mutex> lock(updateMutex);
    cancelRequested = false;
  }
  busy = true;
  try {
    updateThread = std::thread(&UpdateController::updateWorker, this, mode);
  } catch (const std::system_error&) {
    busy = false;  // no thread: nothing is running
  }
}

void UpdateController::cancelUpdate() {
  std::lock_guard<std::mutex> lock(updateMutex);
  if (!busy) return;
  cancelRequested = true;
  // The flag first: the fetcher's "cancelled" must read as the run's cancel, not a failure.
  if (currentUpdater != nullptr) currentUpdater->cancel();
  if (currentFetcher != nullptr) currentFetcher->cancel();
}

void UpdateController::onUpdateDone() {
  joinWorker();
  busy = false;
}

void UpdateController::joinWorker() {
  if (updateThread.joinable()) updateThread.join();
}

bool UpdateController::isBusy() const {
  return busy;
}

void UpdateController::setBusy(bool value) {
  busy = value;
}

void UpdateController::disableSelfUpdate() {
  std::lock_guard<std::mutex> lock(updateMutex);
  selfUpdateDisabled = true;
}

void UpdateController::postJson(const std::string& text) {
  MainMessage message;
  message.kind = MainMessage::Kind::PostJson;
  message.text = text;
  mainThread.post(std::move(message));
}

void UpdateController::runWorker(CheckMode mode, bool& handedOver) {
  // However this function ends, cancelUpdate stops reaching the run and its fetcher before
  // either of them goes.
  struct Forget {
    UpdateController& controller;
    ~Forget() { controller.forgetRun(); }
  };
  std::unique_ptr<Fetcher> fetcher = fetcherFactory ? fetcherFactory() : nullptr;
  const Forget forgetFetcher{*this};
  bool selfUpdateOff = false;
  {
    std::lock_guard<std::mutex> lock(updateMutex);
    selfUpdateOff = selfUpdateDisabled;
    currentFetcher = fetcher.get();
    if (fetcher && cancelRequested) fetcher->cancel();
  }

  // The callbacks run on this thread; each turns a report into one posted message.
  Updater* self = nullptr;
  auto onPhase = [this, &self](const std::string& phase) {
    if (phase == kPhaseManifest && self != nullptr) {
      // The run forgets older cancels when it starts; one that the front end asked for while
      // this worker was starting up must still count (a window closing right after start).
      std::lock_guard<std::mutex> lock(updateMutex);
      if (cancelRequested) self->cancel();
    }
    Json message = Json::object();
    message.set("type", "phase");
    message.set("phase", phase);
    postJson(message.dump());
  };
  auto onProgress = [this](const Json& progress) { postJson(progress.dump()); };
  auto onDone = [this, &self](const RunEnd& end) {
    postJson(doneMessage(end, self != nullptr ? self->build() : std::string()).dump());
  };
  auto onSelfUpdate = [this, &handedOver](const fs::path& replacement) {
    handedOver = true;
    MainMessage message;
    message.kind = MainMessage::Kind::SelfUpdate;
    message.path = replacement;
    mainThread.post(std::move(message));
  };

  if (!fetcher) {
    // Without an HTTP client the run cannot reach the server; say so the usual way.
    onPhase(kPhaseManifest);
    onDone(RunEnd::stopped(EndCode::Offline, "no HTTP client"));
  } else {
    Updater updater(clientDir, selfUpdateOff ? fs::path() : launcherPath, config, *fetcher, onPhase,
                    onProgress, onDone, onSelfUpdate);
    self = &updater;
    const Forget forgetUpdater{*this};
    {
      std::lock_guard<std::mutex> lock(updateMutex);
      currentUpdater = &updater;
    }
    updater.run(mode);
  }
}

void UpdateController::forgetRun() {
  std::lock_guard<std::mutex> lock(updateMutex);
  currentUpdater = nullptr;
  currentFetcher = nullptr;
}

void UpdateController::updateWorker(CheckMode mode) {
  bool handedOver = false;
  // Nothing may leave a thread (that ends the process). A run that throws (out of memory)
  // ends as failed; the files are as after any interrupted run, and the front end learns that
  // the run is over, so the launcher does not stay busy.
  try {
    runWorker(mode, handedOver);
  } catch (const std::bad_alloc&) {
    endAfterFailure(handedOver, "out of memory");
  } catch (...) {
    endAfterFailure(handedOver, "internal error");
  }
  if (handedOver) return;
  try {
    MainMessage message;
    message.kind = MainMessage::Kind::UpdateDone;
    mainThread.post(std::move(message));
  } catch (...) {
  }
}

void UpdateController::endAfterFailure(bool handedOver, const char* detail) {
  if (handedOver) return;
  try {
    postJson(doneMessage(RunEnd::stopped(EndCode::Failed, detail), "").dump());
  } catch (...) {
  }
}

}  // namespace tu
