// The start-up values that follow from the executable's path and the command line, as plain
// functions of their inputs (UTF-16 texts as the system reports them).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tu {

struct LaunchSwitches {
  bool dev = false;      // "--dev": the view's context menu and developer tools
  bool updated = false;  // "--updated": started by a self-update; wait for the old instance
};

// Each switch counts when its text occurs anywhere in the command line (case-sensitive), so a
// longer switch that begins with "--dev" also counts.
LaunchSwitches parseLaunchSwitches(std::wstring_view commandLine);

// The executable's folder: its path without the last component and without the separators
// ('\' or '/') before it. "C:\Games\L2\TarnLauncher.exe" gives "C:\Games\L2".
std::wstring clientDirOf(std::wstring_view exePath);

// Reads a path of any length from a function with the contract of GetModuleFileNameW: it fills
// at most `size` units and returns the length written without the terminator, or `size` when
// the path did not fit (truncated), or 0 on failure. The buffer starts at 1040 units and doubles
// until the whole path fits (a path can exceed the old 260-unit limit many times over), up to
// 65536 units. Empty on failure.
std::wstring readWholePath(
    const std::function<std::uint32_t(wchar_t* buffer, std::uint32_t size)>& read);

// "Local\TarnLauncher_" and the client folder's hash in unsigned decimal.
std::wstring instanceMutexName(std::uint32_t clientFolderHash);

// The executable's path with ".old" appended: what a self-update leaves behind.
std::wstring oldExecutablePath(std::wstring_view exePath);

}  // namespace tu
