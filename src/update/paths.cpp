#include "update/paths.h"

#include "core/files.h"

namespace tu {

std::filesystem::path withSuffix(const std::filesystem::path& path, std::string_view suffix) {
  std::filesystem::path result = path;
  result += pathFromUtf8(suffix).native();
  return result;
}

}  // namespace tu
