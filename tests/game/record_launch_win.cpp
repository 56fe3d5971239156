// Stands in for the game in the launch tests: writes the command line it was started with and
// its working folder (UTF-16LE, separated by a line feed) to "launch_record.bin" in its working
// folder, whole or not at all.
#include <windows.h>

#include <string>

int main() {
  wchar_t folder[4096];
  const DWORD length = GetCurrentDirectoryW(4096, folder);
  const std::wstring record =
      std::wstring(GetCommandLineW()) + L"\n" + std::wstring(folder, length);
  HANDLE file = CreateFileW(L"launch_record.tmp", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  const BOOL ok =
      WriteFile(file, record.data(), static_cast<DWORD>(record.size() * 2), &written, nullptr);
  CloseHandle(file);
  if (!ok) return 1;
  return MoveFileExW(L"launch_record.tmp", L"launch_record.bin", MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
