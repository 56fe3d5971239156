// Updater::bringIn: one needed entry into the client folder, by blocks or whole.
#include <algorithm>

#include "core/files.h"
#include "update/block_updates.h"
#include "update/counts.h"
#include "update/updater.h"

namespace tu {

namespace fs = std::filesystem;

bool Updater::bringIn(const ManifestFile& entry, BlockUpdates& blocks, std::string& err) {
  const fs::path target = resolveRelative(clientDir, entry.path);
  const auto packed = static_cast<std::uint64_t>(entry.packed);
  const std::uint64_t planned = blocks.fetchBytes(entry);
  const ProgressCallback progress = [&](std::uint64_t bytes) {
    sendProgress(kPhaseDownload, entry, filesDone, filesTotal, addSaturated(bytesBase, bytes),
                 bytesTotal, false);
    return !cancelFlag;
  };
  std::uint64_t fetched = 0;
  switch (blocks.apply(entry, target, progress, fetched, err)) {
    case BlockUpdates::Outcome::Installed:
      recordInstalled(entry, target);
      bytesBase = addSaturated(bytesBase, planned);
      return true;
    case BlockUpdates::Outcome::Failed: return false;
    case BlockUpdates::Outcome::Fallback: break;
  }
  // The blocks that did arrive were fetched all the same; the whole file comes on top. (An
  // entry without a plan planned its packed size and fetched nothing: the total stays.)
  bytesBase = addSaturated(bytesBase, fetched);
  bytesTotal =
      addSaturated(bytesTotal - std::min(bytesTotal, planned), addSaturated(fetched, packed));
  if (!downloadOne(entry, target, err)) return false;
  bytesBase = addSaturated(bytesBase, packed);
  return true;
}

}  // namespace tu
