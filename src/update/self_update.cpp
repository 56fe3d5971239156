// Updater::selfUpdate: the worker's side of replacing the launcher. The swap of the two
// executables happens on the main thread once this worker has ended.
#include <system_error>

#include "update/file_check.h"
#include "update/paths.h"
#include "update/updater.h"

namespace tu {

namespace fs = std::filesystem;

bool Updater::selfUpdate(const Manifest& manifest) {
  const ManifestFile& offered = manifest.launcher;
  if (offered.path.empty() || launcherPath_.empty()) return false;

  std::error_code ec;
  const std::uint64_t size = fs::file_size(launcherPath_, ec);
  if (!ec && size == static_cast<std::uint64_t>(offered.size)) {
    std::string digest;
    if (sha256File(launcherPath_, digest) && digest == offered.sha256) return false;
  }

  announce(kPhaseSelfUpdate);
  const fs::path replacement = withSuffix(launcherPath_, ".new");
  bytesBase_ = 0;
  bytesTotal_ = static_cast<std::uint64_t>(offered.packed);
  filesDone_ = 0;
  filesTotal_ = 1;
  std::string error;
  // A failed download is silent: the old launcher keeps working and the run goes on.
  if (!downloadOne(offered, replacement, 1, error) || !placeDownloads(unplaced_.size(), error)) {
    return false;
  }
  if (onSelfUpdate_) onSelfUpdate_(replacement);
  return true;
}

}  // namespace tu
