// The display sizes the settings panel offers: the display's own modes that the game can use,
// and always the size the options file asks for.
#pragma once

#include <utility>
#include <vector>

#include "game/game_options.h"

namespace tu {

// One mode of the display device (EnumDisplaySettingsW).
struct DisplayMode {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
};

using Resolution = std::pair<int, int>;  // width, height

// The display's modes of at least 800 x 600 and 32 bits, plus the current size (always
// offered, even when small or not a mode of the display), without repeats, larger width
// first, then larger height first.
std::vector<Resolution> resolutionList(const std::vector<DisplayMode>& modes,
                                       const DisplayOptions& current);

}  // namespace tu
