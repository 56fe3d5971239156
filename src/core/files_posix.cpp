// POSIX half of the file helpers: rename(2), stat(2), and paths that are bytes already.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

#include "core/files.h"

namespace tu {

namespace fs = std::filesystem;

int replaceFile(const fs::path& from, const fs::path& to) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return 0;
  const int error = errno;
  if (error != EXDEV) return error;

  // Different file systems: copy beside the target, rename that into place, drop the source.
  fs::path staging = to;
  staging += ".xdev";
  std::error_code ec;
  fs::copy_file(from, staging, fs::copy_options::overwrite_existing, ec);
  if (ec) return ec.value() ? ec.value() : EIO;
  if (std::rename(staging.c_str(), to.c_str()) != 0) {
    const int renameError = errno;
    fs::remove(staging, ec);
    return renameError;
  }
  fs::remove(from, ec);
  return 0;
}

bool isFileInUseError(int error) {
  return error == EBUSY || error == ETXTBSY;
}

std::string fileStamp(const fs::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  // Nanoseconds since the epoch (it changes whenever the file is rewritten), written as the
  // seconds followed by nine digits of nanoseconds: a far-off time cannot overflow that.
  char nanoseconds[16];
  std::snprintf(nanoseconds, sizeof nanoseconds, "%09ld", static_cast<long>(info.st_mtim.tv_nsec));
  return std::to_string(static_cast<long long>(info.st_mtim.tv_sec)) + nanoseconds;
}

std::string pathToUtf8(const fs::path& path) {
  return path.native();
}

fs::path pathFromUtf8(std::string_view utf8) {
  return fs::path(std::string(utf8));
}

}  // namespace tu
