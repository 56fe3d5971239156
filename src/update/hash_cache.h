// HashCache: what the last hashes of the client's files were (cache.json in the work folder),
// so that a normal check reads no unchanged file. The cache only spares hashing: a save that is
// lost costs a re-hash, never a wrong file. So a run saves it when a phase ends and otherwise at
// most every kCacheSaveSeconds, not after every file: saving the whole cache per file would
// write a number of records that grows with the square of the client's size.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "core/json.h"
#include "update/manifest.h"

namespace tu {

// While files are installed, the hash cache is saved at most this often.
inline constexpr double kCacheSaveSeconds = 5.0;

class HashCache {
 public:
  explicit HashCache(std::filesystem::path file) : file_(std::move(file)) {}

  // Reads the file, keeping only the records of the manifest's files; a missing or malformed
  // file gives an empty cache. `now` (monotonic seconds) counts as the last save.
  void load(const Manifest& manifest, double now);
  // Writes the cache when its text differs from what the file holds as far as this cache
  // knows. A failed write is ignored: it only costs the next run some hashing.
  void save(double now);
  // Saves when the last save is kCacheSaveSeconds old.
  void saveWhenDue(double now);

  // The hash recorded for `path` when the record is for this size and this non-empty stamp.
  std::optional<std::string> lookup(const std::string& path, std::uint64_t size,
                                    const std::string& stamp) const;
  void record(const std::string& path, std::uint64_t size, const std::string& stamp,
              const std::string& sha256);

 private:
  std::filesystem::path file_;
  Json records_ = Json::object();  // keyed by manifest path: [size, stamp, sha256]
  std::string savedText_;          // what the file holds as far as this cache knows
  double savedAt_ = 0;
};

}  // namespace tu
