#include "tarnbuilder/publisher.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <system_error>

#include "core/files.h"
#include "publish/block_index_writer.h"
#include "publish/manifest_writer.h"
#include "tarnbuilder/publish_cache.h"
#include "tarnbuilder/publish_plan.h"
#include "tarnbuilder/system.h"
#include "tarnbuilder/work_pool.h"
#include "update/manifest.h"
#include "update/paths.h"

namespace tu::builder {

namespace fs = std::filesystem;

namespace {

// A file buffer that adds every byte it reads to a shared counter (the progress bar's).
class CountingFileBuf : public std::filebuf {
 public:
  explicit CountingFileBuf(std::atomic<std::uint64_t>& counter) : counter_(counter) {}

 protected:
  std::streamsize xsgetn(char* data, std::streamsize size) override {
    const std::streamsize got = std::filebuf::xsgetn(data, size);
    if (got > 0) counter_ += static_cast<std::uint64_t>(got);
    return got;
  }

 private:
  std::atomic<std::uint64_t>& counter_;
};

bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

fs::path packedPathOf(const fs::path& out, const std::string& path) {
  return resolveRelative(out, "files/" + path + ".tz");
}

// Packs one listed file to its place under OUT, counting the bytes it reads in `bytesRead`. The
// source must still have the size and time it was listed with afterwards, or what was packed
// may be half old, half new.
bool packEntry(const ClientFileInfo& file, const fs::path& destination, const PackOptions& options,
               std::atomic<std::uint64_t>& bytesRead, PackResult& result, std::string& error) {
  CountingFileBuf buffer(bytesRead);
  if (buffer.open(file.source, std::ios::in | std::ios::binary) == nullptr) {
    error = printable(file.path) + ": cannot read " + pathToUtf8(file.source);
    return false;
  }
  std::istream in(&buffer);
  const SourceCheck unchanged = [&](std::string& why) {
    std::uint64_t size = 0;
    std::string stamp;
    if (fileSizeAndStamp(file.source, size, stamp) && size == file.size && stamp == file.stamp) {
      return true;
    }
    why = "it changed while it was being packed; publish again";
    return false;
  };
  return packToFile(in, file.size, printable(file.path), destination, options, unchanged, result,
                    error);
}

// Takes over what an earlier publish (`previous`) packed from the same source with the same
// options, recording it in `cache`. Returns the indexes of the entries left to pack.
std::vector<std::size_t> reusePacked(PublishPlan& plan, const PublishCache& previous,
                                     const PackOptions& pack, PublishCache& cache) {
  std::vector<std::size_t> work;
  for (std::size_t i = 0; i < plan.entries.size(); ++i) {
    PublishEntry& entry = plan.entries[i];
    const fs::path packed = packedPathOf(plan.out, entry.manifest.path);
    const auto it = previous.find(entry.manifest.path);
    if (it != previous.end()) {
      const CacheRecord& record = it->second;
      std::vector<std::uint8_t> digest;
      std::error_code sizeError;
      if (record.size == entry.source.size && record.stamp == entry.source.stamp &&
          record.blockSize == pack.blockSize && record.level == pack.level &&
          record.sha256.size() == 64 && hexDecode(record.sha256, digest) &&
          fs::file_size(packed, sizeError) == record.packed && !sizeError &&
          (!wantsBlockIndex(pack.blockSize, record.packed) ||
           fs::is_regular_file(withSuffix(packed, "i"), sizeError))) {
        entry.manifest.size = static_cast<std::int64_t>(record.size);
        entry.manifest.sha256 = record.sha256;
        entry.manifest.packed = static_cast<std::int64_t>(record.packed);
        entry.reused = true;
        cache[entry.manifest.path] = record;
        continue;
      }
    }
    work.push_back(i);
  }
  return work;
}

// Packs the entries at `work` on `jobs` threads, biggest first (a large file started last
// would keep one thread busy after the rest end), recording each in `cache`.
bool packEntries(PublishPlan& plan, std::vector<std::size_t> work, const PublishOptions& options,
                 PublishCache& cache, const std::function<void(const PublishProgress&)>& progress,
                 std::string& error) {
  std::vector<PublishEntry>& entries = plan.entries;
  const PackOptions& pack = options.pack;
  std::stable_sort(work.begin(), work.end(), [&](std::size_t a, std::size_t b) {
    return entries[a].source.size > entries[b].source.size;
  });
  PublishProgress state;
  state.filesTotal = work.size();
  for (const std::size_t i : work) state.bytesTotal += entries[i].source.size;
  std::atomic<std::uint64_t> bytesRead{0};
  std::atomic<std::size_t> filesDone{0};
  std::mutex mutex;
  return runJobs(
      work.size(), options.jobs == 0 ? defaultJobs() : options.jobs,
      [&](std::size_t index) {
        PublishEntry& entry = entries[work[index]];
        PackResult result;
        std::string jobError;
        if (!packEntry(entry.source, packedPathOf(plan.out, entry.manifest.path), pack, bytesRead,
                       result, jobError)) {
          std::lock_guard<std::mutex> lock(mutex);
          if (error.empty()) error = jobError;
          return false;
        }
        entry.manifest.size = static_cast<std::int64_t>(result.size);
        entry.manifest.sha256 = result.sha256;
        entry.manifest.packed = static_cast<std::int64_t>(result.packed);
        {
          std::lock_guard<std::mutex> lock(mutex);
          cache[entry.manifest.path] = {entry.source.size, entry.source.stamp, result.sha256,
                                        result.packed,     pack.blockSize,     pack.level};
        }
        ++filesDone;
        return true;
      },
      [&] {
        if (!progress) return;
        state.filesDone = filesDone.load();
        state.bytesDone = std::min(bytesRead.load(), state.bytesTotal);
        progress(state);
      });
}

// Every entry gets its packed file: reused or packed now. The publish cache on disk is true of
// the packed files at every moment: cut down to the reused records before packing starts,
// saved with the new ones after it ends, whether or not every pack succeeded.
bool reuseOrPack(PublishPlan& plan, const PublishOptions& options,
                 const std::function<void(const PublishProgress&)>& progress, std::string& error) {
  const PublishCache previous = options.fresh ? PublishCache{} : loadPublishCache(plan.out);
  PublishCache cache;
  const std::vector<std::size_t> work = reusePacked(plan, previous, options.pack, cache);
  const std::string cacheError =
      "cannot write " + pathToUtf8(resolveRelative(plan.out, kPublishCacheName));
  if (!work.empty() && !savePublishCache(plan.out, cache)) {
    error = cacheError;
    return false;
  }
  std::string packError;
  const bool packed = packEntries(plan, work, options, cache, progress, packError);
  const bool cacheSaved = cache == previous || savePublishCache(plan.out, cache);
  if (!packed) {
    error = packError;
    return false;
  }
  if (!cacheSaved) {
    error = cacheError;
    return false;
  }
  return true;
}

// manifest.json and manifest.sig from the plan, and the summary's counts.
bool writeManifest(const PublishOptions& options, const PublishPlan& plan, PublishSummary& summary,
                   std::string& error) {
  const std::vector<PublishEntry>& entries = plan.entries;
  Manifest manifest;
  manifest.generated = plan.generated;
  manifest.build = options.build;
  for (const PublishEntry& entry : entries) {
    summary.bytes += entry.source.size;
    summary.packedBytes += static_cast<std::uint64_t>(entry.manifest.packed);
    (entry.reused ? summary.reused : summary.packed) += 1;
  }
  if (plan.hasLauncher) {
    manifest.launcher = entries.back().manifest;
    summary.launcher = true;
  }
  const std::size_t fileCount = entries.size() - (plan.hasLauncher ? 1 : 0);
  manifest.files.reserve(fileCount);
  for (std::size_t i = 0; i < fileCount; ++i) manifest.files.push_back(entries[i].manifest);
  manifest.remove = plan.removals;
  summary.files = fileCount;
  summary.removals = plan.removals.size();
  return writeSignedManifest(plan.out, manifest, plan.seed.bytes.data(), error);
}

// Our files under `folder` (packed files and their temporaries, links not followed) with their
// '/'-separated paths, and every folder below it, deepest first.
void listPacked(const fs::path& folder, const std::string& prefix,
                std::vector<std::pair<std::string, fs::path>>& files,
                std::vector<fs::path>& folders) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (it->is_symlink(typeError)) continue;
    const std::string name = pathToUtf8(it->path().filename());
    const std::string relative = prefix.empty() ? name : prefix + "/" + name;
    if (it->is_directory(typeError)) {
      listPacked(it->path(), relative, files, folders);
      folders.push_back(it->path());
    } else if (it->is_regular_file(typeError) &&
               (endsWith(name, ".tz") || endsWith(name, ".tz.tmp") || endsWith(name, ".tzi") ||
                endsWith(name, ".tzi.tmp"))) {
      files.emplace_back(relative, it->path());
    }
  }
}

void prune(const fs::path& out, const std::vector<PublishEntry>& entries, PublishSummary& summary) {
  std::set<std::string> keep;
  std::map<std::string, std::string> keepLower;
  for (const PublishEntry& entry : entries) {
    for (const char* suffix : {".tz", ".tzi"}) {
      keep.insert(entry.manifest.path + suffix);
      keepLower[toLowerAscii(entry.manifest.path + suffix)] = entry.manifest.path + suffix;
    }
  }
  std::vector<std::pair<std::string, fs::path>> files;
  std::vector<fs::path> folders;
  listPacked(out / "files", "", files, folders);
  std::error_code ec;
  for (const auto& [relative, path] : files) {
    if (keep.count(relative) > 0) continue;
    // On a folder that ignores case, "Data.tz" may be the very file kept as "data.tz".
    const auto lower = keepLower.find(toLowerAscii(relative));
    if (lower != keepLower.end() &&
        fs::equivalent(path, resolveRelative(out, "files/" + lower->second), ec)) {
      continue;
    }
    // An index goes with its packed file and is not counted apart.
    if (fs::remove(path, ec) && !endsWith(relative, ".tzi")) ++summary.pruned;
  }
  // Emptied folders go too, deepest first; folders still holding anything stay.
  for (const fs::path& folder : folders) {
    if (fs::is_empty(folder, ec)) fs::remove(folder, ec);
  }
}

}  // namespace

std::string manifestPathFromArgument(std::string_view argument) {
  std::string path(argument);
  std::replace(path.begin(), path.end(), '\\', '/');
  while (path.compare(0, 2, "./") == 0) path.erase(0, 2);
  return path;
}

bool publishClient(const PublishOptions& options, PublishSummary& summary,
                   const std::function<void(const PublishProgress&)>& progress,
                   std::string& error) {
  summary = PublishSummary{};
  PublishPlan plan;
  if (!planPublish(options, plan, summary, error)) return false;

  // Nothing is written before this point.
  std::error_code ec;
  fs::create_directories(plan.out / "files", ec);
  if (!fs::is_directory(plan.out / "files", ec)) {
    error = "cannot create " + pathToUtf8(plan.out / "files");
    return false;
  }
  if (!reuseOrPack(plan, options, progress, error)) return false;
  if (!writeManifest(options, plan, summary, error)) return false;
  prune(plan.out, plan.entries, summary);
  return true;
}

}  // namespace tu::builder
