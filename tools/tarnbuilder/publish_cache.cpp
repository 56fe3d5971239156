#include "tarnbuilder/publish_cache.h"

#include "core/files.h"
#include "core/json.h"

namespace tu::builder {

namespace fs = std::filesystem;

PublishCache loadPublishCache(const fs::path& out) {
  PublishCache cache;
  std::string text;
  if (!readFile(resolveRelative(out, kPublishCacheName), text)) return cache;
  const Json root = Json::parse(text);
  if (root.getInt64("format", 0) != 1) return cache;
  for (const auto& [path, value] : root.get("files").members()) {
    const auto& fields = value.elements();
    if (fields.size() != 6 || !fields[0].isNumber() || !fields[1].isString() ||
        !fields[2].isString() || !fields[3].isNumber() || !fields[4].isNumber() ||
        !fields[5].isNumber()) {
      continue;
    }
    CacheRecord record;
    record.size = static_cast<std::uint64_t>(truncateToInt64(fields[0].asNumber()));
    record.stamp = fields[1].asString();
    record.sha256 = fields[2].asString();
    record.packed = static_cast<std::uint64_t>(truncateToInt64(fields[3].asNumber()));
    record.blockSize = static_cast<std::uint32_t>(truncateToInt64(fields[4].asNumber()));
    record.level = static_cast<int>(truncateToInt64(fields[5].asNumber()));
    cache[path] = std::move(record);
  }
  return cache;
}

bool savePublishCache(const fs::path& out, const PublishCache& cache) {
  Json files = Json::object();
  for (const auto& [path, record] : cache) {
    Json fields = Json::array();
    fields.push(record.size);
    fields.push(record.stamp);
    fields.push(record.sha256);
    fields.push(record.packed);
    fields.push(static_cast<std::int64_t>(record.blockSize));
    fields.push(record.level);
    files.set(path, std::move(fields));
  }
  Json root = Json::object();
  root.set("format", 1);
  root.set("files", std::move(files));
  return writeFileAtomic(resolveRelative(out, kPublishCacheName), root.dump() + "\n");
}

}  // namespace tu::builder
