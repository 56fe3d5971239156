// unpackUiPack on any bytes, into a scratch folder. It either succeeds or fails with one of its
// three texts; whatever it wrote lies inside the folder under a name that passes the path rule;
// and a pack that the writer builds from what was written reads back to the same files.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "core/files.h"
#include "ui/ui_pack.h"

namespace {

namespace fs = std::filesystem;

void check(bool condition) {
  if (!condition) std::abort();
}

const fs::path& scratch() {
  static const fs::path folder = [] {
    std::error_code ec;
    return fs::temp_directory_path(ec) / ("tarn-ui-pack-fuzz-" + std::to_string(getpid()));
  }();
  return folder;
}

std::vector<tu::UiPackEntry> filesUnder(const fs::path& root) {
  std::vector<tu::UiPackEntry> files;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    const std::string name = it->path().lexically_relative(root).generic_string();
    check(tu::isSafeRelativePath(name));
    tu::UiPackEntry entry{name, {}};
    check(tu::readFile(it->path(), entry.data));
    files.push_back(std::move(entry));
  }
  return files;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view pack(reinterpret_cast<const char*>(data), size);
  const fs::path inside = scratch() / "ui";
  std::error_code ec;
  fs::remove_all(scratch(), ec);
  std::string error;
  const bool ok = tu::unpackUiPack(pack, inside, error);
  check(ok || error == "not a ui pack" || error == "ui pack is damaged" ||
        error.rfind("cannot write ", 0) == 0);
  // Nothing lands beside the target folder.
  for (const auto& entry : fs::directory_iterator(scratch(), ec)) check(entry.path() == inside);

  std::vector<tu::UiPackEntry> files = filesUnder(inside);
  std::string rebuilt;
  if (ok && tu::buildUiPack(files, rebuilt, error)) {
    fs::remove_all(inside, ec);
    check(tu::unpackUiPack(rebuilt, inside, error));
    std::vector<tu::UiPackEntry> again = filesUnder(inside);
    check(again.size() == files.size());
  }
  return 0;
}
