// parseConfig on any bytes: it either fails with a TarnLauncher.json message and leaves the
// configuration alone, or gives one whose paths, URLs and codes keep their promises.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/config.h"
#include "core/files.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

bool hasUpperCase(const std::string& text) {
  return text.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  tu::LauncherConfig config;
  config.serverName = "untouched";
  std::string error;
  if (!tu::parseConfig(text, config, error)) {
    check(error.rfind("TarnLauncher.json", 0) == 0);
    check(config.serverName == "untouched");
    return 0;
  }
  check(tu::isSafeRelativePath(config.game));
  check(config.options.empty() || tu::isSafeRelativePath(config.options));
  check(config.updateUrl.empty() || config.updateUrl.back() == '/');
  check(!hasUpperCase(config.publicKey) && !hasUpperCase(config.language));
  for (const auto& [name, url] : config.links) {
    check(url.rfind("https://", 0) == 0 || url.rfind("http://", 0) == 0);
    check(!tu::linkUrl(config, name).empty());
  }
  return 0;
}
