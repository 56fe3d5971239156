// The display modes of the current display device. Windows builds only.
#pragma once

#include <vector>

#include "game/display_modes.h"

namespace tu {

// EnumDisplaySettingsW of the current display device, mode numbers 0, 1, 2, ... until it
// fails.
std::vector<DisplayMode> currentDisplayModes();

}  // namespace tu
