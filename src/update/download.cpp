// One entry from the server into the client folder: a resumable .part file named after the
// content's checksum, unpacked beside its target; then, for a batch of such downloads at once,
// the flush to disk and the rename over the target.
#include "update/download.h"

#include <algorithm>
#include <system_error>

#include "core/files.h"
#include "update/counts.h"
#include "update/packed_file.h"
#include "update/paths.h"
#include "update/replacement_file.h"
#include "update/updater.h"

namespace tu {

namespace fs = std::filesystem;

std::string fileUrlPath(const ManifestFile& entry, std::string_view suffix) {
  static const char digits[] = "0123456789ABCDEF";
  std::string url = "files/";
  for (const char c : entry.path + std::string(suffix)) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                       (byte >= '0' && byte <= '9') || c == '-' || c == '_' || c == '.' ||
                       c == '~' || c == '/';
    if (plain) {
      url += c;
    } else {
      url += '%';
      url += digits[byte >> 4];
      url += digits[byte & 15];
    }
  }
  return url;
}

namespace {

// The .part file's size; a file whose size cannot be read, or that is longer than the packed
// file can be, is deleted and counts as 0.
std::uint64_t partSize(const fs::path& part, std::uint64_t packed) {
  std::error_code ec;
  const fs::file_status status = fs::status(part, ec);
  if (!ec && !fs::exists(status)) return 0;
  const std::uint64_t size = ec ? 0 : fs::file_size(part, ec);
  if (ec || size > packed) {
    fs::remove(part, ec);
    return 0;
  }
  return size;
}

}  // namespace

fs::path Updater::partPath(const ManifestFile& entry) const {
  return resolveRelative(workDir_, entry.sha256 + ".part");
}

bool Updater::fetchPart(const ManifestFile& entry, int& attempt, std::string& error) {
  std::error_code ec;
  fs::create_directories(workDir_, ec);
  const fs::path part = partPath(entry);
  const std::string url =
      config_.updateUrl + fileUrlPath(entry) + "?v=" + entry.sha256.substr(0, 12);
  const auto packed = static_cast<std::uint64_t>(entry.packed);

  for (; attempt <= 3; ++attempt) {
    if (cancelFlag_) {
      error = "cancelled";
      return false;
    }
    const std::uint64_t have = partSize(part, packed);
    if (have == packed) return true;

    // A server that sends more than the packed size (broken, or hostile over plain http)
    // must not fill the disk: the transfer stops at the first block past `packed`.
    bool overrun = false;
    const ProgressCallback progress = [&](std::uint64_t bytes) {
      if (bytes > packed) {
        overrun = true;
        return false;
      }
      sendProgress(kPhaseDownload, entry, filesDone_, filesTotal_, addSaturated(bytesBase_, bytes),
                   bytesTotal_, false);
      return !cancelFlag_;
    };
    std::string fetchError;
    const bool fetched = fetcher_.download(url, part, have, progress, fetchError);
    if (!fetched && !overrun) {
      error = entry.path + ": " + fetchError;
      if (cancelFlag_) return false;
      continue;  // the .part stays: the next attempt resumes from its end
    }
    std::error_code sizeError;
    const std::uint64_t got = overrun ? 0 : fs::file_size(part, sizeError);
    if (!overrun && !sizeError && got == packed) return true;
    error = entry.path + ": download size does not match";
    fs::remove(part, ec);
  }
  return false;
}

Updater::InstallResult Updater::installDownload(const ManifestFile& entry, const fs::path& target,
                                                const fs::path& part,
                                                const std::atomic<bool>& cancel,
                                                std::string& error) {
  std::string installError;
  if (unpackPackedFile(part, target, static_cast<std::uint64_t>(entry.size), entry.sha256, &cancel,
                       installError)) {
    // Its data goes to the disk while the next files download; placing it waits for what is
    // left.
    beginFlush(withSuffix(target, ".tznew"));
    return InstallResult::Installed;
  }
  error = entry.path + ": " + installError;
  // The download is fine when the temporary cannot be written (the game holds the folder):
  // keep it for the next run, which then installs without downloading.
  if (installError.find("cannot write") != std::string::npos || cancel) {
    return InstallResult::Stopped;
  }
  std::error_code ec;
  fs::remove(part, ec);
  return InstallResult::Damaged;
}

bool Updater::downloadOne(const ManifestFile& entry, const fs::path& target, int attempt,
                          std::string& error) {
  const auto packed = static_cast<std::uint64_t>(entry.packed);
  for (; attempt <= 3; ++attempt) {
    if (!fetchPart(entry, attempt, error)) return false;
    bytesBase_ = addSaturated(bytesBase_, packed);
    switch (installDownload(entry, target, partPath(entry), cancelFlag_, error)) {
      case InstallResult::Installed: addUnplaced(entry, target); return true;
      case InstallResult::Stopped: return false;
      case InstallResult::Damaged: break;
    }
    // The damaged download was counted; the next one comes on top.
    bytesTotal_ = addSaturated(bytesTotal_, packed);
  }
  return false;
}

void Updater::addUnplaced(const ManifestFile& entry, const fs::path& target) {
  if (unplaced_.size() == olderBatch_) newerSince_ = meter_.now();
  unplaced_.push_back({entry, target, partPath(entry)});
  newerBytes_ = addSaturated(newerBytes_, static_cast<std::uint64_t>(entry.size));
}

void Updater::recordInstalled(const ManifestFile& entry, const fs::path& target) {
  cache_.record(entry.path, static_cast<std::uint64_t>(entry.size), fileStamp(target),
                entry.sha256);
}

bool Updater::placingDue() const {
  // Big enough for one commit of the file system to cover many files, small enough that a
  // cut-off run leaves few files downloaded but not in place, and none waits long on a slow
  // connection.
  const std::size_t newer = unplaced_.size() - olderBatch_;
  return newer >= 256 || newerBytes_ >= 256 * 1048576ull ||
         (newer > 0 && meter_.now() - newerSince_ >= 1.0);
}

bool Updater::placeOlderBatch(std::string& error) {
  // The older batch has had the whole newer one's download to reach the disk, so placing it
  // rarely waits; the newer batch becomes the older.
  const bool placed = placeDownloads(olderBatch_, error);
  olderBatch_ = unplaced_.size();
  newerBytes_ = 0;
  return placed;
}

bool Updater::placeDownloads(std::size_t count, std::string& error) {
  count = std::min(count, unplaced_.size());
  std::vector<fs::path> folders;
  std::size_t placed = 0;
  std::error_code ec;
  for (; placed < count; ++placed) {
    const Download& download = unplaced_[placed];
    std::string placeError;
    if (!placeReplacement(download.target, placeError)) {
      error = download.entry.path + ": " + placeError;
      break;
    }
    fs::remove(download.part, ec);
    recordInstalled(download.entry, download.target);
    const fs::path folder = download.target.parent_path();
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
      folders.push_back(folder);
    }
  }
  // One flush per folder makes all of its renames durable.
  for (const fs::path& folder : folders) flushFolder(folder);

  if (placed < count) {
    // The run ends here, as it would have without batches: nothing more is placed, and the
    // .part files stay, so that the next run installs them without downloading them again.
    for (std::size_t i = placed + 1; i < unplaced_.size(); ++i) {
      fs::remove(withSuffix(unplaced_[i].target, ".tznew"), ec);
    }
    unplaced_.clear();
    olderBatch_ = 0;
    return false;
  }
  unplaced_.erase(unplaced_.begin(), unplaced_.begin() + static_cast<std::ptrdiff_t>(count));
  olderBatch_ -= std::min(olderBatch_, count);
  return true;
}

}  // namespace tu
