#include "update/updater.h"

#include <utility>

#include "core/files.h"

namespace tu {

Updater::Updater(std::filesystem::path clientDir, std::filesystem::path launcherPath,
                 const LauncherConfig& config, Fetcher& fetcher, PhaseHandler onPhase,
                 ProgressHandler onProgress, DoneHandler onDone, SelfUpdateHandler onSelfUpdate,
                 ProgressMeter::Clock clock)
    : clientDir_(std::move(clientDir)),
      launcherPath_(std::move(launcherPath)),
      workDir_(resolveRelative(clientDir_, kWorkFolderName)),
      config_(config),
      fetcher_(fetcher),
      onPhase_(std::move(onPhase)),
      onProgress_(std::move(onProgress)),
      onDone_(std::move(onDone)),
      onSelfUpdate_(std::move(onSelfUpdate)),
      meter_(std::move(clock)),
      cache_(resolveRelative(workDir_, "cache.json")) {}

void Updater::announce(const char* phase) {
  if (onPhase_) onPhase_(phase);
}

void Updater::finish(const RunEnd& end) {
  if (onDone_) onDone_(end);
}

void Updater::sendProgress(const std::string& phase, const ManifestFile& entry,
                           std::uint32_t doneFiles, std::uint32_t totalFiles,
                           std::uint64_t bytesDone, std::uint64_t totalBytes, bool force) {
  if (!meter_.update(bytesDone, force) || !onProgress_) return;
  Json message = Json::object();
  message.set("type", "progress");
  message.set("phase", phase);
  message.set("file", entry.path);
  message.set("filesDone", static_cast<std::uint64_t>(doneFiles));
  message.set("filesTotal", static_cast<std::uint64_t>(totalFiles));
  message.set("bytesDone", bytesDone);
  message.set("bytesTotal", totalBytes);
  message.set("speed", phase == kPhaseDownload ? meter_.speed() : 0.0);
  onProgress_(message);
}

}  // namespace tu
