// A handle opened with no sharing: Windows then refuses to rename over or delete the file.
#include <windows.h>

#include "update/update_fixture.h"

namespace tu::test {

HeldFile::HeldFile(const std::filesystem::path& path) {
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle != INVALID_HANDLE_VALUE) handle_ = handle;
}

HeldFile::~HeldFile() {
  if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
}

}  // namespace tu::test
