// Windows half of DownloadFile: CreateFileW with every sharing mode and WriteFile.
#include <windows.h>

#include <climits>

#include "net/download_file.h"

namespace tu {

namespace {

HANDLE toHandle(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

DownloadFile::~DownloadFile() {
  close();
}

bool DownloadFile::open(const std::filesystem::path& path, bool append) {
  close();
  failed_ = false;
  // OPEN_ALWAYS rather than CREATE_ALWAYS: the latter refuses an existing hidden or system
  // file; the file is emptied below instead.
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<std::intptr_t>(file);
  LARGE_INTEGER zero{};
  const bool positioned =
      append ? SetFilePointerEx(file, zero, nullptr, FILE_END) != 0 : SetEndOfFile(file) != 0;
  if (!positioned) {
    close();
    return false;
  }
  return true;
}

bool DownloadFile::isOpen() const {
  return handle_ != -1;
}

bool DownloadFile::write(const char* data, std::size_t size) {
  if (failed_ || handle_ == -1) return false;
  while (size > 0) {
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(toHandle(handle_), data, chunk, &written, nullptr) || written == 0) {
      failed_ = true;
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

bool DownloadFile::close() {
  if (handle_ == -1) return !failed_;
  if (!CloseHandle(toHandle(handle_))) failed_ = true;
  handle_ = -1;
  return !failed_;
}

}  // namespace tu
