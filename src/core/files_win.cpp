// Windows half of the file helpers: MoveFileExW, GetFileAttributesExW and UTF-16 paths
// converted with the system's UTF-8 conversion (never std::filesystem's own, which can throw).
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
