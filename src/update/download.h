// Where the server keeps an entry's packed file (Updater::downloadOne fetches it) and its block
// index.
#pragma once

#include <string>
#include <string_view>

#include "update/manifest.h"

namespace tu {

// "files/" + the entry's path and `suffix` percent-encoded (every byte except ASCII letters,
// digits and - _ . ~ / becomes %XX, uppercase): ".tz" for the packed file, ".tzi" for its block
// index. The full URL is the configured update URL, this, and "?v=" with the first 12 digits of
// the sha256, so that caches see new content as new.
std::string fileUrlPath(const ManifestFile& entry, std::string_view suffix = ".tz");

}  // namespace tu
