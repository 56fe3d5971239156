// LockFileEx on the first byte; the handle is opened with every sharing mode, so a second
// holder can open the file and is refused only the lock.
#include <windows.h>

#include "core/file_lock.h"

namespace tu {

FileLock::~FileLock() {
  release();
}

void FileLock::release() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));  // closing drops the lock
  handle_ = -1;
}

FileLock::Result FileLock::tryLock(const std::filesystem::path& path) {
  release();
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Result::Unavailable;
  OVERLAPPED at{};
  if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    const DWORD error = GetLastError();
    CloseHandle(handle);
    return error == ERROR_LOCK_VIOLATION ? Result::Busy : Result::Unavailable;
  }
  handle_ = reinterpret_cast<std::intptr_t>(handle);
  return Result::Locked;
}

}  // namespace tu
