#include "update/hash_cache.h"

#include "core/files.h"

namespace tu {

void HashCache::load(const Manifest& manifest, double now) {
  records_ = Json::object();
  savedText_.clear();
  savedAt_ = now;
  if (!readFile(file_, savedText_)) return;
  const Json parsed = Json::parse(savedText_);
  if (!parsed.isObject()) return;
  // Only the records of files the manifest still lists: the others would stay for good.
  for (const ManifestFile& entry : manifest.files) {
    if (parsed.has(entry.path)) records_.set(entry.path, parsed.get(entry.path));
  }
}

void HashCache::save(double now) {
  savedAt_ = now;
  std::string text = records_.dump() + "\n";
  // A check that found everything as recorded changes nothing worth a write.
  if (text == savedText_) return;
  if (writeFileAtomic(file_, text)) savedText_ = std::move(text);
}

void HashCache::saveWhenDue(double now) {
  if (now - savedAt_ >= kCacheSaveSeconds) save(now);
}

std::optional<std::string> HashCache::lookup(const std::string& path, std::uint64_t size,
                                             const std::string& stamp) const {
  const Json& known = records_.get(path);
  const Json& knownSize = known.at(0);
  const Json& knownStamp = known.at(1);
  const Json& knownHash = known.at(2);
  const std::int64_t cachedSize = knownSize.isNumber() ? truncateToInt64(knownSize.asNumber()) : -1;
  if (known.isArray() && cachedSize >= 0 && static_cast<std::uint64_t>(cachedSize) == size &&
      !stamp.empty() && knownStamp.isString() && knownStamp.asString() == stamp &&
      knownHash.isString()) {
    return knownHash.asString();
  }
  return std::nullopt;
}

void HashCache::record(const std::string& path, std::uint64_t size, const std::string& stamp,
                       const std::string& sha256) {
  Json record = Json::array();
  record.push(size);
  record.push(stamp);
  record.push(sha256);
  records_.set(path, std::move(record));
}

}  // namespace tu
