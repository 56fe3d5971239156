// cache.json: what the last hashes were, so that a normal check reads no unchanged file.
#include "core/files.h"
#include "update/updater.h"

namespace tu {

void Updater::loadCache() {
  cache = Json::object();
  std::string text;
  if (!readFile(resolveRelative(workDir, "cache.json"), text)) return;
  Json parsed = Json::parse(text);
  if (parsed.isObject()) cache = std::move(parsed);
}

void Updater::saveCache() {
  // A failed save only costs the next run some hashing.
  writeFileAtomic(resolveRelative(workDir, "cache.json"), cache.dump() + "\n");
}

}  // namespace tu
