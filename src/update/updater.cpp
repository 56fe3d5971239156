#include "update/updater.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "core/files.h"

namespace tu {

namespace {

double monotonicSeconds() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()) /
         1e9;
}

}  // namespace

Updater::Updater(std::filesystem::path clientDir, std::filesystem::path launcherPath,
                 const LauncherConfig& config, Fetcher& fetcher, PhaseHandler onPhase,
                 ProgressHandler onProgress, DoneHandler onDone, SelfUpdateHandler onSelfUpdate)
    : clientDir(std::move(clientDir)),
      launcherPath(std::move(launcherPath)),
      workDir(resolveRelative(this->clientDir, kWorkFolderName)),
      config(config),
      fetcher(fetcher),
      onPhase(std::move(onPhase)),
      onProgress(std::move(onProgress)),
      onDone(std::move(onDone)),
      onSelfUpdate(std::move(onSelfUpdate)),
      clock(monotonicSeconds) {}

void Updater::announce(const char* phase) {
  if (onPhase) onPhase(phase);
}

void Updater::finish(const RunEnd& end) {
  if (onDone) onDone(end);
}

void Updater::sendProgress(const std::string& phase, const ManifestFile& entry,
                           std::uint32_t doneFiles, std::uint32_t totalFiles,
                           std::uint64_t bytesDone, std::uint64_t totalBytes, bool force) {
  const double t = clock();

  if (speedTime == 0) {
    speedBytes = bytesDone;
    speedTime = t;
  } else if (t - speedTime >= 1.0) {
    // A transfer that restarted from 0 shrinks bytesDone: that window counts as rate 0.
    const std::uint64_t gained = bytesDone - std::min(speedBytes, bytesDone);
    const double rate = static_cast<double>(gained) / (t - speedTime);
    speed = speed == 0 ? rate : 0.4 * rate + 0.6 * speed;
    speedBytes = bytesDone;
    speedTime = t;
  }

  if (!force && t - lastSent < 0.1) return;
  lastSent = t;
  if (!onProgress) return;

  Json message = Json::object();
  message.set("type", "progress");
  message.set("phase", phase);
  message.set("file", entry.path);
  message.set("filesDone", static_cast<std::uint64_t>(doneFiles));
  message.set("filesTotal", static_cast<std::uint64_t>(totalFiles));
  message.set("bytesDone", bytesDone);
  message.set("bytesTotal", totalBytes);
  message.set("speed", phase == kPhaseDownload ? speed : 0.0);
  onProgress(message);
}

}  // namespace tu
