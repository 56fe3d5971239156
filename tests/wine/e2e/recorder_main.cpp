// A stand-in for the programs the launcher starts (the game, the player's browser): it appends
// its command line and its working folder, one line each, to its own path + ".log", and ends.
#include <windows.h>

#include <string>

#include "core/text_win.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::wstring self(32768, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
  std::wstring folder(32768, L'\0');
  folder.resize(GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
  const std::string lines =
      tu::wideToUtf8(GetCommandLineW()) + "\ncwd=" + tu::wideToUtf8(folder) + "\n";
  HANDLE file =
      CreateFileW((self + L".log").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
  CloseHandle(file);
  return 0;
}
