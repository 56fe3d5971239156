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
  if (offered.path.empty() || launcherPath.empty()) return false;

  std::error_code ec;
  const std::uint64_t size = fs::file_size(launcherPath, ec);
  if (!ec && size == static_cast<std::uint64_t>(offered.size)) {
    std::string digest;
    if (sha256File(launcherPath, digest) && digest == offered.sha256) return false;
  }

  announce(kPhaseSelfUpdate);
  const fs::path replacement = withSuffix(launcherPath, ".new");
  bytesBase = 0;
  bytesTotal = static_cast<std::uint64_t>(offered.packed);
  filesDone = 0;
  filesTotal = 1;
  std::string error;
  // A failed download is silent: the old launcher keeps working and the run goes on.
  if (!downloadOne(offered, replacement, 1, error) || !placeDownloads(unplaced.size(), error)) {
    return false;
  }
  if (onSelfUpdate) onSelfUpdate(replacement);
  return true;
}

}  // namespace tu
