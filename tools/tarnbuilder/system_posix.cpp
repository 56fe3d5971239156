// POSIX: getrandom(2) (with /dev/urandom where it is missing), open(2) with O_EXCL and mode
// 0600, isatty(3) and TIOCGWINSZ.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tarnbuilder/system.h"

namespace tu::builder {

namespace {

bool readUrandom(unsigned char* out, std::size_t size, std::string& error) {
  const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = std::string("cannot open /dev/urandom: ") + std::strerror(errno);
    return false;
  }
  while (size > 0) {
    const ssize_t got = ::read(fd, out, size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      error = "cannot read /dev/urandom";
      ::close(fd);
      return false;
    }
    out += got;
    size -= static_cast<std::size_t>(got);
  }
  ::close(fd);
  return true;
}

}  // namespace

bool secureRandom(void* data, std::size_t size, std::string& error) {
  auto* out = static_cast<unsigned char*>(data);
  while (size > 0) {
    const ssize_t got = ::getrandom(out, size, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && errno == ENOSYS) return readUrandom(out, size, error);
    if (got <= 0) {
      error = std::string("the system's random source failed: ") + std::strerror(errno);
      return false;
    }
    out += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

bool fileSizeAndStamp(const std::filesystem::path& path, std::uint64_t& size, std::string& stamp) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  // Seconds and nine digits of nanoseconds since the epoch.
  char text[48];
  std::snprintf(text, sizeof text, "%lld%09ld", static_cast<long long>(info.st_mtim.tv_sec),
                static_cast<long>(info.st_mtim.tv_nsec));
  size = static_cast<std::uint64_t>(info.st_size);
  stamp = text;
  return true;
}

CreateResult createOwnerOnlyFile(const std::filesystem::path& path, std::string_view data,
                                 std::string& error) {
  // O_EXCL makes "does it exist" and "create it" one step, so no file is ever replaced;
  // O_NOFOLLOW refuses a link planted where the key should go.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    if (errno == EEXIST) return CreateResult::Exists;
    error = std::strerror(errno);
    return CreateResult::Failed;
  }
  // The umask can only remove bits, but say exactly what the file allows.
  bool ok = ::fchmod(fd, 0600) == 0;
  for (std::size_t done = 0; ok && done < data.size();) {
    const ssize_t wrote = ::write(fd, data.data() + done, data.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0)
      ok = false;
    else
      done += static_cast<std::size_t>(wrote);
  }
  if (ok) ok = ::fsync(fd) == 0;
  const int saved = errno;
  if (::close(fd) != 0) ok = false;
  if (!ok) {
    error = std::strerror(saved ? saved : EIO);
    ::unlink(path.c_str());
    return CreateResult::Failed;
  }
  return CreateResult::Created;
}

bool stderrIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

int terminalColumns() {
  struct winsize size {};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

}  // namespace tu::builder
