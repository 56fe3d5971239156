// Updater::downloadAll: the download phase, with each file's install overlapping the next
// file's download.
//
// Messages, all sent from the run's thread: a forced one naming entry k+1 as its download
// begins (filesDone counts the files installed so far, so not k while k installs), unforced
// ones naming k+1 as its bytes arrive, then, once k+1 is downloaded and k's install has ended,
// a forced one naming k with filesDone counting it. An entry fetched by blocks first waits for
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
                          std::string& err) {
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
    const fs::path target = resolveRelative(clientDir, entry->path);
    if (blocks.planned(*entry)) {
      // Assembling from blocks is an install of its own: one at a time.
      if (!settle(installing, installer, err)) return false;
      sendProgress(kPhaseDownload, *entry, filesDone, filesTotal, bytesBase, bytesTotal, true);
      bool installed = false;
      if (!applyBlocks(*entry, target, blocks, installed, err)) return false;
      if (installed) {
        if (!reportInstalled(*entry, err)) return false;
        continue;
      }
    } else {
      sendProgress(kPhaseDownload, *entry, filesDone, filesTotal, bytesBase, bytesTotal, true);
    }

    int attempt = 1;
    if (!fetchPart(*entry, attempt, err)) {
      // The install in flight came first: when it fails, its error is the one told.
      std::string installError;
      if (!settle(installing, installer, installError)) err = installError;
      return false;
    }
    bytesBase = addSaturated(bytesBase, static_cast<std::uint64_t>(entry->packed));
    if (!settle(installing, installer, err)) return false;

    installing = Installing{entry, target, attempt};
    const auto install = [this, &job = *installing, part = partPath(*entry)] {
      job.result = installDownload(*job.entry, job.target, part, cancelFlag, job.error);
    };
    try {
      installer = std::thread(install);
    } catch (const std::system_error&) {
      install();  // no thread to be had: install now, without the overlap
    }
  }
  return settle(installing, installer, err);
}

bool Updater::settle(std::optional<Installing>& installing, std::thread& installer,
                     std::string& err) {
  if (installer.joinable()) installer.join();
  if (!installing) return true;
  const Installing done = std::move(*installing);
  installing.reset();
  bool installed = done.result == InstallResult::Installed;
  if (installed) {
    addUnplaced(*done.entry, done.target);
  } else {
    err = done.error;
    if (done.result == InstallResult::Damaged) {
      bytesTotal = addSaturated(bytesTotal, static_cast<std::uint64_t>(done.entry->packed));
      installed = downloadOne(*done.entry, done.target, done.attempt + 1, err);
    }
  }
  return installed && reportInstalled(*done.entry, err);
}

bool Updater::applyBlocks(const ManifestFile& entry, const fs::path& target, BlockUpdates& blocks,
                          bool& installed, std::string& err) {
  const auto packed = static_cast<std::uint64_t>(entry.packed);
  const std::uint64_t planned = blocks.fetchBytes(entry);
  const ProgressCallback progress = [&](std::uint64_t bytes) {
    sendProgress(kPhaseDownload, entry, filesDone, filesTotal, addSaturated(bytesBase, bytes),
                 bytesTotal, false);
    return !cancelFlag;
  };
  std::uint64_t fetched = 0;
  installed = false;
  switch (blocks.apply(entry, target, progress, fetched, err)) {
    case BlockUpdates::Outcome::Installed:
      recordInstalled(entry, target);
      bytesBase = addSaturated(bytesBase, planned);
      installed = true;
      return true;
    case BlockUpdates::Outcome::Failed: return false;
    case BlockUpdates::Outcome::Fallback: break;
  }
  // The blocks that did arrive were fetched all the same; the whole file comes on top.
  bytesBase = addSaturated(bytesBase, fetched);
  bytesTotal =
      addSaturated(bytesTotal - std::min(bytesTotal, planned), addSaturated(fetched, packed));
  return true;
}

bool Updater::reportInstalled(const ManifestFile& entry, std::string& err) {
  ++filesDone;
  sendProgress(kPhaseDownload, entry, filesDone, filesTotal, bytesBase, bytesTotal, true);
  if (placingDue() && !placeOlderBatch(err)) return false;
  // An interrupted long download keeps most of the hashes of what it already installed.
  saveCacheWhenDue();
  return true;
}

}  // namespace tu
