#include <windows.h>

#include <shellapi.h>

#include "core/text_win.h"
#include "game/process_start_win.h"

namespace tu {

namespace {

// The layouts the 32-bit launcher hands to the system.
static_assert(sizeof(void*) != 4 || sizeof(STARTUPINFOW) == 68);
static_assert(sizeof(void*) != 4 || sizeof(SHELLEXECUTEINFOW) == 60);

// Not in every toolchain's headers.
constexpr DWORD kErrorElevationRequired = 740;

class OwnedHandle {
 public:
  explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
  ~OwnedHandle() {
    if (handle_) CloseHandle(handle_);
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;

 private:
  HANDLE handle_;
};

}  // namespace

std::wstring gameCommandLine(const std::filesystem::path& program, const std::string& arguments) {
  // The arguments go in as configured: the configuration writes them the way the game wants.
  std::wstring line = L"\"" + program.native() + L"\"";
  if (!arguments.empty()) line += L" " + utf8ToWide(arguments);
  return line;
}

ProcessStartResult startGameProcess(HWND owner, const std::filesystem::path& program,
                                    const std::string& arguments,
                                    const std::filesystem::path& workingFolder) {
  ProcessStartResult result;
  std::wstring commandLine = gameCommandLine(program, arguments);  // CreateProcessW may write
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                     workingFolder.c_str(), &startup, &process)) {
    OwnedHandle processHandle(process.hProcess);
    OwnedHandle threadHandle(process.hThread);  // closed first
    result.started = true;
    return result;
  }
  DWORD error = GetLastError();
  if (error == kErrorElevationRequired) {
    // A game that demands administrator rights: the shell asks the player. NOASYNC makes the
    // call return only once the start has been handed over.
    const std::wstring parameters = utf8ToWide(arguments);
    SHELLEXECUTEINFOW shell{};
    shell.cbSize = sizeof shell;
    shell.fMask = SEE_MASK_NOASYNC;
    shell.hwnd = owner;
    shell.lpVerb = L"open";
    shell.lpFile = program.c_str();
    shell.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    shell.lpDirectory = workingFolder.c_str();
    shell.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&shell)) {
      result.started = true;
      return result;
    }
    error = GetLastError();
    if (error == ERROR_CANCELLED) {
      result.declined = true;
      return result;
    }
  }
  result.error = error;
  return result;
}

}  // namespace tu
