// Updater::run: one update run from manifest to "done".
#include <system_error>
#include <vector>

#include "core/file_lock.h"
#include "core/files.h"
#include "update/block_updates.h"
#include "update/counts.h"
#include "update/file_check.h"
#include "update/updater.h"

namespace tu {

namespace fs = std::filesystem;

namespace {

// Partial downloads that a finished run no longer needs; an early end keeps them for resuming.
void removePartFiles(const fs::path& workDir) {
  std::error_code ec;
  std::vector<fs::path> parts;
  for (fs::directory_iterator it(workDir, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().extension() == fs::path(pathFromUtf8(".part"))) parts.push_back(it->path());
  }
  for (const fs::path& part : parts) fs::remove(part, ec);
}

}  // namespace

void Updater::run(CheckMode mode) {
  cancelFlag_ = false;  // a cancel from before this run is forgotten
  announce(kPhaseManifest);

  Manifest manifest;
  EndCode failure = EndCode::Failed;
  std::string detail;
  if (!fetchManifest(manifest, failure, detail)) {
    // A cancel that ended the fetch is the player's choice, not a server out of reach.
    finish(cancelFlag_ ? RunEnd::stopped(EndCode::Cancelled, "")
                       : RunEnd::stopped(failure, detail));
    return;
  }
  // One run per client folder: two at once would install over each other's temporaries and
  // delete each other's partial downloads. Taken only now, so that a rejected manifest leaves
  // the folder as it was; a folder where not even the lock file can be made cannot be written
  // at all, and a run there may still find everything up to date.
  std::error_code ec;
  fs::create_directories(workDir_, ec);
  FileLock lock;
  if (lock.tryLock(resolveRelative(workDir_, kLockFileName)) == FileLock::Result::Busy) {
    finish(RunEnd::stopped(EndCode::Failed, "another update is running in this folder"));
    return;
  }
  if (selfUpdate(manifest)) return;  // the main thread takes over with the new launcher

  announce(kPhaseCheck);
  cache_.load(manifest, meter_.now());

  const auto fileCount = static_cast<std::uint32_t>(manifest.files.size());
  std::uint64_t sizeTotal = 0;
  for (const ManifestFile& entry : manifest.files) {
    sizeTotal = addSaturated(sizeTotal, static_cast<std::uint64_t>(entry.size));
  }
  std::uint64_t sizeDone = 0;
  std::uint32_t checked = 0;
  std::vector<const ManifestFile*> needed;
  BlockUpdates blocks(fetcher_, config_.updateUrl, workDir_, cancelFlag_);
  const auto cancelledInCheck = [this] {
    if (!cancelFlag_) return false;
    cache_.save(meter_.now());
    finish(RunEnd::stopped(EndCode::Cancelled, ""));
    return true;
  };
  for (const ManifestFile& entry : manifest.files) {
    if (cancelledInCheck()) return;
    const fs::path local = resolveRelative(clientDir_, entry.path);
    if (!checkFile(entry, local, mode, cache_, cancelFlag_)) {
      needed.push_back(&entry);
      // Here rather than in the download phase, so that phase starts out knowing its bytes.
      blocks.plan(entry, local);
    }
    sizeDone = addSaturated(sizeDone, static_cast<std::uint64_t>(entry.size));
    ++checked;
    // The last one is forced so that the page always sees the check complete.
    sendProgress(kPhaseCheck, entry, checked, fileCount, sizeDone, sizeTotal, checked == fileCount);
  }
  // A cancel that arrived while the last file was hashed still belongs to the check phase:
  // that file only looked wrong because its hashing stopped.
  if (cancelledInCheck()) return;
  cache_.save(meter_.now());

  bool changed = false;
  if (!needed.empty()) {
    announce(kPhaseDownload);
    // What is really fetched: the indexes already in hand, then planned blocks or whole files.
    bytesBase_ = blocks.planningBytes();
    bytesTotal_ = bytesBase_;
    for (const ManifestFile* entry : needed) {
      bytesTotal_ = addSaturated(bytesTotal_, blocks.fetchBytes(*entry));
    }
    filesTotal_ = static_cast<std::uint32_t>(needed.size());
    meter_.restartSpeed();

    const auto fail = [this](const std::string& error) {
      cache_.save(meter_.now());
      const bool cancelled = cancelFlag_;
      finish(RunEnd::stopped(cancelled ? EndCode::Cancelled : EndCode::Failed, error, !cancelled));
    };
    filesDone_ = 0;
    std::string error;
    if (!downloadAll(needed, blocks, error)) {
      // What was installed before stays; a failure to place it came first, so it is told.
      placeDownloads(unplaced_.size(), error);
      fail(error);
      return;
    }
    changed = true;
    if (!placeDownloads(unplaced_.size(), error)) {
      fail(error);
      return;
    }
    cache_.save(meter_.now());
  }

  for (const std::string& path : manifest.remove) {
    const fs::path local = resolveRelative(clientDir_, path);
    // Files only: a folder may hold the player's own things.
    if (fs::is_regular_file(local, ec) && fs::remove(local, ec)) changed = true;
  }

  removePartFiles(workDir_);
  finish(RunEnd::finished(changed));
}

}  // namespace tu
