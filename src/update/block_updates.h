// Block-level updates: when a file must be downloaded and the player has an older copy of it,
// only the blocks that copy lacks are fetched (range requests on the packed file, which any
// static web server answers) and the new file is put together from both. Nothing runs on the
// server, and launchers that know nothing of this never ask for the indexes.
//
// Quiet by design: whenever something does not work out (no index, a damaged one, a server
// that ignores ranges, a block or the whole file failing its checksum), the caller downloads the
// whole file as before and nobody is told. Nothing is installed that the manifest's SHA-256
// does not vouch for.
//
// plan() runs during the check phase, so that the download phase knows the bytes it will
// really fetch before it starts; apply() then brings one planned entry in. One object per run,
// on the update worker; `cancel` is the run's flag.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "net/fetcher.h"
#include "update/block_plan.h"
#include "update/manifest.h"

namespace tu {

// What the plans of one run may hold at once (about 32 bytes per block); a file whose plan
// would not fit is downloaded whole.
inline constexpr std::uint64_t kPlanMemoryBudget = 32 << 20;

class BlockUpdates {
 public:
  enum class Outcome {
    Installed,  // the target holds the entry's content
    Fallback,   // download the whole file instead
    Failed,     // stop the run with `error`; the fetched blocks stay for the next run
  };

  BlockUpdates(Fetcher& fetcher, std::string updateUrl, std::filesystem::path workDir,
               const std::atomic<bool>& cancel);

  // For an entry that must be downloaded while `local` holds an older copy: fetches the
  // entry's block index and looks for its blocks in `local`. Keeps a plan only when some block
  // can be reused. Entries whose whole download is already under way (a .part file) are left
  // to it.
  void plan(const ManifestFile& entry, const std::filesystem::path& local);

  // Bytes the indexes took.
  std::uint64_t planningBytes() const { return planningBytes_; }
  // Bytes bringing `entry` in will fetch: its planned ranges, or its whole packed file.
  std::uint64_t fetchBytes(const ManifestFile& entry) const;

  // Whether plan() kept a plan for `entry`.
  bool planned(const ManifestFile& entry) const { return plans_.count(entry.path) != 0; }

  // Brings a planned entry to `target`; an entry without a plan is a Fallback at once.
  // `progress` sees the planned bytes in hand (a resumed prefix included) and stops the fetch
  // with false; `fetched` is set to the planned bytes in hand at the end. On Failed, `error` is
  // the entry's path, ": " and "cancelled" or the target's "cannot write ..." or
  // "cannot replace ..." text.
  Outcome apply(const ManifestFile& entry, const std::filesystem::path& target,
                const ProgressCallback& progress, std::uint64_t& fetched, std::string& error);

 private:
  std::string url(const ManifestFile& entry, std::string_view suffix) const;

  Fetcher& fetcher_;
  std::string updateUrl_;
  std::filesystem::path workDir_;
  const std::atomic<bool>& cancel_;
  std::map<std::string, std::unique_ptr<BlockPlan>> plans_;  // by entry path
  std::uint64_t planMemory_ = 0;
  std::uint64_t planningBytes_ = 0;
};

}  // namespace tu
