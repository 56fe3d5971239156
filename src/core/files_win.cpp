// Windows half of the file helpers: MoveFileExW, FlushFileBuffers, GetFileAttributesExW and
// UTF-16 paths converted with the system's UTF-8 conversion (never std::filesystem's own,
// which can throw).
#include <windows.h>

#include "core/files.h"
#include "core/text_win.h"

namespace tu {

namespace fs = std::filesystem;

int replaceFile(const fs::path& from, const fs::path& to) {
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
    return 0;
  }
  const DWORD error = GetLastError();
  return error ? static_cast<int>(error) : -1;
}

bool isFileInUseError(int error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_ACCESS_DENIED;
}

bool flushToDisk(const fs::path& file) {
  // Any writable handle will do: FlushFileBuffers writes out the file's cached data, whoever
  // wrote it.
  HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool flushed = FlushFileBuffers(handle) != 0;
  return CloseHandle(handle) != 0 && flushed;
}

void beginFlush(const fs::path&) {
  // The cache manager's lazy writer starts on dirty pages within a second or so by itself.
}

void flushFolder(const fs::path&) {
  // NTFS journals a rename itself; a folder cannot be flushed without administrator rights.
}

void makeWritable(const fs::path& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY)) return;
  SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}

std::string fileStamp(const fs::path& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return {};
  // The file time: 100-nanosecond intervals since 1601-01-01 UTC, as a signed 64-bit number.
  const long long stamp = static_cast<long long>(
      (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
      data.ftLastWriteTime.dwLowDateTime);
  return std::to_string(stamp);
}

std::string pathToUtf8(const fs::path& path) {
  return wideToUtf8(path.native());
}

fs::path pathFromUtf8(std::string_view utf8) {
  return fs::path(utf8ToWide(utf8));
}

}  // namespace tu
