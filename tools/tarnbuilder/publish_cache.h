// The publish cache, OUT/.tarnbuilder-cache.json: which packed file under OUT/files came from
// which source, so a republish packs only what changed. One record per manifest path:
// [source size, source stamp, sha256, packed size, block size, level]. A record is trusted
// only when the source's size and stamp, the packing options and the packed file's size on
// disk all still agree; anything unreadable counts as an empty cache.
//
// The file only ever claims what is true on disk: before packing starts, the publisher saves
// it holding the records it is about to reuse, so a publish that stops half way (and may have
// replaced packed files) never leaves a record for a packed file it changed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

namespace tu::builder {

inline constexpr const char* kPublishCacheName = ".tarnbuilder-cache.json";

struct CacheRecord {
  std::uint64_t size = 0;
  std::string stamp;
  std::string sha256;
  std::uint64_t packed = 0;
  std::uint32_t blockSize = 0;
  int level = 0;
  bool operator==(const CacheRecord&) const = default;
};

using PublishCache = std::map<std::string, CacheRecord>;

// Reads OUT's cache; a missing or malformed file gives an empty one.
PublishCache loadPublishCache(const std::filesystem::path& out);

// Writes OUT's cache atomically.
bool savePublishCache(const std::filesystem::path& out, const PublishCache& cache);

}  // namespace tu::builder
