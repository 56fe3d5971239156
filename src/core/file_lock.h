// FileLock: an exclusive lock on a lock file, held by one object in one process at a time and
// released when the object goes away, or by the system when the process dies (no stale locks).
// The launcher under Wine and a native program exclude each other too: Wine keeps its locks as
// POSIX record locks, which is what the POSIX half takes.
#pragma once

#include <cstdint>
#include <filesystem>

namespace tu {

class FileLock {
 public:
  enum class Result {
    Locked,      // this object holds the lock now
    Busy,        // another holder has it
    Unavailable  // the file cannot be opened or locked
  };

  FileLock() = default;
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Opens `path` (creating an empty file when missing) and takes the lock without waiting.
  Result tryLock(const std::filesystem::path& path);

 private:
  void release();

  std::intptr_t handle_ = -1;  // the open file: a descriptor or a HANDLE; -1 for none
};

}  // namespace tu
