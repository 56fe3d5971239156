// POSIX half of the file helpers: rename(2), fsync(2), stat(2), and paths that are bytes
// already.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

bool flushPath(const fs::path& path, int flags) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | flags);
  if (fd < 0) return false;
  // fsync flushes the file, not the descriptor: what another descriptor wrote goes too.
  const bool flushed = ::fsync(fd) == 0;
  return ::close(fd) == 0 && flushed;
}

}  // namespace

bool flushToDisk(const fs::path& file) {
  return flushPath(file, 0);
}

void beginFlush(const fs::path& file) {
#ifdef SYNC_FILE_RANGE_WRITE
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  // Queues the dirty pages for writing and returns; a later fsync waits for what is left.
  ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
  ::close(fd);
#else
  (void)file;
#endif
}

void flushFolder(const fs::path& folder) {
  // A rename lives in the folder's entries, which only a flush of the folder makes durable.
  flushPath(folder.empty() ? fs::path(".") : folder, O_DIRECTORY);
}

void makeWritable(const fs::path& path) {
  std::error_code ec;
  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, ec);
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
