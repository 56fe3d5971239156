// Open-file-description locks (F_OFD_SETLK): owned by the open file, not the process, so two
// FileLocks of one process exclude each other, and closing some other descriptor of the same
// file does not drop the lock. They conflict with classic fcntl locks, which Wine uses for
// LockFileEx; flock(2) locks would not.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "core/file_lock.h"

namespace tu {

FileLock::~FileLock() {
  release();
}

void FileLock::release() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));  // closing drops the lock
  handle_ = -1;
}

FileLock::Result FileLock::tryLock(const std::filesystem::path& path) {
  release();
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return Result::Unavailable;
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;  // the whole file, and whatever Windows-side range another holder locks
  if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
    const int error = errno;
    ::close(fd);
    return error == EAGAIN || error == EACCES ? Result::Busy : Result::Unavailable;
  }
  handle_ = fd;
  return Result::Locked;
}

}  // namespace tu
