#include "ui/page_assets.h"

#include <system_error>

#include "core/files.h"
#include "ui/ui_pack.h"

namespace tu {

namespace fs = std::filesystem;

namespace {

bool fileExists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(path, ec);  // an error while asking counts as absent
}

}  // namespace

std::string uiPackFolderName(std::uint32_t clientFolderHash) {
  return "ui-" + std::to_string(clientFolderHash % 100000000u);
}

fs::path resolveUiStartPage(const fs::path& clientDir, const fs::path& dataFolder,
                            std::uint32_t folderHash, const ResourceLoader& loadResource) {
  const fs::path serverPage = clientDir / "ui" / "index.html";
  if (fileExists(serverPage)) return serverPage;

  const fs::path packFolder = dataFolder / pathFromUtf8(uiPackFolderName(folderHash));
  if (const auto pack = loadResource(kUiPackResource)) {
    if (extractUiPack(*pack, packFolder) && fileExists(packFolder / "index.html")) {
      return packFolder / "index.html";
    }
  }

  // Last resort: the single files. Only rewritten when they differ, so a page that is already
  // in place costs one read per file.
  const fs::path defaultFolder = dataFolder / "ui-default";
  static const struct {
    int id;
    const char* name;
  } kFiles[] = {{kPageIndexResource, "index.html"},
                {kPageStyleResource, "style.css"},
                {kPageScriptResource, "app.js"},
                {kPageLogoResource, "logo.png"}};
  for (const auto& file : kFiles) {
    const auto bytes = loadResource(file.id);
    if (!bytes) continue;
    const fs::path target = defaultFolder / file.name;
    std::string present;
    if (!readFile(target, present) || present != *bytes) writeFileAtomic(target, *bytes);
  }
  return defaultFolder / "index.html";
}

}  // namespace tu
