// cache.json: what the last hashes were, so that a normal check reads no unchanged file. The
// cache only spares hashing: a save that is lost costs a re-hash, never a wrong file. So it is
// written when a phase ends and otherwise at most every few seconds, not after every file:
// saving the whole cache per file would write a number of records that grows with the square
// of the client's size.
#include "core/files.h"
#include "update/updater.h"

namespace tu {

void Updater::loadCache(const Manifest& manifest) {
  cache = Json::object();
  cacheSavedText.clear();
  cacheSavedAt = clock();
  if (!readFile(resolveRelative(workDir, "cache.json"), cacheSavedText)) return;
  const Json parsed = Json::parse(cacheSavedText);
  if (!parsed.isObject()) return;
  // Only the records of files the manifest still lists: the others would stay for good.
  for (const ManifestFile& entry : manifest.files) {
    if (parsed.has(entry.path)) cache.set(entry.path, parsed.get(entry.path));
  }
}

void Updater::saveCache() {
  cacheSavedAt = clock();
  std::string text = cache.dump() + "\n";
  // A check that found everything as recorded changes nothing worth a write.
  if (text == cacheSavedText) return;
  // A failed save only costs the next run some hashing.
  if (writeFileAtomic(resolveRelative(workDir, "cache.json"), text)) {
    cacheSavedText = std::move(text);
  }
}

void Updater::saveCacheWhenDue() {
  if (clock() - cacheSavedAt >= kCacheSaveSeconds) saveCache();
}

}  // namespace tu
