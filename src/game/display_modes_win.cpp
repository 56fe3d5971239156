#include <windows.h>

#include "game/display_modes_win.h"

namespace tu {

static_assert(sizeof(DEVMODEW) == 220);

std::vector<DisplayMode> currentDisplayModes() {
  std::vector<DisplayMode> modes;
  for (DWORD number = 0;; ++number) {
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    if (!EnumDisplaySettingsW(nullptr, number, &mode)) break;
    modes.push_back({static_cast<int>(mode.dmPelsWidth), static_cast<int>(mode.dmPelsHeight),
                     static_cast<int>(mode.dmBitsPerPel)});
  }
  return modes;
}

}  // namespace tu
