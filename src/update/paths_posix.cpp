// POSIX has no read-only attribute: the equivalent is the owner's write permission.
#include <system_error>

#include "update/paths.h"

namespace tu {

void makeWritable(const std::filesystem::path& path) {
  std::error_code ec;
  std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add, ec);
}

}  // namespace tu
