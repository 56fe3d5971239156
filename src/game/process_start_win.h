// Starting the game on Windows. Windows builds only.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

#include "game/game_launch.h"

namespace tu {

// The command line the game sees: the program path between double quotes, then, when
// `arguments` is not empty, one blank and the arguments unchanged (UTF-8 -> UTF-16).
std::wstring gameCommandLine(const std::filesystem::path& program, const std::string& arguments);

// CreateProcessW with that command line, the program as application name, no inherited
// handles and the working folder; on ERROR_ELEVATION_REQUIRED the shell's elevation path
// (ShellExecuteExW "open", SEE_MASK_NOASYNC, owned by `owner`), where ERROR_CANCELLED (the
// player said no) is `declined`. The process is not waited for; its handles are closed.
ProcessStartResult startGameProcess(HWND owner, const std::filesystem::path& program,
                                    const std::string& arguments,
                                    const std::filesystem::path& workingFolder);

}  // namespace tu
