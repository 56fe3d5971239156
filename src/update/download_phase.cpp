// Updater::downloadAll: the download phase, with each file's install overlapping the next
// file's download.
//
// Messages, all sent from the run's thread: a forced one naming entry k+1 as its download
// begins (filesDone_ counts the files installed so far, so not k while k installs), unforced
// ones naming k+1 as its bytes arrive, then, once k+1 is downloaded and k's install has ended,
// a forced one naming k with filesDone_ counting it. An entry fetched by blocks first waits for
// the install in flight, so its messages follow k's.
#include <algorithm>
#include <system_error>

#include "core/files.h"
#include "update/block_updates.h"
#include "update/counts.h"
#include "update/updater.h"

namespace tu {

namespace fs = std::filesystem;

bool Updater::downloadAll(const std::vector<const ManifestFile*>& needed, BlockUpdates& blocks,
                          std::string& error) {
  std::optional<Installing> installing;
  std::thread installer;
  // Whatever way the phase ends, the install in flight has ended before: it writes into
  // `installing`.
  struct Join {
    std::thread& thread;
    ~Join() {
      if (thread.joinable()) thread.join();
    }
  } join{installer};

  for (const ManifestFile* entry : needed) {
    const fs::path target = resolveRelative(clientDir_, entry->path);
    if (blocks.planned(*entry)) {
      // Assembling from blocks is an install of its own: one at a time.
      if (!settle(installing, installer, error)) return false;
      sendProgress(kPhaseDownload, *entry, filesDone_, filesTotal_, bytesBase_, bytesTotal_, true);
      bool installed = false;
      if (!applyBlocks(*entry, target, blocks, installed, error)) return false;
      if (installed) {
        if (!reportInstalled(*entry, error)) return false;
        continue;
      }
    } else {
      sendProgress(kPhaseDownload, *entry, filesDone_, filesTotal_, bytesBase_, bytesTotal_, true);
    }

    int attempt = 1;
    if (!fetchPart(*entry, attempt, error)) {
      // The install in flight came first: when it fails, its error is the one told.
      std::string installError;
      if (!settle(installing, installer, installError)) error = installError;
      return false;
    }
    bytesBase_ = addSaturated(bytesBase_, static_cast<std::uint64_t>(entry->packed));
    if (!settle(installing, installer, error)) return false;

    installing = Installing{entry, target, attempt};
    const auto install = [this, &job = *installing, part = partPath(*entry)] {
      job.result = installDownload(*job.entry, job.target, part, cancelFlag_, job.error);
    };
    try {
      installer = std::thread(install);
    } catch (const std::system_error&) {
      install();  // no thread to be had: install now, without the overlap
    }
  }
  return settle(installing, installer, error);
}

bool Updater::settle(std::optional<Installing>& installing, std::thread& installer,
                     std::string& error) {
  if (installer.joinable()) installer.join();
  if (!installing) return true;
  const Installing done = std::move(*installing);
  installing.reset();
  bool installed = done.result == InstallResult::Installed;
  if (installed) {
    addUnplaced(*done.entry, done.target);
  } else {
    error = done.error;
    if (done.result == InstallResult::Damaged) {
      bytesTotal_ = addSaturated(bytesTotal_, static_cast<std::uint64_t>(done.entry->packed));
      installed = downloadOne(*done.entry, done.target, done.attempt + 1, error);
    }
  }
  return installed && reportInstalled(*done.entry, error);
}

bool Updater::applyBlocks(const ManifestFile& entry, const fs::path& target, BlockUpdates& blocks,
                          bool& installed, std::string& error) {
  const auto packed = static_cast<std::uint64_t>(entry.packed);
  const std::uint64_t planned = blocks.fetchBytes(entry);
  const ProgressCallback progress = [&](std::uint64_t bytes) {
    sendProgress(kPhaseDownload, entry, filesDone_, filesTotal_, addSaturated(bytesBase_, bytes),
                 bytesTotal_, false);
    return !cancelFlag_;
  };
  std::uint64_t fetched = 0;
  installed = false;
  switch (blocks.apply(entry, target, progress, fetched, error)) {
    case BlockUpdates::Outcome::Installed:
      recordInstalled(entry, target);
      bytesBase_ = addSaturated(bytesBase_, planned);
      installed = true;
      return true;
    case BlockUpdates::Outcome::Failed: return false;
    case BlockUpdates::Outcome::Fallback: break;
  }
  // The blocks that did arrive were fetched all the same; the whole file comes on top.
  bytesBase_ = addSaturated(bytesBase_, fetched);
  bytesTotal_ =
      addSaturated(bytesTotal_ - std::min(bytesTotal_, planned), addSaturated(fetched, packed));
  return true;
}

bool Updater::reportInstalled(const ManifestFile& entry, std::string& error) {
  ++filesDone_;
  sendProgress(kPhaseDownload, entry, filesDone_, filesTotal_, bytesBase_, bytesTotal_, true);
  if (placingDue() && !placeOlderBatch(error)) return false;
  // An interrupted long download keeps most of the hashes of what it already installed.
  cache_.saveWhenDue(meter_.now());
  return true;
}

}  // namespace tu
