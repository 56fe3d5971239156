// POSIX half of DownloadFile: open(2) and write(2) on a descriptor.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "net/download_file.h"

namespace tu {

DownloadFile::~DownloadFile() {
  close();
}

bool DownloadFile::open(const std::filesystem::path& path, bool append) {
  close();
  failed_ = false;
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
  const int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) return false;
  handle_ = fd;
  return true;
}

bool DownloadFile::isOpen() const {
  return handle_ >= 0;
}

bool DownloadFile::write(const char* data, std::size_t size) {
  if (failed_ || handle_ < 0) return false;
  while (size > 0) {
    const ssize_t written = ::write(static_cast<int>(handle_), data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      failed_ = true;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool DownloadFile::close() {
  if (handle_ < 0) return !failed_;
  // close(2) is not retried on EINTR: the descriptor is gone either way on Linux.
  if (::close(static_cast<int>(handle_)) != 0) failed_ = true;
  handle_ = -1;
  return !failed_;
}

}  // namespace tu
