#include "update/block_updates.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "core/files.h"
#include "update/block_assembly.h"
#include "update/block_scan.h"
#include "update/blocks_part.h"
#include "update/download.h"

namespace tu {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kPlanBytesPerBlock = sizeof(BlockIndexEntry) + sizeof(std::uint64_t);

}  // namespace

BlockUpdates::BlockUpdates(Fetcher& fetcher, std::string updateUrl, fs::path workDir,
                           const std::atomic<bool>& cancel)
    : fetcher_(fetcher),
      updateUrl_(std::move(updateUrl)),
      workDir_(std::move(workDir)),
      cancel_(cancel) {}

std::string BlockUpdates::url(const ManifestFile& entry, std::string_view suffix) const {
  return updateUrl_ + fileUrlPath(entry, suffix) + "?v=" + entry.sha256.substr(0, 12);
}

void BlockUpdates::plan(const ManifestFile& entry, const fs::path& local) {
  std::error_code ec;
  if (entry.packed < kSmallestPatchedFile || !fs::is_regular_file(local, ec) ||
      fs::exists(resolveRelative(workDir_, entry.sha256 + ".part"), ec)) {
    return;
  }
  std::string text;
  std::string error;
  if (!fetcher_.getText(url(entry, ".tzi"), text, error)) return;
  planningBytes_ += text.size();
  auto plan = std::make_unique<BlockPlan>();
  if (!parseBlockIndex(text, entry, plan->index, error)) return;
  text = std::string();
  const std::uint64_t memory = plan->index.blocks.size() * kPlanBytesPerBlock;
  if (memory > kPlanMemoryBudget - planMemory_) return;

  plan->local = local;
  if (!findLocalBlocks(local, plan->index, &cancel_, plan->localOffsets, error)) return;
  if (std::count(plan->localOffsets.begin(), plan->localOffsets.end(), kBlockNotFound) ==
      static_cast<std::ptrdiff_t>(plan->localOffsets.size())) {
    return;  // nothing to reuse: the whole download is the same bytes in one request
  }
  plan->ranges = missingRanges(plan->index, plan->localOffsets);
  for (const ByteRange& range : plan->ranges) plan->fetchBytes += range.length();
  planMemory_ += memory;
  plans_[entry.path] = std::move(plan);
}

std::uint64_t BlockUpdates::fetchBytes(const ManifestFile& entry) const {
  const auto found = plans_.find(entry.path);
  return found != plans_.end() ? found->second->fetchBytes
                               : static_cast<std::uint64_t>(entry.packed);
}

BlockUpdates::Outcome BlockUpdates::apply(const ManifestFile& entry, const fs::path& target,
                                          const ProgressCallback& progress, std::uint64_t& fetched,
                                          std::string& error) {
  fetched = 0;
  const auto found = plans_.find(entry.path);
  if (found == plans_.end()) return Outcome::Fallback;
  const std::unique_ptr<BlockPlan> plan = std::move(found->second);
  plans_.erase(found);
  planMemory_ -= plan->index.blocks.size() * kPlanBytesPerBlock;

  std::error_code ec;
  fs::create_directories(workDir_, ec);
  const fs::path part = resolveRelative(workDir_, entry.sha256 + ".blocks.part");
  std::string why;
  const bool complete = fetchPlannedRanges(fetcher_, url(entry, ".tz"), part, entry.sha256,
                                           plan->ranges, progress, why);
  // What the part file holds of the plan, fetched now or by an earlier run.
  const std::uint64_t size = fs::file_size(part, ec);
  fetched = ec || size < kBlocksPartHeaderSize
                ? 0
                : std::min(plan->fetchBytes, size - kBlocksPartHeaderSize);
  if (cancel_) {
    error = entry.path + ": cancelled";
    return Outcome::Failed;
  }
  // A server that ignores ranges or a connection that keeps failing: the whole file, and
  // whatever arrived stays for a later run.
  if (!complete) return Outcome::Fallback;

  if (assembleFromBlocks(*plan, part, target, entry.sha256, &cancel_, why)) {
    fs::remove(part, ec);
    return Outcome::Installed;
  }
  if (cancel_ || why.find("cannot write") != std::string::npos ||
      why.find("cannot replace") != std::string::npos) {
    error = entry.path + ": " + (cancel_ ? std::string("cancelled") : why);
    return Outcome::Failed;
  }
  // A damaged block, a wrong index or a changed local file: these bytes are no use.
  fs::remove(part, ec);
  return Outcome::Fallback;
}

}  // namespace tu
